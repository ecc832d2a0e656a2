#include "homeassistant.h"

#include "incident.h"
#include "message.h"
#include "mosquitto_link.h"

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include <unistd.h>

#ifndef KORVANE_TOOL_VERSION
#    define KORVANE_TOOL_VERSION "unknown"
#endif

namespace kmqtt {

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;  // key, JSON value

std::string object(const Fields &fields)
{
    std::string text = "{";
    for (const auto &f : fields)
        text += (text.size() > 1 ? "," : "") + kcatalog::json_string(f.first) + ":" + f.second;
    return text + "}";
}

std::string str(const std::string &text)
{
    return kcatalog::json_string(text);
}

// 1-based as on the console's labels.
std::string nth(int index)
{
    return std::to_string(index + 1);
}

// `values[index] == 1` as the display reads every flag.
std::string flag_template(int index, const char *on, const char *off)
{
    return "{{ '" + std::string(on) + "' if value_json['values'][" + std::to_string(index) + "] == 1 else '" + off +
           "' }}";
}

struct Entity {
    const char *platform;
    std::string object;
    Fields fields;
    bool wanted;
};

// What each module's lamp label says when its source is not the line input.
const char *const kSourceTypes[6] = {"MIC", "MIC", "USB", "USB", "USB", "VOIP"};

std::vector<Entity> entities(const Topics &topics, const Announce &announce)
{
    const std::string status = topics.status();
    // Home Assistant compares what the template gives with these two; the
    // bridge's "bridge-down" then reads as unavailable too.
    const std::string available =
        "[" +
        object({{"topic", str(status)},
                {"payload_available", "\"online\""},
                {"payload_not_available", "\"offline\""},
                {"value_template", str("{{ 'online' if value == 'online' else 'offline' }}")}}) +
        "]";
    auto binary = [&](const std::string &name, int id, int index, const char *device_class) {
        Fields f = {{"name", str(name)},
                    {"state_topic", str(topics.state(id))},
                    {"value_template", str(flag_template(index, "ON", "OFF"))},
                    {"payload_on", "\"ON\""},
                    {"payload_off", "\"OFF\""},
                    {"availability", available}};
        if (device_class)
            f.push_back({"device_class", str(device_class)});
        return f;
    };

    std::vector<Entity> all;
    struct Signal {
        const char *object;
        const char *name;
        int id;
        int index;
        const char *device_class;
    };
    const Signal signals[] = {
        {"on_air_1", "On air 1", KORVANE_ID_ON_AIR, 0, nullptr},
        {"on_air_2", "On air 2", KORVANE_ID_ON_AIR, 1, nullptr},
        {"mic_on", "Mic on", KORVANE_ID_MIC_ON, 0, nullptr},
        {"silence", "Silence", KORVANE_ID_SILENCE, 0, "problem"},
        {"phone", "Phone", KORVANE_ID_PHONE, 0, nullptr},
        {"crm_mute", "CRM mute", KORVANE_ID_CRM_MUTE, 0, nullptr},
        {"non_stop", "Non-stop", KORVANE_ID_NON_STOP, 0, nullptr},
    };
    for (const Signal &s : signals)
        all.push_back({"binary_sensor", s.object, binary(s.name, s.id, s.index, s.device_class), true});
    // The link shows the bridge's own view, so it is never unavailable.
    all.push_back({"binary_sensor",
                   "link",
                   {{"name", "\"Link\""},
                    {"state_topic", str(status)},
                    {"value_template", str("{{ 'ON' if value == 'online' else 'OFF' }}")},
                    {"payload_on", "\"ON\""},
                    {"payload_off", "\"OFF\""},
                    {"device_class", "\"connectivity\""},
                    {"entity_category", "\"diagnostic\""}},
                   true});

    for (int m = 0; m < 6; ++m) {
        const std::string n = nth(m);
        all.push_back({"binary_sensor", "module_" + n + "_on",
                       binary("Module " + n + " on", KORVANE_ID_MODULE_ON, m, nullptr), true});
        all.push_back({"binary_sensor", "module_" + n + "_fader_open",
                       binary("Module " + n + " fader open", KORVANE_ID_FADER, m, nullptr), true});
        const std::string type = kSourceTypes[m];
        all.push_back({"sensor",
                       "module_" + n + "_source",
                       {{"name", str("Module " + n + " source")},
                        {"state_topic", str(topics.state(KORVANE_ID_MODULE_SOURCE))},
                        {"value_template",
                         str("{{ '" + type + "' if value_json['values'][" + std::to_string(m) + "] else 'LINE' }}")},
                        {"device_class", "\"enum\""},
                        {"options", "[\"LINE\"," + str(type) + "]"},
                        {"availability", available}},
                       true});
    }

    all.push_back({"sensor",
                   "mic_on_time",
                   {{"name", "\"Mic-on time\""},
                    {"state_topic", str(topics.mic_on_time())},
                    {"value_template", str("{{ value_json['seconds'] }}")},
                    {"device_class", "\"duration\""},
                    {"unit_of_measurement", "\"s\""},
                    {"availability", available}},
                   true});

    struct Level {
        const char *object;
        const char *name;
        const char *key;
    };
    const Level levels[] = {
        {"program_left", "Program left", "pgm_left_db"},
        {"program_right", "Program right", "pgm_right_db"},
        {"control_room_left", "Control room left", "crm_left_db"},
        {"control_room_right", "Control room right", "crm_right_db"},
    };
    for (const Level &l : levels)
        all.push_back({"sensor",
                       std::string(l.object) + "_level",
                       {{"name", str(std::string(l.name) + " level")},
                        {"state_topic", str(topics.levels())},
                        {"value_template", str("{{ value_json['" + std::string(l.key) + "'] }}")},
                        {"unit_of_measurement", "\"dB\""},
                        {"state_class", "\"measurement\""},
                        {"suggested_display_precision", "1"},
                        {"availability", available}},
                       announce.levels});

    const std::string remote_on = topics.prefix() + "/command/remote-on";
    for (int m = 0; m < 6; ++m) {
        const std::string n = nth(m);
        const std::string module = std::to_string(m);
        all.push_back({"switch",
                       "module_" + n,
                       {{"name", str("Module " + n)},
                        {"state_topic", str(topics.state(KORVANE_ID_MODULE_ON))},
                        {"value_template", str(flag_template(m, "ON", "OFF"))},
                        {"state_on", "\"ON\""},
                        {"state_off", "\"OFF\""},
                        {"command_topic", str(remote_on)},
                        {"payload_on", str("[" + module + ", 1]")},
                        {"payload_off", str("[" + module + ", 0]")},
                        {"availability", available}},
                       announce.commands});
    }
    all.push_back({"button",
                   "non_stop_toggle",
                   {{"name", "\"Non-stop\""},
                    {"command_topic", str(topics.prefix() + "/command/remote-non-stop")},
                    {"payload_press", "\"2\""},
                    {"availability", available}},
                   announce.commands});
    return all;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> homeassistant_documents(const Topics &topics, const Announce &announce)
{
    // One device per bridge, told apart by the prefix so that two studios'
    // bridges on one broker stay apart.
    std::string node;
    for (const char ch : topics.prefix())
        node += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    const bool default_prefix = topics.prefix() == Options().prefix;
    Fields device = {{"identifiers", "[" + str("korvane_mqtt_" + node) + "]"},
                     {"name", str(default_prefix ? "Korvane mixer" : "Korvane mixer " + topics.prefix())},
                     {"manufacturer", "\"Zorbel\""},
                     {"model", "\"korvane mixing console\""}};
    if (!announce.firmware.empty())
        device.push_back({"sw_version", str(announce.firmware)});
    const std::string origin = object({{"name", "\"korvane-mqtt\""}, {"sw_version", str(KORVANE_TOOL_VERSION)}});

    std::vector<std::pair<std::string, std::string>> docs;
    for (Entity &e : entities(topics, announce)) {
        const std::string topic =
            std::string("homeassistant/") + e.platform + "/korvane_" + node + "/" + e.object + "/config";
        if (!e.wanted) {
            docs.emplace_back(topic, "");
            continue;
        }
        e.fields.push_back({"unique_id", str("korvane_" + node + "_" + e.object)});
        e.fields.push_back({"device", object(device)});
        e.fields.push_back({"origin", origin});
        docs.emplace_back(topic, object(e.fields));
    }
    return docs;
}

namespace {

// Only needs to know when the broker took the connection.
class Waiter : public MosquittoLink::Events
{
public:
    bool wait_connected(MosquittoLink &link, std::chrono::seconds timeout)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return link.connected(); });
    }

private:
    void broker_connected() override { notify(); }
    void broker_lost() override { notify(); }
    void message(const std::string &, const std::string &, bool) override {}
    void room() override {}
    void notify()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
};

