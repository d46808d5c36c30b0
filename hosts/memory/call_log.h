#pragma once
#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::memory {

// Every host call of an in-memory model, in order ("Role::operation"), so
// tests can state call sequences and counts.
class CallLog {
public:
    void record(std::string call)
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    std::size_t count(std::string_view call) const
    {
        std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count(calls_.begin(), calls_.end(), call));
    }
    std::size_t size() const
    {
        std::lock_guard lock(mutex_);
        return calls_.size();
    }
    std::vector<std::string> calls() const
    {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    void clear()
    {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

}  // namespace velmora::memory
