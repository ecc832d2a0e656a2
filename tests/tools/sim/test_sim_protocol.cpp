// The mixer side of the datagram protocol, checked against byte layouts
// written out by hand.
#include "messages.h"
#include "protocol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace ksim;

namespace {

Datagram client(std::vector<uint8_t> message)
{
    Datagram dg{};
    dg[0] = dg[1] = 0xA0;
    for (std::size_t i = 0; i < message.size(); ++i)
        dg[2 + i] = message[i];
    return dg;
}

Datagram reply(const MixerState &s, uint8_t number)
{
    Datagram dg{};
    EXPECT_TRUE(encode_state(s, number, Kind::Reply, dg)) << "message " << int(number);
    return dg;
}

}  // namespace

TEST(SimProtocol, DecodesWhatAClientSends)
{
    Datagram keep_alive = client({0x4B, 0x41});
    EXPECT_EQ(decode_datagram(keep_alive.data(), 12).type, Incoming::Type::KeepAlive);

    // Same header as the keep-alive, but a request's length byte.
    Datagram firmware = client({0x00, 0x41});
    Incoming in = decode_datagram(firmware.data(), 12);
    EXPECT_EQ(in.type, Incoming::Type::Request);
    EXPECT_EQ(in.number, 1);

    Datagram remote_on = client({0x04, 0x05, 0x03, 0x02});
    in = decode_datagram(remote_on.data(), 12);
    EXPECT_EQ(in.type, Incoming::Type::Command);
    EXPECT_EQ(in.number, 5);
    EXPECT_EQ(in.args[0], 3);
    EXPECT_EQ(in.args[1], 2);
    EXPECT_EQ(describe(in, remote_on.data(), 12), "command 5 (remote on): 3, 2");

    Datagram from_a_mixer = client({0x0A, 0xE0});
    EXPECT_EQ(decode_datagram(from_a_mixer.data(), 12).type, Incoming::Type::Foreign);
}

TEST(SimProtocol, RejectsWhatIsNotAProtocolDatagram)
{
    Datagram ok = client({0x00, 0x41});
    EXPECT_EQ(decode_datagram(ok.data(), 11).type, Incoming::Type::Invalid);
    EXPECT_EQ(decode_datagram(ok.data(), 0).type, Incoming::Type::Invalid);
    EXPECT_EQ(decode_datagram(nullptr, 12).type, Incoming::Type::Invalid);
    uint8_t longer[13] = {0xA0, 0xA0, 0x00, 0x41};
    EXPECT_EQ(decode_datagram(longer, 13).type, Incoming::Type::Invalid);
    Datagram bad_marker = ok;
    bad_marker[1] = 0xA1;
    EXPECT_EQ(decode_datagram(bad_marker.data(), 12).type, Incoming::Type::Invalid);
    EXPECT_EQ(describe(decode_datagram(longer, 3), longer, 3), "not a protocol datagram (3 bytes): a0 a0 00");
}

TEST(SimProtocol, MeterCodesCarryQuarterDecibels)
{
    EXPECT_EQ(meter_code(4.25), 0x76);
    EXPECT_EQ(meter_code(-50.0), 0x00);
    EXPECT_EQ(meter_code(13.0), 0x3F);
    EXPECT_EQ(meter_code(13.75), 0xFF);
    EXPECT_EQ(meter_code(-49.75), 0x40);
    EXPECT_EQ(meter_code(-49.5), 0x80);
    EXPECT_EQ(meter_code(0.0), 50);
    EXPECT_EQ(meter_code(-0.1), 50);  // rounds to the nearest quarter
    EXPECT_EQ(meter_code(-80.0), 0x00);
    EXPECT_EQ(meter_code(40.0), 0xFF);
    EXPECT_EQ(meter_code(std::numeric_limits<double>::quiet_NaN()), 0x00);
    // Every code decodes back to within an eighth of a decibel.
    for (double db = -50.0; db <= 13.75; db += 0.07) {
        const uint8_t c = meter_code(db);
        const double back = (c & 0x3F) - 50.0 + (c >> 6) * 0.25;
        EXPECT_NEAR(back, db, 0.125 + 1e-9) << db;
    }
    Datagram dg = encode_meters({4.25, -50.0, 13.0, 13.75, -49.75, -49.5});
    const Datagram expected = {0xA0, 0xA0, 0x08, 0xF0, 0x76, 0x00, 0x3F, 0xFF, 0x40, 0x80, 0x00, 0x00};
    EXPECT_EQ(dg, expected);
}

