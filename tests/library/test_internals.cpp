// Routines that the shared library does not export, reached through its
// object files: open failure texts, oversize messages, line length limit and
// the pure decoder.
#include "korvane_internal.h"
#include "library_link.h"

#include <cerrno>
#include <random>

using namespace kt;

TEST(OpenFailure, BoundPortGivesTheBindText)
{
    TempDir dir;
    FakeMixer mixer;
    uint16_t port = 0;
    korvane_handle first = open_towards(mixer, &port);
    ASSERT_NE(first, nullptr);
    char text[128] = "untouched";
    EXPECT_EQ(korvane_open_ex("127.0.0.1", port, mixer.port(), text, sizeof text), nullptr);
    EXPECT_EQ(std::string(text), "korvane_open(): Socket bind failed with error " + std::to_string(EADDRINUSE));
    EXPECT_EQ(korvane_remote_on(first, 1, 2), 0);
    EXPECT_EQ(mixer.next_command(), (Bytes{0xA0, 0xA0, 4, 5, 1, 2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(korvane_close(first), 0);
}

TEST(SendUdp, OversizeMessageIsRefusedWithAnErrorText)
{
    TempDir dir;
    FakeMixer mixer;
    uint16_t port = 0;
    korvane_handle h = open_towards(mixer, &port);
    ASSERT_NE(h, nullptr);
    korvane_logging(h, 1);
    uint8_t big[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    EXPECT_EQ(korvane_send_udp(h, big, 11), -1);
    EXPECT_STREQ(korvane_get_last_error(h), "UDP data length(11) larger then KORVANE_PROTOCOL_MESSAGE_SIZE(10)");
    EXPECT_EQ(korvane_send_udp(nullptr, big, 3), -1);
    EXPECT_EQ(korvane_send_udp(h, big, 10), 0);
    EXPECT_EQ(mixer.next_command(), (Bytes{0xA0, 0xA0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(korvane_send_udp(h, big, 2), 0);
    EXPECT_EQ(mixer.next_command(), (Bytes{0xA0, 0xA0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0}));

    // the stored text is cut to 127 characters, the log line keeps 499
    const std::string long_text(300, 'x');
    korvane_error(h, "%s", long_text.c_str());
    EXPECT_EQ(std::string(korvane_get_last_error(h)), std::string(127, 'x'));
    auto texts = log_texts(log_name(port));
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[6], "ERROR: UDP data length(11) larger then KORVANE_PROTOCOL_MESSAGE_SIZE(10)");
    EXPECT_EQ(texts[7], "ERROR: " + long_text);
    korvane_close(h);
}

TEST(LogWrite, LongTextIsCutTo499Characters)
{
    TempDir dir;
    FILE *f = nullptr;
    log_start(&f, 4242);
    ASSERT_NE(f, nullptr);
    log_write(f, "%s", std::string(600, 'y').c_str());
    log_write(nullptr, "%s", "dropped");
    log_stop(f);
    log_stop(nullptr);
    auto texts = log_texts(log_name(4242));
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], std::string(499, 'y'));
}

TEST(Decoder, ReadsOnlyTheTwelveBytesAndNoMore)
{
    // every header, every length: the decoder never reads past the datagram
    korvane_event e;
    korvane_block b;
    std::mt19937 rng(7);
    for (size_t len = 0; len <= 300; ++len) {
        std::vector<uint8_t> d(len);
        for (auto &x : d)
            x = uint8_t(rng());
        if (len >= 2)
            d[0] = d[1] = 0xA0;
        const int ok = korvane_decode_datagram(d.data(), d.size(), &e, &b);
        if (len != 12) {
            EXPECT_EQ(ok, 0) << len;
        }
    }
    int delivered = 0;
    for (int header = 0; header < 256; ++header) {
        std::vector<uint8_t> d = datagram(uint8_t(header), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        std::unique_ptr<uint8_t[]> exact(new uint8_t[12]);
        std::memcpy(exact.get(), d.data(), 12);
        if (korvane_decode_datagram(exact.get(), 12, &e, &b)) {
            ++delivered;
            EXPECT_EQ(e.data, &b);
        }
    }
    // 41 known numbers: 35 taken as reply and event, 6 as one kind only
    EXPECT_EQ(delivered, 35 * 2 + 6);
}

TEST(Decoder, FirmwareTextForEveryByteValue)
{
    korvane_event e;
    korvane_block b;
    for (int v = 0; v < 256; ++v) {
        const uint8_t other = uint8_t(255 - v);
        Bytes d = datagram(0x81, {uint8_t(v), other, uint8_t(v / 3)});
        ASSERT_EQ(korvane_decode_datagram(d.data(), d.size(), &e, &b), 1);
        char want[64];
        snprintf(want, sizeof want, "VXN Korvane Firmware v%d.%d.%d", v, other, v / 3);
        EXPECT_STREQ(b.firmware.text, want);
    }
}
