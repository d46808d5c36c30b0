// The OpenCASCADE host behind the add-in: the tree, meshes, sizes and mass
// properties of real shapes.
#include <gtest/gtest.h>

#include <map>

#include <BRepBuilderAPI_Transform.hxx>
#include <BRepGProp.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRep_Builder.hxx>
#include <GProp_GProps.hxx>
#include <TopoDS_Compound.hxx>
#include <algorithm>
#include <atomic>
#include <sstream>
#include <thread>

#include "addin/cad/node_identity.h"
#include "addin/export/mass_properties.h"
#include "examples/xde_builder.h"
#include "tests/e2e/zel_geometry.h"
#include "hosts/occt/occt_state.h"
#include "served_model.h"

#include <pugixml.hpp>

using namespace velmora;
using velmora::testing::Served;
using velmora::testing::temp_path;

TEST(OcctHost, AssemblyPlacementsAndPersistentIds)
{
    examples::XdeBuilder b;
    const TDF_Label part = b.part(BRepPrimAPI_MakeBox(10.0, 10.0, 10.0).Shape(), "Cube");
    const TDF_Label sub = b.assembly("Sub");
    b.place(sub, part, examples::at(100, 0, 0));
    const TDF_Label top = b.assembly("Top");
    b.place(top, sub, examples::at(0, 50, 0));
    b.place(top, part);
    const std::string path = temp_path("nested.step");
    b.write(path);

    Served s(path);
    // Top 0, its children Sub and Cube, their bodies.
    ASSERT_EQ(s.tree.nodes.at(0).children_ids.size(), 2u);
    std::vector<std::string> texts;
    std::vector<int32_t> solids;
    for (const auto& [id, n] : s.tree.nodes)
        if (n.type == CAD_RPC::NodeType::Solid) solids.push_back(id);
    ASSERT_EQ(solids.size(), 2u);
    texts = cad::get_persistent_ids(s.registry, solids);
    EXPECT_NE(texts[0], texts[1]);
    Served again(path);
    std::vector<int32_t> again_solids;
    for (const auto& [id, n] : again.tree.nodes)
        if (n.type == CAD_RPC::NodeType::Solid) again_solids.push_back(id);
    EXPECT_EQ(cad::get_persistent_ids(again.registry, again_solids), texts);

    // The nested cube lands at (0.1, 0.05, 0) in the exported file.
    CAD_RPC::Settings settings;
    settings.export_solids = true;
    exporter::BodyGeometryCache cache;
    const std::string text = zel::format_zel_document(
        exporter::build_zel_document(s.tree, settings, s.registry, cache, s.app->get_active_document()));
    EXPECT_NE(text.find("\n0.1, 0.05, 0;\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n0.11, 0.06, 0.01;\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n0.01, 0.01, 0.01;\n"), std::string::npos) << text;
    // Both cubes are occurrences of one part: their two bodies share one mesh, walked once.
    EXPECT_EQ(&exporter::geometry_of(cache, s.registry.object_at(solids[0])->as_body()),
              &exporter::geometry_of(cache, s.registry.object_at(solids[1])->as_body()));
}

