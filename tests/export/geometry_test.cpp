// Triangulation, colours, curve sampling and mass-property arithmetic.
#include <gtest/gtest.h>

#include <cmath>

#include "addin/export/geometry.h"
#include "addin/export/mass_properties.h"
#include "hosts/memory/memory_model.h"

using namespace velmora;
using memory::Facet;
using memory::MemoryModel;

TEST(Tessellation, CornersMergeOnlyWhenBitIdentical)
{
    MemoryModel model;
    auto doc = model.open_part();
    auto body = model.add_body(*doc->content, u"B");
    const double x = 0.1, x_next = std::nextafter(0.1, 1.0);
    body->add_face({Facet{{0, 0, 0}, {x, 0, 0}, {x, x, 0}}, Facet{{0, 0, 0}, {x, x, 0}, {0, x, 0}}});
    body->add_face({Facet{{x_next, 0, 0}, {x, x, 0}, {0, 0, -0.0}}, Facet{{1, 1, 1}, {2, 2, 2}}});

    const auto g = exporter::tessellate_body(body);
    ASSERT_EQ(g.vertices.size(), 5u);  // 4 corners of the first face + the last-bit neighbour
    EXPECT_EQ(g.vertices[4][0], x_next);
    ASSERT_EQ(g.faces.size(), 3u);  // the two-corner facet is skipped
    EXPECT_EQ(g.faces[0], (zel::Triangle{1, 2, 3}));
    EXPECT_EQ(g.faces[1], (zel::Triangle{1, 3, 4}));
    EXPECT_EQ(g.faces[2], (zel::Triangle{5, 3, 1}));  // -0.0 is the same position as 0.0
    for (const auto& f : g.faces)
        for (auto n : f) EXPECT_GE(n, 1u);
}

TEST(Tessellation, CacheTessellatesOnceAndKeepsTheFirstResult)
{
    MemoryModel model;
    auto doc = model.open_part();
    auto body = model.add_body(*doc->content, u"B");
    body->add_face({Facet{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}});
    exporter::BodyGeometryCache cache;
    const auto& first = exporter::geometry_of(cache, body);
    body->first_face->facets.push_back(Facet{{5, 5, 5}, {6, 5, 5}, {5, 6, 5}});  // edited in the host
    const auto& second = exporter::geometry_of(cache, body);
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(second.faces.size(), 1u);
    EXPECT_EQ(model.log->count("Body::get_tessellation"), 1u);
}

TEST(Colour, AllThreeChannelsMustBeNonZero)
{
    EXPECT_FALSE(exporter::colour_from_appearance({1.0, 0.5, 0.0}));
    EXPECT_EQ(exporter::colour_from_appearance({1.0, 0.5, 0.004}), (zel::Colour{255, 127, 1}));
    EXPECT_EQ(exporter::colour_from_appearance({2.0, 0.5, 1.0, 0.3}), (zel::Colour{255, 127, 255}));
    EXPECT_FALSE(exporter::colour_from_appearance({1.0, 0.5}));
    EXPECT_FALSE(exporter::colour_from_appearance({NAN, 0.5, 0.5}));

    MemoryModel model;
    auto doc = model.open_part();
    auto feature = model.add_feature(*doc->content, u"RefCurve", u"C");
    feature->appearance = {0.2, 0.4, 0.6};
    doc->configuration->identifier = u"Config-2";
    EXPECT_EQ(exporter::curve_colour(feature, doc), (zel::Colour{51, 102, 153}));
    EXPECT_EQ(feature->last_appearance_args, (std::array<int, 2>{4, 1}));
    EXPECT_EQ(feature->last_appearance_configuration, u"Config-2");
}

TEST(Curve, SegmentsAreVisitedLastFirstDroppingSharedEnds)
{
    MemoryModel model;
    auto doc = model.open_part();
    auto feature = model.add_feature(*doc->content, u"CompositeCurve", u"C");
    feature->curve_definition = model.make<memory::MemoryCurveDefinition>();
    EXPECT_TRUE(exporter::sample_curve(feature).empty());  // no segments
    for (double base : {0.0, 10.0, 20.0}) {
        auto seg = model.make<memory::MemoryCurveSegment>();
        seg->curve = model.make<memory::MemoryCurve>();
        seg->curve->samples = {base, 0, 0, base + 1, 0, 0, base + 2, 0, 0, 99};  // a stray value is ignored
        feature->curve_definition->segments.push_back(seg);
    }
    const auto pts = exporter::sample_curve(feature);
    std::vector<double> xs;
    for (const auto& p : pts) xs.push_back(p[0]);
    EXPECT_EQ(xs, (std::vector<double>{20, 21, 10, 11, 0, 1, 2}));
}

