#pragma once
// An export run over an in-memory model, started on a thread of its own (the
// host's UI thread) on a free port, with no GUI, a notice only a test
// dismisses and no report box unless the test sets its own.
#include <chrono>
#include <future>
#include <memory>

#include "addin/shell/export_run.h"
#include "hosts/memory/memory_model.h"

namespace velmora::testing {

struct StartedRun {
    memory::MemoryModel model;
    shell::ExportRunOptions options;
    std::future<void> run;

    StartedRun()
    {
        options.port = 0;
        options.start_gui = false;
        options.make_notice = [] { return std::make_unique<platform::LockNotice>(); };
        options.report = [](const std::string&, const std::string&) {};
    }
    ~StartedRun() { end(); }

    // Starts the run and waits until it listens: its port, or -1.
    int start()
    {
        auto port = std::make_shared<std::promise<int>>();
        options.on_listening = [port](int p) { port->set_value(p); };
        run = std::async(std::launch::async, [this] { shell::perform_export_run(model.application, options); });
        auto told = port->get_future();
        return told.wait_for(std::chrono::seconds(10)) == std::future_status::ready ? told.get() : -1;
    }
    bool ended_within(std::chrono::seconds s) { return run.wait_for(s) == std::future_status::ready; }
    // Ends a run still serving through its notice (a failed assertion must not leave it serving).
    void end()
    {
        if (run.valid() && !ended_within(std::chrono::seconds(0))) {
            platform::close_notice_titled(shell::kLockCaption);
            run.wait();
        }
    }
};

}  // namespace velmora::testing
