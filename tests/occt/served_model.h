#pragma once
// A model opened in the OpenCASCADE host with its CAD tree built, as the
// service would serve it.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "addin/cad/cad_tree_builder.h"
#include "host_interface/host.h"
#include "addin/export/export_driver.h"
#include "addin/export/geometry.h"
#include "addin/export/zel_writer.h"
#include "hosts/occt/occt_host.h"
#include "tests/scratch.h"


namespace velmora::testing {

// `name` in this test process's own folder.
inline std::string temp_path(const std::string& name)
{
    const auto dir = std::filesystem::path(::testing::TempDir()) / ("occt-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

// Rewrites the file at `path` as another CAD system would have written it:
// each edit's pattern (a regular expression), in turn, replaced with its
// format ($1 for a group) at its first match after the previous edit.
inline void rewrite(const std::string& path, const std::vector<std::pair<std::string, std::string>>& edits)
{
    std::string text = read_text(path);
    std::size_t from_here = 0;
    for (const auto& [pattern, format] : edits) {
        std::smatch match;
        ASSERT_TRUE(std::regex_search(text.cbegin() + static_cast<std::ptrdiff_t>(from_here), text.cend(), match,
                                      std::regex(pattern)))
            << pattern;
        const std::string replacement = match.format(format);
        const std::size_t at = from_here + static_cast<std::size_t>(match.position(0));
        text.replace(at, static_cast<std::size_t>(match.length(0)), replacement);
        from_here = at + replacement.size();
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

struct Served {
    cad::ApplicationPtr app;
    cad::CAD_ObjectRegistry registry;
    CAD_RPC::Tree tree;
    explicit Served(const std::string& path, const occt::OcctHostOptions& options = {})
        : app(occt::open_occt_application(path, options)), registry(app->get_active_document(), app)
    {
        cad::build_cad_tree(registry, tree);
    }
    int32_t id_of(const std::string& name) const
    {
        for (const auto& [id, node] : tree.nodes)
            if (node.name == name) return id;
        ADD_FAILURE() << "no node " << name;
        return -1;
    }
    cad::FeaturePtr feature(const std::string& name) { return registry.object_at(id_of(name))->as_feature(); }
    std::string export_text(bool solids, bool curves, bool points)
    {
        CAD_RPC::Settings settings;
        settings.export_solids = solids;
        settings.export_curves = curves;
        settings.export_points = points;
        exporter::BodyGeometryCache cache;
        return zel::format_zel_document(
            exporter::build_zel_document(tree, settings, registry, cache, app->get_active_document()));
    }
};

}  // namespace velmora::testing
