#include "protocol.h"

#include "messages.h"

#include <cmath>
#include <cstdio>

namespace ksim {

namespace {

constexpr uint8_t kKeepAliveLength = 0x4B;  // 'K'
constexpr uint8_t kKeepAliveHeader = 0x41;  // 'A'

// Message bytes in use behind the length and header bytes.
std::size_t data_length(uint8_t number)
{
    switch (number) {
    case msg::kFirmware: return 3;
    case msg::kValue4: return 2;
    case msg::kComm:
    case msg::kCough:
    case msg::kCrmMuteConfig:
    case msg::kCrmAutoCueReset:
    case msg::kStudioRemote:
    case msg::kPhantom:
    case msg::kMicAtLine: return 3;
    case msg::kCueInterlock:
    case msg::kNonStop:
    case msg::kMicOn:
    case msg::kSilence:
    case msg::kCrmMute:
    case msg::kPhone:
    case msg::kMicOnTrigger: return 1;
    case msg::kCueConfig: return 6;
    case msg::kStatusFlags:
    case msg::kValue35:
    case msg::kValue39:
    case msg::kOnAir: return 2;
    case msg::kSilenceDetection: return 5;
    case msg::kMeters: return 6;
    default: return 8;
    }
}

void put_bytes(Args &out, const uint8_t *values, std::size_t n)
{
    for (std::size_t i = 0; i < n && i < out.size(); ++i)
        out[i] = values[i];
}

// Packs 2-bit colour codes four to a byte, code k in bits 2(k mod 4).
void pack_codes(Args &out, std::size_t first_byte, const uint8_t *codes, std::size_t n)
{
    for (std::size_t k = 0; k < n; ++k)
        out[first_byte + k / 4] |= static_cast<uint8_t>((codes[k] & 3u) << (2 * (k % 4)));
}

bool fill_data(const MixerState &s, uint8_t number, Args &d)
{
    switch (number) {
    case msg::kFirmware:
        d[0] = s.firmware_major;
        d[1] = s.firmware_minor;
        d[2] = s.firmware_build;
        return true;
    case msg::kValue4:
        d[0] = static_cast<uint8_t>(s.value4 & 0xFF);
        d[1] = static_cast<uint8_t>(s.value4 >> 8);
        return true;
    case msg::kComm: put_bytes(d, s.comm.data(), 3); return true;
    case msg::kCough: put_bytes(d, s.cough.data(), 3); return true;
    case msg::kVoiceTrack: put_bytes(d, s.voice_track.data(), 8); return true;
    case msg::kAutoOn: put_bytes(d, s.auto_on.data(), 8); return true;
    case msg::kCueReset: put_bytes(d, s.cue_reset.data(), 8); return true;
    case msg::kOnAirConfig: put_bytes(d, s.on_air_flags.data(), 8); return true;
    case msg::kCrmMuteConfig: put_bytes(d, s.crm_mute_config.data(), 3); return true;
    case msg::kCrmAutoCueReset: put_bytes(d, s.crm_auto_cue_reset.data(), 3); return true;
    case msg::kStudioRemote: put_bytes(d, s.studio_remote.data(), 3); return true;
    case msg::kCueInterlock: d[0] = s.cue_interlock; return true;
    case msg::kGpo:
        for (std::size_t g = 0; g < 2; ++g) {
            d[4 * g + 0] = s.gpo[g].trigger;
            d[4 * g + 1] = s.gpo[g].mode;
            d[4 * g + 2] = s.gpo[g].param4;
            d[4 * g + 3] = s.gpo[g].param5;
        }
        return true;
    case msg::kCueConfig: pack_codes(d, 0, s.cue_colours.data(), s.cue_colours.size()); return true;
    case msg::kOnConfig:
        for (int m = 0; m < kModules; ++m) {
            const int shift = 4 * (m % 2);
            d[m / 2] |= static_cast<uint8_t>((s.lamps[m].active & 3u) << shift);
            d[m / 2] |= static_cast<uint8_t>((s.lamps[m].inactive & 3u) << (shift + 2));
            d[4 + m / 4] |= static_cast<uint8_t>((s.lamps[m].active_and_fader & 3u) << (2 * (m % 4)));
        }
        return true;
    case msg::kFaderReserve: put_bytes(d, s.fader_reserve.data(), 8); return true;
    case msg::kSilenceDetection:
        d[0] = static_cast<uint8_t>(s.silence_config.threshold);
        d[1] = s.silence_config.interval;
        d[2] = s.silence_config.interval_unit;
        d[3] = s.silence_config.source;
        d[4] = s.silence_config.config;
        return true;
    case msg::kPhantom: put_bytes(d, s.phantom.data(), 3); return true;
    case msg::kMicAtLine: put_bytes(d, s.mic_at_line.data(), 3); return true;
    case msg::kAutoOff: put_bytes(d, s.auto_off.data(), 8); return true;
    case msg::kModuleOn: put_bytes(d, s.module_on.data(), 8); return true;
    case msg::kStatusFlags:
        for (std::size_t k = 0; k < s.status_flags.size(); ++k)
            d[k / 8] |= static_cast<uint8_t>((s.status_flags[k] & 1u) << (k % 8));
        return true;
    case msg::kFader: put_bytes(d, s.fader_open.data(), 8); return true;
    case msg::kValue35: put_bytes(d, s.value35.data(), 2); return true;
    case msg::kModuleSource: put_bytes(d, s.source.data(), 8); return true;
    case msg::kNonStop: d[0] = s.non_stop; return true;
    case msg::kMicOn: d[0] = s.mic_on; return true;
    case msg::kValue39: put_bytes(d, s.value39.data(), 2); return true;
    case msg::kOnAir:
        d[0] = s.on_air1;
        d[1] = s.on_air2;
        return true;
    case msg::kSilence: d[0] = s.silence; return true;
    case msg::kValue42: put_bytes(d, s.value42.data(), 8); return true;
    case msg::kCrmMute: d[0] = s.crm_mute; return true;
    case msg::kTrackState: put_bytes(d, s.track_state.data(), 8); return true;
    case msg::kPhone: d[0] = s.phone; return true;
    case msg::kLockedOn: put_bytes(d, s.locked_on.data(), 8); return true;
    case msg::kPgmAutoOff: put_bytes(d, s.pgm_auto_off.data(), 8); return true;
    case msg::kMicOnTrigger: d[0] = s.mic_on_trigger; return true;
    default: return false;
    }
}

Datagram frame(Kind kind, uint8_t number, const Args &data)
{
    Datagram dg{};
    dg[0] = kMarker;
    dg[1] = kMarker;
    dg[2] = static_cast<uint8_t>(2 + data_length(number));
    dg[3] = static_cast<uint8_t>(static_cast<uint8_t>(kind) | (number & 0x3F));
    for (std::size_t i = 0; i < data.size(); ++i)
        dg[4 + i] = data[i];
    return dg;
}

}  // namespace

Incoming decode_datagram(const uint8_t *data, std::size_t size)
{
    Incoming in;
    if (data == nullptr || size != kDatagramSize || data[0] != kMarker || data[1] != kMarker)
        return in;
    in.length = data[2];
    const uint8_t header = data[3];
    in.number = header & 0x3F;
    for (std::size_t i = 0; i < in.args.size(); ++i)
        in.args[i] = data[4 + i];
    // The keep-alive's header 'A' reads as a request for message 1; only its
    // length byte 'K' tells them apart.
    if (in.length == kKeepAliveLength && header == kKeepAliveHeader) {
        in.type = Incoming::Type::KeepAlive;
        return in;
    }
    switch (static_cast<Kind>(header & 0xC0)) {
    case Kind::Command: in.type = Incoming::Type::Command; break;
    case Kind::Request: in.type = Incoming::Type::Request; break;
    default: in.type = Incoming::Type::Foreign; break;
    }
    return in;
}

bool is_requestable(uint8_t number)
{
    return number == 1 || number == 4 || (number >= 11 && number <= 13) || (number >= 17 && number <= 44) ||
           (number >= 49 && number <= 51);
}

bool is_event_number(uint8_t number)
{
    return (number != msg::kFirmware && is_requestable(number)) || number == msg::kPhone || number == msg::kMeters;
}

bool encode_state(const MixerState &state, uint8_t number, Kind kind, Datagram &out)
{
    if (kind == Kind::Reply && !is_requestable(number))
        return false;
    if (kind == Kind::Event && !is_event_number(number))
        return false;
    if (kind != Kind::Reply && kind != Kind::Event)
        return false;
    Args data{};
    if (!fill_data(state, number, data))
        return false;
    out = frame(kind, number, data);
    return true;
}

uint8_t meter_code(double level_db)
{
    if (!(level_db > -50.0))  // also catches NaN
        return 0;
    if (level_db >= 13.75)
        return 0xFF;
    const long quarters = std::lround((level_db + 50.0) * 4.0);
    return static_cast<uint8_t>(((quarters % 4) << 6) | (quarters / 4));
}

Datagram encode_meters(const std::array<double, 6> &levels_db)
{
    Args data{};
    for (std::size_t i = 0; i < levels_db.size(); ++i)
        data[i] = meter_code(levels_db[i]);
    return frame(Kind::Event, msg::kMeters, data);
}

const char *message_name(uint8_t number)
{
    switch (number) {
    case msg::kFirmware: return "firmware version";
    case msg::kCtrlLed: return "ctrl led";
    case msg::kCtrlLedBlink: return "ctrl led blink";
    case msg::kValue4: return "value 4";
    case msg::kRemoteOn: return "remote on";
    case msg::kRemoteCue: return "remote cue";
    case msg::kRemoteCueReset: return "remote cue reset";
    case msg::kAutoCueAnnouncer: return "remote auto cue announcer";
    case msg::kAutoCueCrm: return "remote auto cue crm";
    case msg::kRemoteNonStop: return "remote non-stop";
    case msg::kComm: return "comm";
    case msg::kCough: return "cough";
    case msg::kVoiceTrack: return "voice track";
    case msg::kConfigSave: return "config save";
    case msg::kAutoOn: return "config auto on";
    case msg::kCueReset: return "config cue reset";
    case msg::kOnAirConfig: return "config on air";
    case msg::kCrmMuteConfig: return "config crm mute";
    case msg::kCrmAutoCueReset: return "config crm auto cue reset";
    case msg::kStudioRemote: return "config studio remote";
    case msg::kCueInterlock: return "config cue interlock";
    case msg::kGpo: return "config gpo";
    case msg::kCueConfig: return "config cue";
    case msg::kOnConfig: return "config on lamp colours";
    case msg::kFaderReserve: return "config fader reserve";
    case msg::kSilenceDetection: return "config silence detection";
    case msg::kPhantom: return "config phantom";
    case msg::kMicAtLine: return "config mic at line";
    case msg::kAutoOff: return "config auto off";
    case msg::kModuleOn: return "module on";
    case msg::kStatusFlags: return "status flags";
    case msg::kFader: return "fader";
    case msg::kValue35: return "value 35";
    case msg::kModuleSource: return "module source";
    case msg::kNonStop: return "non-stop";
    case msg::kMicOn: return "mic on";
    case msg::kValue39: return "value 39";
    case msg::kOnAir: return "on air";
    case msg::kSilence: return "silence";
    case msg::kValue42: return "value 42";
    case msg::kCrmMute: return "crm mute";
    case msg::kTrackState: return "track state";
    case msg::kPhone: return "phone";
    case msg::kMeters: return "meters";
    case msg::kLockedOn: return "config locked on";
    case msg::kPgmAutoOff: return "config pgm auto off";
    case msg::kMicOnTrigger: return "config mic on";
    default: return "unknown";
    }
}

std::string describe(const Incoming &in, const uint8_t *raw, std::size_t size)
{
    char text[160];
    switch (in.type) {
    case Incoming::Type::KeepAlive: return "keep-alive";
    case Incoming::Type::Request:
        std::snprintf(text, sizeof text, "request %u (%s)", in.number, message_name(in.number));
        return text;
    case Incoming::Type::Command: {
        // The length byte counts itself and the header; show the arguments in use.
        std::size_t n = in.length >= 2 ? in.length - 2u : 0;
        if (n > in.args.size())
            n = in.args.size();
        std::string s;
        std::snprintf(text, sizeof text, "command %u (%s)", in.number, message_name(in.number));
        s = text;
        for (std::size_t i = 0; i < n; ++i) {
            std::snprintf(text, sizeof text, "%s%u", i == 0 ? ": " : ", ", in.args[i]);
            s += text;
        }
        return s;
    }
    case Incoming::Type::Foreign:
        std::snprintf(text, sizeof text, "%s %u from a client (ignored)", (raw[3] & 0xC0) == 0x80 ? "reply" : "event",
                      in.number);
        return text;
    case Incoming::Type::Invalid: break;
    }
    std::string s;
    std::snprintf(text, sizeof text, "not a protocol datagram (%zu bytes)", size);
    s = text;
    for (std::size_t i = 0; i < size && i < 16; ++i) {
        std::snprintf(text, sizeof text, "%s%02x", i == 0 ? ": " : " ", raw[i]);
        s += text;
    }
    if (size > 16)
        s += " ...";
    return s;
}

}  // namespace ksim
