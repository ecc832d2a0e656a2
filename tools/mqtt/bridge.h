// The bridge itself: one korvane handle to the mixer, one MQTT client, and
// the thread between them that applies the online/offline rule, asks for
// the mixer's state and publishes what changed.
#ifndef MQTT_BRIDGE_H
#define MQTT_BRIDGE_H

#include "bridge_state.h"
#include "health.h"
#include "korvane.h"
#include "mosquitto_link.h"
#include "options.h"
#include "rate_limit.h"
#include "refusal_summary.h"
#include "topics.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

namespace kmqtt {

class Bridge : private MosquittoLink::Events
{
public:
    explicit Bridge(Options options);
    ~Bridge() override;
    Bridge(const Bridge &) = delete;
    Bridge &operator=(const Bridge &) = delete;

    // Starts the broker client and opens the mixer link; false (with the
    // reason) only when the settings cannot work at all.
    bool start(std::string &error);
    // Runs until stop(); then publishes "bridge-down", disconnects and
    // closes the mixer link. False when libmosquitto's thread would not end:
    // the process must then _exit without destroying the bridge.
    bool run();
    // Any thread: main calls it once sigwait has taken a stop signal. Never
    // from a signal handler, since it takes a lock.
    void stop();

private:
    void broker_connected() override;
    void broker_lost() override;
    void message(const std::string &topic, const std::string &payload, bool retained) override;
    void room() override;

    static int on_mixer(const korvane_event *event, void *self);
    void wake();
    void try_open_mixer(Clock::time_point now);
    void request_state(Clock::time_point now);
    void report_dropped_meters(Clock::time_point now);
    void report_broker_absence(Clock::time_point now);
    // Counts a refusal for the summary line and answers it on P/error.
    void refuse(const std::string &kind, const std::string &topic, const std::string &reason);
    void publish_health();
    std::string mixer_text() const;

    const Options options_;
    const Topics topics_;
    BridgeState state_;
    MosquittoLink broker_;
    OrderLimiter limiter_;
    RefusalSummary refusals_;
    std::atomic<korvane_handle> handle_{nullptr};
    std::mutex send_mutex_;  // held while the network thread sends on handle_

    std::mutex wake_mutex_;
    std::condition_variable wake_cv_;
    bool woken_ = false;
    bool stopping_ = false;
    std::atomic<bool> burst_wanted_{false};

    Clock::time_point next_open_try_{};
    bool open_failure_reported_ = false;
    Health::Link link_ = Health::Link::CannotOpen;
    Clock::time_point last_burst_{};
    Clock::time_point next_drop_report_{};
    unsigned long meters_dropped_reported_ = 0;
    Clock::time_point broker_absent_since_{};  // epoch while connected
    Clock::time_point next_absence_report_{};
};

}  // namespace kmqtt

#endif  // MQTT_BRIDGE_H
