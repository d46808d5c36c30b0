#pragma once
#include <memory>
#include <mutex>
#include <vector>

#include <QObject>
#include <QPointer>

#include "host_interface/notice_box_service.h"

class QWidget;

namespace velmora::host {

// The add-in's notice boxes as message boxes of the CAD window: opened from
// any thread, shown by the window's thread, non-modal, so the model can
// still be turned while one is up.
class NoticeBoxes : public QObject, public platform::NoticeBoxService {
    Q_OBJECT
public:
    NoticeBoxes();
    ~NoticeBoxes() override;

    // The window the boxes are shown over.
    void set_window(QWidget* window) { window_ = window; }

    std::unique_ptr<platform::NoticeBox> open(const std::string& caption, const std::string& text) override;
    // Closes every box as the user would, and every box opened from now on
    // at once: the window is closing.
    void dismiss_all();

    struct State;

private:
    QPointer<QWidget> window_;
    std::mutex mutex_;
    std::vector<std::weak_ptr<State>> open_;
    bool dismissing_ = false;
};

}  // namespace velmora::host