constexpr std::chrono::seconds kRemoveConnectWait{10};
constexpr int kRemoveStopWaitMs = 2000;

}  // namespace

int remove_homeassistant_documents(const Options &options)
{
    // Every known entity, whatever this bridge's options: an earlier run may have had others.
    std::vector<std::string> config_topics;
    for (const auto &doc : homeassistant_documents(Topics(options.prefix), Announce{}))
        config_topics.push_back(doc.first);

    Waiter waiter;
    MosquittoLink link(options, waiter);
    std::string error;
    // The will and the last message clear a config topic too, so that this
    // run never touches P/status, which a running bridge may own.
    const std::string last = config_topics.back();
    if (!link.start(last, "", error)) {
        incident("remove-failed", error);
        return 1;
    }
    std::string failure;
    if (!waiter.wait_connected(link, kRemoveConnectWait))
        failure = link.broker_text() + " not connected within " + std::to_string(kRemoveConnectWait.count()) + " s";
    for (std::size_t i = 0; failure.empty() && i + 1 < config_topics.size(); ++i)
        if (!link.publish(config_topics[i], "", true))
            failure = "the broker link refused " + config_topics[i];
    // The last one goes with QoS 1 when the others are written; the broker
    // acknowledges it after all before it.
    const auto deadline = std::chrono::steady_clock::now() + kRemoveConnectWait;
    while (failure.empty() && link.connected() && link.room() < MosquittoLink::kWindow &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (failure.empty() && !(link.connected() && link.room() == MosquittoLink::kWindow))
        failure = link.broker_text() + " did not take every document";
    if (!link.stop(last, "", kRemoveStopWaitMs)) {
        // libmosquitto's thread still runs: end without destructors.
        std::fflush(nullptr);
        _exit(1);
    }
    if (!failure.empty()) {
        incident("remove-failed", failure);
        return 1;
    }
    incident("discovery-removed",
             std::to_string(config_topics.size()) + " documents under homeassistant/ for " + options.prefix);
    return 0;
}

}  // namespace kmqtt
