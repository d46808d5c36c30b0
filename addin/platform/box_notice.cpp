#include "box_notice.h"

namespace velmora::platform {

void BoxNotice::present_and_wait(const std::string& caption, const std::string& text)
{
    NoticeBox* box = nullptr;
    {
        // Opened under the lock: a close() either comes first and nothing
        // is shown, or finds the box to close.
        std::lock_guard lock(mutex_);
        if (finished_locked()) return;
        box_ = service_->open(caption, text);
        box = box_.get();
    }
    box->wait();
}

void BoxNotice::wake()
{
    if (box_) box_->close();
}

}  // namespace velmora::platform
