// The mixer's side of the 12-byte datagram protocol: reading what a client
// sends (requests, commands, keep-alives) and writing replies and events.
#ifndef SIM_PROTOCOL_H
#define SIM_PROTOCOL_H

#include "mixer_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ksim {

constexpr std::size_t kDatagramSize = 12;
constexpr uint8_t kMarker = 0xA0;

using Datagram = std::array<uint8_t, kDatagramSize>;
using Args = std::array<uint8_t, 8>;

enum class Kind : uint8_t { Command = 0x00, Request = 0x40, Reply = 0x80, Event = 0xC0 };

struct Incoming {
    enum class Type {
        Invalid,    // not a protocol datagram (size or marker wrong)
        KeepAlive,  // 'K' 'A'
        Request,
        Command,
        Foreign,  // a reply or event, which only a mixer sends
    };
    Type type = Type::Invalid;
    uint8_t length = 0;  // length byte, as sent
    uint8_t number = 0;  // message number 0..63
    Args args{};         // message bytes 2..9
};

Incoming decode_datagram(const uint8_t *data, std::size_t size);

// True for the numbers a client may ask for with a request.
bool is_requestable(uint8_t number);

// True for the numbers the mixer sends as events.
bool is_event_number(uint8_t number);

// Builds the reply or event `number` from the state. False when that
// message does not exist in the asked kind.
bool encode_state(const MixerState &state, uint8_t number, Kind kind, Datagram &out);

// Meter event carrying six levels in dB.
Datagram encode_meters(const std::array<double, 6> &levels_db);

// Quarter-dB meter code of a level, clamped to -50.00..+13.75 dB.
uint8_t meter_code(double level_db);

// Short name of a message number for the verbose log ("module on").
const char *message_name(uint8_t number);

// One-line description of a received datagram for the verbose log.
std::string describe(const Incoming &in, const uint8_t *raw, std::size_t size);

}  // namespace ksim

#endif  // SIM_PROTOCOL_H
