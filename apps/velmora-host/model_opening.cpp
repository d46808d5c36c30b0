#include "model_opening.h"

#include <unistd.h>

#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <iostream>

#include <Message.hxx>
#include <Message_PrinterOStream.hxx>

#include "hosts/freecad/freecad_reading.h"
#include "hosts/occt/occt_host.h"

namespace velmora::host {
namespace {

// One line on the terminal that shows how far reading and meshing have come.
class ProgressLine {
public:
    ProgressLine() : tty_(progress_shown()) {}
    ~ProgressLine() { finish(); }
    void operator()(const std::string& stage, double fraction)
    {
        if (stage != stage_) {
            finish();
            stage_ = stage;
        }
        if (tty_) {
            std::fprintf(stderr, "\rvelmora-host: %s %3d%%", stage.c_str(), static_cast<int>(fraction * 100.0 + 0.5));
            std::fflush(stderr);
            open_ = true;
        }
    }
    void finish()
    {
        if (open_) std::fputc('\n', stderr);
        open_ = false;
    }

private:
    bool tty_;
    bool open_ = false;
    std::string stage_;
};

bool is_freecad_document(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".fcstd";
}

}  // namespace

bool progress_shown() { return ::isatty(STDERR_FILENO) == 1; }

std::u16string locale_language()
{
    // As the C library picks the language of messages.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(variable); value && *value)
            return std::string(value).rfind("ru", 0) == 0 ? u"russian" : u"english";
    return u"english";
}

cad::ApplicationPtr open_model(const Arguments& a, Progress also)
{
    // OpenCASCADE reports its translation on stdout, where the port goes;
    // keep it off the terminal unless asked for.
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    if (a.verbose) Message::DefaultMessenger()->AddPrinter(new Message_PrinterOStream("cerr", false, Message_Warning));
    try {
        auto progress = std::make_shared<ProgressLine>();
        occt::OcctHostOptions host;
        host.language = locale_language();
        host.density = a.density;
        host.codepage = a.codepage;
        host.quality = a.quality;
        host.warn = [progress](const std::string& message) {
            progress->finish();
            std::cerr << "velmora-host: warning: " << message << std::endl;
        };
        host.log = a.verbose ? &std::cerr : nullptr;
        host.mesh_on_open = true;
        host.progress = [progress, also](const std::string& stage, double fraction) {
            (*progress)(stage, fraction);
            if (also) also(stage, fraction);
        };
        cad::ApplicationPtr application;
        if (is_freecad_document(a.model_path)) {
            host.progress("reading", 0.0);
            const auto document = freecad::read_freecad_document(a.model_path, a.freecad_addon);
            host.progress("reading", 1.0);
            application = occt::open_occt_application(freecad::occt_model_of(document), host);
        } else {
            application = occt::open_occt_application(a.model_path, host);
        }
        progress->finish();
        return application;
    } catch (const std::exception& e) {
        // The progress line, gone with the try block, has ended its line.
        std::cerr << "velmora-host: " << e.what() << "\n";
        return nullptr;
    }
}

RunReports::RunReports(const Arguments& a, std::shared_ptr<RunOutcome> outcome, Report report)
    : print_port_(a.no_gui || a.verbose), outcome_(std::move(outcome)), report_(std::move(report))
{
}

void RunReports::listening(int port)
{
    if (print_port_) std::cout << "velmora-host: serving on port " << port << std::endl;
    if (also_listening) also_listening(port);
}

void RunReports::refused(const std::string& refusal)
{
    std::cerr << "velmora-host: " << refusal << std::endl;
    if (also_refused) also_refused(refusal);
}

void RunReports::failed(const std::string& caption, const std::string& text)
{
    outcome_->failed = true;
    if (report_)
        report_(caption, text);
    else
        std::cerr << "[" << caption << "] " << text << std::endl;
}

cad::RunSettings run_settings(const Arguments& a, std::shared_ptr<RunReports> reports)
{
    cad::RunSettings settings;
    settings.port = a.port;
    settings.start_gui = !a.no_gui;
    settings.gui_program = a.gui;
    settings.events = std::move(reports);
    return settings;
}

}  // namespace velmora::host
