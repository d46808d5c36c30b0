// The CAD window on a large model: opening it up to the first frame against
// opening the model without a window; a highlight round trip (one component
// highlighted and redrawn, from the serving thread until the frame is drawn);
// and a redraw of the whole model. Interleaved repetitions, medians.
//   window_bench MODEL.step [REPS]     (needs an X display: Xvfb will do)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include "addin/cad/cad_tree_builder.h"
#include "host_interface/host.h"
#include "addin/cad/highlighting.h"
#include "addin/cad/node_identity.h"
#include "apps/velmora-host/cad_window.h"
#include "hosts/session/host_session.h"
#include "apps/velmora-host/model_scene.h"
#include "apps/velmora-host/model_view.h"
#include "apps/velmora-host/notice_boxes.h"

using namespace velmora;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

cad::ApplicationPtr open(const char* model)
{
    occt::OcctHostOptions options;
    options.mesh_on_open = true;  // as velmora-host opens a model, with a window or without
    return occt::open_occt_application(model, options);
}

// As velmora-host opens a model with its window: the window first, the
// model read on another thread meanwhile, then shown and drawn.
struct Window {
    explicit Window(const char* model) : boxes(std::make_shared<host::NoticeBoxes>()), window(boxes, "bench")
    {
        window.resize(1024, 720);
        window.show();
        auto reading = std::async(std::launch::async, [model] { return open(model); });
        while (reading.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
            QCoreApplication::processEvents();
        application = reading.get();
        if (!QTest::qWaitForWindowExposed(&window)) std::fprintf(stderr, "window_bench: the window was not exposed\n");
        session = std::make_unique<occt::HostSession>(ADDIN_MODULE, application);
        window.show_model(*session);
        window.model_view().redraw();  // the first frame, drawn
    }
    ~Window() { window.detach(); }
    std::shared_ptr<host::NoticeBoxes> boxes;
    host::CadWindow window;
    cad::ApplicationPtr application;
    std::unique_ptr<occt::HostSession> session;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_bench MODEL.step [REPS]\n");
        return 2;
    }
    const char* model = argv[1];
    const int reps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    std::vector<double> plain, windowed;
    for (int i = 0; i < reps; ++i) {
        auto t0 = Clock::now();
        { const auto application = open(model); }
        plain.push_back(since(t0));
        t0 = Clock::now();
        {
            Window w(model);
            windowed.push_back(since(t0));
        }
    }

    // One window for the highlights and the redraws.
    Window w(model);
    const cad::ApplicationPtr& application = w.application;
    cad::CAD_ObjectRegistry registry(application->get_active_document(), application);
    CAD_RPC::Tree tree;
    cad::build_cad_tree(registry, tree);
    const int32_t component = tree.nodes.at(tree.root_id).children_ids.front();
    QSignalSpy shown(&w.window, &host::CadWindow::highlights_shown);
    std::vector<double> round_trips, redraws;
    for (int i = 0; i < 2 * reps; ++i) {
        const auto t0 = Clock::now();
        std::thread serving([&] {
            cad::set_highlight_status_of_ids(registry, {component}, i % 2 == 0);
            cad::refresh_display(registry);
        });
        serving.join();
        if (!shown.wait(60000)) std::fprintf(stderr, "window_bench: no redraw\n");
        round_trips.push_back(since(t0));
    }
    for (int i = 0; i < reps; ++i) {
        const auto t0 = Clock::now();
        w.window.model_view().view()->Invalidate();
        w.window.model_view().redraw();
        redraws.push_back(since(t0));
    }
    std::printf("9. CAD window open (%zu objects)  %7.3f s open + window + first frame  %7.3f s open alone  %5.2fx  "
                "(target <= 1.5x)\n",
                w.window.scene()->shown_objects(), median(windowed), median(plain), median(windowed) / median(plain));
    std::printf("10. highlight round trip           %7.3f s one component, until drawn   %7.3f s redraw of the whole model "
                "(target <= 0.100 s)\n",
                median(round_trips), median(redraws));
    return 0;
}
