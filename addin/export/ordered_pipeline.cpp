#include "ordered_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/cores.h"

namespace velmora::zel {

class OrderedPipeline::Workers {
public:
    explicit Workers(unsigned threads)
    {
        for (unsigned i = 0; threads > 1 && i < threads; ++i) threads_.emplace_back([this] { work(); });
    }
    ~Workers()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            queue_.clear();  // nobody waits for them any more
        }
        wake_.notify_all();
        for (auto& t : threads_) t.join();
    }
    std::future<void> submit(std::function<void()> job)
    {
        Task task{std::move(job), {}};
        std::future<void> result = task.done.get_future();
        if (threads_.empty()) {
            task.run();
            return result;
        }
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(task));
        }
        wake_.notify_one();
        return result;
    }
    std::size_t count() const { return std::max<std::size_t>(1, threads_.size()); }

private:
    // The job and its promise apart: a dropped job lets go of what it holds at once.
    struct Task {
        std::function<void()> job;
        std::promise<void> done;
        void run()
        {
            try {
                job();
                done.set_value();
            } catch (...) {
                done.set_exception(std::current_exception());
            }
        }
    };

    void work()
    {
        for (;;) {
            Task task;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (stopping_) return;
                task = std::move(queue_.front());
                queue_.pop_front();
            }
            task.run();
        }
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

OrderedPipeline::OrderedPipeline(TextSink& sink, unsigned threads) : sink_(sink)
{
    // More threads than a disk can take text from would only hold more of it in memory.
    if (threads == 0) threads = std::min(8u, usable_cores());
    workers_ = std::make_unique<Workers>(threads);
}

// The workers stop before the parts they write into go.
OrderedPipeline::~OrderedPipeline() { workers_.reset(); }

std::string OrderedPipeline::spare()
{
    if (spares_.empty()) return {};
    std::string s = std::move(spares_.back());
    spares_.pop_back();
    s.clear();
    return s;
}

void OrderedPipeline::defer(Job job)
{
    Part& part = parts_.emplace_back();
    part.before.swap(text_);
    text_ = spare();
    part.made = spare();
    std::string* into = &part.made;  // a deque's elements stay where they are
    part.done = workers_->submit([into, job = std::move(job)] { job(*into); });
    while (parts_.size() > 4 * workers_->count()) write_front();
}

void OrderedPipeline::write_front()
{
    Part& part = parts_.front();
    if (!part.before.empty()) sink_.write(part.before);
    part.done.get();
    if (!part.made.empty()) sink_.write(part.made);
    spares_.push_back(std::move(part.before));
    spares_.push_back(std::move(part.made));
    parts_.pop_front();
}

void OrderedPipeline::flush_if_large()
{
    if (text_.size() >= (1u << 18)) finish();
}

void OrderedPipeline::finish()
{
    while (!parts_.empty()) write_front();
    if (!text_.empty()) sink_.write(text_);
    text_.clear();
}

}  // namespace velmora::zel
