// The broker end: one libmosquitto client on a thread of its own that
// subscribes to the studios' topics and connects again whenever the
// connection fails or ends, waiting at most kMaxBackoff between tries.
#ifndef WEB_BROKER_INTAKE_H
#define WEB_BROKER_INTAKE_H

#include "options.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace kweb {

class BrokerIntake
{
public:
    static constexpr std::chrono::milliseconds kMaxBackoff{5000};
    // A connection attempt that has not been answered by then is given up.
    static constexpr std::chrono::seconds kConnectTimeout{10};

    // Called on the intake's thread; must not block for long.
    struct Events {
        virtual ~Events() = default;
        // Subscribed: the retained messages follow.
        virtual void broker_connected() = 0;
        virtual void broker_lost() = 0;
        virtual void message(const std::string &topic, const std::string &payload) = 0;
    };

    BrokerIntake(const Options &options, std::vector<std::string> filters, Events &events);
    ~BrokerIntake();
    BrokerIntake(const BrokerIntake &) = delete;
    BrokerIntake &operator=(const BrokerIntake &) = delete;

    // False (with the reason) only when the settings are unusable.
    bool start(std::string &error);
    void stop();

    std::string broker_text() const;

private:
    void run();
    // Waits `d` unless stop() comes first; false when it did.
    bool pause(std::chrono::milliseconds d);
    void unreachable(const std::string &reason);
    void lost(const std::string &reason);

    static void on_connect(mosquitto *, void *self, int rc);
    static void on_disconnect(mosquitto *, void *self, int rc);
    static void on_message(mosquitto *, void *self, const mosquitto_message *message);

    const Options &options_;
    const std::vector<std::string> filters_;
    Events &events_;
    mosquitto *mosq_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    // The intake's thread only:
    bool connected_ = false;
    bool was_connected_ = false;  // during this attempt
    std::string refusal_;         // the broker's answer to the last CONNECT, if it refused
    // Reports of one outage: the first failure, then every kReportEvery.
    std::chrono::steady_clock::time_point next_report_{};
    bool reported_ = false;
};

}  // namespace kweb

#endif  // WEB_BROKER_INTAKE_H
