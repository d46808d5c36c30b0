// The lock notice and its lookup by caption.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "addin/platform/lock_notice.h"
#include "addin/platform/terminal_notice.h"

using namespace velmora::platform;
using namespace std::chrono_literals;

namespace {

template <class Pred>
bool eventually(Pred pred)
{
    for (int i = 0; i < 500; ++i) {
        if (pred()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return pred();
}

}  // namespace

TEST(LockNotice, ClosedByExactCaptionOnly)
{
    LockNotice notice;
    std::thread t([&] { notice.show("Caption one", "text"); });
    ASSERT_TRUE(eventually([&] { return notice.is_showing(); }));
    EXPECT_FALSE(close_notice_titled("Caption"));
    EXPECT_TRUE(notice.is_showing());
    EXPECT_TRUE(close_notice_titled("Caption one"));
    // close_notice_titled waits until the notice has gone.
    EXPECT_FALSE(notice.is_showing());
    t.join();
    EXPECT_FALSE(close_notice_titled("Caption one"));
}

TEST(LockNotice, CloseBeforeShowStillEndsIt)
{
    LockNotice notice;
    notice.close();
    notice.show("c", "t");  // returns at once
    EXPECT_FALSE(notice.is_showing());
    EXPECT_FALSE(close_notice_titled("c"));
}

TEST(TerminalNotice, EndOfInputDoesNotDismissButSignalsAndCloseDo)
{
    // Standard input at end of file (as for a host started with no terminal).
    int saved = ::dup(STDIN_FILENO);
    int devnull = ::open("/dev/null", O_RDONLY);
    ::dup2(devnull, STDIN_FILENO);
    // Blocked in this thread, and so in the notice's, until the notice has
    // its handler in place and opens the signal to itself: a SIGTERM sent
    // at any moment waits for it instead of ending the test program.
    sigset_t term, previous;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &term, &previous);

    {
        TerminalNotice notice;
        std::thread t([&] { notice.show("T1", "waiting"); });
        ASSERT_TRUE(eventually([&] { return notice.is_showing(); }));
        EXPECT_TRUE(close_notice_titled("T1"));  // still shown although input has ended
        t.join();
    }
    {
        TerminalNotice notice;
        std::thread t([&] { notice.show("T2", "waiting"); });
        ::kill(::getpid(), SIGTERM);
        t.join();  // the signal ended it
        EXPECT_FALSE(notice.is_showing());
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    // The default disposition is back once no notice is shown.
    struct sigaction now {};
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);

    ::dup2(saved, STDIN_FILENO);
    ::close(saved);
    ::close(devnull);
}
