// The broker end: one libmosquitto client driven by a network thread of our
// own, which connects and reconnects with back-off whatever went wrong
// (libmosquitto's own thread gives up after a failed first connect or a
// failed name lookup). Publications are counted until libmosquitto has
// written them, so that a stalled broker cannot make its send queue grow
// beyond kWindow messages.
#ifndef MQTT_MOSQUITTO_LINK_H
#define MQTT_MOSQUITTO_LINK_H

#include "options.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>

struct mosquitto;
struct mosquitto_message;

namespace kmqtt {

class MosquittoLink
{
public:
    // Messages handed to libmosquitto and not yet written to the socket.
    static constexpr std::size_t kWindow = 128;
    // The longest wait between two connection attempts.
    static constexpr unsigned kRetryMaxS = 5;

    // Called on the network thread; must not block for long.
    struct Events {
        virtual ~Events() = default;
        virtual void broker_connected() = 0;
        virtual void broker_lost() = 0;
        // `retained`: the broker kept it and hands it over because we
        // (re)subscribed; nobody published it just now.
        virtual void message(const std::string &topic, const std::string &payload, bool retained) = 0;
        // The send window was full and has room again.
        virtual void room() = 0;
    };

    MosquittoLink(const Options &options, Events &events);
    ~MosquittoLink();
    MosquittoLink(const MosquittoLink &) = delete;
    MosquittoLink &operator=(const MosquittoLink &) = delete;

    // Sets the will, credentials and TLS and starts connecting in the
    // background; false (with the reason) only when the settings are unusable.
    bool start(const std::string &will_topic, const std::string &will_payload, std::string &error);
    // Publishes `last_payload` on `last_topic`, disconnects cleanly (waiting
    // at most `wait_ms` for the broker) and ends the network thread, waiting
    // another `wait_ms` at most. False when the thread did not end: it may
    // still call the Events and use this object, so the process must end
    // (_exit) without destroying either.
    bool stop(const std::string &last_topic, const std::string &last_payload, int wait_ms);

    bool connected() const { return connected_; }
    // Wall-clock time of the last successful connection.
    std::chrono::system_clock::time_point connected_at() const;
    std::size_t room() const;
    // False when not connected or libmosquitto refuses it.
    bool publish(const std::string &topic, const std::string &payload, bool retain);

    std::string broker_text() const;

private:
    static void on_connect(mosquitto *, void *self, int rc);
    static void on_disconnect(mosquitto *, void *self, int rc);
    static void on_publish(mosquitto *, void *self, int mid);
    static void on_message(mosquitto *, void *self, const mosquitto_message *message);
    static void on_subscribe(mosquitto *, void *self, int mid, int count, const int *granted);
    void network_loop();
    // Waits before the next attempt, the longer the more attempts failed;
    // false when stopping.
    bool wait_retry(unsigned &delay_s);
    // Says why the broker cannot be reached, once for each new cause.
    void unreachable(const std::string &event, const std::string &cause);

    const Options &options_;
    Events &events_;
    mosquitto *mosq_ = nullptr;
    std::atomic<bool> connected_{false};
    std::atomic<bool> stopping_{false};
    bool started_ = false;
    mutable std::mutex mutex_;
    std::condition_variable written_;    // last_written_, connected_ or loop_ended_ changed
    std::unordered_set<int> unwritten_;  // message ids, at most kWindow
    bool last_written_ = false;
    int last_mid_ = -1;
    bool loop_ended_ = false;
    std::thread network_;
    bool end_loop_ = false;                                 // under mutex_; wakes wait_retry
    std::string last_cause_;                                // network thread only; "" once connected
    bool attempt_refused_ = false;                          // network thread only: CONNACK said no
    bool attempt_connected_ = false;                        // network thread only: CONNACK said yes
    std::chrono::system_clock::time_point connected_at_{};  // under mutex_
};

}  // namespace kmqtt

#endif  // MQTT_MOSQUITTO_LINK_H
