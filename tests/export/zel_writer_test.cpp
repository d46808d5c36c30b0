// The file as simulation tools read it: layout, numbers, attribute order,
// and documents that cannot be written fail before any file.
#include <gtest/gtest.h>


#include <cmath>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>

#include <pugixml.hpp>

#include <fmt/format.h>

#include "addin/export/zel_writer.h"
#include "tests/scratch.h"
#include "tests/error_of.h"

using namespace velmora::zel;
using velmora::testing::read_text;
using velmora::testing::scratch;
namespace fs = std::filesystem;

namespace {

ZelDocument exported_header()
{
    ZelDocument d;
    d.inform = "ZEL SW Plugin";
    d.majorVersion = 1;
    return d;
}

// Names made of any bytes: markup, quotes, control characters, a NUL,
// UTF-8 and bytes that are not UTF-8.
std::string random_name(std::mt19937& rng)
{
    static const std::string pieces[] = {"a", "Body", "<", ">", "&", "\"", "'", "\t", "\n", "\r", "\x01", "\x1f",
                                         std::string(1, '\0'), "\xd0\x96", "\xff", " ", "&amp;", "]]>", "\x7f"};
    std::string out;
    const int n = std::uniform_int_distribution<int>(0, 6)(rng);
    for (int i = 0; i < n; ++i) out += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(rng)];
    return out;
}

// A document of every kind of element, structures nested several levels
// (with empty ones among them), optional attributes set at random.
ZelDocument random_document(unsigned seed)
{
    std::mt19937 rng(seed);
    auto coin = [&] { return std::uniform_int_distribution<int>(0, 1)(rng) == 1; };
    auto number = [&] { return std::uniform_real_distribution<double>(-1e3, 1e3)(rng) * (coin() ? 1e-6 : 1.0); };
    auto maybe = [&]() -> std::optional<std::string> {
        if (coin()) return random_name(rng);
        return std::nullopt;
    };
    ZelDocument d = exported_header();
    d.producerName = maybe();
    d.producerPlatform = maybe();
    Id next = 1;
    auto geom = [&](GeomElem& e, MethodType m) {
        e.method = m;
        e.name = random_name(rng);
        e.comment = maybe();
        e.inform = maybe();
        if (coin()) e.LCS = CoordSystem{number(), number(), number(), 1, 0, 0, 0, 1, 0, 0, 0, 1};
        if (coin()) e.color = Colour{1, 128, 255};
        e.visible = coin();
    };
    auto fill = [&](ObjectLists& lists) {
        for (int k = std::uniform_int_distribution<int>(0, 2)(rng); k > 0; --k) {
            SolidElem s;
            geom(s, MethodType::Triangulation);
            if (coin()) s.MIP = MIPData{number(), number(), number(), 1, 2, 3, 4, 5, 6, 7};
            for (int v = 0; v < 4; ++v) s.vertices.push_back({number(), number(), number()});
            s.faces = {{1, 2, 3}, {2, 3, 4}};
            d.solid_map[next] = s;
            lists.solids.push_back(next++);
        }
        if (coin()) {
            MIPElem m;
            geom(m, MethodType::MIP);
            d.element_MIP_map[next] = m;
            lists.element_MIPs.push_back(next++);
        }
        if (coin()) {
            LineElem l;
            geom(l, MethodType::Polyline);
            l.vertices = {{number(), 0, 0}, {0, number(), 0}};
            d.line_map[next] = l;
            lists.lines.push_back(next++);
        }
        if (coin()) {
            PointElem p;
            geom(p, MethodType::PointXYZ);
            p.center = {number(), number(), number()};
            d.point_map[next] = p;
            lists.points.push_back(next++);
        }
        if (coin()) {
            RefElem r;
            r.name = random_name(rng);
            r.template_name = random_name(rng);
            r.comment = maybe();
            r.visible = coin();
            d.solid_ref_map[next] = r;
            lists.solid_refs.push_back(next++);
        }
    };
    std::function<Id(int)> structure = [&](int depth) {
        StructureRecord r;
        r.name = random_name(rng);
        r.inform = maybe();
        if (coin()) fill(r);
        if (depth < 4)
            for (int k = std::uniform_int_distribution<int>(0, 2)(rng); k > 0; --k) r.structures.push_back(structure(depth + 1));
        if (coin()) {
            StructureRefElem ref;
            ref.name = random_name(rng);
            ref.template_name = "T";
            d.structure_ref_map[next] = ref;
            r.structure_refs.push_back(next++);
        }
        const Id id = next++;
        d.structure_map[id] = std::move(r);
        return id;
    };
    fill(d);
    for (int k = std::uniform_int_distribution<int>(0, 3)(rng); k > 0; --k) d.structures.push_back(structure(1));
    if (coin()) {
        LineElem t;
        geom(t, MethodType::Polyline);
        d.template_lines.push_back({next++, t});
        StructureRecord ts;
        ts.name = random_name(rng);
        d.template_structures.push_back({next++, ts});
    }
    return d;
}

}  // namespace