TEST(SimProtocol, AnswersExactlyTheRequestableNumbers)
{
    const MixerState s = default_studio_state();
    std::vector<int> requestable;
    for (int n = 0; n < 64; ++n) {
        Datagram dg{};
        const bool answered = encode_state(s, static_cast<uint8_t>(n), Kind::Reply, dg);
        EXPECT_EQ(answered, is_requestable(static_cast<uint8_t>(n))) << n;
        if (answered) {
            requestable.push_back(n);
            EXPECT_EQ(dg[0], 0xA0);
            EXPECT_EQ(dg[1], 0xA0);
            EXPECT_EQ(dg[3], 0x80 | n);
        }
    }
    std::vector<int> expected = {1, 4, 11, 12, 13};
    for (int n = 17; n <= 44; ++n)
        expected.push_back(n);
    for (int n : {49, 50, 51})
        expected.push_back(n);
    EXPECT_EQ(requestable, expected);

    // Firmware is a reply only; phone and meters are events only.
    Datagram dg{};
    EXPECT_FALSE(encode_state(s, msg::kFirmware, Kind::Event, dg));
    EXPECT_FALSE(encode_state(s, msg::kPhone, Kind::Reply, dg));
    EXPECT_TRUE(encode_state(s, msg::kPhone, Kind::Event, dg));
    EXPECT_EQ(dg[3], 0xC0 | 45);
    EXPECT_FALSE(encode_state(s, msg::kModuleOn, Kind::Command, dg));
}

TEST(SimProtocol, PackedLayouts)
{
    MixerState s;
    s.firmware_major = 2;
    s.firmware_minor = 5;
    s.firmware_build = 11;
    EXPECT_EQ(reply(s, msg::kFirmware), (Datagram{0xA0, 0xA0, 5, 0x81, 2, 5, 11, 0, 0, 0, 0, 0}));

    s.value4 = 0x1234;
    Datagram dg = reply(s, msg::kValue4);
    EXPECT_EQ(dg[4], 0x34);
    EXPECT_EQ(dg[5], 0x12);

    s.silence_config = SilenceConfig{-50, 7, 1, 1, 1};
    EXPECT_EQ(reply(s, msg::kSilenceDetection), (Datagram{0xA0, 0xA0, 7, 0x9C, 0xCE, 7, 1, 1, 1, 0, 0, 0}));

    s.lamps[0] = LampColours{1, 3, 0};
    s.lamps[1] = LampColours{2, 0, 0};
    dg = reply(s, msg::kOnConfig);
    EXPECT_EQ(dg[4], 0x21);
    EXPECT_EQ(dg[8], 0x03);

    // All eight modules, unpacked the other way round.
    for (int m = 0; m < kModules; ++m)
        s.lamps[m] = LampColours{static_cast<uint8_t>(m % 4), static_cast<uint8_t>((m + 1) % 4),
                                 static_cast<uint8_t>((m + 2) % 4)};
    dg = reply(s, msg::kOnConfig);
    for (int m = 0; m < kModules; ++m) {
        const uint8_t b = dg[4 + m / 2];
        EXPECT_EQ((b >> (4 * (m % 2))) & 3, m % 4) << m;
        EXPECT_EQ((b >> (4 * (m % 2) + 2)) & 3, (m + 2) % 4) << m;
        EXPECT_EQ((dg[8 + m / 4] >> (2 * (m % 4))) & 3, (m + 1) % 4) << m;
    }

    for (int k = 0; k < 22; ++k)
        s.cue_colours[k] = static_cast<uint8_t>((k * 7) % 4);
    dg = reply(s, msg::kCueConfig);
    for (int k = 0; k < 22; ++k)
        EXPECT_EQ((dg[4 + k / 4] >> (2 * (k % 4))) & 3, (k * 7) % 4) << k;
    EXPECT_EQ(dg[9] & 0xF0, 0);

    s.status_flags.fill(0);
    s.status_flags[0] = s.status_flags[7] = s.status_flags[8] = s.status_flags[10] = 1;
    dg = reply(s, msg::kStatusFlags);
    EXPECT_EQ(dg[4], 0x81);
    EXPECT_EQ(dg[5], 0x05);

    s.gpo[0] = GpoConfig{1, 2, 3, 4};
    s.gpo[1] = GpoConfig{5, 6, 7, 8};
    dg = reply(s, msg::kGpo);
    EXPECT_EQ(dg, (Datagram{0xA0, 0xA0, 10, 0x98, 1, 2, 3, 4, 5, 6, 7, 8}));

    s.on_air1 = 1;
    s.on_air2 = 0;
    dg = reply(s, msg::kOnAir);
    EXPECT_EQ(dg[4], 1);
    EXPECT_EQ(dg[5], 0);
}
