// Opening, closing, the keep-alive and callback registration.
#include "library_link.h"

#include <atomic>
#include <thread>

using namespace kt;
using Clock = std::chrono::steady_clock;

namespace {
class Handles : public LinkTest
{
};
}  // namespace

TEST_F(Handles, FreshHandleHasEmptyLastError)
{
    ASSERT_NE(korvane_get_last_error(handle), nullptr);
    EXPECT_STREQ(korvane_get_last_error(handle), "");
}

TEST_F(Handles, SecondOpenOnABoundPortFailsAndTheFirstKeepsWorking)
{
    EXPECT_EQ(korvane_open("127.0.0.1", port, mixer.port()), nullptr);
    listen();
    auto got = exchange({datagram(0xA5, {1})});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(korvane_remote_non_stop(handle, 2), 0);
    EXPECT_EQ(mixer.next_command(), (Bytes{0xA0, 0xA0, 3, 10, 2, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(Handles, KeepAliveRightAfterOpenThenAboutOnceASecondAndNoneAfterClose)
{
    // a fresh handle of our own, so the first keep-alive is timed from open
    FakeMixer quiet;
    uint16_t p = 0;
    const auto opened = Clock::now();
    korvane_handle h = open_towards(quiet, &p);
    ASSERT_NE(h, nullptr);
    std::vector<Clock::time_point> at;
    Bytes d;
    uint16_t from = 0;
    while (at.size() < 3 && quiet.receive(d, 3000, &from)) {
        EXPECT_TRUE(is_keep_alive(d));
        EXPECT_EQ(from, p);
        at.push_back(Clock::now());
    }
    ASSERT_EQ(at.size(), 3u);
    using ms = std::chrono::milliseconds;
    EXPECT_LT(std::chrono::duration_cast<ms>(at[0] - opened).count(), 500);
    for (int i = 1; i < 3; ++i) {
        auto gap = std::chrono::duration_cast<ms>(at[i] - at[i - 1]).count();
        EXPECT_GE(gap, 900) << "keep-alive " << i;
        EXPECT_LE(gap, 1600) << "keep-alive " << i;
    }
    ASSERT_EQ(korvane_close(h), 0);
    while (quiet.receive(d, 0)) {
    }
    EXPECT_FALSE(quiet.receive(d, 1300)) << "a keep-alive left after close";
}

TEST_F(Handles, HostNameIsNotResolved)
{
    FakeMixer m;
    uint16_t p = 0;
    korvane_handle h = open_towards(m, &p, "localhost");
    ASSERT_NE(h, nullptr) << "a name still opens";
    korvane_logging(h, 1);
    auto texts = log_texts(log_name(p));
    ASSERT_GE(texts.size(), 5u);
    EXPECT_EQ(texts[4], "REMOTE HOST         : 255.255.255.255");
    EXPECT_EQ(korvane_close(h), 0);
}

TEST_F(Handles, RegisterReplacesTheCallback)
{
    EventLog other;
    listen();
    ASSERT_EQ(exchange({datagram(0xA5, {1})}).size(), 1u);
    ASSERT_EQ(korvane_register_callback(handle, &EventLog::callback, &other), 0);
    to_library(datagram(0xA5, {0}));
    ASSERT_TRUE(other.wait_for(1));
    EXPECT_EQ(other.events()[0].id, KORVANE_ID_NON_STOP);
    EXPECT_EQ(log.events().size(), 2u) << "only the end marker reached the first callback";
}

namespace {
struct CloseWatch {
    std::atomic<bool> closed{false};
    std::atomic<int> calls{0};
    std::atomic<int> late{0};
    static int callback(const korvane_event *, void *self)
    {
        auto *w = static_cast<CloseWatch *>(self);
        w->calls++;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (w->closed)
            w->late++;
        return 0;
    }
};
}  // namespace

TEST_F(Handles, NoCallbackAfterCloseReturns)
{
    for (int round = 0; round < 5; ++round) {
        CloseWatch watch;
        FakeMixer m;
        uint16_t p = 0;
        korvane_handle h = open_towards(m, &p);
        ASSERT_NE(h, nullptr);
        korvane_register_callback(h, &CloseWatch::callback, &watch);
        std::atomic<bool> stop{false};
        std::thread flood([&] {
            while (!stop)
                m.send_to(p, datagram(0xF0, {1, 2, 3, 4, 5, 6}));
        });
        while (watch.calls < 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto t0 = Clock::now();
        ASSERT_EQ(korvane_close(h), 0);
        const auto took = Clock::now() - t0;
        watch.closed = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stop = true;
        flood.join();
        EXPECT_EQ(watch.late, 0);
        // a busy reader ends within one callback, an idle one at once
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 500);
    }
}

TEST_F(Handles, CloseOfAnIdleHandleIsPrompt)
{
    FakeMixer m;
    uint16_t p = 0;
    korvane_handle h = open_towards(m, &p);
    ASSERT_NE(h, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // both threads asleep
    const auto t0 = Clock::now();
    ASSERT_EQ(korvane_close(h), 0);
    // the old receive time-out alone gave up to 100 ms; the keep-alive waits a second
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count(), 90);
}

TEST_F(Handles, CommandsFromTheCallbackAreSent)
{
    struct Echo {
        korvane_handle h;
        static int callback(const korvane_event *e, void *self)
        {
            if (e->id == KORVANE_ID_MODULE_ON)
                korvane_remote_on(static_cast<Echo *>(self)->h, 4, 2);
            return 0;
        }
    } echo{handle};
    korvane_logging(handle, 1);
    korvane_register_callback(handle, &Echo::callback, &echo);
    to_library(datagram(0xA0, {1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(mixer.next_command(), (Bytes{0xA0, 0xA0, 4, 5, 4, 2, 0, 0, 0, 0, 0, 0}));
}