// The text is what pugixml itself writes for the same elements: read back
// and saved again by pugixml it does not change by a byte.
TEST(ZelWriter, TextIsPugixmlsOwnLayout)
{
    for (unsigned seed = 1; seed <= 300; ++seed) {
        const std::string text = format_zel_document(random_document(seed));
        pugi::xml_document xml;
        // Keeps the "\n" of an empty list, which pugixml writes as it is.
        const unsigned flags = pugi::parse_default | pugi::parse_ws_pcdata_single;
        ASSERT_TRUE(xml.load_buffer(text.data(), text.size(), flags, pugi::encoding_utf8)) << seed;
        std::ostringstream again;
        xml.save(again, "  ", pugi::format_indent, pugi::encoding_auto);
        ASSERT_EQ(again.str(), text) << "seed " << seed;
    }
}

// A placed mesh is written as the same mesh moved and copied would be, a
// file far larger than the writer's buffer is the formatted text exactly,
// and a fault found on the way leaves no file.
TEST(ZelWriter, PlacedMeshesAndLargeFiles)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coord(-1, 1);
    std::vector<Point3> vertices(30000);
    for (auto& v : vertices) v = {coord(rng), coord(rng), -0.0};
    std::vector<Triangle> faces;
    for (std::uint64_t t = 1; t + 2 <= vertices.size(); ++t) faces.push_back({t, t + 1, t + 2});
    const double c = std::cos(0.3), s = std::sin(0.3);
    const Placement placement{c, -s, 0, s, c, 0, 0, 0, 1, 0.125, -2.5, 1e-3};

    ZelDocument shared = exported_header(), copied = exported_header();
    for (Id id = 1; id <= 3; ++id) {
        SolidElem e;
        e.name = "Body";
        e.mesh = PlacedMesh{&vertices, &faces, placement};
        shared.solid_map[id] = e;
        shared.solids.push_back(id);
        e.mesh.reset();
        for (const auto& v : vertices) e.vertices.push_back(place(placement, v));
        e.faces = faces;
        copied.solid_map[id] = e;
        copied.solids.push_back(id);
    }
    const std::string text = format_zel_document(shared);
    EXPECT_EQ(text, format_zel_document(copied));
    EXPECT_GT(text.size(), 3u << 20);
    EXPECT_NE(text.find(fmt::format("\n{:.8}, {:.8}, ", place(placement, vertices[0])[0], place(placement, vertices[0])[1])),
              std::string::npos);
    const std::string dir = scratch("large");
    write_zel_document(shared, dir + "/out.zel");
    EXPECT_EQ(read_text(dir + "/out.zel"), text);

    // A fault found after megabytes of numbers are on their way still
    // leaves no file behind.
    shared.solids.push_back(99);
    fs::remove(dir + "/out.zel");
    EXPECT_THROW(write_zel_document(shared, dir + "/out.zel"), std::out_of_range);
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST(ZelWriter, WorkedExampleByteForByte)
{
    EXPECT_EQ(format_zel_document(exported_header()),
              "<?xml version=\"1.0\"?>\n<ZEL>\n"
              "  <header inform=\"ZEL SW Plugin\" minorVersion=\"0\" majorVersion=\"1\" />\n</ZEL>\n");
    ZelDocument d = exported_header();
    SolidElem body;
    body.name = "Body1";
    body.color = Colour{200, 200, 200};
    body.vertices = {{0, 0, 0}, {0.1, 0, 0}, {0.1, 0.1, 0}, {0, 0.1, 0}};
    body.faces = {{1, 2, 3}, {1, 3, 4}};
    d.solid_map[1] = body;
    d.solids = {1};
    PointElem p;
    p.method = MethodType::PointXYZ;
    p.name = "P1";
    p.center = {0.025, 0.01, 0};
    p.visible = false;
    d.point_map[2] = p;
    d.points = {2};
    LineElem c;
    c.method = MethodType::Polyline;
    c.name = "C1";
    c.vertices = {{0, 0, 0.05}, {0.2, 0, 0.05}};
    d.line_map[4] = c;
    StructureRecord sub;
    sub.name = "Sub";
    sub.lines = {4};
    d.structure_map[3] = sub;
    d.structures = {3};

    const std::string expected =
        "<?xml version=\"1.0\"?>\n"
        "<ZEL>\n"
        "  <header inform=\"ZEL SW Plugin\" minorVersion=\"0\" majorVersion=\"1\" />\n"
        "  <solid method=\"triangulation\" name=\"Body1\" color=\"RGB, 200, 200, 200\">\n"
        "    <vertices>\n"
        "0, 0, 0;\n"
        "0.1, 0, 0;\n"
        "0.1, 0.1, 0;\n"
        "0, 0.1, 0;\n"
        "</vertices>\n"
        "    <faces>\n"
        "1, 2, 3;\n"
        "1, 3, 4;\n"
        "</faces>\n"
        "  </solid>\n"
        "  <point method=\"pointXYZ\" center=\"0.025, 0.01, 0\" name=\"P1\" visible=\"false\" />\n"
        "  <structure name=\"Sub\">\n"
        "    <line method=\"polyline\" name=\"C1\">\n"
        "      <vertices>\n"
        "0, 0, 0.05;\n"
        "0.2, 0, 0.05;\n"
        "</vertices>\n"
        "    </line>\n"
        "  </structure>\n"
        "</ZEL>\n";
    EXPECT_EQ(format_zel_document(d), expected);
}

