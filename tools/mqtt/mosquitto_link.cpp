#include "mosquitto_link.h"

#include "incident.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace kmqtt {

constexpr std::size_t MosquittoLink::kWindow;
constexpr unsigned MosquittoLink::kRetryMaxS;

namespace {

// Seconds between keep-alive pings; a broker that vanishes without closing
// the connection is noticed after about one and a half of them.
constexpr int kKeepAliveS = 10;
// How long one turn of the network loop may wait for the socket.
constexpr int kLoopWaitMs = 100;

// Why a connection ended, also where libmosquitto's own text has no words.
std::string disconnect_reason(int rc)
{
    if (rc == 0)
        return "disconnected by the broker";
    if (rc == MOSQ_ERR_KEEPALIVE)
        return "no answer within the keep-alive time";
    return mosquitto_strerror(rc);
}

// Why a connection attempt failed; `err` is errno right after it.
std::string connect_failure(int rc, int err)
{
    if (rc == MOSQ_ERR_ERRNO)
        return std::strerror(err);
    if (rc == MOSQ_ERR_EAI)
        return "host name not found (or no name service)";
    return mosquitto_strerror(rc);
}

}  // namespace

MosquittoLink::MosquittoLink(const Options &options, Events &events)
    : options_(options)
    , events_(events)
{}

MosquittoLink::~MosquittoLink()
{
    if (network_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            end_loop_ = true;
            written_.notify_all();
        }
        mosquitto_disconnect(mosq_);
        network_.join();
    }
    if (mosq_)
        mosquitto_destroy(mosq_);
}

std::string MosquittoLink::broker_text() const
{
    const bool v6 = options_.broker_host.find(':') != std::string::npos;
    return (v6 ? "[" + options_.broker_host + "]" : options_.broker_host) + ":" + std::to_string(options_.broker_port);
}

bool MosquittoLink::start(const std::string &will_topic, const std::string &will_payload, std::string &error)
{
    mosq_ = mosquitto_new(options_.client_id.empty() ? nullptr : options_.client_id.c_str(), true, this);
    if (!mosq_) {
        error = "cannot create an MQTT client";
        return false;
    }
    mosquitto_connect_callback_set(mosq_, &MosquittoLink::on_connect);
    mosquitto_disconnect_callback_set(mosq_, &MosquittoLink::on_disconnect);
    mosquitto_publish_callback_set(mosq_, &MosquittoLink::on_publish);
    mosquitto_message_callback_set(mosq_, &MosquittoLink::on_message);
    mosquitto_subscribe_callback_set(mosq_, &MosquittoLink::on_subscribe);
    mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
    // Our own thread runs the loop; publications from others only queue.
    mosquitto_threaded_set(mosq_, true);

    int rc = mosquitto_will_set(mosq_, will_topic.c_str(), static_cast<int>(will_payload.size()), will_payload.data(),
                                1, true);
    if (rc == MOSQ_ERR_SUCCESS && !options_.username.empty())
        rc = mosquitto_username_pw_set(mosq_, options_.username.c_str(),
                                       options_.password.empty() ? nullptr : options_.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !options_.cafile.empty())
        rc = mosquitto_tls_set(mosq_, options_.cafile.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = mosquitto_strerror(rc);
        return false;
    }
    // A broker that is down now is no error: the network thread keeps trying.
    network_ = std::thread(&MosquittoLink::network_loop, this);
    started_ = true;
    return true;
}

void MosquittoLink::network_loop()
{
    unsigned delay_s = 0;
    bool have_socket = false;
    for (;;) {
        if (!have_socket) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (end_loop_ || stopping_)
                    break;
            }
            attempt_refused_ = false;
            errno = 0;
            const int rc = mosquitto_connect(mosq_, options_.broker_host.c_str(), options_.broker_port, kKeepAliveS);
            const int err = errno;
            if (rc == MOSQ_ERR_SUCCESS) {
                have_socket = true;
                continue;
            }
            unreachable("broker-unreachable", connect_failure(rc, err));
            if (!wait_retry(delay_s))
                break;
            continue;
        }
        const int rc = mosquitto_loop(mosq_, kLoopWaitMs, 1);
        if (rc == MOSQ_ERR_SUCCESS)
            continue;
        // The socket is closed and on_disconnect has run.
        have_socket = false;
        if (attempt_connected_) {
            // It worked for a while: start the back-off afresh, and say
            // again why the next attempts fail.
            attempt_connected_ = false;
            delay_s = 0;
            last_cause_.clear();
        }
        if (!wait_retry(delay_s))
            break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    loop_ended_ = true;
    written_.notify_all();
}

bool MosquittoLink::wait_retry(unsigned &delay_s)
{
    // 1, 2, 4, then every 5 s.
    delay_s = delay_s == 0 ? 1 : std::min(delay_s * 2, kRetryMaxS);
    std::unique_lock<std::mutex> lock(mutex_);
    written_.wait_for(lock, std::chrono::seconds(delay_s), [this] { return end_loop_ || stopping_; });
    return !(end_loop_ || stopping_);
}

