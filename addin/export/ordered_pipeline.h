#pragma once
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::zel {

// Where finished text goes, in order.
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void write(std::string_view text) = 0;
};

// Text made of literal parts and of parts produced on helper threads (one
// per core, at most eight), handed to the sink in the order it was asked
// for. A few parts per thread are held back at most, so memory stays small
// however long the text. A job that throws stops the text there: finish()
// (or the defer() that waits for it) rethrows, and nothing after it is
// written. Destroying the pipeline drops the work not yet started and
// waits for what runs.
class OrderedPipeline {
public:
    using Job = std::function<void(std::string& into)>;

    // `threads` 0: one per core (at most eight); 1: every job runs where it is deferred.
    explicit OrderedPipeline(TextSink& sink, unsigned threads = 0);
    ~OrderedPipeline();
    OrderedPipeline(const OrderedPipeline&) = delete;
    OrderedPipeline& operator=(const OrderedPipeline&) = delete;

    // The literal text after the last deferred job; append to it freely.
    std::string& text() { return text_; }
    // `job` appends its text to the string it is given, on some thread.
    void defer(Job job);
    // Hands the literal text on once it has grown large.
    void flush_if_large();
    // Writes everything out, in order.
    void finish();

private:
    class Workers;
    struct Part {
        std::string before;  // literal text ahead of the job's
        std::string made;
        std::future<void> done;
    };
    std::string spare();
    void write_front();

    TextSink& sink_;
    std::string text_;
    std::deque<Part> parts_;
    // Buffers are used again: freed by another thread than the one that grew
    // them, fresh ones would scatter the heap over the threads' arenas.
    std::vector<std::string> spares_;
    std::unique_ptr<Workers> workers_;
};

}  // namespace velmora::zel