TEST(Placement, RotationAndTranslationInRowOrder)
{
    MemoryModel model;
    auto doc = model.open_assembly(u"R");
    auto c = model.add_component(*doc->configuration->root, u"C");
    c->transform = {0, -1, 0, 1, 0, 0, 0, 0, 1, 10, 20, 30, 5, 0, 0, 0};  // the scale 5 is not applied
    const auto P = exporter::placement_of(c);
    EXPECT_EQ(exporter::apply_placement(P, {1, 2, 3}), (zel::Point3{8, 21, 33}));
    EXPECT_EQ(exporter::apply_placement(exporter::placement_of(nullptr), {1, 2, 3}), (zel::Point3{1, 2, 3}));
    c->transform = {1, 2};  // too short to read: identity
    EXPECT_EQ(exporter::apply_placement(exporter::placement_of(c), {1, 2, 3}), (zel::Point3{1, 2, 3}));
}

TEST(MassProperties, CombineShiftsInertiaToTheCommonCentre)
{
    const double m = 2.5;
    auto r = exporter::combine_mip({-1, 0, 0, m, 0, 0, 0, 0, 0, 0}, {1, 0, 0, m, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(r, (zel::MIPData{0, 0, 0, 2 * m, 0, 2 * m, 2 * m, 0, 0, 0}));

    r = exporter::combine_mip({0, 0, 0, 1, 0, 0, 0, 0, 0, 0}, {4, 0, 0, 3, 0, 0, 0, 0, 0, 0});
    EXPECT_DOUBLE_EQ(r[0], 3.0);
    EXPECT_DOUBLE_EQ(r[3], 4.0);

    r = exporter::combine_mip({1, 2, 3, 0, 1, 2, 3, 4, 5, 6}, {7, 8, 9, 0, 1, 1, 1, 1, 1, 1});
    EXPECT_EQ(r, (zel::MIPData{1, 2, 3, 0, 2, 3, 4, 5, 6, 7}));

    // Products of inertia carry the shift with a minus sign.
    r = exporter::combine_mip({0, 0, 0, 1, 0, 0, 0, 0, 0, 0}, {2, 2, 0, 1, 0, 0, 0, 0, 0, 0});
    EXPECT_DOUBLE_EQ(r[7], -2.0);  // Ixy = -(1*(1*1) + 1*(-1*-1))
}

TEST(MassProperties, BodyQueryAndPlacedCentre)
{
    MemoryModel model;
    auto doc = model.open_assembly(u"R");
    auto c = model.add_component(*doc->configuration->root, u"C");
    c->transform = {0, -1, 0, 1, 0, 0, 0, 0, 1, 10, 0, 0, 1, 0, 0, 0};
    auto body = model.add_body(*c, u"B");
    body->mass_properties = {0, {1, 0, 0, -7, -7, 2, 11, 12, 13, 14, 15, 16}};
    cad::CAD_ObjectRegistry registry(doc, model.application);
    const int32_t cid = registry.register_object(c);
    const int32_t bid = registry.register_object(body);

    const auto mip = exporter::placed_mip(registry, bid, cid);
    ASSERT_TRUE(mip);
    // Centre and tensor turned by the quarter turn about z: x to y, y to -x.
    EXPECT_EQ(*mip, (zel::MIPData{10, 1, 0, 2, 12, 11, 13, -14, -16, 15}));
    EXPECT_DOUBLE_EQ(body->last_mass_setting, 1.0);

    body->mass_properties.status = 1;
    EXPECT_FALSE(exporter::placed_mip(registry, bid, cid));
    EXPECT_THROW(exporter::placed_mip(registry, cid, cid), std::runtime_error);  // a component is no body
    EXPECT_THROW(exporter::placed_mip(registry, bid, 77), std::out_of_range);
}
