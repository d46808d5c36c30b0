// Tarvik's export rules without widgets or a served add-in: the CAD tree as
// an EMC configuration reshapes it, the export tree built from what is
// shown, and the export options of the command lines.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "export_client/emc_shape.h"
#include "export_client/export_options.h"
#include "export_client/export_tree.h"
#include "tests/tree_maker.h"

using tarvik::EmcItem;
using Type = CAD_RPC::NodeType;

namespace {

// The machine with EMC items made by name.
struct Machine : velmora::testing::Machine {
    EmcItem item(int method, double min_mm, std::vector<std::tuple<const char*, bool, bool>> objects)
    {
        EmcItem item{"Item", method, min_mm, {}};
        for (const auto& [name, include, geom] : objects) item.objects.push_back({id.at(name), include, geom});
        return item;
    }
};

// A shown tree as text: names, "(MIP)" for MIP elements, children in brackets.
std::string text(const tarvik::ShownItem& item)
{
    std::string out;
    for (const auto& child : item.children) {
        if (!out.empty()) out += ", ";
        out += child->node->name + (child->node->type == Type::ElementMIP ? "(MIP)" : "");
        if (!child->children.empty()) out += "[" + text(*child) + "]";
    }
    return out;
}

}  // namespace

TEST(EmcShape, ItemsReshapeTheCadTree)
{
    struct Case {
        std::vector<std::pair<int, std::vector<std::tuple<const char*, bool, bool>>>> items;  // method, objects
        double min_mm;
        bool single_mip;
        const char* shape;
    };
    const Case cases[] = {
        // A point item lists its nodes; a solid item their subtrees, a repeated object at its last place.
        {{{EmcItem::Point, {{"Frame", true, false}, {"Mark", true, false}}},
          {EmcItem::Solid, {{"Frame", true, false}, {"Rotor", true, false}, {"Frame", true, false}}}},
         0, false, "Item[Frame, Mark], Item[Rotor, Frame[Bolts[Bolt 1, Bolt 2], Beam, Plate]]"},
        // A cleared nested flag hides nothing; an excluded top object hides
        // itself and its included descendant hangs under the item.
        {{{EmcItem::Solid, {{"Frame", true, true}, {"Bolts", false, false}}},
          {EmcItem::Solid, {{"Frame", false, false}, {"Bolt 1", true, false}}}},
         0, false, "Item[Frame[Bolts[Bolt 1, Bolt 2], Beam, Plate]], Item[Bolt 1]"},
        // Small solids of a solidB item become MIPs, one each or one per parent.
        {{{EmcItem::SolidB, {{"Frame", true, false}}}}, 1000, false, "Item[Frame[Bolts[Bolt 1(MIP), Bolt 2(MIP)], Beam, Plate(MIP)]]"},
        {{{EmcItem::SolidB, {{"Frame", true, false}}}}, 1000, true,
         "Item[Frame[Bolts[mipEmptySolid(MIP)], Beam, mipEmptySolid(MIP)]]"},
        // A size beyond every solid keeps only the geometry exempted by its flag.
        {{{EmcItem::SolidB, {{"Frame", true, true}, {"Plate", true, true}, {"Motor", true, false}}}}, 1e6, false,
         "Item[Frame[Bolts[Bolt 1(MIP), Bolt 2(MIP)], Beam(MIP), Plate], Motor[Rotor(MIP)]]"},
    };
    for (const Case& c : cases) {
        Machine m;
        std::vector<EmcItem> items;
        for (const auto& [method, objects] : c.items) items.push_back(m.item(method, c.min_mm, objects));
        tarvik::EmcShape shape;
        shape.build(m.tree, items, c.single_mip, m.sizes());
        EXPECT_EQ(text(shape.root()), c.shape);
    }
}

TEST(EmcShape, OneMipForAllListsItsSolidsAndExportsAsOne)
{
    Machine m;
    tarvik::EmcShape shape;
    shape.build(m.tree, {m.item(EmcItem::SolidB, 1000, {{"Bolts", true, false}})}, true, m.sizes());
    CAD_RPC::Tree out;
    tarvik::build_export_tree(shape.root(), false, out);
    const auto mip = std::find_if(out.nodes.begin(), out.nodes.end(),
                                  [](const auto& n) { return n.second.type == Type::ElementMIP; });
    ASSERT_NE(mip, out.nodes.end());
    const int32_t bolts = m.id.at("Bolts");
    // Each solid with the placement it is measured in.
    EXPECT_EQ(mip->second.children_ids, (std::vector<int32_t>{m.id.at("Bolt 1"), bolts, m.id.at("Bolt 2"), bolts}));
    // A failed size comparison leaves the shape empty.
    EXPECT_THROW(shape.build(m.tree, {m.item(EmcItem::SolidB, 10, {{"Motor", true, false}})}, false,
                             [](double, const std::vector<int32_t>&) -> std::vector<bool> { throw std::runtime_error("gone"); }),
                 std::runtime_error);
    EXPECT_TRUE(shape.root().children.empty());
}

// New keys depth-first, the CAD ids and parents kept, corrected names, and
// visibility as it is or all visible.
TEST(ExportTree, KeysNamesAndVisibility)
{
    Machine m;
    m.tree.nodes.at(m.id.at("Axis")).is_visible = false;
    m.tree.nodes.at(m.id.at("Bolt 2")).name = "Bolt 1";
    for (const bool all_visible : {false, true}) {
        CAD_RPC::Tree out;
        tarvik::build_export_tree(*tarvik::shown_cad_tree(m.tree), all_visible, out);
        ASSERT_EQ(out.nodes.size(), m.tree.nodes.size());
        std::map<std::string, const CAD_RPC::Node*> by_name;
        for (const auto& [key, node] : out.nodes) {
            by_name[node.name] = &node;
            for (const int32_t child : node.children_ids) EXPECT_GT(child, key);  // parents before children
        }
        EXPECT_EQ(by_name.at("Bolt_1_$1")->id, m.id.at("Bolt 2"));
        EXPECT_EQ(by_name.at("Bolt_1_$1")->parent_id, m.id.at("Bolts"));
        EXPECT_EQ(by_name.at("Axis")->is_visible, all_visible);
    }
}

TEST(ExportOptions, OneParserForBothPrograms)
{
    const char* argv[] = {"x", "--only", "solids,mips", "--emc", "c.emc", "--templates", "--tree", "--only"};
    tarvik::ExportOptions o;
    int i = 1;
    EXPECT_TRUE(tarvik::take_export_option(8, const_cast<char**>(argv), i, o));
    EXPECT_TRUE(o.settings.export_solids && o.settings.export_MIPs && !o.settings.export_curves);
    EXPECT_TRUE(tarvik::take_export_option(8, const_cast<char**>(argv), ++i, o));
    EXPECT_EQ(o.emc_path, "c.emc");
    EXPECT_TRUE(tarvik::take_export_option(8, const_cast<char**>(argv), ++i, o));
    EXPECT_EQ(o.settings.templates_settings, CAD_RPC::TemplatesSettings::SearchForTemplates);
    EXPECT_FALSE(tarvik::take_export_option(8, const_cast<char**>(argv), ++i, o));  // not one of them
    ++i;
    EXPECT_THROW(tarvik::take_export_option(8, const_cast<char**>(argv), i, o), std::invalid_argument);  // no value
}
