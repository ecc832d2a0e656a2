// The bridge's own state for P/bridge: what a door-light script or a
// dashboard needs to tell a busy receive port from a silent mixer.
#ifndef MQTT_HEALTH_H
#define MQTT_HEALTH_H

#include <chrono>
#include <string>

namespace kmqtt {

struct Health {
    enum class Link { Open, ReceivePortBusy, CannotOpen };

    std::string version;
    std::string mixer;  // host:port
    int receive_port = 0;
    Link link = Link::CannotOpen;
    bool commands = false;
    int meters_hz = 0;
    // Epoch: not connected yet.
    std::chrono::system_clock::time_point broker_connected_at{};

    bool operator==(const Health &o) const;
    bool operator!=(const Health &o) const { return !(*this == o); }
};

// {"version":"1.2.0","mixer":"127.0.0.1:18153","receive_port":18150,
//  "link":"open","commands":false,"meters_hz":10,
//  "broker_connected_at":"2026-12-09T14:03:07.412+01:00"} on one line;
// broker_connected_at is null before the first connection.
std::string health_json(const Health &h);

// Why korvane_open failed on `port`: taken by another program, or else.
Health::Link link_failure(int port);

}  // namespace kmqtt

#endif  // MQTT_HEALTH_H
