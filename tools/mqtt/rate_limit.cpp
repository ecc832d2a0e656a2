#include "rate_limit.h"

#include <algorithm>

namespace kmqtt {

constexpr int OrderLimiter::kPerSecond;
constexpr std::chrono::milliseconds OrderLimiter::kCoalesce;

TokenBucket::TokenBucket(double rate)
    : rate_(rate)
    , tokens_(rate)
{}

bool TokenBucket::take(Clock::time_point now)
{
    if (started_)
        tokens_ = std::min(rate_, tokens_ + rate_ * std::chrono::duration<double>(now - last_).count());
    started_ = true;
    last_ = now;
    if (tokens_ < 1.0)
        return false;
    tokens_ -= 1.0;
    return true;
}

OrderLimiter::Verdict OrderLimiter::request(int id, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto asked = last_asked_.find(id);
    if (asked != last_asked_.end() && now - asked->second < kCoalesce)
        return Verdict::Coalesced;
    if (!requests_.take(now))
        return Verdict::Limited;
    last_asked_[id] = now;
    return Verdict::Send;
}

OrderLimiter::Verdict OrderLimiter::command(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_.take(now) ? Verdict::Send : Verdict::Limited;
}

void OrderLimiter::asked(int id, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    last_asked_[id] = now;
}

void OrderLimiter::answered(int id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    last_asked_.erase(id);
}

}  // namespace kmqtt
