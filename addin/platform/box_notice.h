#pragma once
#include <memory>

#include "lock_notice.h"
#include "host_interface/notice_box_service.h"

namespace velmora::platform {

// The lock notice as a box on the host program's screen: closing the box
// dismisses the notice; close() (stop_rpc_service) closes the box.
class BoxNotice : public LockNotice {
public:
    explicit BoxNotice(std::shared_ptr<NoticeBoxService> service) : service_(std::move(service)) {}

protected:
    void present_and_wait(const std::string& caption, const std::string& text) override;
    void wake() override;

private:
    std::shared_ptr<NoticeBoxService> service_;
    std::unique_ptr<NoticeBox> box_;  // under mutex_
};

}  // namespace velmora::platform
