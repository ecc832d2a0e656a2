// Replies and events from the mixer reach the callback with the right id,
// kind and data block; everything else is dropped without a trace.
#include "library_link.h"

#include <map>

using namespace kt;

namespace {

enum Kinds { REPLY = 1, EVENT = 2, BOTH = 3 };

struct Known {
    int id;
    int kinds;
};

// Message number -> event id and the kinds that count.
const std::map<int, Known> &known_messages()
{
    static const std::map<int, Known> m{
        {1, {0x00, REPLY}},  {2, {0x20, EVENT}},  {3, {0x21, EVENT}},  {4, {0x22, BOTH}},  {11, {0x6D, BOTH}},
        {12, {0x6E, BOTH}},  {13, {0x6F, BOTH}},  {17, {0x40, BOTH}},  {18, {0x41, BOTH}}, {19, {0x42, BOTH}},
        {20, {0x43, BOTH}},  {21, {0x44, BOTH}},  {22, {0x45, BOTH}},  {23, {0x46, BOTH}}, {24, {0x47, BOTH}},
        {25, {0x48, BOTH}},  {26, {0x49, BOTH}},  {27, {0x4A, BOTH}},  {28, {0x4B, BOTH}}, {29, {0x4C, BOTH}},
        {30, {0x4D, BOTH}},  {31, {0x4E, BOTH}},  {32, {0x60, BOTH}},  {33, {0x61, BOTH}}, {34, {0x62, BOTH}},
        {35, {0x63, BOTH}},  {36, {0x64, BOTH}},  {37, {0x65, BOTH}},  {38, {0x66, BOTH}}, {39, {0x67, BOTH}},
        {40, {0x68, BOTH}},  {41, {0x69, BOTH}},  {42, {0x6A, BOTH}},  {43, {0x6B, BOTH}}, {44, {0x6C, BOTH}},
        {45, {0x70, EVENT}}, {46, {0x71, EVENT}}, {48, {0x80, EVENT}}, {49, {0x4F, BOTH}}, {50, {0x50, BOTH}},
        {51, {0x51, BOTH}},
    };
    return m;
}

// Data bytes b2..b9 used where the block is a plain copy; high bits set on
// purpose, since every value must arrive unsigned.
const Bytes kData{0x81, 0x02, 0xC3, 0x44, 0x05, 0xF6, 0x07, 0x88};

class Decoding : public LinkTest
{
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        listen();
    }
    Received one(uint8_t header, const Bytes &data)
    {
        auto got = exchange({datagram(header, data)});
        EXPECT_EQ(got.size(), 1u) << "header " << int(header);
        return got.empty() ? Received{} : got[0];
    }
};

}  // namespace

TEST_F(Decoding, EveryHeaderOfEveryKindIsDeliveredOrDropped)
{
    std::vector<Bytes> all;
    std::vector<std::pair<int, int>> expected;  // id, kind
    for (int kind = 0; kind < 4; ++kind) {
        for (int number = 0; number < 64; ++number) {
            all.push_back(datagram(uint8_t(kind << 6 | number), kData));
            auto it = known_messages().find(number);
            if (it == known_messages().end())
                continue;
            if ((kind == 2 && (it->second.kinds & REPLY)) || (kind == 3 && (it->second.kinds & EVENT)))
                expected.push_back({it->second.id, kind == 3 ? 1 : 0});
        }
    }
    auto got = exchange(all);
    std::vector<std::pair<int, int>> seen;
    for (const auto &e : got)
        seen.push_back({e.id, e.kind});
    EXPECT_EQ(seen, expected);
}

TEST_F(Decoding, PlainBlocksCarryTheBytesUnsigned)
{
    for (const auto &[number, known] : known_messages()) {
        const size_t size = block_size(known.id);
        const int header = (known.kinds & EVENT ? 0xC0 : 0x80) | number;
        switch (number) {
        case 1:
        case 4:
        case 24:
        case 25:
        case 26:
        case 28:
        case 33:
        case 48: continue;  // structured blocks, checked below
        default: break;
        }
        SCOPED_TRACE(number);
        Received e = one(uint8_t(header), kData);
        bool bytes = number == 18 || number == 19 || number == 22 || number == 50;
        if (bytes) {
            EXPECT_EQ(e.data, Bytes(kData.begin(), kData.begin() + size));
        } else {
            for (size_t i = 0; i < size / 4; ++i)
                EXPECT_EQ(e.i32(i), int32_t(kData[i])) << "value " << i;
        }
    }
}