// A rotated occurrence's MIP in the model's axes, as OpenCASCADE measures
// the placed solid: alone, and two of them combined into one element.
TEST(OcctHost, MipsOfRotatedOccurrencesAreInTheModelsAxes)
{
    examples::XdeBuilder b;
    // Off the origin and of three lengths: every component of the tensor counts.
    const TopoDS_Shape box = BRepPrimAPI_MakeBox(gp_Pnt(5, 10, 20), 40.0, 20.0, 10.0).Shape();
    const TDF_Label part = b.part(box, "");
    const TDF_Label top = b.assembly("");
    gp_Trsf turned, other;
    turned.SetRotation(gp_Ax1(gp_Pnt(0, 0, 0), gp_Dir(1, 1, 1)), 0.7);
    turned.SetTranslationPart(gp_Vec(100, 0, 0));
    other.SetRotation(gp_Ax1(gp_Pnt(0, 0, 0), gp_Dir(0, 1, 0)), -1.2);
    b.place(top, part, TopLoc_Location(turned), "Turned");
    b.place(top, part, TopLoc_Location(other), "Other");
    const std::string path = temp_path("turned.step");
    b.write(path);

    Served s(path);
    const double density = 1000.0;  // the host's default
    auto measured = [&](std::initializer_list<gp_Trsf> placements) {
        GProp_GProps all;
        for (const gp_Trsf& t : placements) {
            GProp_GProps one;
            gp_Trsf metres = t;
            metres.SetTranslationPart(t.TranslationPart() * 0.001);
            BRepGProp::VolumeProperties(BRepBuilderAPI_Transform(box, [] { gp_Trsf m; m.SetScaleFactor(0.001); return m; }())
                                            .Shape().Moved(TopLoc_Location(metres)), one);
            all.Add(one);
        }
        const gp_Pnt c = all.CentreOfMass();
        const gp_Mat m = all.MatrixOfInertia();
        return std::array<double, 10>{c.X(), c.Y(), c.Z(), all.Mass() * density, m(1, 1) * density, m(2, 2) * density,
                                      m(3, 3) * density, m(1, 2) * density, m(1, 3) * density, m(2, 3) * density};
    };
    auto expect_near = [](const zel::MIPData& got, const std::array<double, 10>& want) {
        for (std::size_t i = 0; i < want.size(); ++i)
            EXPECT_NEAR(got[i], want[i], 1e-9 + 1e-7 * std::abs(want[i])) << "component " << i;
    };
    const int32_t turned_body = s.tree.nodes.at(s.id_of("Turned")).children_ids.at(0);
    const int32_t other_body = s.tree.nodes.at(s.id_of("Other")).children_ids.at(0);
    const auto one = exporter::placed_mip(s.registry, turned_body, s.id_of("Turned"));
    ASSERT_TRUE(one);
    expect_near(*one, measured({turned}));
    const auto two = exporter::placed_mip(s.registry, other_body, s.id_of("Other"));
    ASSERT_TRUE(two);
    expect_near(exporter::combine_mip(*one, *two), measured({turned, other}));
}

// Mass properties with the density of each part's material in the file,
// converted to kg/m^3 (two products name their materials alike, with their
// own densities); the host's setting where the file gives none or one in a
// unit that is no density.
TEST(OcctHost, DensitiesOfTheFilesMaterials)
{
    examples::XdeBuilder b;
    const TDF_Label rack = b.assembly("Rack");
    const char* names[] = {"Steel block", "Alu block", "Odd block", "Plain block"};
    const char* material[] = {"Steel", "Aluminium", "Odd", nullptr};
    const double density[] = {7.85, 2.7, 1.5, 0};
    for (int i = 0; i < 4; ++i) {
        const TDF_Label part = b.part(BRepPrimAPI_MakeBox(10.0, 10.0, 10.0).Shape(), names[i]);
        if (material[i]) b.material(part, material[i], density[i]);
        b.place(rack, part, examples::at(20.0 * i, 0, 0));
    }
    const std::string path = temp_path("materials.step");
    b.write(path);
    // OpenCASCADE writes g/cm^3 with wrong exponents: steel gets them right
    // (g/cm^3), aluminium is in kg/m^3, the odd one stays as it was written.
    const std::string element = "DERIVED_UNIT_ELEMENT\\((#\\d+),";
    // Both products' materials are then named alike, each with its density.
    velmora::testing::rewrite(path, {{element + "3\\.\\)", "DERIVED_UNIT_ELEMENT($1,1.)"},
                                     {element + "2\\.\\)", "DERIVED_UNIT_ELEMENT($1,-3.)"},
                                     {"ITEM\\('Aluminium'", "ITEM('Steel'"},
                                     {element + "3\\.\\)", "DERIVED_UNIT_ELEMENT($1,1.)"},
                                     {"SI_UNIT\\(\\$,\\.GRAM\\.\\)", "SI_UNIT(.KILO.,.GRAM.)"},
                                     {element + "2\\.\\)", "DERIVED_UNIT_ELEMENT($1,-3.)"},
                                     {"SI_UNIT\\(\\.CENTI\\.,\\.METRE\\.\\)", "SI_UNIT($,.METRE.)"},
                                     {"RATIO_MEASURE\\(2\\.7", "RATIO_MEASURE(2700."}});
    std::vector<std::string> warnings;
    std::ostringstream log;
    occt::OcctHostOptions options;
    options.density = 500.0;
    options.warn = [&](const std::string& w) { warnings.push_back(w); };
    options.log = &log;
    Served s(path, options);
    const double expected[] = {7850.0, 2700.0, 500.0, 500.0};
    for (int i = 0; i < 4; ++i) {
        const int32_t body = s.tree.nodes.at(s.id_of(names[i] + std::string("-1"))).children_ids.at(0);
        const auto mip = exporter::body_mip(s.registry.object_at(body)->as_body(), s.app->get_active_document());
        ASSERT_TRUE(mip);
        EXPECT_NEAR((*mip)[3], expected[i] * 1e-6, 1e-12) << names[i];
    }
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("'Odd' of 'Odd block'"), std::string::npos) << warnings[0];
    EXPECT_NE(log.str().find("material Steel of part Alu block: 2700"), std::string::npos) << log.str();
}

