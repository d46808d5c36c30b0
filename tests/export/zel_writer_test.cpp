// The file as simulation tools read it: layout, numbers, attribute order,
// and that a failed save loses nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "addin/export/zel_writer.h"

using namespace velmora::zel;
namespace fs = std::filesystem;

namespace {

ZelDocument exported_header()
{
    ZelDocument d;
    d.inform = "ZEL SW Plugin";
    d.majorVersion = 1;
    return d;
}

std::string read_file(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string temp_dir(const std::string& name)
{
    auto dir = fs::path(::testing::TempDir()) / (name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

}  // namespace

TEST(ZelWriter, EmptyExportIsFourLines)
{
    EXPECT_EQ(formatZelDocument(exported_header()),
              "<?xml version=\"1.0\"?>\n<ZEL>\n"
              "  <header inform=\"ZEL SW Plugin\" minorVersion=\"0\" majorVersion=\"1\" />\n</ZEL>\n");
}

TEST(ZelWriter, WorkedExampleByteForByte)
{
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
    EXPECT_EQ(formatZelDocument(d), expected);

    const std::string path = temp_dir("worked") + "/out.zel";
    writeZelDocument(d, path);
    EXPECT_EQ(read_file(path), expected);
}

TEST(ZelWriter, NumbersAndAttributeOrder)
{
    ZelDocument d = exported_header();
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
    const std::string text = formatZelDocument(d);
    EXPECT_NE(text.find("<solid method=\"triangulation\" MIP=\"MIP, 0.1, 1e-07, -0, 1, 1e-05, 1.2345679e+08, "
                        "0, 0, 0, 0\" name=\"S\">"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<vertices>\n</vertices>"), std::string::npos);  // empty lists: one line break
    EXPECT_NE(text.find("<elementMIP method=\"MIP\" MIP=\"MIP, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0\" name=\"M\" "
                        "visible=\"false\" />"),
              std::string::npos)
        << text;
}

TEST(ZelWriter, TemplatesReferencesAndEscaping)
{
    ZelDocument d = exported_header();
    d.producerName = "Velmora";
    LineElem t;
    t.method = MethodType::Polyline;
    t.name = "a<b>&\"c\"";
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
    const std::string text = formatZelDocument(d);
    EXPECT_NE(text.find("majorVersion=\"1\" producerName=\"Velmora\" />"), std::string::npos) << text;
    EXPECT_NE(text.find("<templateLine method=\"polyline\" name=\"a&lt;b>&amp;&quot;c&quot;\">"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<lineRef name=\"R\" MCS=\"CS, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0\" template=\"T\" "
                        "visible=\"false\" />"),
              std::string::npos)
        << text;
    EXPECT_LT(text.find("<templateLine"), text.find("<lineRef"));
    EXPECT_LT(text.find("<lineRef"), text.find("<structureRef name=\"SR\""));
}

TEST(ZelWriter, BadDocumentsFailBeforeAnyFile)
{
    const std::string dir = temp_dir("bad");
    const std::string path = dir + "/out.zel";
    ZelDocument missing = exported_header();
    missing.solids = {5};
    try {
        writeZelDocument(missing, path);
        FAIL() << "no error";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "invalid unordered_map<K, T> key");
    }
    ZelDocument method = exported_header();
    PointElem p;
    p.method = static_cast<MethodType>(9);
    method.point_map[1] = p;
    method.points = {1};
    try {
        writeZelDocument(method, path);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "ERROR! Unknown GeomElem::MethodType: 9");
    }
    ZelDocument cycle = exported_header();
    cycle.structure_map[1].structures = {2};
    cycle.structure_map[2].structures = {1};
    cycle.structures = {1};
    EXPECT_THROW(writeZelDocument(cycle, path), std::runtime_error);
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST(ZelWriter, FailedSaveNamesThePathAndKeepsTheEarlierFile)
{
    const std::string dir = temp_dir("keep");
    const std::string path = dir + "/out.zel";
    {
        std::ofstream(path) << "earlier export";
    }
    // The folder refuses new files: the export cannot be written.
    ::chmod(dir.c_str(), 0555);
    const bool root_ignores_modes = ::access(dir.c_str(), W_OK) == 0;
    if (!root_ignores_modes) {
        try {
            writeZelDocument(exported_header(), path);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
    ::chmod(dir.c_str(), 0755);
    // A target that cannot be replaced (a folder) fails the same way.
    const std::string folder_target = dir + "/folder.zel";
    fs::create_directory(folder_target);
    fs::create_directory(folder_target + "/inside");
    try {
        writeZelDocument(exported_header(), folder_target);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(folder_target), std::string::npos) << e.what();
    }
    EXPECT_EQ(read_file(path), "earlier export");
    // Nothing half-written is left next to it.
    std::size_t entries = 0;
    for (auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 2u);
    EXPECT_FALSE(fs::exists(dir + "/nosuchdir/x.zel"));
    EXPECT_THROW(writeZelDocument(exported_header(), dir + "/nosuchdir/x.zel"), std::runtime_error);
}
