#include "studio_state.h"

namespace kweb {

constexpr std::size_t StudioState::kMaxStateNames;
constexpr std::size_t StudioState::kMaxPayload;

namespace {

// What the bridge published, parsed; text that is not JSON stays text.
Json payload_json(const std::string &payload)
{
    Json j = Json::parse(payload, nullptr, false);
    return j.is_discarded() ? Json(payload) : j;
}

Json optional_json(const std::optional<std::string> &s)
{
    return s ? Json(*s) : Json();
}

Json optional_json(const std::optional<int64_t> &v)
{
    return v ? Json(*v) : Json();
}

// The mixer's mic-on state is {"values":[1]} while a microphone is on.
bool mic_is_on(const Json &state)
{
    if (!state.is_object())
        return false;
    const auto values = state.find("values");
    return values != state.end() && values->is_array() && !values->empty() && (*values)[0].is_number_integer() &&
           (*values)[0].get<long long>() == 1;
}

}  // namespace

std::string json_text(const Json &j)
{
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

StudioState::StudioState(std::vector<std::string> prefixes)
    : prefixes_(std::move(prefixes))
{
    for (const std::string &p : prefixes_)
        studios_[p];
}

std::vector<std::string> StudioState::topic_filters() const
{
    std::vector<std::string> filters;
    for (const std::string &p : prefixes_)
        for (const char *t : {"/status", "/bridge", "/state/#", "/meters"})
            filters.push_back(p + t);
    return filters;
}

std::vector<Change> StudioState::apply(const std::string &topic, const std::string &payload, int64_t now_ms,
                                       std::string *refused)
{
    for (const std::string &prefix : prefixes_) {
        if (topic.size() <= prefix.size() + 1 || topic.compare(0, prefix.size(), prefix) != 0 ||
            topic[prefix.size()] != '/')
            continue;
        const std::string rest = topic.substr(prefix.size() + 1);
        Studio &studio = studios_[prefix];
        const bool cleared = payload.empty();
        if (rest.rfind("state/", 0) == 0 && rest.size() > 6)
            return apply_state(prefix, studio, rest.substr(6), payload, now_ms, refused);
        if (rest != "status" && rest != "bridge" && rest != "meters")
            continue;  // another prefix may be a longer match
        if (payload.size() > kMaxPayload) {
            if (refused)
                *refused = topic + ": " + std::to_string(payload.size()) + " bytes, more than the " +
                           std::to_string(kMaxPayload) + " kept";
            return {};
        }
        Json message = {{"type", rest}, {"prefix", prefix}};
        if (rest == "status") {
            studio.status = cleared ? std::nullopt : std::optional<std::string>(payload);
            message["value"] = optional_json(studio.status);
            return {{"status\n" + prefix, json_text(message)}};
        }
        if (rest == "bridge") {
            studio.bridge = cleared ? Json() : payload_json(payload);
            message["value"] = studio.bridge;
            return {{"bridge\n" + prefix, json_text(message)}};
        }
        studio.meters = cleared ? Json() : payload_json(payload);
        message["value"] = studio.meters;
        return {{"meters\n" + prefix, json_text(message), true}};
    }
    return {};
}

std::vector<Change> StudioState::apply_state(const std::string &prefix, Studio &studio, const std::string &name,
                                             const std::string &payload, int64_t now_ms, std::string *refused)
{
    const std::string topic = prefix + "/state/" + name;
    if (payload.size() > kMaxPayload) {
        if (refused)
            *refused = topic + ": " + std::to_string(payload.size()) + " bytes, more than the " +
                       std::to_string(kMaxPayload) + " kept";
        return {};
    }
    const auto known = studio.state.find(name);
    if (known == studio.state.end() && !payload.empty() && studio.state.size() >= kMaxStateNames) {
        if (refused)
            *refused = topic + ": the studio already has " + std::to_string(kMaxStateNames) + " state topics";
        return {};
    }
    Json value;
    if (payload.empty()) {
        if (known != studio.state.end())
            studio.state.erase(known);
    } else
        studio.state[name] = value = payload_json(payload);

    std::vector<Change> changes;
    changes.push_back({"state\n" + prefix + "\n" + name,
                       json_text({{"type", "state"}, {"prefix", prefix}, {"name", name}, {"value", value}})});
    if (name != "mic-on")
        return changes;
    // Only off -> on starts the count afresh: the mixer reports "on" again
    // after every dropout while the microphone stayed open.
    std::optional<int64_t> since;
    if (mic_is_on(value))
        since = studio.mic_on_since_ms
                    ? studio.mic_on_since_ms
                    : (studio.mic_carried_ms ? studio.mic_carried_ms : std::optional<int64_t>(now_ms));
    studio.mic_carried_ms.reset();
    if (since != studio.mic_on_since_ms) {
        studio.mic_on_since_ms = since;
        changes.push_back(
            {"mic\n" + prefix, json_text({{"type", "mic"}, {"prefix", prefix}, {"since_ms", optional_json(since)}})});
    }
    return changes;
}

void StudioState::forget()
{
    for (auto &entry : studios_) {
        Studio &s = entry.second;
        const std::optional<int64_t> running = s.mic_on_since_ms ? s.mic_on_since_ms : s.mic_carried_ms;
        s = Studio();
        s.mic_carried_ms = running;
    }
}

Json StudioState::studio_json(const Studio &s)
{
    Json state = Json::object();
    for (const auto &entry : s.state)
        state[entry.first] = entry.second;
    return {{"status", optional_json(s.status)},
            {"bridge", s.bridge},
            {"state", state},
            {"meters", s.meters},
            {"mic_on_since_ms", optional_json(s.mic_on_since_ms)}};
}

Json StudioState::studios_json() const
{
    Json all = Json::object();
    for (const std::string &p : prefixes_)
        all[p] = studio_json(studios_.at(p));
    return all;
}

}  // namespace kweb
