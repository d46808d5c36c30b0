// Reading real model files: units, assembly structure, shared parts, errors.
#include <gtest/gtest.h>

#include <iconv.h>

#include <fstream>

#include <BRepGProp.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <GProp_GProps.hxx>
#include <XCAFApp_Application.hxx>

#include "examples/edge_case_models.h"
#include "examples/xde_builder.h"
#include "hosts/occt/occt_model.h"
#include "served_model.h"
#include "tests/error_of.h"

using namespace velmora::occt;
using velmora::testing::rewrite;
using velmora::testing::temp_path;

namespace {

double volume(const TopoDS_Shape& s)
{
    GProp_GProps props;
    BRepGProp::VolumeProperties(s, props);
    return props.Mass();
}

// "Machine": a 10 mm cube "Shaft" placed `count` times, 100 mm apart.
std::string write_machine(const std::string& name, int count)
{
    velmora::examples::XdeBuilder b;
    const TDF_Label part = b.part(BRepPrimAPI_MakeBox(10.0, 10.0, 10.0).Shape(), "Shaft");
    const TDF_Label assembly = b.assembly("Machine");
    for (int i = 0; i < count; ++i) b.place(assembly, part, velmora::examples::at(100.0 * i, 0, 0));
    const std::string path = temp_path(name);
    b.write(path);
    return path;
}

// `utf8` in the code page iconv calls `page`.
std::string encoded(const std::string& utf8, const char* page)
{
    const iconv_t cd = iconv_open(page, "UTF-8");
    std::string out(4 * utf8.size() + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    char* to = out.data();
    std::size_t in_left = utf8.size(), to_left = out.size();
    EXPECT_NE(iconv(cd, &in, &in_left, &to, &to_left), static_cast<std::size_t>(-1)) << utf8 << " in " << page;
    iconv_close(cd);
    out.resize(out.size() - to_left);
    return out;
}

// An assembly "N0" of `parts` cubes "N1", "N2"..., each placed once.
std::string write_named_machine(const std::string& name, std::size_t parts)
{
    velmora::examples::XdeBuilder b;
    const TDF_Label assembly = b.assembly("N0");
    for (std::size_t i = 1; i <= parts; ++i)
        b.place(assembly, b.part(BRepPrimAPI_MakeBox(10.0, 10.0, 10.0 + i).Shape(), "N" + std::to_string(i)),
                velmora::examples::at(20.0 * i, 0, 0));
    const std::string path = temp_path(name);
    b.write(path);
    return path;
}

std::vector<std::string> child_names(const OcctModel& model)
{
    std::vector<std::string> out;
    for (const auto& child : model.root.children) out.push_back(child.name);
    return out;
}

}  // namespace

// A 10 x 20 x 30 mm box in each format the host reads, in metres: STEP
// and IGES in their stated unit, BREP (with or without Draw's header) in
// millimetres.
TEST(OcctModel, EachFormatReadsInMetres)
{
    const TopoDS_Shape box = BRepPrimAPI_MakeBox(10.0, 20.0, 30.0).Shape();
    const std::string step = temp_path("box.step"), iges = temp_path("box.igs"), plain = temp_path("plain.brep"),
                      drawn = temp_path("drawn.brep");
    for (const auto& p : {step, iges, plain}) velmora::examples::write_shape(box, p);
    {
        std::ifstream in(plain);
        std::ofstream out(drawn);
        out << "DBRep_DrawableShape\n\n" << in.rdbuf();
    }
    for (const auto& p : {step, iges, plain, drawn}) {
        const OcctModel model = read_model(p);
        EXPECT_FALSE(model.is_assembly) << p;
        ASSERT_EQ(model.parts.size(), 1u) << p;
        ASSERT_EQ(model.root.part, 0) << p;
        ASSERT_EQ(model.parts[0].solids.size(), 1u) << p;
        EXPECT_NEAR(volume(model.parts[0].solids[0]), 6e-6, 1e-12) << p;
    }
}

TEST(OcctModel, AssemblyWithOnePartPlacedTwice)
{
    const std::string path = write_machine("machine.stp", 2);
    const OcctModel first = read_model(path);
    EXPECT_TRUE(first.is_assembly);
    EXPECT_EQ(first.root.name, "Machine");
    // OpenCASCADE's writer gives occurrences only numbers, no names.
    EXPECT_EQ(child_names(first), (std::vector<std::string>{"Shaft-1", "Shaft-2"}));
    ASSERT_EQ(first.root.children.size(), 2u);
    ASSERT_EQ(first.parts.size(), 1u);  // one shared part
    const auto& a = first.root.children[0];
    const auto& b = first.root.children[1];
    EXPECT_EQ(a.part, 0);
    EXPECT_EQ(b.part, 0);
    EXPECT_NEAR(volume(first.parts[0].solids[0]), 1e-6, 1e-12);  // 10 mm cube
    EXPECT_NEAR(b.placement.TranslationPart().X(), 0.1, 1e-12);
    EXPECT_NEAR(a.placement.TranslationPart().X(), 0.0, 1e-12);
    EXPECT_NE(a.path, b.path);

    const OcctModel again = read_model(path);
    EXPECT_EQ(again.root.children[0].path, a.path);
    EXPECT_EQ(again.root.children[1].path, b.path);
}

TEST(OcctModel, BadFilesFailNamingTheFile)
{
    const std::string empty = temp_path("empty.step"), text = temp_path("text.step"), odd = temp_path("model.xyz");
    std::ofstream(empty).close();
    std::ofstream(text) << "this is not a model\n";
    std::ofstream(odd) << "x";
    const int documents = XCAFApp_Application::GetApplication()->NbDocuments();
    for (const auto& p : {temp_path("missing.step"), empty, text, odd}) {
        EXPECT_NE(velmora::testing::error_of<std::runtime_error>([&] { read_model(p); }).find(p), std::string::npos);
    }
    // A failed read leaves no document with the application.
    EXPECT_EQ(XCAFApp_Application::GetApplication()->NbDocuments(), documents);
}

// Writers that store no instance name put an identifier of their own in its
// place; the user saw the product's name and the occurrence's number.
TEST(OcctModel, GeneratedIdentifiersAreNoNames)
{
    const std::string path = write_machine("ids.step", 5);
    const std::string occurrence = "NEXT_ASSEMBLY_USAGE_OCCURRENCE\\('[^']*','[^']*'";
    rewrite(path, {{occurrence, "NEXT_ASSEMBLY_USAGE_OCCURRENCE('NAUO12',''"},
                   {occurrence, "NEXT_ASSEMBLY_USAGE_OCCURRENCE('35',''"},
                   {occurrence, "NEXT_ASSEMBLY_USAGE_OCCURRENCE('3','=>[0:1:1:2]'"},
                   {occurrence, "NEXT_ASSEMBLY_USAGE_OCCURRENCE('4','  '"},
                   {occurrence, "NEXT_ASSEMBLY_USAGE_OCCURRENCE('5','Left bearing'"}});
    EXPECT_EQ(child_names(read_model(path)),
              (std::vector<std::string>{"Shaft-1", "Shaft-2", "Shaft-3", "Shaft-4", "Left bearing"}));
    // Some writers name every instance after the assembly that holds it.
    rewrite(path, {{"'Left bearing'", "'Machine'"}});
    EXPECT_EQ(child_names(read_model(path)).back(), "Shaft-5");

    // A root known only by an identifier is named after the file; a product
    // named by digits has a part number for its name.
    rewrite(path, {{"PRODUCT\\('Machine','Machine'", "PRODUCT('NAUO1',''"}, {"PRODUCT\\('Shaft','Shaft'", "PRODUCT('6205',''"}});
    const OcctModel model = read_model(path);
    EXPECT_EQ(model.root.name, "ids");
    EXPECT_EQ(child_names(model)[0], "6205-1");
    EXPECT_EQ(model.parts.at(0).name, "6205");
    // Placeholders that writers put in every product are no names either.
    // So are the kinds of shape and the translators' own names that readers
    // and writers put where no name was given.
    for (const char* placeholder : {"NONE", "UNIDENTIFIED_PRODUCT", "Unknown", "", "SOLID", "COMPOUND_1", "FACE_$$2" /* "$" */,
                                    "Open CASCADE STEP translator 7.5 1", "Open_CASCADE_STEP_translator_6_8_1_1_1_1"}) {
        rewrite(path, {{"PRODUCT\\('NAUO1'", "PRODUCT('NAUO1'"}, {"PRODUCT\\('[^']*'", std::string("PRODUCT('") + placeholder + "'"}});
        EXPECT_EQ(read_model(path).parts.at(0).name, "Part") << placeholder;
    }
}

// 8-bit names: STEP's escapes, UTF-8, or the writer's Windows code page.
TEST(OcctModel, NamesInEachEncoding)
{
    struct Case {
        const char* locale;
        std::string product;  // as the file holds it
        std::string codepage;
        const char* shown;
        const char* warned;  // the code page a warning names, if any
    };
    const Case cases[] = {
        {"ru_RU.UTF-8", "\xC4\xE5\xF2\xE0\xEB\xFC", "", "Деталь", "windows-1251"},
        {"de_DE.UTF-8", "Gr\xF6\xDF" "e \x80", "", "Größe €", "windows-1252"},
        {"pl_PL.UTF-8", "\xA3\xF3\xBF\xEA\xB9", "", "Łóżęą", "windows-1250"},
        {"de_DE.UTF-8", "\xC4\xE5\xF2\xE0\xEB\xFC", "windows-1251", "Деталь", nullptr},
        {"ru_RU.UTF-8", "Деталь", "", "Деталь", nullptr},
        {"en_US.UTF-8", "Gr\xC3\xB6\xC3\x9F", "", "Größ", nullptr},
        {"ru_RU.UTF-8", "\\X2\\04140435\\X0\\ \\X\\E9", "", "Де é", nullptr},
    };
    const char* previous = std::getenv("LC_ALL");
    const std::string saved = previous ? previous : "";
    for (const Case& c : cases) {
        const std::string path = write_machine("encoded.step", 1);
        rewrite(path, {{"PRODUCT\\('Shaft','Shaft'", "PRODUCT('" + c.product + "','" + c.product + "'"}});
        ::setenv("LC_ALL", c.locale, 1);
        std::vector<std::string> warnings;
        const OcctModel model =
            read_model(path, {{}, c.codepage, [&](const std::string& w) { warnings.push_back(w); }});
        EXPECT_EQ(child_names(model), std::vector<std::string>{std::string(c.shown) + "-1"}) << c.shown;
        if (c.warned) {
            ASSERT_EQ(warnings.size(), 1u) << c.shown;
            EXPECT_NE(warnings[0].find(c.warned), std::string::npos) << warnings[0];
        } else {
            EXPECT_TRUE(warnings.empty()) << c.shown;
        }
    }
    if (previous) ::setenv("LC_ALL", saved.c_str(), 1); else ::unsetenv("LC_ALL");
    EXPECT_THROW(read_model(temp_path("encoded.step"), {{}, "klingon-8", {}}), std::invalid_argument);
}

// A machine whose products the writer named in its own code page, read on a
// server under the C locale: the code page is told from the names.
TEST(OcctModel, CodePageToldFromTheNames)
{
    struct Case {
        const char* page;  // as iconv writes it
        std::vector<std::string> names;  // the assembly's, then its parts'
        const char* warned;  // the code page the warning names
        std::size_t in_utf8 = 0;  // the first names in UTF-8, as another writer put them
    };
    const Case cases[] = {
        {"CP1251", {"Сборка", "Корпус", "Вал", "Крышка", "Подшипник", "Шайба"}, "windows-1251, the code page detected"},
        {"GBK", {"装配体", "底座", "轴承", "螺栓", "垫片", "外壳", "齿轮箱"}, "gb18030, the code page detected"},
        {"BIG5", {"裝配體", "底座", "軸承", "螺栓", "墊片", "外殼", "齒輪箱"}, "cp950, the code page detected"},
        {"SHIFT_JIS", {"アセンブリ", "ボディ", "軸受", "ボルト", "ワッシャ", "ケース"}, "cp932, the code page detected"},
        {"CP1252", {"Conjunto de montagem", "Peça", "Eixo", "Tampa de proteção", "Carcaça", "Vedação"}, "windows-1252"},
        // Names from two writers: each read right.
        {"CP1251", {"Сборка", "Корпус", "Вал", "Крышка", "Подшипник", "Шайба"}, "windows-1251, the code page detected", 2},
        // Too little text to tell: the locale's language's page, as before.
        {"CP1251", {"Вал", "Ось"}, "windows-1252, the code page of the locale's language"},
    };
    const char* previous = std::getenv("LC_ALL");
    const std::string saved = previous ? previous : "";
    ::setenv("LC_ALL", "C", 1);
    for (const Case& c : cases) {
        const std::string path = write_named_machine("coded.step", c.names.size() - 1);
        std::vector<std::pair<std::string, std::string>> edits;
        for (std::size_t i = 0; i < c.names.size(); ++i) {
            const std::string name = i < c.in_utf8 ? c.names[i] : encoded(c.names[i], c.page);
            edits.emplace_back("PRODUCT\\('N" + std::to_string(i) + "','N" + std::to_string(i) + "'",
                               "PRODUCT('" + name + "','" + name + "'");
        }
        rewrite(path, edits);
        std::vector<std::string> warnings;
        const OcctModel model = read_model(path, {{}, {}, [&](const std::string& w) { warnings.push_back(w); }});
        std::vector<std::string> read{model.root.name};
        for (const auto& part : model.parts) read.push_back(part.name);
        if (std::string(c.warned).find("locale") == std::string::npos) {
            EXPECT_EQ(read, c.names) << c.page;
        }
        ASSERT_EQ(warnings.size(), 1u) << c.page;
        EXPECT_NE(warnings[0].find(c.warned), std::string::npos) << warnings[0];
    }
    if (previous) ::setenv("LC_ALL", saved.c_str(), 1); else ::unsetenv("LC_ALL");
}

// A solid is named as its entity is in the file (a one-solid part's solid
// has no label of its own), else "Body" and its number.
TEST(OcctModel, BodiesNamedAsInTheFile)
{
    const std::string path = write_named_machine("bodies.step", 3);
    const std::string solid = "MANIFOLD_SOLID_BREP\\('[^']*'";
    rewrite(path, {{solid, "MANIFOLD_SOLID_BREP('Boss-Extrude1'"}, {solid, "MANIFOLD_SOLID_BREP('ボディ1'"},
                   {solid, "MANIFOLD_SOLID_BREP('NONE'"}});
    const OcctModel model = read_model(path);
    ASSERT_EQ(model.parts.size(), 3u);
    EXPECT_EQ(solid_name(model.parts[0], 0), "Boss-Extrude1");
    EXPECT_EQ(solid_name(model.parts[1], 0), "ボディ1");
    EXPECT_EQ(solid_name(model.parts[2], 0), "Body1");
}

// The export takes solids: loose faces that close are sewn into one, the
// rest left out by name, and a model with no solid says so.
TEST(OcctModel, FacesOfNoSolidCloseOrAreNamed)
{
    const std::string dir = temp_path("surfaces");
    velmora::examples::write_edge_case_models(dir);
    struct Case {
        const char* file;
        std::size_t solids;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        // One shape of six faces, and six shapes of one face, sewn together.
        {"faces.igs", 1, {"6 faces of part 'Part' close into 1 solid"}},
        {"faces.step", 1, {"6 faces of 'faces' close into 1 solid"}},
        {"sheet.brep", 0, {"5 faces of part 'sheet' were left out: they close no volume, and the export takes solids",
                           "the model holds no solid, curve or point: there is nothing to export"}},
        {"curves.brep", 0, {"the model holds no solid: only its curves and points are exported"}},
        {"reference.brep", 1, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> warnings;
        const OcctModel model = read_model(dir + "/" + c.file, {{}, {}, [&](const std::string& w) { warnings.push_back(w); }});
        std::size_t solids = 0;
        for (const auto& part : model.parts) {
            solids += part.solids.size();
            for (const auto& solid : part.solids) EXPECT_NEAR(volume(solid), 1e-6, 1e-12) << c.file;
        }
        EXPECT_EQ(solids, c.solids) << c.file;
        EXPECT_EQ(warnings, c.warnings) << c.file;
    }
}
