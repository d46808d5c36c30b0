#pragma once
#include <memory>
#include <string>

#include "host_interface/addin.h"
#include "bitmap_handler.h"
#include "export_run.h"

namespace velmora::shell {

// The add-in object the CAD host loads: connect creates the "Export ZEL"
// command, the command performs an export run, disconnect cleans up.
class C_Velmora : public cad::Addin {
public:
    // Always reports success; the host's answers are not checked.
    bool connect(const cad::HostObjectPtr& host, int cookie) override;
    void disconnect() override;

    // The command's callback and enable method, as the host calls them by name.
    virtual void ToolbarCallback0();
    virtual int ToolbarEnable0() const { return 1; }
    bool invoke(const std::u16string& method, int* result = nullptr) override;

    cad::HostObjectPtr as_dispatch() override { return shared_from_this(); }

    void configure_runs(cad::RunSettings settings) override { run_options_ = run_options_from(std::move(settings)); }

    int host_major_version() const { return major_version_; }
    const CBitmapHandler* bitmap_handler() const { return bitmap_handler_.get(); }

private:
    void create_command_group();

    cad::ApplicationPtr application_;
    cad::CommandManagerPtr command_manager_;
    std::unique_ptr<CBitmapHandler> bitmap_handler_;
    int cookie_ = 0;
    int major_version_ = 0;
    int reserved_ = 0;
    ExportRunOptions run_options_;
};

}  // namespace velmora::shell

// The module's one entry for hosts that load it at run time.
extern "C" velmora::cad::Addin* Velmora_CreateAddin();
extern "C" void Velmora_DestroyAddin(velmora::cad::Addin* addin);
