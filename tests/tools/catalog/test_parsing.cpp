// Numbers and addresses as every tool reads them from its options and a
// command's arguments.
#include "parsing.h"

#include <gtest/gtest.h>

using namespace kcatalog;

namespace {

TEST(Parsing, WholeNumbersDecimalOrHexWithASign)
{
    const std::pair<const char *, long> good[] = {
        {"0", 0}, {"255", 255}, {"-128", -128}, {"+7", 7}, {"0x1F", 31}, {"0XfF", 255}, {"-0x10", -16}, {"007", 7},
    };
    for (const auto &g : good) {
        long value = 12345;
        EXPECT_TRUE(parse_integer(g.first, value)) << g.first;
        EXPECT_EQ(value, g.second) << g.first;
    }
    // Leading zeros stay decimal; only the digits of the base, nothing around them.
    for (const char *bad : {"", "-", "+", "0x", "-0x", "--1", "1.5", " 1", "1 ", "12a", "0x1G", "1e3", "0b1",
                            "99999999999999999999", "-99999999999999999999"}) {
        long value = 0;
        EXPECT_FALSE(parse_integer(bad, value)) << bad;
    }
}

TEST(Parsing, MixerAddressAsDottedText)
{
    // Numbers and the hosts file only: a test never asks a name server.
    EXPECT_EQ(ipv4_address_of("192.168.7.20"), "192.168.7.20");
    EXPECT_EQ(ipv4_address_of("127.1"), "127.0.0.1");
    EXPECT_EQ(ipv4_address_of("localhost"), "127.0.0.1");
    EXPECT_EQ(ipv4_address_of(""), "");
    EXPECT_EQ(ipv4_address_of("::1"), "") << "the library speaks IPv4 only";
}

}  // namespace
