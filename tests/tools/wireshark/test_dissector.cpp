// The Wireshark dissector, run by tshark over a capture this test writes:
// every command, the requests and keep-alive, every reply and event number,
// and datagrams that are not the protocol's, checked field by field.
#include "sim_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

using namespace simtest;

namespace {

struct Case {
    // The 10 message bytes behind the marker (zero-filled to 10), or with a
    // leading '!' the whole UDP payload as it is.
    const char *bytes;
    // "field=value;..." for the korvane.* fields shown; all others must be empty.
    const char *expect;
    uint16_t port = 0;         // another port than 18150/18153, decoded through "Decode As"
    std::size_t captured = 0;  // payload bytes a short snap length keeps (0: all)
};

const Case kCases[] = {
    // Commands: the name and every argument.
    {"04 02 07 02", "kind=0;number=2;length=4;name=ctrl-led;cmd.id=7;cmd.color=2"},
    {"06 03 07 01 02 05",
     "kind=0;number=3;length=6;name=ctrl-led-blink;cmd.id=7;cmd.color_on=1;cmd.color_off=2;cmd.blink_speed=5"},
    {"04 05 03 02", "kind=0;number=5;length=4;name=remote-on;cmd.module=3;cmd.action=2"},
    {"04 06 0a 01", "kind=0;number=6;length=4;name=remote-cue;cmd.cue=10;cmd.action=1"},
    {"02 07", "kind=0;number=7;length=2;name=remote-cue-reset"},
    {"03 08 01", "kind=0;number=8;length=3;name=remote-auto-cue-announcer;cmd.action=1"},
    {"03 09 00", "kind=0;number=9;length=3;name=remote-auto-cue-crm;cmd.action=0"},
    {"03 0a 02", "kind=0;number=10;length=3;name=remote-non-stop;cmd.action=2"},
    {"04 0b 02 01", "kind=0;number=11;length=4;name=remote-comm;cmd.module=2;cmd.action=1"},
    {"04 0c 01 00", "kind=0;number=12;length=4;name=remote-cough;cmd.module=1;cmd.action=0"},
    {"04 0d 05 02", "kind=0;number=13;length=4;name=remote-vt;cmd.module=5;cmd.action=2"},
    {"02 10", "kind=0;number=16;length=2;name=config-save"},
    {"04 11 06 01", "kind=0;number=17;length=4;name=config-auto-on;cmd.module=6;cmd.config=1"},
    {"04 12 04 81", "kind=0;number=18;length=4;name=config-cue-reset;cmd.module=4;cmd.flags=0x81"},
    {"04 13 00 03", "kind=0;number=19;length=4;name=config-on-air;cmd.module=0;cmd.flags=0x03"},
    {"04 14 02 05", "kind=0;number=20;length=4;name=config-crm-mute;cmd.module=2;cmd.config=5"},
    {"04 15 01 06", "kind=0;number=21;length=4;name=config-crm-auto-cue-reset;cmd.module=1;cmd.config=6"},
    {"04 16 00 0f", "kind=0;number=22;length=4;name=config-studio-remote;cmd.module=0;cmd.flags=0x0f"},
    {"03 17 01", "kind=0;number=23;length=3;name=config-cue-interlock;cmd.config=1"},
    {"07 18 01 02 03 04 05",
     "kind=0;number=24;length=7;name=config-gpo;cmd.gpo=1;cmd.trigger=2;cmd.mode=3;cmd.param4=4;cmd.param5=5"},
    {"05 19 0a 02 01", "kind=0;number=25;length=5;name=config-cue;cmd.cue=10;cmd.active=2;cmd.inactive=1"},
    {"06 1a 01 02 01 00",
     "kind=0;number=26;length=6;name=config-on;cmd.module=1;cmd.active=2;cmd.active_and_fader=1;cmd.inactive=0"},
    {"04 1b 07 01", "kind=0;number=27;length=4;name=config-fader-reserve;cmd.module=7;cmd.config=1"},
    {"07 1c ce 0a 01 01 01",
     "kind=0;number=28;length=7;name=config-silence-detection;cmd.threshold=-50;cmd.interval=10;"
     "cmd.interval_unit=1;cmd.source=1;cmd.config=1"},
    {"04 1d 02 01", "kind=0;number=29;length=4;name=config-phantom;cmd.module=2;cmd.config=1"},
    {"04 1e 01 01", "kind=0;number=30;length=4;name=config-mic-at-line;cmd.module=1;cmd.config=1"},
    {"04 1f 03 02", "kind=0;number=31;length=4;name=config-auto-off;cmd.module=3;cmd.config=2"},
    {"04 2c 04 03", "kind=0;number=44;length=4;name=track-state;cmd.module=4;cmd.state=3"},
    {"04 31 05 01", "kind=0;number=49;length=4;name=config-locked-on;cmd.module=5;cmd.config=1"},
    {"04 32 06 01", "kind=0;number=50;length=4;name=config-pgm-auto-off;cmd.module=6;cmd.config=1"},
    {"03 33 02", "kind=0;number=51;length=3;name=config-mic-on;cmd.trigger=2"},

    // Requests name the reply they ask for; the keep-alive shares header 0x41.
    {"00 41", "kind=1;number=1;length=0;name=firmware-version"},
    {"00 44", "kind=1;number=4;length=0;name=id-34"},
    {"00 5a", "kind=1;number=26;length=0;name=config-on"},
    {"00 60", "kind=1;number=32;length=0;name=module-on"},
    {"4b 41", "kind=1;number=1;length=75;name=keep-alive"},

    // Replies and events: every number the mixer sends.
    {"00 81 02 05 0b", "kind=2;number=1;length=0;name=firmware-version;event_id=0;firmware.major=2;firmware.minor=5;"
                       "firmware.build=11;firmware.text=VXN Korvane Firmware v2.5.11"},
    {"00 c2 01 02", "kind=3;number=2;length=0;name=id-32;event_id=32;value=1,2"},
    {"00 c3 01 02 03 04", "kind=3;number=3;length=0;name=id-33;event_id=33;value=1,2,3,4"},
    {"00 84 34 12", "kind=2;number=4;length=0;name=id-34;event_id=34;value16=0x1234"},
    {"00 8b 00 01 02", "kind=2;number=11;length=0;name=comm;event_id=109;comm=0,1,2"},
    {"00 cc 01 00 01", "kind=3;number=12;length=0;name=cough;event_id=110;cough=1,0,1"},
    {"00 8d 00 01 00 00 00 00 01 00",
     "kind=2;number=13;length=0;name=voice-track;event_id=111;voice_track=0,1,0,0,0,0,1,0"},
    {"00 91 01 00 01 00 00 00 00 02",
     "kind=2;number=17;length=0;name=config-auto-on;event_id=64;auto_on=1,0,1,0,0,0,0,2"},
    {"00 92 01 02 04 08 10 20 40 80", "kind=2;number=18;length=0;name=config-cue-reset;event_id=65;"
                                      "cue_reset=0x01,0x02,0x04,0x08,0x10,0x20,0x40,0x80"},
    {"00 d3 01 00 00 00 00 00 00 01", "kind=3;number=19;length=0;name=config-on-air;event_id=66;"
                                      "on_air_flags=0x01,0x00,0x00,0x00,0x00,0x00,0x00,0x01"},
    {"00 94 01 02 03", "kind=2;number=20;length=0;name=config-crm-mute;event_id=67;crm_mute_config=1,2,3"},
    {"00 95 03 02 01", "kind=2;number=21;length=0;name=config-crm-auto-cue-reset;event_id=68;crm_auto_cue_reset=3,2,1"},
    {"00 96 0f 00 01", "kind=2;number=22;length=0;name=config-studio-remote;event_id=69;studio_remote=0x0f,0x00,0x01"},
    {"00 97 01", "kind=2;number=23;length=0;name=config-cue-interlock;event_id=70;cue_interlock=1"},
    {"00 d8 01 02 03 04 05 06 07 08",
     "kind=3;number=24;length=0;name=config-gpo;event_id=71;gpo.trigger=1,5;gpo.mode=2,6;gpo.param4=3,7;"
     "gpo.param5=4,8"},
    // 0xE4 packs the codes 0, 1, 2, 3 from bit 0 up; byte 7 holds codes 20 and 21.
    {"00 99 e4 e4 e4 e4 e4 04",
     "kind=2;number=25;length=0;name=config-cue;event_id=72;cue.active=0,2,0,2,0,2,0,2,0,2,0;"
     "cue.inactive=1,3,1,3,1,3,1,3,1,3,1"},
    {"00 9a 21 9b 00 00 03 c0", "kind=2;number=26;length=0;name=config-on;event_id=73;on.active=1,2,3,1,0,0,0,0;"
                                "on.active_and_fader=3,0,0,0,0,0,0,3;on.inactive=0,0,2,2,0,0,0,0"},
    {"00 9b 00 00 01 00 00 00 00 00",
     "kind=2;number=27;length=0;name=config-fader-reserve;event_id=74;fader_reserve=0,0,1,0,0,0,0,0"},
    {"00 9c ce 05 00 01 01",
     "kind=2;number=28;length=0;name=config-silence-detection;event_id=75;silence.threshold=-50;"
     "silence.interval=5;silence.interval_unit=0;silence.source=1;silence.config=1"},
    {"00 9d 01 00 01", "kind=2;number=29;length=0;name=config-phantom;event_id=76;phantom=1,0,1"},
    {"00 de 00 01 00", "kind=3;number=30;length=0;name=config-mic-at-line;event_id=77;mic_at_line=0,1,0"},
    {"00 9f 00 00 00 01 00 00 00 00",
     "kind=2;number=31;length=0;name=config-auto-off;event_id=78;auto_off=0,0,0,1,0,0,0,0"},
    {"00 e0 00 01 01 00 00 00 00 01", "kind=3;number=32;length=0;name=module-on;event_id=96;module_on=0,1,1,0,0,0,0,1"},
    // Eleven flags: bits 0..7 of b2, then bits 0..2 of b3.
    {"00 a1 05 06", "kind=2;number=33;length=0;name=id-97;event_id=97;status_flag=1,0,1,0,0,0,0,0,0,1,1"},
    {"00 e2 01 01 00 00 00 00 00 00", "kind=3;number=34;length=0;name=fader;event_id=98;fader=1,1,0,0,0,0,0,0"},
    {"00 a3 07 09", "kind=2;number=35;length=0;name=id-99;event_id=99;value=7,9"},
    {"00 e4 00 01 02 00 00 00 00 00",
     "kind=3;number=36;length=0;name=module-source;event_id=100;source=0,1,2,0,0,0,0,0"},
    {"00 a5 01", "kind=2;number=37;length=0;name=non-stop;event_id=101;non_stop=1"},
    {"00 e6 01", "kind=3;number=38;length=0;name=mic-on;event_id=102;mic_on=1"},
    {"00 a7 05 06", "kind=2;number=39;length=0;name=id-103;event_id=103;value=5,6"},
    {"00 e8 01 00", "kind=3;number=40;length=0;name=on-air;event_id=104;on_air=1,0"},
    {"00 e9 01", "kind=3;number=41;length=0;name=silence;event_id=105;silence_state=1"},
    {"00 aa 01 02 03 04 05 06 07 08", "kind=2;number=42;length=0;name=id-106;event_id=106;value=1,2,3,4,5,6,7,8"},
    {"00 eb 01", "kind=3;number=43;length=0;name=crm-mute;event_id=107;crm_mute=1"},
    {"00 ac 00 00 00 00 03 00 00 00",
     "kind=2;number=44;length=0;name=track-state;event_id=108;track_state=0,0,0,0,3,0,0,0"},
    {"00 ed 01", "kind=3;number=45;length=0;name=phone;event_id=112;phone=1"},
    {"00 ee 07", "kind=3;number=46;length=0;name=id-113;event_id=113;value=7"},
    {"00 f0 76 00 3f ff 40 80",
     "kind=3;number=48;length=0;name=meters;event_id=128;meter.level=4.25,-50,13,13.75,-49.75,-49.5"},
    {"00 b1 01 00 00 00 00 00 00 00",
     "kind=2;number=49;length=0;name=config-locked-on;event_id=79;locked_on=1,0,0,0,0,0,0,0"},
    {"00 f2 00 00 00 00 00 00 00 01",
     "kind=3;number=50;length=0;name=config-pgm-auto-off;event_id=80;pgm_auto_off=0,0,0,0,0,0,0,1"},
    {"00 b3 02", "kind=2;number=51;length=0;name=config-mic-on;event_id=81;mic_on_trigger=2"},

    // A kind the number is not sent as, and a number the mixer never sends.
    {"00 c1 02 05 0b", "kind=3;number=1;length=0;name=firmware-version;event_id=0;firmware.major=2;firmware.minor=5;"
                       "firmware.build=11;firmware.text=VXN Korvane Firmware v2.5.11;unknown=1"},
    {"00 8e", "kind=2;number=14;length=0;unknown=1"},

    // Not the protocol: flagged, not decoded.
    {"!a0 a0 01", "marker=0xa0a0;malformed.size=1"},
    {"!a0 a0 00 81 02 05 0b 00 00 00 00 00 00", "marker=0xa0a0;malformed.size=1"},
    {"!a0 a1 00 81 02 05 0b 00 00 00 00 00", "marker=0xa0a1;malformed.marker=1"},

    // A whole datagram the capture kept only six bytes of: cut short, not malformed.
    {"00 e0 00 01 01", "kind=3;number=32;length=0;cut_short=1", 0, 6},

    // Any other port through "Decode As".
    {"04 05 01 01", "kind=0;number=5;length=4;name=remote-on;cmd.module=1;cmd.action=1", 40000},
};

std::vector<uint8_t> payload_of(const Case &c)
{
    std::vector<uint8_t> bytes;
    std::istringstream in(c.bytes[0] == '!' ? c.bytes + 1 : c.bytes);
    for (std::string hex; in >> hex;)
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
    if (c.bytes[0] == '!')
        return bytes;
    bytes.resize(10, 0);
    bytes.insert(bytes.begin(), {0xA0, 0xA0});
    return bytes;
}

std::map<std::string, std::string> expectations_of(const Case &c)
{
    std::map<std::string, std::string> fields;
    if (c.bytes[0] != '!')
        fields["korvane.marker"] = "0xa0a0";
    std::istringstream in(c.expect);
    for (std::string item; std::getline(in, item, ';');) {
        const std::size_t eq = item.find('=');
        fields["korvane." + item.substr(0, eq)] = item.substr(eq + 1);
    }
    return fields;
}

void put16(std::string &out, uint16_t v)  // big-endian, for the IPv4 and UDP headers
{
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v & 0xFF);
}

