#include "notice_boxes.h"

#include <condition_variable>

#include <QMessageBox>
#include <QMetaObject>

namespace velmora::host {

// One box: whether it has been closed (waited for by the add-in's thread)
// and the widget (the window's thread's only).
struct NoticeBoxes::State {
    std::mutex mutex;
    std::condition_variable closed_cv;
    bool closed = false;
    QPointer<QMessageBox> box;

    void mark_closed()
    {
        {
            std::lock_guard lock(mutex);
            closed = true;
        }
        closed_cv.notify_all();
    }
};

namespace {

class Box : public platform::NoticeBox {
public:
    Box(std::shared_ptr<NoticeBoxes::State> state, QObject* gui) : state_(std::move(state)), gui_(gui) {}
    ~Box() override { close(); }
    void wait() override
    {
        std::unique_lock lock(state_->mutex);
        state_->closed_cv.wait(lock, [this] { return state_->closed; });
    }
    // Never waits for the window's thread: that thread may itself be
    // waiting for the run to end.
    void close() override
    {
        state_->mark_closed();
        QMetaObject::invokeMethod(gui_, [state = state_] {
            if (state->box) state->box->deleteLater();
        });
    }

private:
    std::shared_ptr<NoticeBoxes::State> state_;
    QPointer<QObject> gui_;
};

}  // namespace

NoticeBoxes::NoticeBoxes() = default;

NoticeBoxes::~NoticeBoxes() = default;

std::unique_ptr<platform::NoticeBox> NoticeBoxes::open(const std::string& caption, const std::string& text)
{
    auto state = std::make_shared<State>();
    {
        std::lock_guard lock(mutex_);
        std::erase_if(open_, [](const auto& weak) { return weak.expired(); });
        open_.push_back(state);
        // The window is closing: a box asked for now is dismissed at once.
        if (dismissing_) state->closed = true;
    }
    QMetaObject::invokeMethod(this, [this, state, caption = QString::fromStdString(caption),
                                     text = QString::fromStdString(text)] {
        {
            std::lock_guard lock(state->mutex);
            if (state->closed) return;  // closed before it was shown
        }
        auto* box = new QMessageBox(QMessageBox::Warning, caption, text, QMessageBox::Ok, window_);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        // The button, Escape or the window manager: every way it closes dismisses it.
        connect(box, &QMessageBox::finished, box, [state] { state->mark_closed(); });
        connect(box, &QObject::destroyed, this, [state] { state->mark_closed(); });
        state->box = box;
        box->show();
        // In the window's lower right corner: the model stays in sight.
        if (window_) {
            const QRect frame = window_->geometry();
            box->move(frame.right() - box->width() - 24, frame.bottom() - box->height() - 48);
        }
    });
    return std::make_unique<Box>(state, this);
}

void NoticeBoxes::dismiss_all()
{
    std::vector<std::shared_ptr<State>> states;
    {
        std::lock_guard lock(mutex_);
        dismissing_ = true;
        for (const auto& weak : open_)
            if (auto state = weak.lock()) states.push_back(std::move(state));
    }
    for (const auto& state : states) {
        if (state->box) state->box->close();
        state->mark_closed();
    }
}

}  // namespace velmora::host
