// One library handle to the mixer, with the replies and events it delivers
// queued (bounded) for the main thread, and Ctrl+C turned into a wake-up.
#ifndef CLI_LINK_H
#define CLI_LINK_H

#include "message.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kcli {

class Link
{
public:
    // Meter events arrive 25 times a second or more; only keep them when asked.
    explicit Link(bool keep_meters)
        : keep_meters_(keep_meters)
    {}
    ~Link() { close(); }
    Link(const Link &) = delete;
    Link &operator=(const Link &) = delete;

    // Opens the handle (binding recv_port) and starts receiving.
    bool open(const std::string &host, uint16_t recv_port, uint16_t send_port);
    void close();
    korvane_handle handle() const { return handle_; }

    enum class Wait { Message, TimedOut, Stopped };
    // The next message, waiting until `deadline` at most.
    Wait next(kcatalog::Message &out, std::chrono::steady_clock::time_point deadline);
    // The next message, waiting until there is one or the link is stopped.
    Wait next(kcatalog::Message &out);
    // Wakes next() for good; callable from any thread.
    void stop();
    // Messages thrown away because the queue was full.
    unsigned long dropped();

private:
    static int on_event(const korvane_event *event, void *self);
    Wait take(kcatalog::Message &out);

    static constexpr std::size_t kQueueLimit = 4096;

    const bool keep_meters_;
    korvane_handle handle_ = nullptr;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<kcatalog::Message> queue_;
    unsigned long dropped_ = 0;
    bool stopped_ = false;
};

// Blocks SIGINT and SIGTERM in the whole process (create it before the
// library starts its threads, which inherit the mask) and calls `on_stop`
// from its own thread when one arrives.
class StopOnSignal
{
public:
    explicit StopOnSignal(std::function<void()> on_stop);
    ~StopOnSignal();
    StopOnSignal(const StopOnSignal &) = delete;
    StopOnSignal &operator=(const StopOnSignal &) = delete;

    bool signalled() const { return signalled_; }

private:
    std::function<void()> on_stop_;
    sigset_t set_;
    std::atomic<bool> quitting_{false};
    std::atomic<bool> signalled_{false};
    std::thread waiter_;
};

}  // namespace kcli

#endif  // CLI_LINK_H
