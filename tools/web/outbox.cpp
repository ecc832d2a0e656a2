#include "outbox.h"

namespace kweb {

constexpr std::chrono::milliseconds Outbox::kMeterInterval;

void Outbox::put(const std::string &key, Text text, bool meters)
{
    const auto slot = slots_.find(key);
    if (slot != slots_.end()) {
        slot->second->text = std::move(text);
        return;
    }
    order_.push_back({key, std::move(text), meters});
    slots_[key] = std::prev(order_.end());
}

void Outbox::drop_all_but(const std::string &keep)
{
    for (auto it = order_.begin(); it != order_.end();) {
        if (it->key == keep) {
            ++it;
            continue;
        }
        slots_.erase(it->key);
        it = order_.erase(it);
    }
}

Text Outbox::take(Clock::time_point now, Clock::time_point *next_due)
{
    Clock::time_point earliest = Clock::time_point::max();
    for (auto it = order_.begin(); it != order_.end(); ++it) {
        if (it->meters) {
            const auto sent = meters_sent_.find(it->key);
            if (sent != meters_sent_.end() && now < sent->second + kMeterInterval) {
                earliest = std::min(earliest, sent->second + kMeterInterval);
                continue;
            }
            meters_sent_[it->key] = now;
        }
        Text text = std::move(it->text);
        slots_.erase(it->key);
        order_.erase(it);
        return text;
    }
    if (next_due && earliest != Clock::time_point::max())
        *next_due = earliest;
    return nullptr;
}

}  // namespace kweb
