// From a received tree to the file: selection by the settings, placement,
// MIPs and the errors that stop an export before anything is written.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include <pugixml.hpp>

#include "addin/export/body_size_cache.h"
#include "addin/cad/cad_tree_builder.h"
#include "addin/export/export_driver.h"
#include "addin/export/zel_writer.h"
#include "hosts/memory/memory_model.h"
#include "tests/e2e/zel_geometry.h"
#include "tests/error_of.h"

using namespace velmora;
using memory::Facet;

namespace {

// R (assembly, with a root curve) > A (moved by +10 in x) > body B, curve K, point P.
struct Assembly {
    memory::MemoryModel model;
    std::shared_ptr<memory::MemoryDocument> doc = model.open_assembly(u"R");
    std::shared_ptr<memory::MemoryComponent> a = model.add_component(*doc->configuration->root, u"A");
    std::shared_ptr<memory::MemoryBody> b = model.add_body(*a, u"B");
    std::shared_ptr<memory::MemoryFeature> k = model.add_feature(*a, u"RefCurve", u"K");
    std::shared_ptr<memory::MemoryFeature> p = model.add_feature(*a, u"RefPoint", u"P", 0);
    std::shared_ptr<memory::MemoryFeature> root_curve = model.add_feature(*doc->content, u"RefCurve", u"RootCurve");
    cad::CAD_ObjectRegistry registry{doc, model.application};
    exporter::BodyGeometryCache cache;
    CAD_RPC::Tree tree;  // R 0, A 1, RootCurve 2, B 3, K 4, P 5

    Assembly()
    {
        a->transform = {1, 0, 0, 0, 1, 0, 0, 0, 1, 10, 0, 0, 1, 0, 0, 0};
        b->add_face({Facet{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}}, {0.5, 0.5, 0.5});
        b->mass_properties = {0, {1, 2, 3, 0, 0, 4, 5, 6, 7, 8, 9, 10}};
        for (auto* f : {&k, &root_curve}) {
            (*f)->curve_definition = model.make<memory::MemoryCurveDefinition>();
            auto seg = model.make<memory::MemoryCurveSegment>();
            seg->curve = model.make<memory::MemoryCurve>();
            seg->curve->samples = {0, 0, 1, 1, 0, 1};
            (*f)->curve_definition->segments.push_back(seg);
        }
        p->point_definition = model.make<memory::MemoryPointDefinition>();
        p->point_definition->point = {1, 2, 3};
        cad::build_cad_tree(registry, tree);
    }

