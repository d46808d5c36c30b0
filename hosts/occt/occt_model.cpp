#include "occt_model.h"
#include "occt_assembly.h"
#include "occt_materials.h"
#include "occt_names.h"
#include "occt_surfaces.h"

#include <signal.h>

#include <OSD.hxx>
#include <Standard_ErrorHandler.hxx>
#include <Standard_Failure.hxx>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unordered_map>

#include <BRepBuilderAPI_Transform.hxx>
#include <BRep_Builder.hxx>
#include <BRepTools.hxx>
#include <IGESCAFControl_Reader.hxx>
#include <Message_ProgressIndicator.hxx>
#include <Message_ProgressScope.hxx>
#include <IGESControl_Controller.hxx>
#include <Interface_Static.hxx>
#include <STEPCAFControl_Controller.hxx>
#include <STEPCAFControl_Reader.hxx>
#include <TCollection_AsciiString.hxx>
#include <TCollection_ExtendedString.hxx>
#include <TDF_ChildIterator.hxx>
#include <TDF_Label.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <Precision.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_HSequenceOfShape.hxx>
#include <TopoDS.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <IGESControl_Reader.hxx>
#include <STEPControl_Reader.hxx>
#include <StepShape_SolidModel.hxx>
#include <TCollection_HAsciiString.hxx>
#include <TransferBRep.hxx>
#include <Transfer_TransientProcess.hxx>
#include <XSControl_TransferReader.hxx>
#include <XSControl_WorkSession.hxx>

