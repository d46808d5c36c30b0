#pragma once
#include <memory>
#include <string>

namespace velmora::platform {

// A box on screen that the program hosting the add-in shows for it, as the
// CAD system's platform shows a message box (MessageBoxA on Windows). The
// add-in draws nothing itself. Every call may come from any thread.
class NoticeBox {
public:
    virtual ~NoticeBox() = default;
    // Waits until the box is closed, by the user or by close().
    virtual void wait() = 0;
    // Closes the box; never blocks, and a second call does nothing.
    virtual void close() = 0;
};

class NoticeBoxService {
public:
    virtual ~NoticeBoxService() = default;
    // Shows a warning box with the caption, the text and an OK button.
    virtual std::unique_ptr<NoticeBox> open(const std::string& caption, const std::string& text) = 0;
};

}  // namespace velmora::platform
