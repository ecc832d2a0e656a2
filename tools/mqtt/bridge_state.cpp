#include "bridge_state.h"

#include <algorithm>

namespace kmqtt {

constexpr std::chrono::milliseconds BridgeState::kOfflineAfter;
constexpr std::size_t BridgeState::kMaxRefusals;

BridgeState::BridgeState(Topics topics, int meters_hz, bool homeassistant)
    : topics_(std::move(topics))
    , meter_period_(meters_hz > 0 ? std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / meters_hz
                                  : Clock::duration::zero())
    , meters_hz_(meters_hz)
    , homeassistant_(homeassistant)
    , discovery_dirty_(homeassistant)
{}

void BridgeState::mark_dirty(int id)
{
    if (std::find(dirty_.begin(), dirty_.end(), id) == dirty_.end())
        dirty_.push_back(id);
}

bool BridgeState::on_message(const kcli::Message &m, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (m.id != KORVANE_ID_METERS) {
        last_[m.id] = m;
        mark_dirty(m.id);
        return true;
    }
    const bool was_online = online_;
    seen_meter_ = true;
    last_meter_ = now;
    if (meter_period_ == Clock::duration::zero())
        return !was_online;
    // Peak hold: a short peak between two meter messages still shows.
    for (int i = 0; i < 6; ++i)
        peaks_[i] = have_peaks_ ? std::max(peaks_[i], m.meters[i]) : m.meters[i];
    have_peaks_ = true;
    return !was_online || now >= next_meter_due_;
}

BridgeState::Change BridgeState::supervise(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const bool alive = seen_meter_ && now - last_meter_ < kOfflineAfter;
    if (alive == online_)
        return Change::None;
    online_ = alive;
    status_dirty_ = true;
    return alive ? Change::Online : Change::Offline;
}

bool BridgeState::online() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return online_;
}

void BridgeState::broker_connected()
{
    std::lock_guard<std::mutex> lock(mutex_);
    status_dirty_ = true;
    health_dirty_ = !health_.empty();
    discovery_dirty_ = homeassistant_;
    for (const auto &entry : last_)
        mark_dirty(entry.first);
}

void BridgeState::add_refusal(const std::string &topic, const std::string &error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (refusals_.size() >= kMaxRefusals) {
        refusals_.pop_front();
        ++refusals_dropped_;
    }
    refusals_.push_back({topics_.error(), error_json(topic, error), false, false, -1});
}

void BridgeState::set_health(const std::string &json)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (json == health_)
        return;
    health_ = json;
    health_dirty_ = true;
}

std::vector<Publication> BridgeState::take(Clock::time_point now, std::size_t room)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Publication> out;
    if (status_dirty_ && out.size() < room) {
        out.push_back({topics_.status(), online_ ? "online" : "offline", true, false, -1});
        status_dirty_ = false;
    }
    if (health_dirty_ && out.size() < room) {
        out.push_back({topics_.bridge(), health_, true, false, -1});
        health_dirty_ = false;
    }
    if (discovery_dirty_) {
        const auto docs = homeassistant_documents(topics_);
        if (out.size() + docs.size() <= room) {
            for (const auto &doc : docs)
                out.push_back({doc.first, doc.second, true, false, -1});
            discovery_dirty_ = false;
        }
    }
    while (!refusals_.empty() && out.size() < room) {
        out.push_back(std::move(refusals_.front()));
        refusals_.pop_front();
    }
    std::size_t sent = 0;
    for (; sent < dirty_.size() && out.size() < room; ++sent) {
        const kcli::Message &m = last_.at(dirty_[sent]);
        out.push_back({topics_.state(m.id), kcli::json_line(m), true, false, m.id});
    }
    dirty_.erase(dirty_.begin(), dirty_.begin() + static_cast<long>(sent));

    if (have_peaks_ && now >= next_meter_due_) {
        if (out.size() < room) {
            kcli::Message m;
            m.id = KORVANE_ID_METERS;
            m.kind = 1;
            m.wall = std::chrono::system_clock::now();
            m.arrived = now;
            std::copy(peaks_, peaks_ + 6, m.meters);
            out.push_back({topics_.meters(), kcli::json_line(m), false, true, -1});
        } else {
            ++meters_dropped_;
        }
        have_peaks_ = false;
        // Keep the period's rhythm, and never more than meters_hz in any
        // second, however late this one went out.
        meter_times_.push_back(now);
        if (meter_times_.size() > static_cast<std::size_t>(meters_hz_))
            meter_times_.pop_front();
        next_meter_due_ = std::max(next_meter_due_ + meter_period_, now + meter_period_ / 2);
        if (meter_times_.size() == static_cast<std::size_t>(meters_hz_))
            next_meter_due_ = std::max(next_meter_due_, meter_times_.front() + std::chrono::seconds(1));
    }
    return out;
}

void BridgeState::put_back(const Publication &p)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (p.id >= 0)
        mark_dirty(p.id);
    else if (p.topic == topics_.status())
        status_dirty_ = true;
    else if (p.topic == topics_.bridge())
        health_dirty_ = true;
    else if (p.retain)
        discovery_dirty_ = homeassistant_;
    else if (p.is_meter)
        ++meters_dropped_;
}

Clock::time_point BridgeState::next_deadline(Clock::time_point now) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    // At least once a second, to retry what waits for room or the broker.
    Clock::time_point next = now + std::chrono::seconds(1);
    if (online_)
        next = std::min(next, last_meter_ + kOfflineAfter);
    if (have_peaks_)
        next = std::min(next, std::max(next_meter_due_, now));
    return next;
}

unsigned long BridgeState::meters_dropped() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return meters_dropped_;
}

unsigned long BridgeState::refusals_dropped() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return refusals_dropped_;
}

}  // namespace kmqtt
