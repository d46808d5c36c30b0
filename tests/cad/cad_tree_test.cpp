// The tree walk: ids, children order, names and the registry it leaves.
#include <optional>
#include <gtest/gtest.h>

#include <functional>

#include "addin/cad/cad_tree_builder.h"
#include "host_interface/host_text.h"
#include "hosts/memory/memory_model.h"
#include "tests/error_of.h"

using namespace velmora;
using memory::MemoryModel;
using V = std::vector<int32_t>;

namespace {

struct Fixture {
    MemoryModel model;
    std::optional<cad::CAD_ObjectRegistry> registry;
    void attach() { registry.emplace(model.application->active_document, model.application); }
    CAD_RPC::Tree build()
    {
        CAD_RPC::Tree tree;
        cad::build_cad_tree(*registry, tree);
        return tree;
    }
};

}  // namespace

TEST(CadTree, AssemblyIsNumberedDepthFirstLastChildFirst)
{
    Fixture f;
    auto doc = f.model.open_assembly(u"R");
    auto& root = *doc->configuration->root;
    auto a = f.model.add_component(root, u"A");
    auto b = f.model.add_component(root, u"B");
    f.model.add_body(*b, u"B body");
    f.model.add_feature(*b, u"RefPoint", u"B point");
    f.model.add_body(*a, u"A body");
    f.model.add_feature(*doc->content, u"RefCurve", u"Curve");
    // The root component's own bodies are never asked for.
    f.model.add_body(root, u"ignored");
    f.attach();

    const auto tree = f.build();
    ASSERT_EQ(tree.nodes.size(), 7u);
    EXPECT_EQ(tree.root_id, 0);
    const auto& n = tree.nodes;
    std::vector<std::string> names;
    for (const auto& [id, node] : n) {
        EXPECT_EQ(node.id, id);
        names.push_back(node.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"R", "A", "B", "Curve", "B body", "B point", "A body"}));
    EXPECT_EQ(n.at(0).children_ids, (V{1, 2, 3}));
    EXPECT_EQ(n.at(2).children_ids, (V{4, 5}));
    EXPECT_EQ(n.at(1).children_ids, (V{6}));
    EXPECT_EQ(n.at(0).parent_id, -1);
    EXPECT_EQ(n.at(3).parent_id, 0);
    EXPECT_EQ(n.at(5).parent_id, 2);
    EXPECT_EQ(n.at(3).type, CAD_RPC::NodeType::Curve);
    EXPECT_EQ(n.at(4).type, CAD_RPC::NodeType::Solid);
    EXPECT_EQ(n.at(5).type, CAD_RPC::NodeType::Point);
    EXPECT_FALSE(tree.__isset.node_parent_ids);
    EXPECT_EQ(f.registry->object_at(2), std::dynamic_pointer_cast<cad::HostObject>(b));
    EXPECT_EQ(f.model.log->count("Component::enumerate_bodies"), 2u);  // A and B, not R
}

TEST(CadTree, PartAndARepeatedWalkContinueTheNumbering)
{
    Fixture f;
    auto doc = f.model.open_part();
    f.model.add_body(*doc->content, u"Body1");
    f.model.add_body(*doc->content, u"Body2");
    f.model.add_feature(*doc->content, u"RefPoint", u"Point1");
    f.attach();

    const auto first = f.build();
    EXPECT_EQ(first.root_id, 0);
    EXPECT_EQ(first.nodes.at(0).name, "Part");
    EXPECT_EQ(first.nodes.at(0).parent_id, 0);
    EXPECT_EQ(first.nodes.at(0).children_ids, (V{1, 2, 3}));
    EXPECT_TRUE(first.nodes.at(0).is_visible);

    const auto second = f.build();
    EXPECT_EQ(second.root_id, 4);
    EXPECT_EQ(second.nodes.at(4).children_ids, (V{5, 6, 7}));
    EXPECT_EQ(second.nodes.size(), 4u);
    // The earlier ids still answer; the persistent texts now name the new ids.
    EXPECT_EQ(f.registry->size(), 8u);
    EXPECT_EQ(f.registry->object_at(1), f.registry->object_at(5));
    for (int32_t id = 0; id < 4; ++id)
        EXPECT_EQ(f.registry->persistent_index().at(f.registry->persistent_id_text(id)), id + 4);
}