namespace velmora::occt {
namespace {

namespace fs = std::filesystem;
[[noreturn]] void fail(const std::string& path, const std::string& why) { fail_to_read(path, why); }

std::string lower_extension(const std::string& path)
{
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

// OpenCASCADE's translators follow broken references of a damaged file into
// null pointers. Its signal handling (OSD::SetSignal, OCC_CATCH_SIGNALS)
// turns such a crash into an exception here, so a bad file is an error
// naming the file, not the end of the program.
template <class Translate>
void guarded_translation(const std::string& path, Translate&& translate)
{
    static const bool handlers_set = [] {
        OSD::SetSignal(false);
        // A reference cycle makes the translator recurse until the stack is
        // gone; the handler can then run only on a stack of its own.
        struct sigaction action {};
        if (::sigaction(SIGSEGV, nullptr, &action) == 0) {
            action.sa_flags |= SA_ONSTACK;
            ::sigaction(SIGSEGV, &action, nullptr);
        }
        return true;
    }();
    (void)handlers_set;
    // The stack is this thread's for the translation only: the one it had
    // before (a sanitizer's, say) is its own again afterwards, and nothing is
    // left pointing into memory that goes with the thread.
    thread_local std::vector<char> signal_stack(256 * 1024);
    stack_t ours{}, previous{};
    ours.ss_sp = signal_stack.data();
    ours.ss_size = signal_stack.size();
    ::sigaltstack(&ours, &previous);
    struct RestoreStack {
        stack_t previous;
        ~RestoreStack() { ::sigaltstack(&previous, nullptr); }
    } restore{previous};
    try {
        OCC_CATCH_SIGNALS
        translate();
    } catch (const Standard_Failure& failure) {
        fail(path, std::string("the file is damaged (") + failure.DynamicType()->Name() + ": " +
                       failure.GetMessageString() + ")");
    }
}

// The names of the solids' entities in a STEP file (a manifold solid B-rep
// named "Boss-Extrude1", say), read byte for byte.
SolidNames step_solid_names(STEPControl_Reader& reader)
{
    SolidNames out;
    const Handle(Transfer_TransientProcess) process = reader.WS()->TransferReader()->TransientProcess();
    for (int i = 1; !process.IsNull() && i <= process->NbMapped(); ++i) {
        const auto solid = Handle(StepShape_SolidModel)::DownCast(process->Mapped(i));
        if (solid.IsNull() || solid->Name().IsNull() || solid->Name()->IsEmpty()) continue;
        const TopoDS_Shape shape = TransferBRep::ShapeResult(process, solid);
        if (!shape.IsNull() && shape.ShapeType() == TopAbs_SOLID)
            out.emplace(shape.TShape().get(), TCollection_ExtendedString(solid->Name()->ToCString(), true));
    }
    return out;
}

// Every 8-bit name of the file that is not UTF-8, each time it occurs: the
// text the code page is told from.
std::vector<std::string> eight_bit_names(const Handle(TDocStd_Document) & doc, const SolidNames& solid_names)
{
    std::vector<std::string> out;
    for (TDF_ChildIterator it(doc->Main(), true); it.More(); it.Next()) {
        Handle(TDataStd_Name) name;
        if (it.Value().FindAttribute(TDataStd_Name::GetID(), name))
            if (auto bytes = eight_bit_bytes(name->Get())) out.push_back(std::move(*bytes));
    }
    for (const auto& [solid, name] : solid_names)
        if (auto bytes = eight_bit_bytes(name)) out.push_back(std::move(*bytes));
    return out;
}

// A model of one part holding all of `shape` (in metres), unnamed within.
OcctModel single_part(const TopoDS_Shape& shape, const std::string& name, const std::string& key)
{
    OcctModel model;
    OcctPart part;
    part.name = name;
    part.shape = shape;
    part.solids = solids_of(shape);
    part.solid_names.assign(part.solids.size(), std::string{});
    part.solid_visible.assign(part.solids.size(), true);
    part.features = free_features(shape, {});
    model.parts.push_back(std::move(part));
    model.root.name = name;
    model.root.path = key;
    model.root.part = 0;
    return model;
}

OcctModel read_brep(const std::string& path)
{
    std::ifstream in(path);
    std::string first;
    std::getline(in, first);
    // Draw's "DBRep_DrawableShape" line comes before the shape itself.
    if (first.rfind("DBRep_DrawableShape", 0) != 0) in.seekg(0);
    TopoDS_Shape shape;
    BRep_Builder builder;
    BRepTools::Read(shape, in, builder);
    if (shape.IsNull()) fail(path, "no BREP shape could be read");
    // A BREP file carries no unit: millimetres.
    gp_Trsf to_metres;
    to_metres.SetScaleFactor(0.001);
    shape = BRepBuilderAPI_Transform(shape, to_metres, true).Shape();
    return single_part(shape, fs::path(path).stem().string(), "brep");
}

// The file's geometry without its names, colours or structure, for a file
// whose names and colours OpenCASCADE cannot read; null when it cannot be
// read at all.
template <class Reader>
TopoDS_Shape plain_read(const std::string& path)
{
    TopoDS_Shape shape;
    try {
        guarded_translation(path, [&] {
            Reader reader;
            if (reader.ReadFile(path.c_str()) != IFSelect_RetDone || reader.TransferRoots() == 0) return;
            shape = reader.OneShape();
        });
    } catch (const std::runtime_error&) {
        shape.Nullify();
    }
    return shape;
}

}  // namespace

// Hands OpenCASCADE's progress to the caller, at most once per whole percent.
class ProgressRelay : public Message_ProgressIndicator {
public:
    ProgressRelay(std::function<void(const std::string&, double)> report, std::string stage)
        : report_(std::move(report)), stage_(std::move(stage))
    {
    }

protected:
    void Show(const Message_ProgressScope&, const Standard_Boolean) override
    {
        const int percent = static_cast<int>(GetPosition() * 100.0);
        if (percent == last_) return;
        last_ = percent;
        report_(stage_, GetPosition());
    }

private:
    std::function<void(const std::string&, double)> report_;
    std::string stage_;
    int last_ = -1;
};

OcctModel read_model(const std::string& path, const ReadOptions& options)
{
    const auto& progress = options.progress;
    std::optional<CodePage> chosen;
    if (!options.codepage.empty() && !(chosen = code_page_named(options.codepage)))
        throw std::invalid_argument("unknown code page '" + options.codepage + "'");
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) fail(path, "no such file");
    if (fs::file_size(path, ec) == 0) fail(path, "the file is empty");
    const std::string ext = lower_extension(path);
    if (ext == ".brep") {
        OcctModel model = read_brep(path);
        close_surfaces(model, fs::path(path).stem().string(), options.warn);
        return model;
    }