    std::string text(const CAD_RPC::Settings& s)
    {
        return zel::format_zel_document(exporter::build_zel_document(tree, s, registry, cache, doc));
    }
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(ExportDriver, WholeAssemblyWithPlacementsAndMIPs)
{
    Assembly f;
    const std::string text = f.text(velmora::testing::every_kind());
    // The solid and its MIP centre move with A; the inertia does not.
    EXPECT_TRUE(contains(text, "<structure name=\"A\">\n    <solid method=\"triangulation\" MIP=\"MIP, 11, 2, 3, 4, 5, 6, "
                               "7, 8, 9, 10\" name=\"B\" color=\"RGB, 127, 127, 127\">\n      <vertices>\n10, 0, 0;\n11, "
                               "0, 0;\n10, 1, 0;\n</vertices>"))
        << text;
    // The curve below A moves; the curve under the root keeps its coordinates.
    EXPECT_TRUE(contains(text, "<line method=\"polyline\" name=\"K\">\n      <vertices>\n10, 0, 1;\n11, 0, 1;\n"))
        << text;
    EXPECT_TRUE(contains(text, "<line method=\"polyline\" name=\"RootCurve\">\n    <vertices>\n0, 0, 1;\n1, 0, 1;\n"))
        << text;
    EXPECT_TRUE(contains(text, "<point method=\"pointXYZ\" center=\"11, 2, 3\" name=\"P\" visible=\"false\" />"))
        << text;
    EXPECT_FALSE(contains(text, "name=\"R\""));  // the root's name is written nowhere
}

TEST(ExportDriver, FlagsSelectAndUnreadSettingsChangeNothing)
{
    Assembly f;
    EXPECT_EQ(f.text(CAD_RPC::Settings{}),
              "<?xml version=\"1.0\"?>\n<ZEL>\n"
              "  <header inform=\"ZEL SW Plugin\" minorVersion=\"0\" majorVersion=\"1\" />\n"
              "  <structure name=\"A\" />\n</ZEL>\n");
    auto s = velmora::testing::every_kind();
    s.export_MIPs = false;
    const std::string base = f.text(s);
    EXPECT_FALSE(contains(base, "MIP"));
    s.facet_model_quality = CAD_RPC::FacetModelQuality::ExtraFine;
    s.MIP_settings = CAD_RPC::MIP_Settings::SingleMIPForAll;
    s.visibility_settings = CAD_RPC::VisibilitySettings::OnlyVisible;
    s.templates_settings = CAD_RPC::TemplatesSettings::SearchForTemplates;
    EXPECT_EQ(f.text(s), base);
    // Both exports and the size comparison used one tessellation.
    cad::BodySizeCache sizes;
    cad::get_min_size_comparison_results(f.registry, sizes, f.cache, 0.5, {3});
    EXPECT_EQ(f.model.log->count("Body::get_tessellation"), 1u);
}

TEST(ExportDriver, SolidListedTwiceAndComposedElementMIP)
{
    Assembly f;
    auto b2 = f.model.add_body(*f.a, u"B2");
    b2->mass_properties = {0, {3, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0}};
    auto no_mass = f.model.add_body(*f.a, u"NoMass");
    no_mass->mass_properties.status = 2;
    const int32_t b2_id = f.registry.register_object(b2);
    const int32_t none_id = f.registry.register_object(no_mass);
    // A GUI-composed ElementMIP under R: pairs (B, A), (B2, R), (NoMass, A), trailing 99 ignored.
    CAD_RPC::Node mip;
    mip.type = CAD_RPC::NodeType::ElementMIP;
    mip.id = 50;
    mip.name = "Group";
    mip.parent_id = 0;
    mip.is_visible = true;
    mip.children_ids = {3, 1, b2_id, 0, none_id, 1, 99};
    f.tree.nodes[50] = mip;
    f.tree.nodes[0].children_ids.push_back(50);
    f.tree.nodes[0].children_ids.push_back(3);  // B also directly under R

    const std::string text = f.text(velmora::testing::every_kind());
    // B's centre (1,2,3) moved by A: (11,2,3) mass 4; B2 at (3,0,0) mass 3: centre x = (44+9)/7.
    EXPECT_TRUE(contains(text, "<elementMIP method=\"MIP\" MIP=\"MIP, 7.5714286, 1.1428571, 1.7142857, 7,"))
        << text;
    std::size_t count = 0;
    for (std::size_t at = text.find("name=\"B\""); at != std::string::npos; at = text.find("name=\"B\"", at + 1))
        ++count;
    EXPECT_EQ(count, 2u);

    f.tree.nodes[50].children_ids = {3};
    EXPECT_THROW(f.text(velmora::testing::every_kind()), std::out_of_range);
}

TEST(ExportDriver, TreesThatCannotBeExported)
{
    const std::pair<std::function<void(CAD_RPC::Tree&)>, const char*> cases[] = {
        {[](CAD_RPC::Tree& t) { t.root_id = 3, t.nodes[3].type = CAD_RPC::NodeType::Solid, t.nodes.erase(0); },
         "invalid unordered_map<K, T> key"},  // no structure to stand for the root
        {[](CAD_RPC::Tree& t) { t.nodes[1].children_ids.push_back(1234); }, "invalid map<K, T> key"},
        {[](CAD_RPC::Tree& t) { t.nodes[4].type = CAD_RPC::NodeType::Solid; }, "ERROR: node 4 ('K') is not a solid body!"},
        {[](CAD_RPC::Tree& t) { t.nodes[3].type = CAD_RPC::NodeType::Point; }, "ERROR: node 3 ('B') is not a feature!"},
        {[](CAD_RPC::Tree& t) { t.nodes[1].children_ids.push_back(0); },  // A lists R, which lists A
         "ERROR: structure 'R' (node 0) contains itself!"},
        {[](CAD_RPC::Tree& t) {  // an id beyond the registry
             t.nodes[900] = t.nodes[3], t.nodes[900].id = 900, t.nodes[1].children_ids.push_back(900);
         },
         "invalid vector subscript"},
    };
    for (const auto& [damage, message] : cases) {
        Assembly f;
        damage(f.tree);
        EXPECT_EQ(velmora::testing::error_of([&] { f.text(velmora::testing::every_kind()); }), message);
    }
}

TEST(SizeComparison, LargestExtentAgainstTheMinimum)
{
    memory::MemoryModel model;
    auto doc = model.open_part();
    auto body = model.add_body(*doc->content, u"B");
    body->add_face({Facet{{0, 0, 0}, {0.01, 0.03, 0}, {0, 0, 0.02}}});
    auto empty = model.add_body(*doc->content, u"Empty");
    model.add_feature(*doc->content, u"RefPoint", u"P");
    cad::CAD_ObjectRegistry registry(doc, model.application);
    CAD_RPC::Tree tree;
    cad::build_cad_tree(registry, tree);  // root 0, B 1, Empty 2, P 3
    exporter::BodyGeometryCache cache;
    cad::BodySizeCache sizes;
    auto compare = [&](double min, std::vector<int32_t> ids) {
        return cad::get_min_size_comparison_results(registry, sizes, cache, min, ids);
    };
    model.log->clear();
    EXPECT_TRUE(compare(0.03, {}).empty());
    EXPECT_EQ(model.log->size(), 0u);
    EXPECT_EQ(compare(0.03, {1, 2, 3, 0}), (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(compare(0.0300001, {1}), std::vector<bool>{false});
    EXPECT_EQ(compare(std::nan(""), {1, 2}), (std::vector<bool>{false, false}));
    EXPECT_EQ(compare(-1e300, {2}), std::vector<bool>{false});  // an empty body is -inf large
    EXPECT_EQ(model.log->count("Body::get_tessellation"), 2u);  // once per body
    EXPECT_THROW(compare(0.01, {1, 500}), std::out_of_range);
}

// Solids of one mesh and colour: placed mirrored, their triangles are
// written the other way round, so that every solid encloses its volume
// outward, plain or through a template; a template holds only solids of
// one MIP (another density is another template) and one handedness.
TEST(ExportDriver, MirroredPlacementsAndTemplateKeys)
{
    memory::MemoryModel model;
    auto doc = model.open_assembly(u"R");
    const double x = 1, y = 1, z = 1;  // a tetrahedron, outward
    const std::vector<Facet> tetrahedron = {Facet{{0, 0, 0}, {0, y, 0}, {x, 0, 0}}, Facet{{0, 0, 0}, {x, 0, 0}, {0, 0, z}},
                                            Facet{{0, 0, 0}, {0, 0, z}, {0, y, 0}}, Facet{{x, 0, 0}, {0, y, 0}, {0, 0, z}}};
    struct Occurrence {
        const char16_t* name;
        double mirror;  // -1: x mirrored
        double mass;
    };
    // Two plain and two mirrored of one mass; one of another density.
    const Occurrence occurrences[] = {{u"P1", 1, 2}, {u"P2", 1, 2}, {u"M1", -1, 2}, {u"M2", -1, 2}, {u"Heavy", 1, 5}};
    double shift = 0;
    for (const auto& o : occurrences) {
        auto c = model.add_component(*doc->configuration->root, o.name);
        c->transform = {o.mirror, 0, 0, 0, 1, 0, 0, 0, 1, shift += 10, 0, 0, 1, 0, 0, 0};
        auto b = model.add_body(*c, u"Tet");
        for (const auto& f : tetrahedron) b->add_face({f}, {0.5, 0.5, 0.5});
        b->mass_properties = {0, {0.25, 0.25, 0.25, 1.0 / 6, 1, o.mass, 1, 1, 1, 0, 0, 0}};
    }
    cad::CAD_ObjectRegistry registry(doc, model.application);
    CAD_RPC::Tree tree;
    cad::build_cad_tree(registry, tree);
    exporter::BodyGeometryCache cache;
    auto settings = velmora::testing::every_kind();
    for (const auto templates : {CAD_RPC::TemplatesSettings::SimpleObjectEnumeration, CAD_RPC::TemplatesSettings::SearchForTemplates}) {
        settings.templates_settings = templates;
        const std::string text = zel::format_zel_document(exporter::build_zel_document(tree, settings, registry, cache, doc));
        pugi::xml_document zel;
        ASSERT_TRUE(zel.load_string(text.c_str()));
        std::map<std::string, pugi::xml_node> by_name;
        for (const auto& t : zel.select_nodes("/ZEL/templateSolid")) by_name[t.node().attribute("name").value()] = t.node();
        std::size_t solids = 0;
        std::set<std::string> plain;
        for (const auto& s : zel.select_nodes("//solid")) {
            EXPECT_NEAR(velmora::testing::zel_solid(s.node()).volume(), 1.0 / 6, 1e-12) << s.node().parent().attribute("name").value();
            plain.insert(s.node().parent().attribute("name").value());
            ++solids;
        }
        std::set<std::string> used;
        for (const auto& r : zel.select_nodes("//solidRef")) {
            const std::vector<double> mcs = velmora::testing::numbers_after_tag(r.node().attribute("MCS").value());
            const std::string name = r.node().attribute("template").value();
            velmora::testing::ZelSolid t = velmora::testing::zel_solid(by_name.at(name));
            for (auto& v : t.vertices) v = velmora::testing::placed(mcs, v);
            EXPECT_NEAR(t.volume(), 1.0 / 6, 1e-12) << name;
            used.insert(name);
            ++solids;
        }
        EXPECT_EQ(solids, 5u);
        if (templates == CAD_RPC::TemplatesSettings::SearchForTemplates) {
            EXPECT_EQ(used.size(), 2u);  // plain and mirrored
            EXPECT_EQ(plain, std::set<std::string>{"Heavy"});  // another density: no template
        }
    }
}