void put32le(std::ofstream &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Classic pcap, Ethernet / IPv4 / UDP on 127.0.0.1.
void write_capture(const std::string &path)
{
    std::ofstream out(path, std::ios::binary);
    put32le(out, 0xA1B2C3D4);
    put32le(out, 2 | (4u << 16));  // version 2.4
    put32le(out, 0);               // time zone
    put32le(out, 0);               // accuracy
    put32le(out, 65535);           // snap length
    put32le(out, 1);               // Ethernet
    uint32_t second = 1700000000;
    for (const Case &c : kCases) {
        const std::vector<uint8_t> payload = payload_of(c);
        // What the library sends goes to the mixer's port, the rest to the library's.
        const bool to_mixer = payload.size() == 12 && payload[0] == 0xA0 && payload[1] == 0xA0 && payload[3] < 0x80;
        uint16_t from = to_mixer ? 18150 : 18153, to = to_mixer ? 18153 : 18150;
        if (c.port != 0)
            from = to = c.port;
        std::string udp;
        put16(udp, from);
        put16(udp, to);
        put16(udp, static_cast<uint16_t>(8 + payload.size()));
        put16(udp, 0);
        udp.append(payload.begin(), payload.end());
        std::string frame(12, '\0');
        frame += "\x08";
        frame += '\0';
        frame += "\x45";
        frame += '\0';
        put16(frame, static_cast<uint16_t>(20 + udp.size()));
        frame += std::string("\0\0\0\0\x40\x11\0\0\x7f\0\0\x01\x7f\0\0\x01", 16);
        frame += udp;
        const std::size_t kept = frame.size() - (c.captured ? payload.size() - c.captured : 0);
        put32le(out, second++);
        put32le(out, 0);
        put32le(out, static_cast<uint32_t>(kept));
        put32le(out, static_cast<uint32_t>(frame.size()));
        out.write(frame.data(), static_cast<std::streamsize>(kept));
    }
}

std::string file_text(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? text.str() : std::string();
}

TEST(Dissector, ShowsEveryFieldOfEveryKindAndNumber)
{
    char folder[] = "/tmp/korvane-dissector-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string capture = std::string(folder) + "/capture.pcap";
    write_capture(capture);
    // A personal configuration of its own, so no user preference or plugin interferes.
    setenv("WIRESHARK_CONFIG_DIR", folder, 1);
    setenv("HOME", folder, 1);

    std::set<std::string> columns;
    for (const Case &c : kCases)
        for (const auto &field : expectations_of(c))
            columns.insert(field.first);
    std::vector<std::string> args = {"-r", capture,        "-d", "udp.port==40000,korvane",
                                     "-T", "fields",       "-E", "occurrence=a",
                                     "-E", "aggregator=,", "-e", "frame.number"};
    // An older copy installed as a plugin loads first; the tree's, given
    // with -X, must take over from it (it names remote-on differently).
    std::string stale = file_text(KORVANE_DISSECTOR_PATH);
    const std::size_t name = stale.find("\"remote-on\"");
    ASSERT_NE(name, std::string::npos);
    stale.insert(name + 1, "stale-");
    const std::string plugins = std::string(folder) + "/.local/lib/wireshark/plugins";
    std::filesystem::create_directories(plugins);
    std::ofstream(plugins + "/korvane.lua") << stale;
    args.insert(args.end(), {"-X", std::string("lua_script:") + KORVANE_DISSECTOR_PATH});
    for (const std::string &column : columns)
        args.insert(args.end(), {"-e", column});
    const Finished f = run_program(KORVANE_TSHARK_PATH, args, 60.0);
    ASSERT_EQ(f.exit_code, 0) << f.err;
    // tshark reports a dissector that fails to load on stderr and goes on without it.
    EXPECT_EQ(f.err.find("Lua"), std::string::npos) << f.err;
    ASSERT_NE(f.out.find("remote-on"), std::string::npos)
        << "tshark did not run the dissector; is Lua disabled for this user (init.lua)?\n"
        << f.err;

    std::istringstream lines(f.out);
    std::size_t frame = 0;
    for (std::string line; std::getline(lines, line); ++frame) {
        ASSERT_LT(frame, std::size(kCases)) << line;
        std::vector<std::string> cells;
        std::istringstream split(line);
        for (std::string cell; std::getline(split, cell, '\t');)
            cells.push_back(cell);
        cells.resize(columns.size() + 1);
        EXPECT_EQ(cells[0], std::to_string(frame + 1));
        const std::map<std::string, std::string> expected = expectations_of(kCases[frame]);
        std::size_t i = 1;
        for (const std::string &column : columns) {
            const auto e = expected.find(column);
            EXPECT_EQ(cells[i++], e == expected.end() ? "" : e->second)
                << column << " of frame " << frame + 1 << " (" << kCases[frame].bytes << ")";
        }
    }
    EXPECT_EQ(frame, std::size(kCases));
    std::filesystem::remove_all(folder);
}

}  // namespace
