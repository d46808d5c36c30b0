#include "export_client.h"

#include <stdexcept>

#include "export_tree.h"

namespace tarvik {

CAD_RPC::Settings default_settings()
{
    CAD_RPC::Settings settings;
    settings.export_solids = settings.export_curves = settings.export_points = settings.export_MIPs = true;
    settings.facet_model_quality = CAD_RPC::FacetModelQuality::Standard;
    settings.MIP_settings = CAD_RPC::MIP_Settings::MIPForEach;
    settings.visibility_settings = CAD_RPC::VisibilitySettings::AllUnchanged;
    settings.templates_settings = CAD_RPC::TemplatesSettings::SimpleObjectEnumeration;
    return settings;
}

bool set_exported_kinds(const std::string& list, CAD_RPC::Settings& settings)
{
    const std::string items = "," + list + ",";
    auto has = [&](const char* kind) { return items.find(std::string(",") + kind + ",") != std::string::npos; };
    settings.export_solids = has("solids");
    settings.export_curves = has("curves");
    settings.export_points = has("points");
    settings.export_MIPs = has("mips");
    return settings.export_solids || settings.export_curves || settings.export_points || settings.export_MIPs;
}

std::vector<std::vector<int32_t>> find_emc_objects(CAD_RPC::CAD_RPC_ServiceClient& client, const EMC::Config& config)
{
    std::vector<std::vector<int32_t>> found;
    for (const EMC::M_obj& object : config.objects) {
        std::vector<std::string> persistent_ids;
        for (const EMC::CAD_obj& cad : object.cad_objects) persistent_ids.push_back(cad.id);
        std::vector<int32_t>& node_ids = found.emplace_back();
        client.get_node_ids(node_ids, persistent_ids);
        if (node_ids.size() != persistent_ids.size())
            throw std::runtime_error("The CAD plugin answered with a wrong number of node ids.");
    }
    return found;
}

std::vector<EmcItem> emc_items(const EMC::Config& config, const std::vector<std::vector<int32_t>>& node_ids)
{
    std::vector<EmcItem> items;
    for (std::size_t i = 0; i < config.objects.size(); ++i) {
        const EMC::M_obj& object = config.objects[i];
        EmcItem& item = items.emplace_back();
        item.name = object.name;
        item.method = object.method == 1 ? EmcItem::SolidB : object.method == 2 ? EmcItem::Point : EmcItem::Solid;
        item.min_size_mm = object.size_min.value_or(0.0);
        for (std::size_t k = 0; k < object.cad_objects.size(); ++k)
            item.objects.push_back({node_ids.at(i).at(k), object.cad_objects[k].include.value_or(true),
                                    object.cad_objects[k].geom.value_or(false)});
    }
    return items;
}

SizeComparison size_comparison(CAD_RPC::CAD_RPC_ServiceClient& client)
{
    return [&client](double min_size_m, const std::vector<int32_t>& ids) {
        std::vector<bool> large_enough;
        client.get_min_size_comparison_results(large_enough, min_size_m, ids);
        return large_enough;
    };
}

void export_model(CAD_RPC::CAD_RPC_ServiceClient& client, const CAD_RPC::Settings& settings,
                  const std::optional<EMC::Config>& emc)
{
    CAD_RPC::Tree cad_tree;
    client.get_cad_tree(cad_tree);
    if (!cad_tree.nodes.count(cad_tree.root_id)) throw std::runtime_error("The CAD tree has no root.");
    EmcShape shape;
    std::unique_ptr<ShownItem> cad_shown;
    if (emc)
        shape.build(cad_tree, emc_items(*emc, find_emc_objects(client, *emc)),
                    settings.MIP_settings == CAD_RPC::MIP_Settings::SingleMIPForAll, size_comparison(client));
    else
        cad_shown = shown_cad_tree(cad_tree);
    export_shown(client, settings, emc ? shape.root() : *cad_shown);
}

void export_shown(CAD_RPC::CAD_RPC_ServiceClient& client, const CAD_RPC::Settings& settings, const ShownItem& shown)
{
    CAD_RPC::Tree tree;
    build_export_tree(shown, settings.visibility_settings == CAD_RPC::VisibilitySettings::AllAsVisible, tree);
    client.export_zel(tree, settings);
}

}  // namespace tarvik