TEST_F(Decoding, FirmwareVersion)
{
    Received e = one(0x81, {2, 5, 11});
    EXPECT_EQ(e.id, KORVANE_ID_FIRMWARE_VERSION);
    EXPECT_EQ(e.kind, 0);
    auto fw = e.as<korvane_firmware>();
    EXPECT_EQ(fw.major, 2);
    EXPECT_EQ(fw.minor, 5);
    EXPECT_EQ(fw.build, 11);
    EXPECT_STREQ(fw.text, "VXN Korvane Firmware v2.5.11");

    fw = one(0x81, {255, 255, 255}).as<korvane_firmware>();
    EXPECT_STREQ(fw.text, "VXN Korvane Firmware v255.255.255") << "the longest text still fits";
}

TEST_F(Decoding, SixteenBitValueIsLittleEndian)
{
    Received e = one(0x84, {0x34, 0x12});
    EXPECT_EQ(e.id, 0x22);
    EXPECT_EQ(e.as<uint16_t>(), 0x1234);
    EXPECT_EQ(one(0xC4, {0xFF, 0xFE}).as<uint16_t>(), 0xFEFF);
}

TEST_F(Decoding, GpoConfiguration)
{
    Received e = one(0x98, {1, 2, 3, 0xF4, 5, 6, 0x87, 0xFF});
    EXPECT_EQ(e.id, KORVANE_ID_CONFIG_GPO);
    auto g = e.as<korvane_gpo>();
    EXPECT_EQ(g.gpo[0].trigger, 1);
    EXPECT_EQ(g.gpo[0].mode, 2);
    EXPECT_EQ(g.gpo[0].param4, 3);
    EXPECT_EQ(g.gpo[0].param5, 0xF4);
    EXPECT_EQ(g.gpo[1].trigger, 5);
    EXPECT_EQ(g.gpo[1].mode, 6);
    EXPECT_EQ(g.gpo[1].param4, 0x87);
    EXPECT_EQ(g.gpo[1].param5, 0xFF);
}

TEST_F(Decoding, CueColoursAreTwoBitsEach)
{
    // byte b2+k/4 holds code k in bits 2(k%4)..+1; b7's upper half is unused
    const Bytes data{0xE4, 0x1B, 0x00, 0xFF, 0x55, 0xF6, 0xAA, 0xAA};
    Received e = one(0x99, data);
    EXPECT_EQ(e.id, KORVANE_ID_CONFIG_CUE);
    const int want[22] = {0, 1, 2, 3, 3, 2, 1, 0, 0, 0, 0, 0, 3, 3, 3, 3, 1, 1, 1, 1, 2, 1};
    for (int k = 0; k < 22; ++k)
        EXPECT_EQ(e.i32(k), want[k]) << "code " << k;
}

TEST_F(Decoding, OnLampColoursPerModule)
{
    Received e = one(0x9A, {0x21, 0, 0, 0, 0x03});
    EXPECT_EQ(e.id, KORVANE_ID_CONFIG_ON);
    EXPECT_EQ(e.kind, 0);
    auto c = e.as<korvane_lamp_colours>();
    EXPECT_EQ(c.module[0].active, 1);
    EXPECT_EQ(c.module[0].inactive, 0);
    EXPECT_EQ(c.module[0].active_and_fader, 3);
    EXPECT_EQ(c.module[1].active, 2);
    EXPECT_EQ(c.module[1].inactive, 0);
    EXPECT_EQ(c.module[1].active_and_fader, 0);

    // every field of every module distinct from its neighbours
    e = one(0xDA, {0x9C, 0x36, 0x4E, 0xB1, 0x1B, 0xE4});
    EXPECT_EQ(e.kind, 1);
    c = e.as<korvane_lamp_colours>();
    const int active[8] = {0, 1, 2, 3, 2, 0, 1, 3};
    const int inactive[8] = {3, 2, 1, 0, 3, 1, 0, 2};
    const int with_fader[8] = {3, 2, 1, 0, 0, 1, 2, 3};
    for (int m = 0; m < 8; ++m) {
        SCOPED_TRACE(m);
        EXPECT_EQ(c.module[m].active, active[m]);
        EXPECT_EQ(c.module[m].inactive, inactive[m]);
        EXPECT_EQ(c.module[m].active_and_fader, with_fader[m]);
    }
}

TEST_F(Decoding, SilenceThresholdIsSigned)
{
    Received e = one(0x9C, {0xCE, 0xC8, 1, 2, 3});
    EXPECT_EQ(e.id, KORVANE_ID_CONFIG_SILENCE_DETECTION);
    auto s = e.as<korvane_silence>();
    EXPECT_EQ(s.threshold, -50);
    EXPECT_EQ(s.interval, 200);
    EXPECT_EQ(s.interval_unit, 1);
    EXPECT_EQ(s.source, 2);
    EXPECT_EQ(s.config, 3);
}

