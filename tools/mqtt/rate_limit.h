// How much of the console's attention MQTT may take: token buckets for
// requests and commands, and a request for a state asked for less than
// 200 ms ago, whose reply has not come yet, answered by that reply.
#ifndef MQTT_RATE_LIMIT_H
#define MQTT_RATE_LIMIT_H

#include <chrono>
#include <map>
#include <mutex>

namespace kmqtt {

// `rate` a second on average, at most `rate` at once after a quiet spell.
class TokenBucket
{
public:
    using Clock = std::chrono::steady_clock;
    explicit TokenBucket(double rate);
    bool take(Clock::time_point now);

private:
    double rate_;
    double tokens_;
    Clock::time_point last_{};
    bool started_ = false;
};

class OrderLimiter
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kPerSecond = 20;
    static constexpr std::chrono::milliseconds kCoalesce{200};

    enum class Verdict { Send, Coalesced, Limited };

    Verdict request(int id, Clock::time_point now);
    Verdict command(Clock::time_point now);
    // The bridge asked for `id` itself (its state bursts).
    void asked(int id, Clock::time_point now);
    // The mixer sent `id`: a later request is no longer answered by it.
    void answered(int id);

private:
    std::mutex mutex_;
    TokenBucket requests_{kPerSecond};
    TokenBucket commands_{kPerSecond};
    std::map<int, Clock::time_point> last_asked_;
};

}  // namespace kmqtt

#endif  // MQTT_RATE_LIMIT_H
