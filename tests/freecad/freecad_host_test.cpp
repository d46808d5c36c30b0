// The FreeCAD back end without FreeCAD (and so under the sanitizers): the
// environment's settings, a bad shape, and a run of the real add-in driven
// by its events as FreeCAD's main thread drives it.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <sstream>
#include <thread>

#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <TopoDS_Compound.hxx>

#include "cad_rpc_connection.h"
#include "hosts/freecad/freecad_host.h"
#include "tests/error_of.h"

using namespace velmora;
using namespace std::chrono_literals;

namespace {

// Two boxes in one object, as FreeCAD's snapshot hands it over.
freecad::FreecadDocument a_pair()
{
    TopoDS_Compound pair;
    BRep_Builder builder;
    builder.MakeCompound(pair);
    builder.Add(pair, BRepPrimAPI_MakeBox(10, 20, 30).Shape());
    builder.Add(pair, BRepPrimAPI_MakeBox(gp_Pnt(20, 0, 0), 10, 10, 10).Shape());
    std::ostringstream brep;
    BRepTools::Write(pair, brep);
    freecad::FreecadDocument d;
    d.label = "Документ";
    d.shapes.push_back({"Pair", brep.str(), occt::Rgb{0.5, 0.5, 0.5}, {}, {}, {}});
    d.top.push_back({"Pair", "Pair", true, {1, 0, 0, 100, 0, 1, 0, 0, 0, 0, 1, 0}, 0, {}});
    return d;
}

// Takes events as FreeCAD's timer does; next() finds the first of a kind
// (the notice's thread and the serving thread post in either order).
class Events {
public:
    explicit Events(freecad::FreecadHost& host) : host_(host) {}
    std::optional<freecad::RunEvent> next(freecad::RunEvent::Kind kind)
    {
        // Up to 30 s: machines are shared.
        for (int i = 0; i < 3000; ++i) {
            for (auto& e : host_.take_events()) pending_.push_back(e);
            for (auto e = pending_.begin(); e != pending_.end(); ++e)
                if (e->kind == kind) {
                    const auto found = *e;
                    pending_.erase(e);
                    return found;
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

TEST(FreecadHost, BadSettingsAndShapesAreNamed)
{
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"VELMORA_PORT", "70000"}, {"VELMORA_PORT", "12x"}, {"VELMORA_QUALITY", "best"}, {"VELMORA_DENSITY", "-1"}};
    for (const auto& [name, value] : bad) {
        auto variable = [&](const char* asked) { return name == asked ? value.c_str() : nullptr; };
        EXPECT_NE(velmora::testing::error_of<std::invalid_argument>([&] { freecad::settings_from(variable); }).find(name),
                  std::string::npos);
    }
    auto none = [](const char* name) { return std::string(name) == "VELMORA_GUI" ? "none" : nullptr; };
    EXPECT_FALSE(freecad::settings_from(none).start_gui);

    // A shape that is none, and a node deep down that names a shape not taken.
    auto broken = a_pair(), dangling = a_pair();
    broken.shapes[0].brep = "not a shape";
    dangling.top[0].children.push_back({"Lost", "Pair.Lost.", true, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}, 3, {}});
    for (const auto& [document, named] : {std::pair{broken, "'Pair'"}, std::pair{dangling, "'Lost'"}}) {
        EXPECT_NE(velmora::testing::error_of<std::runtime_error>([&] { freecad::occt_model_of(document); }).find(named),
                  std::string::npos);
    }
}

TEST(FreecadHost, ARunTellsItsBoxAndEndByEvents)
{
    freecad::FreecadHost host(ADDIN_MODULE);
    Events events(host);
    EXPECT_EQ(host.command_group().title, u"ZEL export");
    EXPECT_EQ(host.command_group().commands.at(0).name, u"Export ZEL");
    freecad::RunSettings settings;
    settings.start_gui = false;
    host.start(u"Export ZEL", freecad::occt_model_of(a_pair()), settings);
    EXPECT_THROW(host.start(u"Export ZEL", {}, settings), std::logic_error);
    const auto serving = events.next(freecad::RunEvent::Serving);
    ASSERT_TRUE(serving);
    const auto box = events.next(freecad::RunEvent::BoxOpened);
    ASSERT_TRUE(box);
    // FreeCAD's own name, which stop_rpc_service below finds the box by.
    EXPECT_EQ(box->caption, "FreeCAD is locked.");
    // (What a highlight selects: freecad_addon_test, in a real FreeCAD.)
    CAD_RPC::CAD_RPC_Connection(serving->number).client().stop_rpc_service();
    // stop_rpc_service closes the box, and the run ends.
    EXPECT_TRUE(events.next(freecad::RunEvent::BoxClosed));
    EXPECT_TRUE(events.next(freecad::RunEvent::Ended));
    host.finish();

    // A second run, ended by the user closing its box.
    host.start(u"Export ZEL", freecad::occt_model_of(a_pair()), settings);
    const auto second = events.next(freecad::RunEvent::BoxOpened);
    ASSERT_TRUE(second);
    host.box_closed(second->number);
    EXPECT_TRUE(events.next(freecad::RunEvent::Ended));
    host.finish();
    EXPECT_FALSE(host.running());
}
