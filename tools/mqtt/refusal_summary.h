// Refused requests and commands, counted by reason and said on stderr as
// one line at most every 10 s (10 s after the first one not yet said), so that a flood cannot fill the journal:
// "refused 1523 in 10 s: 1200 rate limited, 323 bad arguments; last: T R".
#ifndef MQTT_REFUSAL_SUMMARY_H
#define MQTT_REFUSAL_SUMMARY_H

#include <chrono>
#include <map>
#include <mutex>
#include <string>

namespace kmqtt {

class RefusalSummary
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kEvery{10};

    // `kind` is the short reason counted ("rate limited"), `reason` the
    // whole one shown for the last refusal.
    void add(const std::string &kind, const std::string &topic, const std::string &reason, Clock::time_point now);
    // The summary when one is due at `now` ("1523 in 10 s: ..."), else "".
    std::string take(Clock::time_point now);
    // When take() has something to say; time_point::max() when nothing waits.
    Clock::time_point due() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, unsigned long> counts_;
    unsigned long total_ = 0;
    std::string last_topic_;
    std::string last_reason_;
    Clock::time_point opened_{};  // the first refusal not yet said
};

}  // namespace kmqtt

#endif  // MQTT_REFUSAL_SUMMARY_H