TEST_F(Decoding, ElevenStatusFlags)
{
    Received e = one(0xA1, {0xA5, 0xFA});
    EXPECT_EQ(e.id, 0x61);
    const int want[11] = {1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(e.i32(i), want[i]) << "flag " << i;
}

TEST_F(Decoding, MeterLevels)
{
    // a marker-free exchange: the levels below never look like the end marker
    auto got = exchange({datagram(0xF0, {0x76, 0x00, 0x3F, 0xFF, 0x40, 0x80})});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, KORVANE_ID_METERS);
    EXPECT_EQ(got[0].kind, 1);
    const float want[6] = {4.25f, -50.0f, 13.0f, 13.75f, -49.75f, -49.5f};
    for (int i = 0; i < 6; ++i)
        EXPECT_FLOAT_EQ(got[0].level(i), want[i]) << "level " << i;
    EXPECT_TRUE(exchange({datagram(0xB0, {0x76})}).empty()) << "meters only come as events";
}

TEST_F(Decoding, ReplyAndEventDifferOnlyInKind)
{
    auto got = exchange({datagram(0x9A, kData), datagram(0xDA, kData)});
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].id, 73);
    EXPECT_EQ(got[1].id, 73);
    EXPECT_EQ(got[0].kind, 0);
    EXPECT_EQ(got[1].kind, 1);
    EXPECT_EQ(got[0].data, got[1].data);
}

TEST_F(Decoding, OnlyExactTwelveByteDatagramsWithTheMarker)
{
    Bytes good = datagram(0xA5, {1});
    Bytes wrong_marker = good;
    wrong_marker[1] = 0xA1;
    Bytes first_marker = good;
    first_marker[0] = 0x00;
    Bytes longer = good;
    longer.push_back(0);
    Bytes shorter(good.begin(), good.end() - 1);
    Bytes huge(300, 0xA0);
    huge[3] = 0xA5;
    auto got = exchange({Bytes{}, wrong_marker, first_marker, longer, shorter, huge, Bytes{}, good});
    ASSERT_EQ(got.size(), 1u) << "zero-length and malformed datagrams must not stop the reader";
    EXPECT_EQ(got[0].id, KORVANE_ID_NON_STOP);
    EXPECT_EQ(got[0].i32(0), 1);
}

TEST_F(Decoding, LengthByteAndUnusedBytesAreNotExamined)
{
    Bytes d = datagram(0xA5, {1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    d[2] = 0x77;
    auto got = exchange({d});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].i32(0), 1);
}

TEST_F(Decoding, DatagramsFromAnySenderAreAccepted)
{
    UdpPeer stranger;
    stranger.send_to(port, datagram(0xA5, {1}));
    // The reader may take the stranger's datagram before exchange() looks,
    // so count from the start: nothing else has reached this handle.
    exchange({});
    auto all = log.events();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].id, KORVANE_ID_NON_STOP);
    EXPECT_EQ(all[1].id, KORVANE_ID_METERS) << "the end marker";
}

TEST_F(Decoding, UnregisterStopsCallbacksButMessagesAreStillLogged)
{
    korvane_logging(handle, 1);
    ASSERT_EQ(exchange({datagram(0xA6, {1})}).size(), 1u);
    ASSERT_EQ(korvane_unregister_callback(handle), 0);
    const size_t before = log.events().size();
    to_library(datagram(0xA5, {1}));
    to_library(datagram(0xC1, {1}));  // dropped: firmware only as reply
    to_library(datagram(0xDA, {1}));
    // no callback to wait on: a reply to a request closes the exchange in the log
    std::vector<std::string> texts;
    for (int i = 0; i < 100; ++i) {
        texts = log_texts(log_name(port));
        if (!texts.empty() && texts.back() == "[EVENT]: id: 0x49(73)")
            break;
        usleep(20000);
    }
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[texts.size() - 4], "[REPLY]: id: 0x66(102)");
    EXPECT_EQ(texts[texts.size() - 3].rfind("korvane_unregister_callback(): handle: 0x", 0), 0u);
    EXPECT_EQ(texts[texts.size() - 2], "[REPLY]: id: 0x65(101)");
    EXPECT_EQ(texts.back(), "[EVENT]: id: 0x49(73)");
    EXPECT_EQ(log.events().size(), before);
}
