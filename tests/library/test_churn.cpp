// Many handles opened and closed under traffic, commands from several
// threads while events arrive, logging switched meanwhile: nothing leaks,
// nothing races (this test is the one that matters under ThreadSanitizer).
#include "library_link.h"

#include <atomic>
#include <thread>

using namespace kt;

namespace {
struct Counter {
    std::atomic<int> n{0};
    static int callback(const korvane_event *e, void *self)
    {
        if (e->data)
            static_cast<Counter *>(self)->n++;
        return 0;
    }
};
}  // namespace

TEST(Churn, OpenCloseUnderTrafficLeavesNoThreadOrDescriptor)
{
    TempDir dir;
    FakeMixer mixer;
    uint16_t port = free_udp_port();
    // one cycle first: runtimes (a sanitizer's, the C library's) may keep
    // a helper thread or descriptor from their first use on
    korvane_close(korvane_open("127.0.0.1", port, mixer.port()));
    const int threads_before = count_entries("/proc/self/task");
    const int fds_before = count_entries("/proc/self/fd");

    std::atomic<bool> stop{false};
    std::atomic<uint16_t> target{port};
    std::thread traffic([&] {
        int i = 0;
        while (!stop) {
            mixer.send_to(target, datagram(i % 2 ? 0xF0 : 0xA0, {uint8_t(i), 1, 2, 3, 4, 5, 6, 7}));
            if (++i % 16 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    Counter counter;
    int opened = 0;
    for (int cycle = 0; cycle < 500; ++cycle) {
        korvane_handle h = korvane_open("127.0.0.1", port, mixer.port());
        if (!h) {
            // someone else took the port: move on to another
            port = free_udp_port();
            target = port;
            continue;
        }
        ++opened;
        if (cycle % 3 == 0)
            korvane_logging(h, 1);
        korvane_register_callback(h, &Counter::callback, &counter);
        EXPECT_EQ(korvane_remote_on(h, cycle, 2), 0);
        if (cycle % 5 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (cycle % 7 == 0)
            korvane_logging(h, 0);
        EXPECT_EQ(korvane_close(h), 0);
    }
    stop = true;
    traffic.join();
    EXPECT_GE(opened, 450);
    EXPECT_GT(counter.n.load(), 0) << "traffic reached the callbacks";

    EXPECT_LE(count_entries_settled("/proc/self/task", threads_before), threads_before);
    EXPECT_EQ(count_entries("/proc/self/fd"), fds_before);
}

TEST(Churn, CommandsFromManyThreadsWhileEventsArriveAndLoggingToggles)
{
    TempDir dir;
    FakeMixer mixer;
    uint16_t port = 0;
    korvane_close(open_towards(mixer, &port));
    const int threads_before = count_entries("/proc/self/task");
    const int fds_before = count_entries("/proc/self/fd");
    mixer.enlarge_buffer();
    korvane_handle h = open_towards(mixer, &port);
    ASSERT_NE(h, nullptr);
    Counter counter;
    korvane_register_callback(h, &Counter::callback, &counter);

    std::atomic<bool> stop{false};
    std::thread events([&] {
        for (int i = 0; !stop; ++i) {
            mixer.send_to(port, datagram(uint8_t(0x80 | (i % 64)), {uint8_t(i), 1, 2, 3}));
            if (i % 8 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    std::thread toggler([&] {
        for (int i = 0; i < 200; ++i) {
            korvane_logging(h, uint8_t(i % 2));
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    // drained as they come: the socket buffer holds only a few hundred.
    // Keep-alives never stop, so the end is a time, not a silence.
    std::atomic<bool> done{false};
    std::atomic<int> commands{0}, broken{0};
    std::thread receiver([&] {
        Bytes d;
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        auto drained_by = give_up;
        while (std::chrono::steady_clock::now() < std::min(give_up, drained_by)) {
            if (done && drained_by == give_up)
                drained_by = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
            if (!mixer.receive(d, 50))
                continue;
            if (d.size() != 12 || d[0] != 0xA0 || d[1] != 0xA0)
                broken++;
            else if (d[3] == 5)
                commands++;
        }
    });
    std::atomic<int> sent{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (korvane_remote_on(h, t, i) == 0 && korvane_request(h, 96 + i % 16) == 0)
                    sent++;
                if (i % 10 == 0) {
                    korvane_register_callback(h, &Counter::callback, &counter);
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                }
            }
        });
    for (auto &s : senders)
        s.join();
    toggler.join();
    stop = true;
    events.join();
    EXPECT_EQ(sent.load(), 800);
    done = true;
    receiver.join();
    EXPECT_EQ(broken.load(), 0);
    // loopback may drop under pressure; most must arrive, each one whole
    EXPECT_GE(commands.load(), 700);
    EXPECT_EQ(korvane_close(h), 0);
    EXPECT_LE(count_entries_settled("/proc/self/task", threads_before), threads_before);
    EXPECT_EQ(count_entries("/proc/self/fd"), fds_before);
}

namespace {
// A callback that takes its time, as a program's may; counts the calls that
// start after the test asked to unregister or close.
struct SlowCallback {
    std::chrono::milliseconds duration{150};
    std::atomic<int> started{0};
    std::atomic<int> started_after_request{0};
    std::atomic<bool> requested{false};
    static int callback(const korvane_event *, void *self)
    {
        auto *s = static_cast<SlowCallback *>(self);
        if (s->requested)
            s->started_after_request++;
        s->started++;
        std::this_thread::sleep_for(s->duration);
        return 0;
    }
};
}  // namespace

TEST(Churn, UnregisterAndCloseWaitOnlyForTheRunningCallbackWhileDatagramsPourIn)
{
    TempDir dir;
    for (const bool close_at_once : {false, true}) {
        SCOPED_TRACE(close_at_once ? "close" : "unregister, then close");
        FakeMixer mixer;
        uint16_t port = 0;
        korvane_handle h = open_towards(mixer, &port);
        ASSERT_NE(h, nullptr);
        SlowCallback slow;
        korvane_register_callback(h, &SlowCallback::callback, &slow);

        // about 5,000 datagrams a second, for at most 8 seconds
        std::atomic<bool> stop{false};
        std::thread traffic([&] {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(8);
            for (int i = 0; !stop && std::chrono::steady_clock::now() < end; ++i) {
                mixer.send_to(port, datagram(0xC0 | 32, {uint8_t(i), 1}));
                if (i % 5 == 4)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        for (int i = 0; i < 300 && slow.started < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_GE(slow.started.load(), 2);

        slow.requested = true;
        const auto asked = std::chrono::steady_clock::now();
        if (close_at_once) {
            EXPECT_EQ(korvane_close(h), 0);
        } else {
            EXPECT_EQ(korvane_unregister_callback(h), 0);
        }
        const auto waited = std::chrono::steady_clock::now() - asked;
        const int after = slow.started_after_request;
        if (!close_at_once) {
            EXPECT_EQ(korvane_close(h), 0);
        }
        stop = true;
        traffic.join();

        // The request was made while a call was sleeping: no further call
        // may start once it ends. The time bound is loose on purpose.
        EXPECT_EQ(after, 0);
        EXPECT_LT(waited, slow.duration + std::chrono::milliseconds(400));
    }
}
