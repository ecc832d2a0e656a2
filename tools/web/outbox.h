// What one browser still has to get. One slot per key (a studio's status,
// each state topic, each studio's meters, the time, ...): a newer message
// replaces the waiting one in its place, so a browser that falls behind
// gets the latest of everything and never a growing queue. Meter messages
// go out at most once per kMeterInterval per studio.
#ifndef WEB_OUTBOX_H
#define WEB_OUTBOX_H

#include <chrono>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>

namespace kweb {

using Clock = std::chrono::steady_clock;
using Text = std::shared_ptr<const std::string>;

class Outbox
{
public:
    static constexpr std::chrono::milliseconds kMeterInterval{40};  // 25 a second

    void put(const std::string &key, Text text, bool meters = false);
    // Drops everything waiting except `keep` (a greeting not yet sent).
    void drop_all_but(const std::string &keep);

    // The next message due at `now`, oldest key first; nullptr when none
    // is, with `next_due` set when a meter message waits for its turn.
    Text take(Clock::time_point now, Clock::time_point *next_due = nullptr);

    bool empty() const { return order_.empty(); }
    std::size_t size() const { return order_.size(); }

private:
    struct Entry {
        std::string key;
        Text text;
        bool meters;
    };
    std::list<Entry> order_;
    std::unordered_map<std::string, std::list<Entry>::iterator> slots_;
    std::unordered_map<std::string, Clock::time_point> meters_sent_;  // by key
};

}  // namespace kweb

#endif  // WEB_OUTBOX_H
