// A reply or event as the tools print and publish it: every block's text
// and JSON form, and the time stamps in front.
#include "message.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <ctime>

using namespace kcatalog;
using Json = nlohmann::json;

namespace {

Message copied(int id, int kind, const void *data)
{
    const korvane_event event{id, kind, data};
    return copy_event(event);
}

TEST(Message, EveryBlockInTextAndJson)
{
    // The firmware text fills its array without an end: the copy ends it.
    korvane_firmware firmware{3, 2, 7, {}};
    const std::string quoted = "VXN \"Korvane\"\x01 Firmware v3.2.7 long enough";
    for (std::size_t i = 0; i < sizeof firmware.text; ++i)
        firmware.text[i] = quoted[i];
    const int32_t modules[8] = {0, 1, 1, 0, 0, 0, 1, 0};
    const uint8_t flags[8] = {0, 1, 255, 0, 0, 0, 0, 7};
    const int32_t on_air[2] = {1, 0};
    int32_t cues[22] = {};
    cues[0] = 1, cues[1] = 2, cues[21] = 3;
    const int32_t unnamed[11] = {5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5};
    const uint16_t value16 = 256;
    const korvane_gpo gpo{{{1, 2, 3, 4}, {5, 6, 7, 255}}};
    const korvane_silence silence{-40, 5, 1, 2, 1};
    korvane_lamp_colours lamps{};
    lamps.module[0] = {1, 2, 0};
    lamps.module[7] = {3, 3, 3};
    const float meters[6] = {-50.0f, 13.75f, -50.0f, -50.0f, -6.5f, 0.0f};

    struct Case {
        int id;
        const void *data;
        const char *text;  // after "reply "
        const char *json;  // the values' fields, as JSON
    };
    const Case cases[] = {
        {0, &firmware, "firmware-version: VXN \"Korvane\"\x01 Firmware v3.2.7 lo",
         R"({"major":3,"minor":2,"build":7,"text":"VXN \"Korvane\"\u0001 Firmware v3.2.7 lo"})"},
        {96, modules, "module-on: m0=0 m1=1 m2=1 m3=0 m4=0 m5=0 m6=1 m7=0", R"({"values":[0,1,1,0,0,0,1,0]})"},
        {65, flags, "config-cue-reset: m0=0 m1=1 m2=255 m3=0 m4=0 m5=0 m6=0 m7=7", R"({"values":[0,1,255,0,0,0,0,7]})"},
        {104, on_air, "on-air: on-air-1=1 on-air-2=0", R"({"values":[1,0]})"},
        {72, cues,
         "config-cue: active/inactive cue0=1/2 cue1=0/0 cue2=0/0 cue3=0/0 cue4=0/0 cue5=0/0 cue6=0/0 cue7=0/0 "
         "cue8=0/0 cue9=0/0 cue10=0/3",
         R"({"values":[1,2,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,3]})"},
        {97, unnamed, "id-97: 5 4 3 2 1 0 1 2 3 4 5", R"({"values":[5,4,3,2,1,0,1,2,3,4,5]})"},
        {34, &value16, "id-34: 256 (0x0100)", R"({"value":256})"},
        {71, &gpo, "config-gpo: gpo1 trigger=1 mode=2 param4=3 param5=4, gpo2 trigger=5 mode=6 param4=7 param5=255",
         R"({"gpo":[{"trigger":1,"mode":2,"param4":3,"param5":4},{"trigger":5,"mode":6,"param4":7,"param5":255}]})"},
        {75, &silence, "config-silence-detection: threshold=-40 dB interval=5 interval-unit=1 source=2 config=1",
         R"({"threshold_db":-40,"interval":5,"interval_unit":1,"source":2,"config":1})"},
        {73, &lamps,
         "config-on: active/active-and-fader/inactive m0=1/2/0 m1=0/0/0 m2=0/0/0 m3=0/0/0 m4=0/0/0 m5=0/0/0 "
         "m6=0/0/0 m7=3/3/3",
         nullptr},
        {128, meters,
         "meters: pgm-left=-50.00 pgm-right=13.75 level-2=-50.00 level-3=-50.00 crm-left=-6.50 "
         "crm-right=0.00 dB",
         R"({"levels_db":[-50.0,13.75,-50.0,-50.0,-6.5,0.0]})"},
        // An id the catalog does not know, and a known one without its block: the name only.
        {200, modules, "id-200", "{}"},
        {96, nullptr, "module-on: ", R"({"values":[]})"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        const Message m = copied(c.id, 0, c.data);
        EXPECT_EQ(text_line(m, false), std::string("reply ") + c.text);
        const Json j = Json::parse(json_line(m));  // throws, failing the test, unless valid JSON
        EXPECT_EQ(j.at("kind"), "reply");
        EXPECT_EQ(j.at("id"), c.id);
        EXPECT_EQ(j.at("name"), id_name(c.id));
        if (!c.json)
            continue;
        const Json values = Json::parse(c.json);
        for (const auto &field : values.items())
            EXPECT_EQ(j.at(field.key()), field.value()) << field.key();
        EXPECT_EQ(j.size(), 4 + values.size());
    }
    EXPECT_EQ(Json::parse(json_line(copied(73, 0, &lamps))).at("modules").at(7),
              Json::parse(R"({"active":3,"active_and_fader":3,"inactive":3})"));
    EXPECT_EQ(text_line(copied(101, 1, modules), false), "event non-stop: 0");
    EXPECT_EQ(json_string(std::string("a\\b\n\x1f\x7f", 6)), "\"a\\\\b\\u000a\\u001f\x7f\"");
}

TEST(Message, LocalTimeToTheMillisecondWithItsZone)
{
    const char *saved = std::getenv("TZ");
    const std::string before = saved ? saved : "";
    setenv("TZ", "XST-2", 1);  // two hours east of UTC, no daylight saving
    tzset();
    // 2024-05-06 12:03:07.042 UTC
    const auto t = std::chrono::system_clock::time_point(std::chrono::milliseconds(1714996987042LL));
    EXPECT_EQ(local_time_text(t, false), "2024-05-06 14:03:07.042");
    EXPECT_EQ(local_time_text(t, true), "2024-05-06T14:03:07.042+02:00");
    Message m = copied(101, 1, nullptr);
    m.wall = t;
    EXPECT_EQ(text_line(m, true), "2024-05-06 14:03:07.042 event non-stop: ");
    EXPECT_EQ(Json::parse(json_line(m)).at("time"), "2024-05-06T14:03:07.042+02:00");
    if (saved)
        setenv("TZ", before.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace
