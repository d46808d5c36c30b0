#pragma once
#include "lock_notice.h"

namespace velmora::platform {

// The lock notice on a terminal: prints caption and text, then waits for
// Enter (only when standard input is a terminal: end of input must not end
// the run of a host started without one), SIGINT or SIGTERM, or close().
class TerminalNotice : public LockNotice {
public:
    TerminalNotice();
    ~TerminalNotice() override;

protected:
    void present_and_wait(const std::string& caption, const std::string& text) override;
    void wake() override;

private:
    int wake_pipe_[2] = {-1, -1};
};

}  // namespace velmora::platform