    // The application registers every document it makes; a failed read must
    // close it as a good one does, or it stays with the application.
    Handle(TDocStd_Document) doc;
    XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", doc);
    struct CloseDocument {
        Handle(TDocStd_Document)& doc;
        ~CloseDocument()
        {
            try {
                XCAFApp_Application::GetApplication()->Close(doc);
            } catch (...) {
            }
        }
    } close_document{doc};
    // Lengths in metres whatever unit the file was written in; the setting
    // is process-wide, so put the caller's back afterwards.
    Handle(ProgressRelay) relay;
    auto range = [&relay](const std::function<void(const std::string&, double)>& report, const char* stage) {
        if (!report) return Message_ProgressRange();
        relay = new ProgressRelay(report, stage);
        return relay->Start();
    };
    STEPCAFControl_Controller::Init();
    IGESControl_Controller::Init();
    struct Setting {
        const char* name;
        std::string previous;
        Setting(const char* name, const char* value) : name(name)
        {
            const char* was = Interface_Static::CVal(name);
            previous = was ? was : "";
            Interface_Static::SetCVal(name, value);
        }
        ~Setting() { Interface_Static::SetCVal(name, previous.c_str()); }
    };
    const Setting unit("xstep.cascade.unit", "M");
    // The readers may grow an edge's tolerance up to this, in the unit
    // above: its default, 1, was meant for millimetres, and a metre lets
    // IGES edges swell to the size of the part (and its mesh to as coarse).
    const Setting largest_tolerance("read.maxprecision.val", "0.001");
    // Names byte for byte (one character per byte), so that the decoder
    // can tell UTF-8 from a code page's text; STEP's escapes are decoded.
    const Setting codepage("read.step.codepage", "iso8859-1");
    // Names and colours come with the geometry through OpenCASCADE's
    // document reader (XDE), which fails on some files whose geometry its
    // plain reader reads well: those are read again without them.
    Materials materials;
    SolidNames solid_names;
    bool readable = true;
    std::string xde_failure;
    auto translate = [&](auto& reader, const char* kind) {
        if (progress) progress("reading", 0.0);
        try {
            guarded_translation(path, [&] {
                if (reader.ReadFile(path.c_str()) != IFSelect_RetDone) {
                    readable = false;
                    fail(path, std::string("not a readable ") + kind + " file");
                }
                if (!reader.Transfer(doc, range(progress, "translating")))
                    fail(path, std::string("the ") + kind + " data could not be transferred");
            });
        } catch (const std::runtime_error& e) {
            if (!readable) throw;
            xde_failure = e.what();
        }
    };
    TopoDS_Shape plain;
    if (ext == ".step" || ext == ".stp") {
        Interface_Static::SetIVal("read.stepcaf.subshapes.name", 1);
        STEPCAFControl_Reader reader;
        reader.SetNameMode(true);
        reader.SetColorMode(true);
        reader.SetMatMode(true);
        translate(reader, "STEP");
        if (xde_failure.empty()) {
            const Handle(Transfer_TransientProcess) process = reader.Reader().WS()->TransferReader()->TransientProcess();
            materials = step_materials(reader.Reader().Model(), process);
            solid_names = step_solid_names(reader.ChangeReader());
        } else
            plain = plain_read<STEPControl_Reader>(path);
    } else if (ext == ".igs" || ext == ".iges") {
        IGESCAFControl_Reader reader;
        reader.SetNameMode(true);
        reader.SetColorMode(true);
        translate(reader, "IGES");
        if (!xde_failure.empty()) plain = plain_read<IGESControl_Reader>(path);
    } else {
        fail(path, "unknown file type (use .step, .stp, .igs, .iges or .brep)");
    }
    if (!xde_failure.empty()) {
        if (plain.IsNull() || !TopExp_Explorer(plain, TopAbs_VERTEX).More()) throw std::runtime_error(xde_failure);
        if (options.warn)
            options.warn(xde_failure + "; its geometry was read again without names and colours, which are lost");
        OcctModel model = single_part(plain, fs::path(path).stem().string(), "plain");
        close_surfaces(model, fs::path(path).stem().string(), options.warn);
        return model;
    }
    // The code page: the user's, else the one the names themselves tell,
    // else the locale language's.
    std::optional<CodePage> detected;
    if (!chosen) detected = detect_code_page(eight_bit_names(doc, solid_names), locale_code_page());
    NameDecoder names(chosen ? *chosen : detected ? *detected : locale_code_page(),
                      chosen ? PageChoice::User : detected ? PageChoice::Detected : PageChoice::Locale);
    OcctModel model = walk_document(doc, path, names, materials, solid_names, options.warn);
    close_surfaces(model, fs::path(path).stem().string(), options.warn);
    if (names.read_unchosen() && options.warn)
        options.warn("names in '" + path + "' are not UTF-8: read as " + names.page().name +
                     (detected ? ", the code page detected from them"
                               : ", the code page of the locale's language, as theirs could not be told from them") +
                     " (--codepage chooses another)");
    return model;
}

}  // namespace velmora::occt
