#include "catalog.h"

#include "parsing.h"

#include <iterator>

#include "state_requests.h"

namespace kcatalog {

namespace {

using B = Block;
using L = Labels;

const std::vector<IdInfo> kIds = {
    {0, "firmware-version", B::Firmware, 0, L::Plain, "firmware version"},
    {32, nullptr, B::Ints, 2, L::Plain, "two values, not interpreted"},
    {33, nullptr, B::Ints, 4, L::Plain, "four values, not interpreted"},
    {34, nullptr, B::Value16, 0, L::Plain, "one 16-bit value, not interpreted (asked for with 32)"},
    {64, "config-auto-on", B::Ints, 8, L::Modules, "auto-on configuration per module"},
    {65, "config-cue-reset", B::Bytes, 8, L::Modules, "cue-reset flags per module"},
    {66, "config-on-air", B::Bytes, 8, L::Modules, "on-air flags per module"},
    {67, "config-crm-mute", B::Ints, 3, L::Plain, "CRM-mute configuration"},
    {68, "config-crm-auto-cue-reset", B::Ints, 3, L::Plain, "CRM auto-cue-reset configuration"},
    {69, "config-studio-remote", B::Bytes, 3, L::Plain, "studio-remote flags"},
    {70, "config-cue-interlock", B::Ints, 1, L::Plain, "cue-interlock configuration"},
    {71, "config-gpo", B::Gpo, 0, L::Plain, "GPO configuration"},
    {72, "config-cue", B::Ints, 22, L::CueColours, "cue lamp colours"},
    {73, "config-on", B::Lamps, 0, L::Plain, "ON lamp colours per module"},
    {74, "config-fader-reserve", B::Ints, 8, L::Modules, "fader-reserve configuration per module"},
    {75, "config-silence-detection", B::Silence, 0, L::Plain, "silence-detection configuration"},
    {76, "config-phantom", B::Ints, 3, L::Plain, "phantom-power configuration"},
    {77, "config-mic-at-line", B::Ints, 3, L::Plain, "mic-at-line configuration"},
    {78, "config-auto-off", B::Ints, 8, L::Modules, "auto-off configuration per module"},
    {79, "config-locked-on", B::Ints, 8, L::Modules, "locked-on configuration per module"},
    {80, "config-pgm-auto-off", B::Bytes, 8, L::Modules, "PGM auto-off configuration per module"},
    {81, "config-mic-on", B::Ints, 1, L::Plain, "mic-on trigger configuration"},
    {96, "module-on", B::Ints, 8, L::Modules, "module on state (1 = on)"},
    {97, nullptr, B::Ints, 11, L::Plain, "eleven status flags, not interpreted"},
    {98, "fader", B::Ints, 8, L::Modules, "fader state (1 = open)"},
    {99, nullptr, B::Ints, 2, L::Plain, "two values, not interpreted"},
    {100, "module-source", B::Ints, 8, L::Modules, "module source (0 = line input)"},
    {101, "non-stop", B::Ints, 1, L::Plain, "non-stop state (1 = active)"},
    {102, "mic-on", B::Ints, 1, L::Plain, "mic-on state (1 = a microphone is on)"},
    {103, nullptr, B::Ints, 2, L::Plain, "two values, not interpreted"},
    {104, "on-air", B::Ints, 2, L::OnAir, "on air 1 and 2 (1 = on air)"},
    {105, "silence", B::Ints, 1, L::Plain, "silence state (1 = silence detected)"},
    {106, nullptr, B::Ints, 8, L::Plain, "eight values, not interpreted"},
    {107, "crm-mute", B::Ints, 1, L::Plain, "CRM mute state (1 = muted)"},
    {108, "track-state", B::Ints, 8, L::Modules, "track state per module"},
    {109, "comm", B::Ints, 3, L::Plain, "comm state"},
    {110, "cough", B::Ints, 3, L::Plain, "cough state"},
    {111, "voice-track", B::Ints, 8, L::Modules, "voice-track state per module"},
    {112, "phone", B::Ints, 1, L::Plain, "phone state (1 = active); event only"},
    {113, nullptr, B::Ints, 1, L::Plain, "one value, not interpreted; event only"},
    {128, "meters", B::Meters, 0, L::Plain, "six meter levels in dB; event only"},
};

using V = std::vector<int>;

// Ranges the protocol gives room for: eight modules, three values in the
// three-valued configurations, eleven cues, two GPOs, 2-bit colour codes;
// anything else is a plain byte handed to the mixer unchanged.
constexpr Arg kModule{"module", 0, 7};
constexpr Arg kTriple{"module", 0, 2};
constexpr Arg kAction{"action", 0, 255};
constexpr Arg kConfig{"config", 0, 255};
constexpr Arg kFlags{"flags", 0, 255};
constexpr Arg kCue{"cue", 0, 10};

// clang-format off
const std::vector<Command> kCommands = {
    {"ctrl-led", {{"id", 0, 255}, {"color", 0, 255}},
     [](korvane_handle h, const V &v) { return korvane_ctrl_led(h, v[0], v[1]); }},
    {"ctrl-led-blink", {{"id", 0, 255}, {"color_on", 0, 255}, {"color_off", 0, 255}, {"blink_speed", 0, 255}},
     [](korvane_handle h, const V &v) { return korvane_ctrl_led_blink(h, v[0], v[1], v[2], v[3]); }},
    {"remote-on", {kModule, kAction},
     [](korvane_handle h, const V &v) { return korvane_remote_on(h, v[0], v[1]); }},
    {"remote-cue", {kCue, kAction},
     [](korvane_handle h, const V &v) { return korvane_remote_cue(h, v[0], v[1]); }},
    {"remote-cue-reset", {},
     [](korvane_handle h, const V &) { return korvane_remote_cue_reset(h); }},
    {"remote-auto-cue-announcer", {kAction},
     [](korvane_handle h, const V &v) { return korvane_remote_auto_cue_announcer(h, v[0]); }},
    {"remote-auto-cue-crm", {kAction},
     [](korvane_handle h, const V &v) { return korvane_remote_auto_cue_crm(h, v[0]); }},
    {"remote-non-stop", {kAction},
     [](korvane_handle h, const V &v) { return korvane_remote_non_stop(h, v[0]); }},
    {"remote-comm", {kTriple, kAction},
     [](korvane_handle h, const V &v) { return korvane_remote_comm(h, v[0], v[1]); }},
    {"remote-cough", {kTriple, kAction},
     [](korvane_handle h, const V &v) { return korvane_remote_cough(h, v[0], v[1]); }},
    {"remote-vt", {kModule, kAction},
     [](korvane_handle h, const V &v) { return korvane_remote_vt(h, v[0], v[1]); }},
    {"config-save", {},
     [](korvane_handle h, const V &) { return korvane_config_save(h); }},
    {"config-auto-on", {kModule, kConfig},
     [](korvane_handle h, const V &v) { return korvane_config_auto_on(h, v[0], v[1]); }},
    {"config-cue-reset", {kModule, kFlags},
     [](korvane_handle h, const V &v) { return korvane_config_cue_reset(h, v[0], static_cast<uint8_t>(v[1])); }},
    {"config-on-air", {kModule, kFlags},
     [](korvane_handle h, const V &v) { return korvane_config_on_air(h, v[0], static_cast<uint8_t>(v[1])); }},
    {"config-crm-mute", {kTriple, kConfig},
     [](korvane_handle h, const V &v) { return korvane_config_crm_mute(h, v[0], v[1]); }},
    {"config-crm-auto-cue-reset", {kTriple, kConfig},
     [](korvane_handle h, const V &v) { return korvane_config_crm_auto_cue_reset(h, v[0], v[1]); }},
    {"config-studio-remote", {kTriple, kFlags},
     [](korvane_handle h, const V &v) {
         return korvane_config_studio_remote(h, v[0], static_cast<uint8_t>(v[1]));
     }},
    {"config-cue-interlock", {kConfig},
     [](korvane_handle h, const V &v) { return korvane_config_cue_interlock(h, v[0]); }},
    {"config-gpo", {{"gpo", 0, 1}, {"trigger", 0, 255}, {"mode", 0, 255}, {"param4", 0, 255}, {"param5", 0, 255}},
     [](korvane_handle h, const V &v) {
         return korvane_config_gpo(h, v[0], v[1], v[2], v[3], static_cast<uint8_t>(v[4]));
     }},
    {"config-cue", {kCue, {"active", 0, 3}, {"inactive", 0, 3}},
     [](korvane_handle h, const V &v) { return korvane_config_cue(h, v[0], v[1], v[2]); }},
    {"config-on", {kModule, {"active", 0, 3}, {"active_and_fader", 0, 3}, {"inactive", 0, 3}},
     [](korvane_handle h, const V &v) { return korvane_config_on(h, v[0], v[1], v[2], v[3]); }},
    {"config-fader-reserve", {kModule, kConfig},
     [](korvane_handle h, const V &v) { return korvane_config_fader_reserve(h, v[0], v[1]); }},
    {"config-silence-detection",
     {{"threshold", -128, 127}, {"interval", 0, 255}, {"interval_unit", 0, 255}, {"source", 0, 255}, kConfig},
     [](korvane_handle h, const V &v) {
         return korvane_config_silence_detection(h, static_cast<int8_t>(v[0]), static_cast<uint8_t>(v[1]), v[2],
                                                 v[3], v[4]);
     }},
    {"config-phantom", {kTriple, kConfig},
     [](korvane_handle h, const V &v) { return korvane_config_phantom(h, v[0], v[1]); }},
    {"config-mic-at-line", {kTriple, kConfig},
     [](korvane_handle h, const V &v) { return korvane_config_mic_at_line(h, v[0], v[1]); }},
    {"config-auto-off", {kModule, kConfig},
     [](korvane_handle h, const V &v) { return korvane_config_auto_off(h, v[0], v[1]); }},
    {"track-state", {kModule, {"state", 0, 255}},
     [](korvane_handle h, const V &v) { return korvane_track_state(h, v[0], v[1]); }},
    {"config-locked-on", {kModule, kConfig},
     [](korvane_handle h, const V &v) { return korvane_config_locked_on(h, v[0], v[1]); }},
    {"config-pgm-auto-off", {kModule, kConfig},
     [](korvane_handle h, const V &v) {
         return korvane_config_pgm_auto_off(h, v[0], static_cast<uint8_t>(v[1]));
     }},
    {"config-mic-on", {{"trigger", 0, 255}},
     [](korvane_handle h, const V &v) { return korvane_config_mic_on(h, v[0]); }},
};
// clang-format on

}  // namespace

const std::vector<IdInfo> &all_ids()
{
    return kIds;
}

const IdInfo *find_id(int id)
{
    for (const IdInfo &info : kIds)
        if (info.id == id)
            return &info;
    return nullptr;
}

std::string id_name(int id)
{
    const IdInfo *info = find_id(id);
    if (info && info->name)
        return info->name;
    return "id-" + std::to_string(id);
}

bool is_requestable(int id)
{
    return id == 0 || id == 32 || (id >= 64 && id <= 81) || (id >= 96 && id <= 111);
}

int reply_id_for(int request_id)
{
    // Message 4 is asked for with id 32 but answers as id 34.
    return request_id == 32 ? 34 : request_id;
}

bool parse_request(const std::string &text, int &id)
{
    long number = 0;
    if (parse_integer(text, number)) {
        if (number < 0 || number > 255 || !is_requestable(static_cast<int>(number)))
            return false;
        id = static_cast<int>(number);
        return true;
    }
    for (const IdInfo &info : kIds)
        if (info.name && text == info.name && is_requestable(info.id)) {
            id = info.id;
            return true;
        }
    return false;
}

const std::vector<int> &state_request_ids()
{
    static const std::vector<int> ids(std::begin(stateRequestIds), std::end(stateRequestIds));
    return ids;
}

const std::vector<Command> &all_commands()
{
    return kCommands;
}

const Command *find_command(const std::string &name)
{
    for (const Command &c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

std::string command_synopsis(const Command &command)
{
    std::string text = command.name;
    for (const Arg &a : command.args) {
        std::string upper = a.name;
        for (char &ch : upper)
            ch = ch == '_' ? '-' : static_cast<char>(ch - ('a' <= ch && ch <= 'z' ? 'a' - 'A' : 0));
        text += " " + upper + "(" + std::to_string(a.min) + ".." + std::to_string(a.max) + ")";
    }
    return text;
}

std::string check_command_args(const Command &command, const std::vector<std::string> &words, std::vector<int> &values)
{
    values.clear();
    if (words.size() != command.args.size())
        return std::string(command.name) + " takes " + std::to_string(command.args.size()) + " argument(s), not " +
               std::to_string(words.size()) + ": " + command_synopsis(command);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const Arg &a = command.args[i];
        long value = 0;
        if (!parse_integer(words[i], value) || value < a.min || value > a.max)
            return std::string(command.name) + " " + a.name + ": '" + words[i] + "' is not a whole number from " +
                   std::to_string(a.min) + " to " + std::to_string(a.max);
        values.push_back(static_cast<int>(value));
    }
    return {};
}

}  // namespace kcatalog
