// The simulated mixer's state: eight modules, the studio signals and every
// configuration value the mixer can report, plus what each command does to it.
#ifndef SIM_MIXER_STATE_H
#define SIM_MIXER_STATE_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ksim {

constexpr int kModules = 8;

struct LampColours {
    uint8_t active = 0;            // module on
    uint8_t active_and_fader = 0;  // module on and fader open
    uint8_t inactive = 0;          // module off
};

struct GpoConfig {
    uint8_t trigger = 0;
    uint8_t mode = 0;
    uint8_t param4 = 0;
    uint8_t param5 = 0;
};

struct SilenceConfig {
    int8_t threshold = -40;     // dB on the programme bus
    uint8_t interval = 5;       // how long the level must stay below it
    uint8_t interval_unit = 0;  // 0 seconds, 1 minutes
    uint8_t source = 0;         // 0 programme, 1 control room
    uint8_t config = 1;         // bit 0: detection enabled
};

using ModuleBytes = std::array<uint8_t, kModules>;

struct MixerState {
    uint8_t firmware_major = 3;
    uint8_t firmware_minor = 2;
    uint8_t firmware_build = 7;

    // Modules.
    ModuleBytes module_on{};
    ModuleBytes fader_open{};
    ModuleBytes source{};       // 0 line input, nonzero the module's other source
    ModuleBytes voice_track{};  // 1 = module in voice-track mode
    ModuleBytes track_state{};
    std::array<LampColours, kModules> lamps{};
    ModuleBytes microphone{};  // modules whose input is a studio microphone

    // Studio signals.
    uint8_t on_air1 = 0;
    uint8_t on_air2 = 0;
    uint8_t non_stop = 0;
    uint8_t silence = 0;
    uint8_t mic_on = 0;
    uint8_t crm_mute = 0;
    uint8_t phone = 0;
    std::array<uint8_t, 3> comm{};
    std::array<uint8_t, 3> cough{};
    std::array<uint8_t, 11> cue{};
    uint8_t auto_cue_announcer = 0;
    uint8_t auto_cue_crm = 0;

    // Configuration.
    SilenceConfig silence_config;
    ModuleBytes auto_on{};
    ModuleBytes cue_reset{};
    ModuleBytes on_air_flags{};
    ModuleBytes fader_reserve{};
    ModuleBytes auto_off{};
    ModuleBytes locked_on{};
    ModuleBytes pgm_auto_off{};
    std::array<uint8_t, 3> crm_mute_config{};
    std::array<uint8_t, 3> crm_auto_cue_reset{};
    std::array<uint8_t, 3> studio_remote{};
    std::array<uint8_t, 3> phantom{};
    std::array<uint8_t, 3> mic_at_line{};
    uint8_t cue_interlock = 0;
    uint8_t mic_on_trigger = 0;
    std::array<GpoConfig, 2> gpo{};
    std::array<uint8_t, 22> cue_colours{};  // cue c: active at 2c, inactive at 2c+1
    unsigned saves = 0;                     // how often the configuration was saved

    // Controller LEDs set by the LED commands (id 0..255).
    std::array<uint8_t, 256> led_colour{};
    std::array<uint8_t, 256> led_blink_off_colour{};
    std::array<uint8_t, 256> led_blink_speed{};

    // Values the mixer reports but whose meaning nobody here interprets.
    uint16_t value4 = 0x0100;
    std::array<uint8_t, 11> status_flags{};
    std::array<uint8_t, 2> value35{};
    std::array<uint8_t, 2> value39{};
    std::array<uint8_t, 8> value42{};
};

// A studio as the mixer starts up in the simulator: module 0 is the
// presenter's microphone, module 1 plays a voice track, module 2 music, lamps red for
// microphones and green for the rest.
MixerState default_studio_state();

// Outcome of one command: the message numbers whose events must go out (in
// order) and a short text for the verbose log.
struct CommandResult {
    bool accepted = false;
    std::vector<uint8_t> events;
    std::string note;
};

// Applies the command `number` with argument bytes `args` (bytes 2..9 of the
// message). Remote actions: 0 off, 1 on, 2 toggle.
CommandResult apply_command(MixerState &state, uint8_t number, const std::array<uint8_t, 8> &args);

// Module switching used by commands and scenarios alike: updates the module
// and the derived mic-on signal and appends the events that changed.
void set_module_on(MixerState &state, int module, bool on, std::vector<uint8_t> &events);
void set_fader_open(MixerState &state, int module, bool open, std::vector<uint8_t> &events);

// Recomputes mic-on (a microphone module is on with its fader open).
void update_mic_on(MixerState &state, std::vector<uint8_t> &events);

}  // namespace ksim

#endif  // SIM_MIXER_STATE_H
