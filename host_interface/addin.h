#pragma once
#include <memory>
#include <string>

#include "host_object.h"
#include "notice_box_service.h"

namespace velmora::cad {

// What an export run tells the program holding the add-in, on the run's
// serving thread.
class RunEvents {
public:
    virtual ~RunEvents() = default;
    // The run's server listens on `port`, before any GUI may connect.
    virtual void listening(int port) = 0;
    // A connection was refused: another user's program made it, or its user
    // could not be told ("refused a connection from user 1001").
    virtual void refused(const std::string& refusal) = 0;
    // The run ended in an exception, with the caption and text of its message.
    virtual void failed(const std::string& caption, const std::string& text) = 0;
};

// How the add-in's export runs serve, as the program holding it sets them.
struct RunSettings {
    static constexpr int kDefaultPort = 9090;
    int port = kDefaultPort;  // 0 takes a free one, which `listening` tells
    bool start_gui = true;
    std::string gui_program;  // empty: the GUI of the add-in's installation
    // The program's boxes, for the lock notice; none: a notice on the terminal.
    std::shared_ptr<platform::NoticeBoxService> notice_boxes;
    // None: refusals and failures go to standard error.
    std::shared_ptr<RunEvents> events;
};

// The add-in object as a program that loads the module holds it: in a
// shared_ptr made from the module's two entries (the add-in hands itself to
// the host as its callback target). Virtual, like a COM interface: the
// program calls through the object's table, never through linked symbols.
class Addin : public virtual HostObject, public std::enable_shared_from_this<Addin> {
public:
    // Adds the add-in's commands to `host` (the application); true when it did.
    virtual bool connect(const HostObjectPtr& host, int cookie) = 0;
    virtual void disconnect() = 0;
    // Calls a method by the name the add-in registered it under (a command's
    // callback or enable method); false when there is no such method.
    virtual bool invoke(const std::u16string& method, int* result = nullptr) = 0;
    // How the next runs serve (a Linux host's settings); not while one runs.
    virtual void configure_runs(RunSettings settings) = 0;
};

// The module's two entry points, looked up by these names.
using CreateAddin = Addin* (*)();
using DestroyAddin = void (*)(Addin*);
inline constexpr const char* kCreateAddinEntry = "Velmora_CreateAddin";
inline constexpr const char* kDestroyAddinEntry = "Velmora_DestroyAddin";

}  // namespace velmora::cad
