// What the bridge knows between the mixer and the broker: the last value of
// every state topic and whether the broker still has to get it, the meter
// peaks since the last meter message, the online/offline rule and the
// refusals waiting to be published. Every queue is bounded: state topics
// are one slot per id (a newer value replaces an older one), meters one
// slot of peaks, refusals a short list that drops its oldest.
#ifndef MQTT_BRIDGE_STATE_H
#define MQTT_BRIDGE_STATE_H

#include "homeassistant.h"
#include "message.h"
#include "topics.h"

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kmqtt {

using Clock = std::chrono::steady_clock;

struct Publication {
    std::string topic;
    std::string payload;
    bool retain = false;
    bool is_meter = false;
    int id = -1;  // state id, -1 for everything else
};

class BridgeState
{
public:
    // The mixer counts as gone this long after its last meter message.
    static constexpr std::chrono::milliseconds kOfflineAfter{3000};
    static constexpr std::size_t kMaxRefusals = 32;

    // `ha_levels` and `commands` choose the Home Assistant entities announced.
    BridgeState(Topics topics, int meters_hz, bool homeassistant, bool ha_levels = false, bool commands = false);

    // A reply or event from the library's reader thread. True when the
    // bridge thread should wake up now: new state, the first meter message
    // after a silence, or a meter message due for publication.
    bool on_message(const kcatalog::Message &m, Clock::time_point now);

    enum class Change { None, Online, Offline };
    // Applies the online/offline rule at `now`.
    Change supervise(Clock::time_point now);
    bool online() const;

    // The broker has (again) nothing of ours: status, every state topic and
    // the discovery documents go out again.
    void broker_connected();

    void add_refusal(const std::string &topic, const std::string &error);
    // The bridge's own state (P/bridge); published when it differs from
    // the last one and again on every broker connection.
    void set_health(const std::string &json);

    // Up to `room` publications due at `now`: status and P/bridge first, then refusals
    // and state topics, meters last. A meter message without room is
    // dropped (its peaks too); state waits for room.
    std::vector<Publication> take(Clock::time_point now, std::size_t room);
    // A publication that the broker link did not accept: state and status
    // are due again.
    void put_back(const Publication &p);

    // When the bridge thread has to look again at the latest.
    Clock::time_point next_deadline(Clock::time_point now) const;

    unsigned long meters_dropped() const;
    unsigned long refusals_dropped() const;

private:
    const Topics topics_;
    const Clock::duration meter_period_;
    const int meters_hz_;
    const bool homeassistant_;

    mutable std::mutex mutex_;
    std::map<int, kcatalog::Message> last_;  // by id; one slot each
    std::vector<int> dirty_;                 // ids whose last value the broker lacks, oldest first
    bool status_dirty_ = true;
    std::string health_;
    bool health_dirty_ = false;
    bool discovery_dirty_;
    std::deque<Publication> refusals_;
    unsigned long refusals_dropped_ = 0;

    bool online_ = false;
    bool seen_meter_ = false;
    Clock::time_point last_meter_{};
    float peaks_[6] = {};
    bool have_peaks_ = false;
    Clock::time_point next_meter_due_{};
    std::deque<Clock::time_point> meter_times_;  // of the last meters_hz publications
    unsigned long meters_dropped_ = 0;

    Announce announce_;
    // The mic-on timer as the display runs it: started by off -> on only.
    bool mic_counting_ = false;
    bool mic_known_ = false;  // a mic-on state arrived
    bool mic_dirty_ = false;  // the broker lacks the latest count
    Clock::time_point mic_since_{};
    Clock::time_point next_mic_due_{};
    // The highest levels since the last levels message, for --homeassistant-levels.
    float level_peaks_[4] = {};
    bool have_level_peaks_ = false;
    Clock::time_point next_level_due_{};

    void mark_dirty(int id);
    void on_mic(const kcatalog::Message &m, Clock::time_point now);
    void on_levels(const kcatalog::Message &m, Clock::time_point now);
    std::string mic_on_time_json(Clock::time_point now) const;
    std::string levels_json() const;
};

}  // namespace kmqtt

#endif  // MQTT_BRIDGE_STATE_H