// A file whose styles break OpenCASCADE's reader of names and colours is
// read again for its geometry alone, with a warning.
TEST(OcctHost, FilesOnlyThePlainReaderReads)
{
    examples::XdeBuilder b;
    TopoDS_Compound two;
    BRep_Builder builder;
    builder.MakeCompound(two);
    builder.Add(two, BRepPrimAPI_MakeBox(10.0, 20.0, 30.0).Shape());
    builder.Add(two, BRepPrimAPI_MakeBox(gp_Pnt(50, 0, 0), 10.0, 10.0, 10.0).Shape());
    b.colour(b.part(two, "Pair"), 0.8, 0.1, 0.1);
    const std::string path = temp_path("bad-style.step");
    b.write(path);
    const std::string text = velmora::testing::read_text(path);
    std::smatch direction;
    ASSERT_TRUE(std::regex_search(text, direction, std::regex("#(\\d+) = DIRECTION")));
    velmora::testing::rewrite(path, {{"FILL_AREA_STYLE\\('',\\(#\\d+\\)\\)", "FILL_AREA_STYLE('',(#" + direction.str(1) + "))"}});

    std::vector<std::string> warnings;
    occt::OcctHostOptions options;
    options.warn = [&](const std::string& w) { warnings.push_back(w); };
    Served s(path, options);
    std::vector<double> masses;
    for (const auto& [id, node] : s.tree.nodes)
        if (node.type == CAD_RPC::NodeType::Solid)
            masses.push_back((*exporter::body_mip(s.registry.object_at(id)->as_body(), s.app->get_active_document()))[3]);
    std::sort(masses.begin(), masses.end());
    ASSERT_EQ(masses.size(), 2u);
    EXPECT_NEAR(masses[0], 1e-3, 1e-12);  // 1 cm^3 at 1000 kg/m^3
    EXPECT_NEAR(masses[1], 6e-3, 1e-12);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("without names and colours"), std::string::npos) << warnings[0];
}

