#include "bridge_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kmqtt {

constexpr std::chrono::milliseconds BridgeState::kOfflineAfter;
constexpr std::size_t BridgeState::kMaxRefusals;

BridgeState::BridgeState(Topics topics, int meters_hz, bool homeassistant, bool ha_levels, bool commands)
    : topics_(std::move(topics))
    , meter_period_(meters_hz > 0 ? std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / meters_hz
                                  : Clock::duration::zero())
    , meters_hz_(meters_hz)
    , homeassistant_(homeassistant)
    , discovery_dirty_(homeassistant)
    , announce_{homeassistant && ha_levels, commands, ""}
{}

void BridgeState::mark_dirty(int id)
{
    if (std::find(dirty_.begin(), dirty_.end(), id) == dirty_.end())
        dirty_.push_back(id);
}

bool BridgeState::on_message(const kcatalog::Message &m, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (m.id != KORVANE_ID_METERS) {
        last_[m.id] = m;
        mark_dirty(m.id);
        if (m.id == KORVANE_ID_MIC_ON)
            on_mic(m, now);
        if (m.id == KORVANE_ID_FIRMWARE_VERSION) {
            const std::string version = std::to_string(m.firmware.major) + "." + std::to_string(m.firmware.minor) +
                                        "." + std::to_string(m.firmware.build);
            // The device document carries it: announce again.
            if (version != announce_.firmware && homeassistant_)
                discovery_dirty_ = true;
            announce_.firmware = version;
        }
        return true;
    }
    const bool was_online = online_;
    seen_meter_ = true;
    last_meter_ = now;
    if (announce_.levels)
        on_levels(m, now);
    const bool levels_due = have_level_peaks_ && now >= next_level_due_;
    if (meter_period_ == Clock::duration::zero())
        return !was_online || levels_due;
    // Peak hold: a short peak between two meter messages still shows.
    for (int i = 0; i < 6; ++i)
        peaks_[i] = have_peaks_ ? std::max(peaks_[i], m.meters[i]) : m.meters[i];
    have_peaks_ = true;
    return !was_online || now >= next_meter_due_ || levels_due;
}

void BridgeState::on_mic(const kcatalog::Message &m, Clock::time_point now)
{
    const bool on = m.count > 0 && m.values[0] == 1;
    // Only off -> on starts the count afresh: the mixer reports "on" again
    // after every dropout while the microphone stayed open.
    if (on && !mic_counting_) {
        mic_since_ = now;
        next_mic_due_ = now;
    }
    if (!on && (mic_counting_ || !mic_known_))
        mic_dirty_ = true;
    mic_counting_ = on;
    mic_known_ = true;
}

void BridgeState::on_levels(const kcatalog::Message &m, Clock::time_point now)
{
    static constexpr int kChannels[4] = {0, 1, 4, 5};  // program and control room, left and right
    if (!have_level_peaks_ && now >= next_level_due_)
        next_level_due_ = now + std::chrono::seconds(1);
    for (int i = 0; i < 4; ++i)
        level_peaks_[i] =
            have_level_peaks_ ? std::max(level_peaks_[i], m.meters[kChannels[i]]) : m.meters[kChannels[i]];
    have_level_peaks_ = true;
}

std::string BridgeState::mic_on_time_json(Clock::time_point now) const
{
    const long seconds =
        mic_counting_ ? static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(now - mic_since_).count())
                      : 0;
    return "{\"time\":" + kcatalog::json_string(kcatalog::local_time_text(std::chrono::system_clock::now(), true)) +
           ",\"name\":\"mic-on-time\",\"seconds\":" + std::to_string(seconds) + "}";
}

std::string BridgeState::levels_json() const
{
    static const char *const kKeys[4] = {"pgm_left_db", "pgm_right_db", "crm_left_db", "crm_right_db"};
    std::string text =
        "{\"time\":" + kcatalog::json_string(kcatalog::local_time_text(std::chrono::system_clock::now(), true)) +
        ",\"name\":\"levels\"";
    for (int i = 0; i < 4; ++i) {
        char number[32] = "null";
        if (std::isfinite(level_peaks_[i]))
            std::snprintf(number, sizeof number, "%.1f", static_cast<double>(level_peaks_[i]));
        text += ",\"" + std::string(kKeys[i]) + "\":" + number;
    }
    return text + "}";
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
    mic_dirty_ = mic_known_;
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
        const auto docs = homeassistant_documents(topics_, announce_);
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
        const kcatalog::Message &m = last_.at(dirty_[sent]);
        out.push_back({topics_.state(m.id), kcatalog::json_line(m), true, false, m.id});
    }
    dirty_.erase(dirty_.begin(), dirty_.begin() + static_cast<long>(sent));

    if (mic_counting_ && now >= next_mic_due_)
        mic_dirty_ = true;
    if (mic_dirty_ && out.size() < room) {
        out.push_back({topics_.mic_on_time(), mic_on_time_json(now), true, false, -1});
        mic_dirty_ = false;
        // On the count's own second marks, however late this one went out.
        if (mic_counting_)
            next_mic_due_ = mic_since_ + std::chrono::duration_cast<std::chrono::seconds>(now - mic_since_) +
                            std::chrono::seconds(1);
    }
    if (have_level_peaks_ && now >= next_level_due_) {
        // A second's levels without room are gone; the next second has its own.
        if (out.size() < room)
            out.push_back({topics_.levels(), levels_json(), false, false, -1});
        have_level_peaks_ = false;
        next_level_due_ = now + std::chrono::seconds(1);
    }

    if (have_peaks_ && now >= next_meter_due_) {
        if (out.size() < room) {
            kcatalog::Message m;
            m.id = KORVANE_ID_METERS;
            m.kind = 1;
            m.wall = std::chrono::system_clock::now();
            m.arrived = now;
            std::copy(peaks_, peaks_ + 6, m.meters);
            out.push_back({topics_.meters(), kcatalog::json_line(m), false, true, -1});
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
    else if (p.topic == topics_.mic_on_time())
        mic_dirty_ = true;
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
    if (mic_counting_)
        next = std::min(next, std::max(next_mic_due_, now));
    if (have_level_peaks_)
        next = std::min(next, std::max(next_level_due_, now));
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
