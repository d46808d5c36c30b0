// The FreeCAD back end without FreeCAD: a document as the add-on takes it
// made into the host's model, the environment's settings, and a run of the
// real add-in driven by its events as FreeCAD's main thread drives it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <deque>
#include <sstream>
#include <thread>

#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <TopoDS_Compound.hxx>

#include "addin/shell/rpc_constants.h"
#include "cad_rpc_connection.h"
#include "hosts/freecad/freecad_host.h"

using namespace velmora;
using namespace std::chrono_literals;

namespace {

std::string brep_of(const TopoDS_Shape& shape)
{
    std::ostringstream out;
    BRepTools::Write(shape, out);
    return out.str();
}

// A pair of boxes in one object (the second painted), placed once as it is
// and once mirrored in a group, and a line.
freecad::FreecadDocument two_boxes_and_a_line()
{
    TopoDS_Compound pair;
    BRep_Builder builder;
    builder.MakeCompound(pair);
    builder.Add(pair, BRepPrimAPI_MakeBox(10, 20, 30).Shape());
    builder.Add(pair, BRepPrimAPI_MakeBox(gp_Pnt(20, 0, 0), 10, 10, 10).Shape());
    freecad::FreecadDocument d;
    d.label = "Документ";
    freecad::FreecadShape boxes{"Pair", brep_of(pair), occt::Rgb{0.5, 0.5, 0.5}, {}, {}, {}};
    boxes.face_colours.assign(6, {0.5, 0.5, 0.5});
    boxes.face_colours.resize(12, {0.9, 0.1, 0.1});
    d.shapes.push_back(boxes);
    d.shapes.push_back({"Line", brep_of(BRepBuilderAPI_MakeEdge(gp_Pnt(0, 0, 0), gp_Pnt(100, 0, 0)).Edge()), {}, {},
                        occt::Rgb{0.1, 0.1, 0.9}, {}});
    freecad::FreecadNode plain{"Pair", "Pair", true, {1, 0, 0, 100, 0, 1, 0, 0, 0, 0, 1, 0}, 0, {}};
    freecad::FreecadNode mirrored{"Mirrored", "Group.Mirrored.", true, {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}, 0, {}};
    freecad::FreecadNode group{"Group", "Group", false, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}, -1, {mirrored}};
    freecad::FreecadNode line{"Line", "Line", true, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}, 1, {}};
    d.top = {plain, group, line};
    return d;
}

}  // namespace

TEST(FreecadDocument, MetresSharedShapesMirrorsAndWhatFreecadSelects)
{
    const auto model = freecad::occt_model_of(two_boxes_and_a_line());
    ASSERT_EQ(model.parts.size(), 2u);
    EXPECT_EQ(model.parts[0].solids.size(), 2u);
    EXPECT_EQ(model.parts[0].sub_colours.size(), 12u);
    ASSERT_EQ(model.parts[1].features.size(), 1u);
    EXPECT_EQ(model.parts[1].features[0].name, "Line");
    const auto& top = model.root.children;
    ASSERT_EQ(top.size(), 3u);
    EXPECT_NEAR(top[0].placement.TranslationPart().X(), 0.1, 1e-12);
    EXPECT_EQ(top[0].part, top[1].children[0].part);
    EXPECT_TRUE(top[1].children[0].placement.IsNegative());
    EXPECT_FALSE(top[1].visible);

    const auto targets = freecad::selection_targets(model);
    EXPECT_TRUE(targets.at("Group").elements.empty());
    EXPECT_EQ(targets.at(occt::body_key("Pair", 1)).elements,
              (std::vector<std::string>{"Face7", "Face8", "Face9", "Face10", "Face11", "Face12"}));
    EXPECT_EQ(targets.at(occt::feature_key("Line", model.parts[1].features[0])).elements,
              std::vector<std::string>{"Edge1"});

    auto broken = two_boxes_and_a_line();
    broken.shapes[1].brep = "not a shape";
    EXPECT_THROW(
        try { freecad::occt_model_of(broken); } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("'Line'"), std::string::npos) << e.what();
            throw;
        },
        std::runtime_error);
}

