#include "host_session.h"

#include <dlfcn.h>

#include <charconv>
#include <iostream>
#include <stdexcept>

#include "host_interface/application.h"

namespace velmora::occt {

void show_message_box(platform::NoticeBoxService& boxes, const std::string& caption, const std::string& text)
{
    std::cerr << "[" << caption << "]\n" << text << std::endl;
    boxes.open(caption, text)->wait();
}

std::optional<int> serving_port_named(std::string_view text)
{
    int port = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || port < 0 || port > 65535)
        return std::nullopt;
    return port;
}

AddinModule::AddinModule(const std::string& path) : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
{
    if (!handle_) throw std::runtime_error("cannot load the add-in " + path + ": " + ::dlerror());
    create_ = reinterpret_cast<cad::CreateAddin>(::dlsym(handle_, cad::kCreateAddinEntry));
    destroy_ = reinterpret_cast<cad::DestroyAddin>(::dlsym(handle_, cad::kDestroyAddinEntry));
    if (!create_ || !destroy_) {
        ::dlclose(handle_);
        throw std::runtime_error(path + " is no Velmora add-in");
    }
}

AddinModule::~AddinModule() { ::dlclose(handle_); }

std::shared_ptr<cad::Addin> AddinModule::create() { return {create_(), destroy_}; }

HostSession::HostSession(const std::string& addin_path, cad::ApplicationPtr application, cad::RunSettings settings)
    : application_(std::move(application)), module_(addin_path), addin_(module_.create())
{
    addin_->configure_runs(std::move(settings));
    if (!addin_->connect(application_, 1)) throw std::runtime_error("the add-in did not connect");
}

HostSession::~HostSession()
{
    join();
    addin_->disconnect();
}

std::optional<OcctCommand> HostSession::command(const std::u16string& name) const
{
    for (const auto& command : occt_commands(application_))
        if (command.name == name) return command;
    return std::nullopt;
}

bool HostSession::enabled(const OcctCommand& command)
{
    int enabled = 1;
    return command.enable_method.empty() || !addin_->invoke(command.enable_method, &enabled) || enabled != 0;
}

void HostSession::perform(const OcctCommand& command) { addin_->invoke(command.callback); }

void HostSession::start(const OcctCommand& command, std::function<void()> ended)
{
    join();
    running_ = true;
    serving_ = std::thread([this, callback = command.callback, ended = std::move(ended)] {
        addin_->invoke(callback);
        running_ = false;
        if (ended) ended();
    });
}

void HostSession::join()
{
    if (serving_.joinable()) serving_.join();
}

}  // namespace velmora::occt
