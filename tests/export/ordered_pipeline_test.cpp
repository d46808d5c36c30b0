// The ordered formatting pipeline: text in the order it was asked for,
// whatever thread made it, and no work left behind when it goes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <random>
#include <stdexcept>
#include <string>

#include "addin/export/ordered_pipeline.h"

using velmora::zel::OrderedPipeline;
using velmora::zel::TextSink;
using namespace std::chrono_literals;

namespace {

struct StringSink : TextSink {
    std::string text;
    void write(std::string_view part) override { text += part; }
};

}  // namespace

TEST(OrderedPipeline, TextComesOutInTheOrderItWasAskedFor)
{
    for (unsigned threads : {1u, 4u}) {
        StringSink sink;
        std::string expected;
        {
            OrderedPipeline pipeline(sink, threads);
            std::mt19937 rng(threads);
            for (int i = 0; i < 500; ++i) {
                pipeline.text() += "<" + std::to_string(i) + ">";
                expected += "<" + std::to_string(i) + ">";
                // Jobs of very different lengths finish out of order.
                const int lines = std::uniform_int_distribution<int>(0, 2000)(rng);
                pipeline.defer([i, lines](std::string& into) {
                    for (int k = 0; k < lines; ++k) into += std::to_string(i) + ";";
                });
                for (int k = 0; k < lines; ++k) expected += std::to_string(i) + ";";
            }
            pipeline.text() += "end";
            expected += "end";
            pipeline.finish();
        }
        EXPECT_EQ(sink.text, expected) << threads << " threads";
    }
}

TEST(OrderedPipeline, AJobThatThrowsStopsTheTextThere)
{
    StringSink sink;
    OrderedPipeline pipeline(sink, 4);
    for (int i = 0; i < 10; ++i) {
        pipeline.text() += "[" + std::to_string(i) + "]";
        pipeline.defer([i](std::string& into) {
            if (i == 5) throw std::runtime_error("job 5 failed");
            into += std::to_string(i);
        });
    }
    try {
        pipeline.finish();
        FAIL() << "the failure was lost";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "job 5 failed");
    }
    EXPECT_EQ(sink.text, "[0]0[1]1[2]2[3]3[4]4[5]");
}

TEST(OrderedPipeline, GoingAwayDropsQueuedWorkAndWaitsForRunningWork)
{
    StringSink sink;
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    std::atomic<int> queued_ran{0};
    // Told when the last queued job is gone, run or dropped.
    std::promise<void> queue_gone;
    std::shared_ptr<void> tracker(nullptr, [&](void*) { queue_gone.set_value(); });
    auto pipeline = std::make_unique<OrderedPipeline>(sink, 2);
    // Both threads wait in a job; the rest wait in the queue.
    for (int i = 0; i < 2; ++i) pipeline->defer([opened](std::string& into) { opened.wait(), into += "ran"; });
    for (int i = 0; i < 6; ++i) pipeline->defer([tracker, &queued_ran](std::string&) { ++queued_ran; });
    tracker.reset();

    auto going = std::async(std::launch::async, [&] { pipeline.reset(); });
    ASSERT_EQ(queue_gone.get_future().wait_for(10s), std::future_status::ready);
    gate.set_value();  // the running jobs may end now
    ASSERT_EQ(going.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(queued_ran, 0);
    EXPECT_EQ(sink.text, "");  // nothing is written unasked
}
