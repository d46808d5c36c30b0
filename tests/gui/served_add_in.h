#pragma once
// The add-in's own service handler over a real loopback connection, as
// Tarvik meets it, with every call the GUI makes written down.
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TSimpleServer.h>
#include <thrift/transport/TBufferTransports.h>

#include "CAD_RPC_Service.h"
#include "addin/shell/cad_rpc_service_handler.h"
#include "addin/shell/loopback_server_socket.h"
#include "hosts/memory/memory_model.h"

namespace tarvik::testing {

// Forwards to the real handler and records each call as text, e.g.
// "set_highlight_status_of_ids 1,2 false".
class RecordingHandler : public CAD_RPC::CAD_RPC_ServiceIf {
public:
    explicit RecordingHandler(std::shared_ptr<CAD_RPC::CAD_RPC_ServiceIf> inner) : inner_(std::move(inner)) {}

    void stop_rpc_service() override { record("stop_rpc_service"); }
    void get_cad_tree(CAD_RPC::Tree& tree) override
    {
        record("get_cad_tree");
        if (!tree_failure.empty()) throw std::runtime_error(tree_failure);
        inner_->get_cad_tree(tree);
    }
    void set_highlight_status_of_ids(const std::vector<int32_t>& ids, bool highlight) override
    {
        std::ostringstream text;
        text << "set_highlight_status_of_ids ";
        for (std::size_t i = 0; i < ids.size(); ++i) text << (i ? "," : "") << ids[i];
        text << (highlight ? " true" : " false");
        record(text.str());
        inner_->set_highlight_status_of_ids(ids, highlight);
    }
    void refresh_display() override
    {
        record("refresh_display");
        inner_->refresh_display();
    }
    void get_persistent_ids(std::vector<std::string>& out, const std::vector<int32_t>& ids) override
    {
        record("get_persistent_ids");
        inner_->get_persistent_ids(out, ids);
    }
    void get_node_ids(std::vector<int32_t>& out, const std::vector<std::string>& ids) override
    {
        record("get_node_ids");
        inner_->get_node_ids(out, ids);
    }
    void get_min_size_comparison_results(std::vector<bool>& out, double size, const std::vector<int32_t>& ids) override
    {
        std::ostringstream text;
        text << "get_min_size_comparison_results " << size << " ";
        for (std::size_t i = 0; i < ids.size(); ++i) text << (i ? "," : "") << ids[i];
        record(text.str());
        inner_->get_min_size_comparison_results(out, size, ids);
    }
    void export_zel(const CAD_RPC::Tree& tree, const CAD_RPC::Settings& settings) override
    {
        {
            std::lock_guard lock(mutex_);
            last_tree = tree;
            last_settings = settings;
        }
        record("export_zel");
        inner_->export_zel(tree, settings);
    }

    std::vector<std::string> calls() const
    {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    void clear()
    {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }

    // Set before the call: get_cad_tree then fails with this message.
    std::string tree_failure;
    CAD_RPC::Tree last_tree;
    CAD_RPC::Settings last_settings;

private:
    void record(std::string call)
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }

    std::shared_ptr<CAD_RPC::CAD_RPC_ServiceIf> inner_;
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

// The tests' usual model, the in-memory assembly "Станок": component A
// (solids Body, Body and the point "Point 1"), component B (solid "Bolt M6"),
// and the root's hidden curve "Axis".
inline void build_standard_model(velmora::memory::MemoryModel& model)
{
    auto doc = model.open_assembly(u"Станок");
    auto a = model.add_component(*doc->configuration->root, u"A");
    for (int i = 0; i < 2; ++i)
        model.add_body(*a, u"Body")->add_face({{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}}, {0.5, 0.5, 0.5});
    auto point = model.add_feature(*a, u"RefPoint", u"Point 1");
    point->point_definition = model.make<velmora::memory::MemoryPointDefinition>();
    point->point_definition->point = {1, 2, 3};
    auto b = model.add_component(*doc->configuration->root, u"B");
    model.add_body(*b, u"Bolt M6")->add_face({{{0, 0, 0}, {0, 0, 1}, {0, 1, 0}}}, {0.2, 0.2, 0.2});
    auto axis = model.add_feature(*doc->content, u"RefCurve", u"Axis", 0);
    axis->curve_definition = model.make<velmora::memory::MemoryCurveDefinition>();
    auto segment = model.make<velmora::memory::MemoryCurveSegment>();
    segment->curve = model.make<velmora::memory::MemoryCurve>();
    segment->curve->samples = {0, 0, 0, 0, 0, 1};
    axis->curve_definition->segments.push_back(segment);
}

// An in-memory model served by the add-in's handler on a free loopback port.
class ServedAddIn {
public:
    explicit ServedAddIn(const std::function<void(velmora::memory::MemoryModel&)>& build = build_standard_model)
        : ServedAddIn(make_model(build))
    {
    }
    // Serves a model that another server may have served before (a new run
    // of the CAD system on the same document).
    explicit ServedAddIn(std::shared_ptr<velmora::memory::MemoryModel> shared)
        : ServedAddIn(shared->application, shared)
    {
    }
    // Serves another host's application (`memory` null) or an in-memory model's.
    explicit ServedAddIn(velmora::cad::ApplicationPtr application,
                         std::shared_ptr<velmora::memory::MemoryModel> memory = nullptr)
        : model(std::move(memory))
    {
        using namespace apache::thrift;
        handler = std::make_shared<RecordingHandler>(
            std::make_shared<velmora::shell::CAD_RPC_ServiceHandler>(std::move(application)));
        socket_ = std::make_shared<velmora::shell::LoopbackServerSocket>(0);
        server_ = std::make_shared<server::TSimpleServer>(
            std::make_shared<CAD_RPC::CAD_RPC_ServiceProcessor>(handler), socket_,
            std::make_shared<transport::TBufferedTransportFactory>(),
            std::make_shared<protocol::TBinaryProtocolFactory>());
        socket_->listen();
        thread_ = std::thread([this] { server_->serve(); });
    }
    ~ServedAddIn() { stop(); }

    int port() const { return socket_->bound_port(); }
    // The add-in goes away: the listener and every open connection close.
    void stop()
    {
        if (!thread_.joinable()) return;
        server_->stop();
        thread_.join();
    }

private:
    static std::shared_ptr<velmora::memory::MemoryModel> make_model(
        const std::function<void(velmora::memory::MemoryModel&)>& build)
    {
        auto model = std::make_shared<velmora::memory::MemoryModel>();
        build(*model);
        return model;
    }

public:
    std::shared_ptr<velmora::memory::MemoryModel> model;
    std::shared_ptr<RecordingHandler> handler;

private:
    std::shared_ptr<velmora::shell::LoopbackServerSocket> socket_;
    std::shared_ptr<apache::thrift::server::TSimpleServer> server_;
    std::thread thread_;
};

}  // namespace tarvik::testing
