#pragma once
#include <condition_variable>
#include <mutex>
#include <string>

namespace velmora::platform {

// The notice that tells the user the CAD host is locked while the GUI runs.
// show() blocks until the user dismisses it or someone closes it (the Linux
// counterpart of a message box that receives WM_CLOSE). Both may come from
// any thread, before or during show().
class LockNotice {
public:
    virtual ~LockNotice() = default;

    // Registers the notice under its caption while it is shown, so that
    // close_notice_titled() finds it.
    void show(const std::string& caption, const std::string& text);
    // The user's answer.
    void dismiss();
    // The program's: what stop_rpc_service sends.
    void close();

    bool is_showing() const;

protected:
    // Presents the notice and waits until wake() or the user answers; the
    // default waits for dismiss()/close() only.
    virtual void present_and_wait(const std::string& caption, const std::string& text);
    // Makes present_and_wait return; called with mutex_ held, so it must not take it.
    virtual void wake() {}
    bool finished() const;
    // The same, for a caller that holds mutex_.
    bool finished_locked() const { return finished_; }

    mutable std::mutex mutex_;
    std::condition_variable cv_;

private:
    bool finished_ = false;
    bool showing_ = false;
};

// Closes the shown notice whose caption is exactly `caption` and waits until
// it has gone. Returns false when no such notice is shown.
bool close_notice_titled(const std::string& caption);

}  // namespace velmora::platform
