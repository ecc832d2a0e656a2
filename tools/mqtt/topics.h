// Where everything goes on the broker and how payloads read: the topic
// names under the prefix, incoming requests and commands, and refusals.
#ifndef MQTT_TOPICS_H
#define MQTT_TOPICS_H

#include "catalog.h"

#include <string>
#include <utility>
#include <vector>

namespace kmqtt {

class Topics
{
public:
    explicit Topics(std::string prefix)
        : prefix_(std::move(prefix))
    {}

    const std::string &prefix() const { return prefix_; }
    std::string status() const { return prefix_ + "/status"; }
    // "korvane/state/module-on"; ids without a name give "id-97".
    std::string state(int id) const { return prefix_ + "/state/" + kcatalog::id_name(id); }
    std::string meters() const { return prefix_ + "/meters"; }
    // The bridge's own count, in the style of the mixer's state topics.
    std::string mic_on_time() const { return prefix_ + "/state/mic-on-time"; }
    // The highest levels of each second, for recorders that want no more.
    std::string levels() const { return prefix_ + "/levels"; }
    std::string error() const { return prefix_ + "/error"; }
    std::string bridge() const { return prefix_ + "/bridge"; }
    std::string requests() const { return prefix_ + "/request/+"; }
    std::string commands() const { return prefix_ + "/command/+"; }

private:
    std::string prefix_;
};

// What a message on P/request/NAME or P/command/NAME asks the mixer to do.
struct Order {
    bool is_request = true;
    int request_id = -1;
    const kcatalog::Command *command = nullptr;
    std::vector<int> values;
};

// Reads an incoming message; returns "" and fills `order`, or why it is
// refused (nothing may then reach the mixer).
std::string read_order(const Topics &topics, const std::string &topic, const std::string &payload,
                       bool commands_enabled, Order &order);

// Command arguments as a JSON array of whole numbers ("[3, 1]") or as
// space-separated numbers ("3 1"); false when it is neither.
bool argument_words(const std::string &payload, std::vector<std::string> &words);

// {"topic":"korvane/command/remote-on","error":"..."}
std::string error_json(const std::string &topic, const std::string &error);

}  // namespace kmqtt

#endif  // MQTT_TOPICS_H
