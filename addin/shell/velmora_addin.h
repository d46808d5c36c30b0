#pragma once
#include <memory>
#include <string>

#include "addin/cad/host/host_object.h"
#include "bitmap_handler.h"
#include "export_run.h"

namespace velmora::shell {

// The add-in object the CAD host loads: connect creates the "Export ZEL"
// command, the command performs an export run, disconnect cleans up.
class C_Velmora : public virtual cad::HostObject, public std::enable_shared_from_this<C_Velmora> {
public:
    // Virtual, like a COM interface: a host that loads the module at run time
    // calls through the object's table, not through linked symbols.
    // Always reports success; the host's answers are not checked.
    virtual bool connect(const cad::HostObjectPtr& host, int cookie);
    virtual void disconnect();

    // The command's callback and enable method, as the host calls them by name.
    virtual void ToolbarCallback0();
    virtual int ToolbarEnable0() const { return 1; }
    // Calls a method by its name; false when there is no such method.
    virtual bool invoke(const std::u16string& method, int* result = nullptr);

    cad::HostObjectPtr as_dispatch() override { return shared_from_this(); }

    // Linux host only: where the run listens and which GUI it starts.
    virtual void set_run_options(ExportRunOptions options) { run_options_ = std::move(options); }

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
extern "C" velmora::shell::C_Velmora* Velmora_CreateAddin();
extern "C" void Velmora_DestroyAddin(velmora::shell::C_Velmora* addin);
