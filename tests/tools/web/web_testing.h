// korvane-web under test: a real mosquitto (from the bridge's tests), the
// real program on free ports, and a WebSocket client from libwebsockets on
// a thread of its own that keeps every message it gets; every wait is bounded.
#ifndef TEST_WEB_TESTING_H
#define TEST_WEB_TESTING_H

#include "../mqtt/mqtt_testing.h"

#include <libwebsockets.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace webtest {

using Json = nlohmann::json;

class LiveClient
{
public:
    explicit LiveClient(uint16_t port, const std::string &path = "/live")
    {
        static const lws_protocols protocols[] = {
            {"korvane-test", &LiveClient::callback, 0, 65536, 0, nullptr, 0},
            {nullptr, nullptr, 0, 0, 0, nullptr, 0},
        };
        lws_set_log_level(0, nullptr);
        lws_context_creation_info info;
        std::memset(&info, 0, sizeof info);
        info.port = CONTEXT_PORT_NO_LISTEN;
        info.protocols = protocols;
        info.user = this;
        info.fd_limit_per_thread = 16;
        context_ = lws_create_context(&info);
        lws_client_connect_info ci;
        std::memset(&ci, 0, sizeof ci);
        ci.context = context_;
        ci.address = "127.0.0.1";
        ci.port = port;
        ci.path = path.c_str();
        ci.host = ci.address;
        ci.origin = ci.address;
        ci.protocol = nullptr;
        lws_client_connect_via_info(&ci);
        thread_ = std::thread([this] {
            while (!stopping_)
                lws_service(context_, 0);
        });
    }
    ~LiveClient()
    {
        stopping_ = true;
        lws_cancel_service(context_);
        thread_.join();
        lws_context_destroy(context_);
    }

    // Stops reading from the socket, as a frozen browser tab does.
    void stall()
    {
        stall_ = true;
        lws_cancel_service(context_);
    }

    bool closed()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return closed_;
    }
    std::size_t count()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_.size();
    }
    std::vector<Json> all()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }

    // The first message at index >= from that `wanted` accepts, within `timeout` seconds.
    bool wait_for(const std::function<bool(const Json &)> &wanted, double timeout, std::size_t from = 0,
                  Json *found = nullptr)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        std::size_t next = from;
        return changed_.wait_for(lock, std::chrono::duration<double>(timeout), [&] {
            for (; next < messages_.size(); ++next)
                if (wanted(messages_[next])) {
                    if (found)
                        *found = messages_[next];
                    return true;
                }
            return false;
        });
    }
    bool wait_type(const std::string &type, double timeout, std::size_t from = 0, Json *found = nullptr)
    {
        return wait_for([&](const Json &j) { return j.value("type", "") == type; }, timeout, from, found);
    }
    bool wait_closed(double timeout)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::duration<double>(timeout), [this] { return closed_; });
    }

private:
    static int callback(lws *wsi, lws_callback_reasons reason, void *, void *in, std::size_t len)
    {
        auto *self = static_cast<LiveClient *>(lws_context_user(lws_get_context(wsi)));
        switch (reason) {
        case LWS_CALLBACK_CLIENT_ESTABLISHED: self->wsi_ = wsi; break;
        case LWS_CALLBACK_CLIENT_RECEIVE: {
            self->partial_.append(static_cast<const char *>(in), len);
            if (!lws_is_final_fragment(wsi))
                break;
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->messages_.push_back(Json::parse(self->partial_, nullptr, false));
            self->partial_.clear();
            self->changed_.notify_all();
            break;
        }
        case LWS_CALLBACK_CLIENT_CONNECTION_ERROR:
        case LWS_CALLBACK_CLIENT_CLOSED: {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->closed_ = true;
            self->wsi_ = nullptr;
            self->changed_.notify_all();
            break;
        }
        case LWS_CALLBACK_EVENT_WAIT_CANCELLED:
            if (self && self->stall_ && self->wsi_)
                lws_rx_flow_control(self->wsi_, 0);
            break;
        default: break;
        }
        return 0;
    }

    lws_context *context_ = nullptr;
    lws *wsi_ = nullptr;  // the service thread only
    std::string partial_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> stall_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Json> messages_;
    bool closed_ = false;
};

// One plain HTTP/1.1 request; the status line and headers come back with
// the body (bounded by `timeout` seconds).
inline std::string http_exchange(uint16_t port, const std::string &request, double timeout = 3.0)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        timeval tv{static_cast<time_t>(timeout), 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        char buffer[4096];
        for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
            reply.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return reply;
}

// Publishes with QoS 1 and waits (bounded) until the broker has it.
class Publisher
{
public:
    explicit Publisher(uint16_t port)
    {
        mosq_ = mosquitto_new(nullptr, true, this);
        mosquitto_publish_callback_set(mosq_, [](mosquitto *, void *self, int) {
            auto *p = static_cast<Publisher *>(self);
            std::lock_guard<std::mutex> lock(p->mutex_);
            ++p->acknowledged_;
            p->changed_.notify_all();
        });
        mosquitto_connect(mosq_, "127.0.0.1", port, 10);
        mosquitto_loop_start(mosq_);
    }
    ~Publisher()
    {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
    }
    // Without `wait`, only the last of a burst needs to be waited for.
    bool publish(const std::string &topic, const std::string &payload, bool retain = false, bool wait = true)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const unsigned long target = ++sent_;
        lock.unlock();
        if (mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1,
                              retain) != MOSQ_ERR_SUCCESS)
            return false;
        lock.lock();
        return !wait || changed_.wait_for(lock, std::chrono::seconds(5), [&] { return acknowledged_ >= target; });
    }

private:
    mosquitto *mosq_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    unsigned long sent_ = 0;
    unsigned long acknowledged_ = 0;
};

// The resident memory of process `pid` in kB, 0 when unknown.
inline long resident_kb(pid_t pid)
{
    FILE *f = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    if (!f)
        return 0;
    char line[256];
    long kb = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1)
            break;
    std::fclose(f);
    return kb;
}

}  // namespace webtest

#endif  // TEST_WEB_TESTING_H
