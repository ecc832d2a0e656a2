// The last word of every studio on the broker, as the pages need it: status,
// the bridge's health, each state topic, the last meter message and since
// when the microphone is on. Fed with the broker's messages on one thread;
// every change becomes one message for the browsers, and a new browser gets
// everything at once (snapshot). Bounded: a studio keeps at most
// kMaxStateNames state topics and ignores payloads over kMaxPayload bytes.
#ifndef WEB_STUDIO_STATE_H
#define WEB_STUDIO_STATE_H

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kweb {

using Json = nlohmann::json;

// One message for the browsers. Messages with the same key replace each
// other when a browser falls behind; meter messages are also rate-limited.
struct Change {
    std::string key;
    std::string text;
    bool meters = false;
};

// JSON text for the browsers; bytes that are not UTF-8 become U+FFFD
// rather than an exception.
std::string json_text(const Json &j);

class StudioState
{
public:
    static constexpr std::size_t kMaxStateNames = 256;
    static constexpr std::size_t kMaxPayload = 64 * 1024;

    explicit StudioState(std::vector<std::string> prefixes);

    const std::vector<std::string> &prefixes() const { return prefixes_; }

    // The topics to subscribe to for every studio.
    std::vector<std::string> topic_filters() const;

    // A message from the broker (an empty payload clears a retained topic).
    // Returns the changes for the browsers; `refused` says why a message of
    // ours was not taken (empty when it was, or when it was not ours).
    std::vector<Change> apply(const std::string &topic, const std::string &payload, int64_t now_ms,
                              std::string *refused = nullptr);

    // A broker (re)connection: its retained messages arrive afresh and
    // whatever it no longer holds must not linger. A microphone that is
    // still on when its state comes back keeps its running time.
    void forget();

    // {"korvane":{"status":...,"bridge":...,"state":{...},"meters":...,"mic_on_since_ms":...},...}
    Json studios_json() const;

private:
    struct Studio {
        std::optional<std::string> status;
        Json bridge;  // null: none
        std::map<std::string, Json> state;
        Json meters;  // null: none
        std::optional<int64_t> mic_on_since_ms;
        std::optional<int64_t> mic_carried_ms;  // across forget()
    };

    std::vector<Change> apply_state(const std::string &prefix, Studio &studio, const std::string &name,
                                    const std::string &payload, int64_t now_ms, std::string *refused);
    static Json studio_json(const Studio &studio);

    std::vector<std::string> prefixes_;
    std::map<std::string, Studio> studios_;
};

}  // namespace kweb

#endif  // WEB_STUDIO_STATE_H
