#include "lock_notice.h"

#include <algorithm>
#include <vector>

namespace velmora::platform {
namespace {

struct Board {
    std::mutex mutex;
    std::condition_variable gone;
    std::vector<std::pair<std::string, LockNotice*>> shown;
};

Board& board()
{
    static Board b;
    return b;
}

}  // namespace

void LockNotice::show(const std::string& caption, const std::string& text)
{
    auto& b = board();
    {
        std::lock_guard lock(b.mutex);
        b.shown.emplace_back(caption, this);
    }
    {
        std::lock_guard lock(mutex_);
        showing_ = true;
    }
    present_and_wait(caption, text);
    {
        std::lock_guard lock(mutex_);
        showing_ = false;
    }
    {
        std::lock_guard lock(b.mutex);
        b.shown.erase(std::remove_if(b.shown.begin(), b.shown.end(), [this](auto& e) { return e.second == this; }),
                      b.shown.end());
    }
    b.gone.notify_all();
}

void LockNotice::dismiss()
{
    // All under the lock: show() cannot return (and the notice cannot be
    // destroyed) before this has finished touching it.
    std::lock_guard lock(mutex_);
    finished_ = true;
    wake();
    cv_.notify_all();
}

void LockNotice::close() { dismiss(); }

bool LockNotice::is_showing() const
{
    std::lock_guard lock(mutex_);
    return showing_;
}

bool LockNotice::finished() const
{
    std::lock_guard lock(mutex_);
    return finished_;
}

void LockNotice::present_and_wait(const std::string&, const std::string&)
{
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return finished_; });
}

bool close_notice_titled(const std::string& caption)
{
    auto& b = board();
    std::unique_lock lock(b.mutex);
    auto it = std::find_if(b.shown.begin(), b.shown.end(), [&](auto& e) { return e.first == caption; });
    if (it == b.shown.end()) return false;
    LockNotice* notice = it->second;
    // The notice cannot leave the board without taking b.mutex, so it is
    // alive while we ask it to close.
    notice->close();
    b.gone.wait(lock, [&] {
        return std::none_of(b.shown.begin(), b.shown.end(), [&](auto& e) { return e.second == notice; });
    });
    return true;
}

}  // namespace velmora::platform