void MosquittoLink::unreachable(const std::string &event, const std::string &cause)
{
    if (cause == last_cause_)
        return;
    last_cause_ = cause;
    incident(event, broker_text() + " " + cause);
}

std::chrono::system_clock::time_point MosquittoLink::connected_at() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return connected_at_;
}

bool MosquittoLink::stop(const std::string &last_topic, const std::string &last_payload, int wait_ms)
{
    if (!started_)
        return true;
    stopping_ = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    if (connected_) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (mosquitto_publish(mosq_, &last_mid_, last_topic.c_str(), static_cast<int>(last_payload.size()),
                              last_payload.data(), 1, true) == MOSQ_ERR_SUCCESS)
            // QoS 1: the broker has it once it acknowledged it.
            written_.wait_until(lock, deadline, [this] { return last_written_ || !connected_; });
    }
    mosquitto_disconnect(mosq_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        end_loop_ = true;
        written_.notify_all();
    }
    // The network thread may sit in a name lookup, a TCP connect or a TLS
    // handshake for seconds; the wait for it is bounded, so that a stop
    // stays prompt.
    std::unique_lock<std::mutex> lock(mutex_);
    if (!written_.wait_until(lock, deadline + std::chrono::milliseconds(wait_ms), [this] { return loop_ended_; })) {
        lock.unlock();
        network_.detach();
        incident("broker-stop-slow", "the MQTT network thread did not end in time");
        return false;
    }
    lock.unlock();
    network_.join();
    started_ = false;
    return true;
}

std::size_t MosquittoLink::room() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return connected_ && unwritten_.size() < kWindow ? kWindow - unwritten_.size() : 0;
}

bool MosquittoLink::publish(const std::string &topic, const std::string &payload, bool retain)
{
    if (!connected_)
        return false;
    // Held across the call so that on_publish cannot see the id before it is counted.
    std::lock_guard<std::mutex> lock(mutex_);
    int mid = -1;
    const int rc =
        mosquitto_publish(mosq_, &mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 0, retain);
    if (rc != MOSQ_ERR_SUCCESS)
        return false;
    unwritten_.insert(mid);
    return true;
}

void MosquittoLink::on_connect(mosquitto *mosq, void *self, int rc)
{
    auto *link = static_cast<MosquittoLink *>(self);
    if (rc != 0) {
        link->attempt_refused_ = true;
        link->unreachable("broker-refused", mosquitto_connack_string(rc));
        return;
    }
    {
        // What libmosquitto queued before the connection went is gone with it.
        std::lock_guard<std::mutex> lock(link->mutex_);
        link->unwritten_.clear();
        link->connected_at_ = std::chrono::system_clock::now();
    }
    link->attempt_connected_ = true;
    link->last_cause_.clear();
    for (const std::string &filter : {link->options_.prefix + "/request/+", link->options_.prefix + "/command/+"}) {
        const int sub = mosquitto_subscribe(mosq, nullptr, filter.c_str(), 1);
        if (sub != MOSQ_ERR_SUCCESS)
            incident("broker-subscribe-failed", filter + " " + mosquitto_strerror(sub));
    }
    link->connected_ = true;
    incident("broker-connected", link->broker_text());
    link->events_.broker_connected();
}

void MosquittoLink::on_disconnect(mosquitto *, void *self, int rc)
{
    auto *link = static_cast<MosquittoLink *>(self);
    bool was = false;
    {
        std::lock_guard<std::mutex> lock(link->mutex_);
        was = link->connected_.exchange(false);
        link->written_.notify_all();
    }
    if (link->stopping_ && rc == 0)
        return;
    if (was)
        incident("broker-lost", link->broker_text() + " " + disconnect_reason(rc));
    else if (!link->attempt_refused_)
        // Reached, but gone before the broker accepted us (TLS, a port
        // that is no broker, a broker that closes at once).
        link->unreachable("broker-unreachable", disconnect_reason(rc));
    link->events_.broker_lost();
}

void MosquittoLink::on_publish(mosquitto *, void *self, int mid)
{
    auto *link = static_cast<MosquittoLink *>(self);
    bool had_no_room = false;
    {
        std::lock_guard<std::mutex> lock(link->mutex_);
        had_no_room = link->unwritten_.size() >= kWindow;
        link->unwritten_.erase(mid);
        if (mid == link->last_mid_) {
            link->last_written_ = true;
            link->written_.notify_all();
        }
    }
    if (had_no_room)
        link->events_.room();
}

void MosquittoLink::on_subscribe(mosquitto *, void *self, int, int count, const int *granted)
{
    // 0x80: the broker's access rules keep requests and commands from us.
    for (int i = 0; i < count; ++i)
        if (granted[i] == 0x80)
            incident("broker-subscribe-refused", static_cast<MosquittoLink *>(self)->options_.prefix +
                                                     "/request/+ or /command/+ (the broker's access rules)");
}

void MosquittoLink::on_message(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *link = static_cast<MosquittoLink *>(self);
    const std::string payload(static_cast<const char *>(message->payload),
                              static_cast<std::size_t>(message->payloadlen > 0 ? message->payloadlen : 0));
    link->events_.message(message->topic ? message->topic : "", payload, message->retain);
}

}  // namespace kmqtt