// Attributes in the order readers expect; numbers in eight significant
// digits; templates before the references to them.
TEST(ZelWriter, NumbersAttributeOrderAndReferences)
{
    ZelDocument d = exported_header();
    d.producerName = "Velmora";
    SolidElem s;
    s.name = "S";
    s.MIP = MIPData{0.1, 1e-7, -0.0, 1, 0.00001, 123456789.0, 0, 0, 0, 0};
    d.solid_map[1] = s;
    d.solids = {1};
    MIPElem m;
    m.method = MethodType::MIP;
    m.name = "M";
    m.visible = false;
    d.element_MIP_map[2] = m;
    d.element_MIPs = {2};
    LineElem t;
    t.method = MethodType::Polyline;
    t.name = "T";
    d.template_lines.push_back({7, t});
    RefElem r;
    r.name = "R";
    r.template_name = "T";
    r.MCS[0] = 1;
    r.visible = false;
    d.line_ref_map[8] = r;
    d.line_refs = {8};
    StructureRefElem sr;
    sr.name = "SR";
    sr.template_name = "ST";
    d.structure_ref_map[9] = sr;
    d.structure_refs = {9};
    const std::string text = format_zel_document(d);
    const char* expected[] = {
        "majorVersion=\"1\" producerName=\"Velmora\" />",
        "<templateLine method=\"polyline\" name=\"T\">",
        "<solid method=\"triangulation\" MIP=\"MIP, 0.1, 1e-07, -0, 1, 1e-05, 1.2345679e+08, 0, 0, 0, 0\" name=\"S\">",
        "<vertices>\n</vertices>",  // empty lists: one line break
        "<elementMIP method=\"MIP\" MIP=\"MIP, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0\" name=\"M\" visible=\"false\" />",
        "<lineRef name=\"R\" MCS=\"CS, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0\" template=\"T\" visible=\"false\" />",
        "<structureRef name=\"SR\""};
    std::size_t at = 0;
    for (const char* piece : expected) {
        at = text.find(piece, at);
        ASSERT_NE(at, std::string::npos) << piece << "\n" << text;
    }
}

TEST(ZelWriter, BadDocumentsFailBeforeAnyFile)
{
    const std::string dir = scratch("bad");
    const std::string path = dir + "/out.zel";
    ZelDocument method = exported_header();
    PointElem p;
    p.method = static_cast<MethodType>(9);
    method.point_map[1] = p;
    method.points = {1};
    EXPECT_EQ(velmora::testing::error_of<std::runtime_error>([&] { write_zel_document(method, path); }),
              "ERROR! Unknown GeomElem::MethodType: 9");
    EXPECT_TRUE(fs::is_empty(dir));
}