// A templated export expands, reference by reference, to the plain export's
// solids and MIPs in model coordinates, on the sample and on an assembly with
// rotated occurrences; solids used once are written as they were.
TEST(Templates, ReferencesExpandToThePlainExportsSolids)
{
    examples::XdeBuilder model;
    const TDF_Label part = model.part(BRepPrimAPI_MakeBox(gp_Pnt(5, 10, 20), 40.0, 20.0, 10.0).Shape(), "Block");
    const TDF_Label top = model.assembly("");
    for (const double angle : {0.7, -1.2, 2.0}) {
        gp_Trsf turned;
        turned.SetRotation(gp_Ax1(gp_Pnt(0, 0, 0), gp_Dir(1, angle, 1)), angle);
        turned.SetTranslationPart(gp_Vec(100 * angle, 0, 0));
        model.place(top, part, TopLoc_Location(turned));
    }
    const std::string turned_path = temp_path("turned-templates.step");
    model.write(turned_path);

    for (const std::string& path : {std::string(SAMPLE_MODEL), turned_path}) {
        Served s(path);
        auto text_of = [&](CAD_RPC::TemplatesSettings::type templates) {
            CAD_RPC::Settings settings;
            settings.export_solids = settings.export_MIPs = true;
            settings.templates_settings = templates;
            exporter::BodyGeometryCache cache;
            return zel::format_zel_document(
                exporter::build_zel_document(s.tree, settings, s.registry, cache, s.app->get_active_document()));
        };
        const std::string plain = text_of(CAD_RPC::TemplatesSettings::SimpleObjectEnumeration);
        const std::string templated = text_of(CAD_RPC::TemplatesSettings::SearchForTemplates);
        pugi::xml_document a, b;
        ASSERT_TRUE(a.load_string(plain.c_str()));
        ASSERT_TRUE(b.load_string(templated.c_str()));
        using velmora::testing::placed;
        auto flat = [](const std::vector<velmora::testing::Point>& points) {
            std::vector<double> out;
            for (const auto& p : points) out.insert(out.end(), p.begin(), p.end());
            return out;
        };
        // The plain file's solids by name (several may share one).
        std::multimap<std::string, velmora::testing::ZelSolid> plain_solids;
        for (const auto& x : a.select_nodes("//solid"))
            plain_solids.emplace(x.node().attribute("name").value(), velmora::testing::zel_solid(x.node()));
        std::map<std::string, pugi::xml_node> templates;
        for (const auto& x : b.select_nodes("/ZEL/templateSolid")) templates[x.node().attribute("name").value()] = x.node();
        std::size_t refs = 0;
        for (const auto& x : b.select_nodes("//solidRef")) {
            const std::vector<double> m = velmora::testing::numbers_after_tag(x.node().attribute("MCS").value());
            ASSERT_EQ(m.size(), 12u);
            velmora::testing::ZelSolid t = velmora::testing::zel_solid(templates.at(x.node().attribute("template").value()));
            for (auto& v : t.vertices) v = placed(m, v);
            // The MIP: the centre placed, the tensor turned (R I R^T; off-diagonals as the file keeps them).
            std::vector<double>& mip = t.mip;
            ASSERT_EQ(mip.size(), 10u);
            const auto centre = placed(m, {mip[0], mip[1], mip[2]});
            std::copy(centre.begin(), centre.end(), mip.begin());
            const double I[3][3] = {{mip[4], mip[7], mip[8]}, {mip[7], mip[5], mip[9]}, {mip[8], mip[9], mip[6]}};
            double J[3][3] = {};
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    for (int k = 0; k < 3; ++k)
                        for (int l = 0; l < 3; ++l) J[i][j] += m[3 * i + k] * I[k][l] * m[3 * j + l];
            const double turned_tensor[6] = {J[0][0], J[1][1], J[2][2], J[0][1], J[0][2], J[1][2]};
            std::copy(turned_tensor, turned_tensor + 6, mip.begin() + 4);
            auto near = [](const std::vector<double>& x, const std::vector<double>& y, double scale) {
                if (x.size() != y.size()) return false;
                for (std::size_t i = 0; i < x.size(); ++i)
                    if (std::abs(x[i] - y[i]) > 1e-7 * std::max(scale, std::abs(y[i]))) return false;
                return true;
            };
            bool found = false;
            for (auto [it, end] = plain_solids.equal_range(x.node().attribute("name").value()); it != end && !found; ++it) {
                const std::vector<double>& want = it->second.mip;
                found = near(flat(t.vertices), flat(it->second.vertices), 1.0) && want.size() == 10 &&
                        near({mip.begin(), mip.begin() + 4}, {want.begin(), want.begin() + 4}, 1.0) &&
                        near({mip.begin() + 4, mip.end()}, {want.begin() + 4, want.end()},
                             *std::max_element(mip.begin() + 4, mip.begin() + 7));
            }
            EXPECT_TRUE(found) << path << ": " << x.node().attribute("name").value();
            ++refs;
        }
        EXPECT_GE(refs, 2u) << path;
        // Solids used once: the same elements, byte for byte.
        for (std::size_t at = templated.find("<solid "); at != std::string::npos; at = templated.find("<solid ", at + 1)) {
            const std::string element = templated.substr(at, templated.find("</solid>", at) - at);
            EXPECT_NE(plain.find(element), std::string::npos) << element.substr(0, 200);
        }
    }
}

// A window lets go of the host's redraws before it goes: once the listener
// is replaced, the old one is neither running nor called again.
TEST(OcctHost, NoRedrawListenerRunsAfterItIsReplaced)
{
    occt::DisplayState display;
    std::atomic<bool> in_call{false};
    display.set_listener([&] {
        in_call = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        in_call = false;
    });
    std::thread serving([&] { display.redraw(); });
    while (!in_call) std::this_thread::yield();
    display.set_listener(nullptr);
    EXPECT_FALSE(in_call);
    serving.join();
}
