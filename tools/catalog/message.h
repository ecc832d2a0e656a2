// A reply or event copied out of the library's callback, and its text and
// JSON forms.
#ifndef TOOLS_MESSAGE_H
#define TOOLS_MESSAGE_H

#include "catalog.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace kcatalog {

struct Message {
    int id = -1;
    int kind = 0;  // 0 reply, 1 event
    std::chrono::system_clock::time_point wall;
    std::chrono::steady_clock::time_point arrived;
    // The block, widened; only the part that the id's block uses is valid.
    int32_t values[22] = {};
    int count = 0;
    uint16_t value16 = 0;
    korvane_firmware firmware{};
    korvane_gpo gpo{};
    korvane_silence silence{};
    korvane_lamp_colours lamps{};
    float meters[6] = {};
};

// Copies what the library hands over; the event's block dies with the callback.
Message copy_event(const korvane_event &event);

// "reply module-on: m0=0 m1=1 ..." (with a local time stamp in front when asked).
std::string text_line(const Message &m, bool with_time);
// One JSON object on one line.
std::string json_line(const Message &m);

// `text` as a quoted JSON string.
std::string json_string(const std::string &text);

// Local time to the millisecond: "2024-05-06 14:03:07.042" or, for JSON,
// "2024-05-06T14:03:07.042+02:00".
std::string local_time_text(std::chrono::system_clock::time_point t, bool iso);

}  // namespace kcatalog

#endif  // TOOLS_MESSAGE_H