TEST(FreecadHost, SettingsComeFromTheEnvironmentAndBadOnesAreNamed)
{
    struct Case {
        std::map<std::string, std::string> env;
        const char* refused;  // the variable named, or null
    };
    const std::vector<Case> cases = {
        {{}, nullptr},
        {{{"VELMORA_PORT", "0"}, {"VELMORA_GUI", "none"}, {"VELMORA_QUALITY", "fine"}}, nullptr},
        {{{"VELMORA_PORT", "70000"}}, "VELMORA_PORT"},
        {{{"VELMORA_PORT", "12x"}}, "VELMORA_PORT"},
        {{{"VELMORA_QUALITY", "best"}}, "VELMORA_QUALITY"},
        {{{"VELMORA_DENSITY", "-1"}}, "VELMORA_DENSITY"},
    };
    for (const auto& c : cases) {
        auto variable = [&](const char* name) -> const char* {
            const auto found = c.env.find(name);
            return found == c.env.end() ? nullptr : found->second.c_str();
        };
        if (!c.refused) {
            const auto s = freecad::settings_from(variable);
            EXPECT_EQ(s.start_gui, !c.env.contains("VELMORA_GUI"));
            EXPECT_EQ(s.port, c.env.contains("VELMORA_PORT") ? 0 : shell::ExportRunOptions{}.port);
            continue;
        }
        try {
            freecad::settings_from(variable);
            ADD_FAILURE() << c.refused << " accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(c.refused), std::string::npos) << e.what();
        }
    }
}

namespace {

// Takes events as FreeCAD's timer does; next() skips to one of a kind.
class Events {
public:
    explicit Events(freecad::FreecadHost& host) : host_(host) {}
    std::optional<freecad::RunEvent> next(freecad::RunEvent::Kind kind)
    {
        // Up to 30 s: machines are shared.
        for (int i = 0; i < 3000; ++i) {
            for (auto& e : host_.take_events()) pending_.push_back(e);
            while (!pending_.empty()) {
                const auto e = pending_.front();
                pending_.pop_front();
                if (e.kind == kind) return e;
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

private:
    freecad::FreecadHost& host_;
    std::deque<freecad::RunEvent> pending_;
};

}  // namespace

TEST(FreecadHost, ARunTellsItsBoxHighlightsAndEndByEvents)
{
    freecad::FreecadHost host(ADDIN_MODULE);
    Events events(host);
    EXPECT_EQ(host.command_group().commands.at(0).name, u"Export ZEL");
    freecad::RunSettings settings;
    settings.start_gui = false;
    host.start(u"Export ZEL", freecad::occt_model_of(two_boxes_and_a_line()), settings);
    EXPECT_THROW(host.start(u"Export ZEL", {}, settings), std::logic_error);
    const auto serving = events.next(freecad::RunEvent::Serving);
    ASSERT_TRUE(serving);
    const auto box = events.next(freecad::RunEvent::BoxOpened);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, shell::kLockCaption);
    {
        CAD_RPC::CAD_RPC_Connection connection(serving->number);
        CAD_RPC::Tree tree;
        connection.client().get_cad_tree(tree);
        int32_t body = -1;
        for (const auto& [id, node] : tree.nodes)
            if (node.name == "Body2" && tree.nodes.at(node.parent_id).name == "Pair") body = id;
        connection.client().set_highlight_status_of_ids({body}, true);
        connection.client().refresh_display();
        ASSERT_TRUE(events.next(freecad::RunEvent::Redrawn));
        const auto shown = host.highlighted();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].path, "Pair");
        EXPECT_EQ(shown[0].elements.size(), 6u);
        connection.client().stop_rpc_service();
    }
    // stop_rpc_service closes the box, and the run ends.
    EXPECT_TRUE(events.next(freecad::RunEvent::Ended));
    host.finish();

    // A second run, ended by the user closing its box.
    host.start(u"Export ZEL", freecad::occt_model_of(two_boxes_and_a_line()), settings);
    const auto second = events.next(freecad::RunEvent::BoxOpened);
    ASSERT_TRUE(second);
    host.box_closed(second->number);
    EXPECT_TRUE(events.next(freecad::RunEvent::Ended));
    host.finish();
    EXPECT_FALSE(host.running());
}
