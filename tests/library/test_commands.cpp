// Requests and commands leave as the exact datagrams the mixer expects, and
// each writes its call line when logging is on.
#include "library_link.h"

#include <functional>
#include <map>

using namespace kt;

namespace {

struct CommandCase {
    const char *name;
    std::function<int(korvane_handle)> call;
    Bytes message;    // the ten message bytes behind the marker (shorter: zero-filled)
    std::string log;  // the call's log line
};

std::vector<CommandCase> command_cases()
{
    // clang-format off
    return {
        {"ctrl_led", [](korvane_handle h) { return korvane_ctrl_led(h, 0x101, 3); }, {4, 2, 0x01, 3},
         "korvane_ctrl_led(): id: 0x101, color: 0x03"},
        {"ctrl_led_blink", [](korvane_handle h) { return korvane_ctrl_led_blink(h, 1, 2, 3, 4); }, {6, 3, 1, 2, 3, 4},
         "korvane_ctrl_led_blink(): id: 0x01, color_on: 0x02, color_off: 0x03, blink_speed: 0x04"},
        {"remote_on", [](korvane_handle h) { return korvane_remote_on(h, 258, 2); }, {4, 5, 0x02, 2},
         "korvane_remote_on(): module: 0x102, action: 0x02"},
        {"remote_cue", [](korvane_handle h) { return korvane_remote_cue(h, 1, 1); }, {4, 6, 1, 1},
         "korvane_remote_cue(): cue: 0x01, action: 0x01"},
        {"remote_cue_reset", [](korvane_handle h) { return korvane_remote_cue_reset(h); }, {2, 7},
         "korvane_remote_cue_reset()"},
        {"remote_auto_cue_announcer", [](korvane_handle h) { return korvane_remote_auto_cue_announcer(h, 1); },
         {3, 8, 1}, "korvane_remote_auto_cue_announcer(): action: 0x01"},
        {"remote_auto_cue_crm", [](korvane_handle h) { return korvane_remote_auto_cue_crm(h, 0x1FE); }, {3, 9, 0xFE},
         "korvane_remote_auto_cue_crm(): action: 0x1fe"},
        {"remote_non_stop", [](korvane_handle h) { return korvane_remote_non_stop(h, 2); }, {3, 10, 2},
         "korvane_remote_non_stop(): action: 0x02"},
        {"remote_comm", [](korvane_handle h) { return korvane_remote_comm(h, 7, 1); }, {4, 11, 7, 1},
         "korvane_remote_comm(): module: 0x07, action: 0x01"},
        {"remote_cough", [](korvane_handle h) { return korvane_remote_cough(h, 6, 0); }, {4, 12, 6, 0},
         "korvane_remote_cough(): module: 0x06, action: 0x00"},
        {"remote_vt", [](korvane_handle h) { return korvane_remote_vt(h, 5, 1); }, {4, 13, 5, 1},
         "korvane_remote_vt(): module: 0x05, action: 0x01"},
        {"config_save", [](korvane_handle h) { return korvane_config_save(h); }, {2, 16}, "korvane_config_save()"},
        {"config_auto_on", [](korvane_handle h) { return korvane_config_auto_on(h, 3, 1); }, {4, 17, 3, 1},
         "korvane_config_auto_on(): module: 0x03, config: 0x01"},
        {"config_cue_reset", [](korvane_handle h) { return korvane_config_cue_reset(h, 2, 0xA5); }, {4, 18, 2, 0xA5},
         "korvane_config_cue_reset(): module: 0x02, flags: 0xa5"},
        {"config_on_air", [](korvane_handle h) { return korvane_config_on_air(h, 1, 0x0F); }, {4, 19, 1, 0x0F},
         "korvane_config_on_air(): module: 0x01, flags: 0x0f"},
        {"config_crm_mute", [](korvane_handle h) { return korvane_config_crm_mute(h, 0, 1); }, {4, 20, 0, 1},
         "korvane_config_crm_mute(): module: 0x00, config: 0x01"},
        {"config_crm_auto_cue_reset", [](korvane_handle h) { return korvane_config_crm_auto_cue_reset(h, 1, 2); },
         {4, 21, 1, 2}, "korvane_config_crm_auto_cue_reset(): module: 0x01, config: 0x02"},
        {"config_studio_remote", [](korvane_handle h) { return korvane_config_studio_remote(h, 2, 0x80); },
         {4, 22, 2, 0x80}, "korvane_config_studio_remote(): module: 0x02, flags: 0x80"},
        {"config_cue_interlock", [](korvane_handle h) { return korvane_config_cue_interlock(h, 1); }, {3, 23, 1},
         "korvane_config_cue_interlock(): config: 0x01"},
        {"config_gpo", [](korvane_handle h) { return korvane_config_gpo(h, 1, 2, 3, 0x1FF, 0xEE); },
         {7, 24, 1, 2, 3, 0xFF, 0xEE}, "korvane_config_gpo(): gpo: 0x01, trigger: 0x02, mode: 0x03"},
        {"config_cue", [](korvane_handle h) { return korvane_config_cue(h, 4, 1, 2); }, {5, 25, 4, 1, 2},
         "korvane_config_cue(): cue: 0x04, active: 0x01, inactive: 0x02"},
        {"config_on", [](korvane_handle h) { return korvane_config_on(h, 1, 2, 1, 0); }, {6, 26, 1, 2, 1, 0},
         "korvane_config_on(): module: 0x01, active: 0x02, active_and_fader: 0x01, inactive: 0x00"},
        {"config_fader_reserve", [](korvane_handle h) { return korvane_config_fader_reserve(h, 7, 1); },
         {4, 27, 7, 1}, "korvane_config_fader_reserve(): module: 0x07, config: 0x01"},
        {"config_silence_detection",
         [](korvane_handle h) { return korvane_config_silence_detection(h, -50, 200, 1, 2, 3); },
         {7, 28, 0xCE, 0xC8, 1, 2, 3},
         "korvane_config_silence_detection(): threshold: 0xffffffce, interval: 0xc8, interval_unit: 0x01, "
         "source: 0x02, config: 0x03"},
        {"config_phantom", [](korvane_handle h) { return korvane_config_phantom(h, 1, 1); }, {4, 29, 1, 1},
         "korvane_config_phantom(): module: 0x01, config: 0x01"},
        {"config_mic_at_line", [](korvane_handle h) { return korvane_config_mic_at_line(h, 2, 1); }, {4, 30, 2, 1},
         "korvane_config_mic_at_line(): module: 0x02, config: 0x01"},
        {"config_auto_off", [](korvane_handle h) { return korvane_config_auto_off(h, 3, 0); }, {4, 31, 3, 0},
         "korvane_config_auto_off(): module: 0x03, config: 0x00"},
        {"track_state", [](korvane_handle h) { return korvane_track_state(h, 4, 2); }, {4, 44, 4, 2},
         "korvane_track_state(): module: 0x04, state: 0x02"},
        {"config_locked_on", [](korvane_handle h) { return korvane_config_locked_on(h, 5, 1); }, {4, 49, 5, 1},
         "korvane_config_locked_on(): module: 0x05, config: 0x01"},
        {"config_pgm_auto_off", [](korvane_handle h) { return korvane_config_pgm_auto_off(h, 6, 1); }, {4, 50, 6, 1},
         "korvane_config_pgm_auto_off(): module: 0x06, config: 0x01"},
        {"config_mic_on", [](korvane_handle h) { return korvane_config_mic_on(h, -1); }, {3, 51, 0xFF},
         "korvane_config_mic_on(): trigger: 0xffffffff"},
    };
    // clang-format on
}

Bytes framed(Bytes message)
{
    message.resize(KORVANE_PROTOCOL_MESSAGE_SIZE, 0);
    message.insert(message.begin(), {0xA0, 0xA0});
    return message;
}

// The header byte a request for each event id must carry.
std::map<int, uint8_t> request_headers()
{
    std::map<int, uint8_t> m{{0, 0x41},  {32, 0x44},  {79, 0x71},  {80, 0x72},
                             {81, 0x73}, {109, 0x4B}, {110, 0x4C}, {111, 0x4D}};
    for (int id = 64; id <= 78; ++id)
        m[id] = uint8_t(0x51 + id - 64);
    for (int id = 96; id <= 108; ++id)
        m[id] = uint8_t(id);
    return m;
}

class Commands : public LinkTest
{
};

}  // namespace

