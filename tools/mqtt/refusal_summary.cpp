#include "refusal_summary.h"

#include "incident.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kmqtt {

constexpr std::chrono::seconds RefusalSummary::kEvery;

namespace {

// A topic or reason may be as long as the broker allows.
constexpr std::size_t kTopicShown = 160;
constexpr std::size_t kReasonShown = 160;

}  // namespace

void RefusalSummary::add(const std::string &kind, const std::string &topic, const std::string &reason,
                         Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (total_ == 0)
        opened_ = now;
    ++total_;
    ++counts_[kind];
    last_topic_ = topic.substr(0, kTopicShown * 4);
    last_reason_ = reason.substr(0, kReasonShown * 4);
}

RefusalSummary::Clock::time_point RefusalSummary::due() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    // The first refusal opens a window of 10 s; the line closes it.
    return total_ == 0 ? Clock::time_point::max() : opened_ + kEvery;
}

std::string RefusalSummary::take(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (total_ == 0 || now < opened_ + kEvery)
        return {};
    const long seconds =
        static_cast<long>((std::chrono::duration_cast<std::chrono::milliseconds>(now - opened_).count() + 500) / 1000);
    std::vector<std::pair<std::string, unsigned long>> kinds(counts_.begin(), counts_.end());
    std::stable_sort(kinds.begin(), kinds.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
    std::string line = std::to_string(total_) + " in " + std::to_string(seconds) + " s: ";
    for (std::size_t i = 0; i < kinds.size(); ++i)
        line += (i ? ", " : "") + std::to_string(kinds[i].second) + " " + kinds[i].first;
    line += "; last: " + shown(last_topic_, kTopicShown) + " " + shown(last_reason_, kReasonShown);
    counts_.clear();
    total_ = 0;
    return line;
}

}  // namespace kmqtt