TEST(CadTree, OnlyExactFeatureTypesBecomeNodes)
{
    Fixture f;
    auto doc = f.model.open_part();
    f.model.add_feature(*doc->content, u"refpoint", u"wrong case");
    f.model.add_feature(*doc->content, u"Extrusion", u"Boss");
    for (auto t : {u"RefCurve", u"Helix", u"CurveInFile", u"3DSplineCurve", u"CompositeCurve"})
        f.model.add_feature(*doc->content, t, t);
    f.model.add_feature(*doc->content, u"RefPoint", u"Hidden point", 0);
    f.attach();

    const auto tree = f.build();
    ASSERT_EQ(tree.nodes.size(), 7u);  // root, five curves, the point
    for (int32_t id = 1; id <= 5; ++id) EXPECT_EQ(tree.nodes.at(id).type, CAD_RPC::NodeType::Curve);
    EXPECT_EQ(tree.nodes.at(1).name, "RefCurve");
    EXPECT_EQ(tree.nodes.at(6).type, CAD_RPC::NodeType::Point);
    EXPECT_FALSE(tree.nodes.at(6).is_visible);
    EXPECT_TRUE(tree.nodes.at(1).is_visible);
    EXPECT_EQ(f.registry->size(), 7u);
}

TEST(CadTree, Utf8NamesEmptyEntriesAndNoChildArrayForLeaves)
{
    Fixture f;
    auto doc = f.model.open_assembly(u"Сборка");
    auto& root = *doc->configuration->root;
    root.children.push_back(nullptr);
    auto leaf = f.model.add_component(root, u"Деталь-1 \U0001F527");
    f.model.add_body(*leaf, u"Body");
    f.model.add_component(root, u"A")->no_body_enumerator = true;
    f.attach();
    f.model.log->clear();
    const auto tree = f.build();
    EXPECT_EQ(tree.nodes.at(0).name, "Сборка");
    EXPECT_EQ(tree.nodes.at(1).name, "Деталь-1 \xF0\x9F\x94\xA7");
    EXPECT_EQ(tree.nodes.at(0).children_ids, (V{1, 2}));  // the empty entry is skipped
    EXPECT_EQ(tree.nodes.at(1).children_ids, (V{3}));
    EXPECT_TRUE(tree.nodes.at(2).children_ids.empty());
    EXPECT_EQ(f.model.log->count("Component::get_children"), 1u);  // the root's only
    EXPECT_EQ(cad::utf8_from_utf16(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(CadTree, UnsupportedOrIncompleteDocumentsFailClearly)
{
    const std::pair<std::function<void(MemoryModel&)>, const char*> cases[] = {
        {[](MemoryModel& m) { m.open_part()->type = 3; }, "ERROR: unsupported document type!"},
        {[](MemoryModel& m) { m.open_assembly(u"R")->configuration->root.reset(); },
         "ERROR: assembly has no root component!"},
        {[](MemoryModel& m) { m.open_assembly(u"R")->configuration.reset(); },
         "ERROR: assembly has no active configuration!"},
        {[](MemoryModel& m) { m.open_part()->part.reset(); }, "ERROR: part document has no part interface!"},
    };
    for (const auto& [open, message] : cases) {
        Fixture f;
        open(f.model);
        f.attach();
        CAD_RPC::Tree tree;
        EXPECT_EQ(velmora::testing::error_of([&] { cad::build_cad_tree(*f.registry, tree); }), message);
        EXPECT_EQ(f.registry->size(), 0u);
    }
}