TEST_F(Commands, EveryCommandSendsItsDatagramAndLogsItsCall)
{
    korvane_logging(handle, 1);
    for (const auto &c : command_cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(handle), 0);
        uint16_t from = 0;
        EXPECT_EQ(mixer.next_command(2000, &from), framed(c.message));
        EXPECT_EQ(from, port) << "commands leave from the receive port";
    }
    auto texts = log_texts(log_name(port));
    ASSERT_GE(texts.size(), 6u);
    std::vector<std::string> calls(texts.begin() + 6, texts.end());
    std::vector<std::string> expected;
    for (const auto &c : command_cases())
        expected.push_back(c.log);
    EXPECT_EQ(calls, expected);
}

TEST_F(Commands, ExamplesFromTheMixerManual)
{
    EXPECT_EQ(korvane_remote_on(handle, 3, 2), 0);
    EXPECT_EQ(mixer.next_command(), (Bytes{0xA0, 0xA0, 0x04, 0x05, 0x03, 0x02, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(korvane_remote_non_stop(handle, 2), 0);
    EXPECT_EQ(mixer.next_command(), (Bytes{0xA0, 0xA0, 0x03, 0x0A, 0x02, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(korvane_config_on(handle, 1, 2, 1, 0), 0);
    EXPECT_EQ(mixer.next_command(), (Bytes{0xA0, 0xA0, 0x06, 0x1A, 0x01, 0x02, 0x01, 0x00, 0, 0, 0, 0}));
    EXPECT_EQ(korvane_request(handle, 73), 0);
    EXPECT_EQ(mixer.next_command(), (Bytes{0xA0, 0xA0, 0x00, 0x5A, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(korvane_request(handle, 0), 0);
    EXPECT_EQ(mixer.next_command(), (Bytes{0xA0, 0xA0, 0x00, 0x41, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(Commands, RequestHeaderForEveryIdAndLogLine)
{
    korvane_logging(handle, 1);
    const auto headers = request_headers();
    std::vector<std::string> expected_log;
    for (int id = -1; id <= 300; ++id) {
        SCOPED_TRACE(id);
        ASSERT_EQ(korvane_request(handle, id), 0);
        auto it = headers.find(id);
        Bytes want = framed({0x00, it == headers.end() ? uint8_t(0) : it->second});
        EXPECT_EQ(mixer.next_command(), want);
        char line[64];
        snprintf(line, sizeof line, "[REQUEST]: id: 0x%.2x(%d)", unsigned(id), id);
        expected_log.push_back(line);
    }
    auto texts = log_texts(log_name(port));
    ASSERT_GE(texts.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 6, texts.end()), expected_log);
    EXPECT_EQ(texts[6 + 1 + 100], "[REQUEST]: id: 0x64(100)");
}

TEST(NullHandle, EveryCallFailsAndDoesNothing)
{
    korvane_handle n = nullptr;
    EXPECT_EQ(korvane_close(n), -1);
    EXPECT_EQ(korvane_register_callback(n, &EventLog::callback, nullptr), -1);
    EXPECT_EQ(korvane_unregister_callback(n), -1);
    EXPECT_EQ(korvane_get_last_error(n), nullptr);
    korvane_logging(n, 1);
    korvane_logging(n, 0);
    EXPECT_EQ(korvane_request(n, 0), -1);
    EXPECT_EQ(korvane_open(nullptr, free_udp_port(), 9), nullptr) << "no host text at all fails";
    for (const auto &c : command_cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(n), -1);
    }
}

TEST(Version, TextAndNumbers)
{
    int v[4] = {-1, -1, -1, -1};
    const char *text = korvane_library_version(v);
    EXPECT_STREQ(text, "Korvane Library v1.1.166.0 - 2019-11-04 (12:05:48) - VXN");
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], 1);
    EXPECT_EQ(v[2], 166);
    EXPECT_EQ(v[3], 0);
    EXPECT_EQ(korvane_library_version(nullptr), text) << "one static text";
}
