#include "link.h"

#include <signal.h>

namespace kcli {

bool Link::open(const std::string &host, uint16_t recv_port, uint16_t send_port)
{
    handle_ = korvane_open(host.c_str(), recv_port, send_port);
    if (!handle_)
        return false;
    korvane_register_callback(handle_, &Link::on_event, this);
    return true;
}

void Link::close()
{
    if (handle_)
        korvane_close(handle_);
    handle_ = nullptr;
}

int Link::on_event(const korvane_event *event, void *self)
{
    Link &link = *static_cast<Link *>(self);
    if (event->id == KORVANE_ID_METERS && !link.keep_meters_)
        return 0;
    kcatalog::Message m = kcatalog::copy_event(*event);
    {
        std::lock_guard<std::mutex> lock(link.mutex_);
        // A reader that cannot keep up loses the oldest lines, not memory.
        if (link.queue_.size() >= kQueueLimit) {
            link.queue_.pop_front();
            ++link.dropped_;
        }
        link.queue_.push_back(m);
    }
    link.arrived_.notify_one();
    return 0;
}

Link::Wait Link::take(kcatalog::Message &out)
{
    if (stopped_)
        return Wait::Stopped;
    if (queue_.empty())
        return Wait::TimedOut;
    out = queue_.front();
    queue_.pop_front();
    return Wait::Message;
}

Link::Wait Link::next(kcatalog::Message &out, std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_until(lock, deadline, [this] { return stopped_ || !queue_.empty(); });
    return take(out);
}

Link::Wait Link::next(kcatalog::Message &out)
{
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock, [this] { return stopped_ || !queue_.empty(); });
    return take(out);
}

void Link::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
    }
    arrived_.notify_all();
}

unsigned long Link::dropped()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

StopOnSignal::StopOnSignal(std::function<void()> on_stop)
    : on_stop_(std::move(on_stop))
{
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set_, nullptr);
    waiter_ = std::thread([this] {
        int signal_number = 0;
        while (sigwait(&set_, &signal_number) != 0) {
        }
        if (quitting_)
            return;
        signalled_ = true;
        on_stop_();
    });
}

StopOnSignal::~StopOnSignal()
{
    quitting_ = true;
    // Wakes the waiter if no signal came; harmless once it has returned.
    if (!signalled_)
        pthread_kill(waiter_.native_handle(), SIGTERM);
    waiter_.join();
}

}  // namespace kcli
