#pragma once
// The add-in's own service handler over a real loopback connection, as
// Tarvik meets it; what reached the host shows in the in-memory model (its
// selection, its call log) and in the files written.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TSimpleServer.h>
#include <thrift/transport/TBufferTransports.h>

#include <QStringList>

#include "CAD_RPC_Service.h"
#include "addin/shell/cad_rpc_service_handler.h"
#include "addin/shell/loopback_server_socket.h"
#include "cad_rpc_connection.h"
#include "gui/common/error_reporter.h"
#include "gui/common/node_icons.h"
#include "hosts/memory/memory_model.h"

namespace tarvik::testing {

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
        // stop_rpc_service ends this server, as it ends the add-in's run.
        auto handler = std::make_shared<velmora::shell::CAD_RPC_ServiceHandler>(std::move(application), [this] {
            if (server_) server_->stop();
        });
        socket_ = std::make_shared<velmora::shell::LoopbackServerSocket>(0);
        server_ = std::make_shared<server::TSimpleServer>(
            std::make_shared<CAD_RPC::CAD_RPC_ServiceProcessor>(handler), socket_,
            std::make_shared<transport::TBufferedTransportFactory>(),
            std::make_shared<protocol::TBinaryProtocolFactory>());
        socket_->listen();
        thread_ = std::thread([this] {
            server_->serve();
            serving_ = false;
        });
    }
    ~ServedAddIn() { stop(); }

    int port() const { return socket_->bound_port(); }
    // False once stop_rpc_service (or stop) has ended it.
    bool serving() const { return serving_; }
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

private:
    std::shared_ptr<velmora::shell::LoopbackServerSocket> socket_;
    std::shared_ptr<apache::thrift::server::TSimpleServer> server_;
    std::thread thread_;
    std::atomic<bool> serving_{true};
};

// Tarvik as its window tests start it: the node icons loaded, the standard
// model served, a connection to it, and each error box kept as "title: text".
struct ServedTarvik {
    ServedAddIn add_in;
    CAD_RPC::CAD_RPC_Connection connection{add_in.port()};
    QStringList reports;

    ServedTarvik()
    {
        load_node_icons();
        set_error_reporter([this](QWidget*, const QString& title, const QString& text) { reports << title + ": " + text; });
    }
    ~ServedTarvik() { set_error_reporter({}); }
    CAD_RPC::CAD_RPC_ServiceClient* client() { return &connection.client(); }
};

}  // namespace tarvik::testing
