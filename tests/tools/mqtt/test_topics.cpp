// Incoming requests and commands: what reaches the mixer and what is refused.
#include "topics.h"

#include <gtest/gtest.h>

using namespace kmqtt;

namespace {

TEST(Topics, OrdersAreCheckedAsTheClientChecksThem)
{
    const Topics t("studio/a");
    struct Case {
        const char *topic;
        const char *payload;
        bool commands;
        const char *refusal;  // "" when accepted
        std::vector<int> values;
    };
    const Case cases[] = {
        {"studio/a/command/remote-on", "[3, 1]", true, "", {3, 1}},
        {"studio/a/command/remote-on", " 3\t1\n", true, "", {3, 1}},
        {"studio/a/command/remote-on", "0x3 1", true, "", {3, 1}},
        {"studio/a/command/config-silence-detection", "[-40,5,0,0,1]", true, "", {-40, 5, 0, 0, 1}},
        {"studio/a/command/config-save", "", true, "", {}},
        {"studio/a/command/config-save", "[]", true, "", {}},
        {"studio/a/command/remote-on", "3 1", false, "not enabled", {}},
        {"studio/a/command/remote-on", "[3, 256]", true, "from 0 to 255", {}},
        {"studio/a/command/remote-on", "8 1", true, "from 0 to 7", {}},
        {"studio/a/command/remote-on", "[3 1]", true, "JSON array", {}},
        {"studio/a/command/remote-on", "[3, 1.0]", true, "JSON array", {}},
        {"studio/a/command/remote-on", "[3,]", true, "JSON array", {}},
        {"studio/a/command/remote-on", "[0x3, 1]", true, "JSON array", {}},
        {"studio/a/command/remote-on", "3 1 1", true, "takes 2 argument(s), not 3", {}},
        {"studio/a/command/remote-on", "99999999999999999999 1", true, "not a whole number", {}},
        {"studio/a/command/Remote-On", "3 1", true, "unknown command", {}},
    };
    for (const Case &c : cases) {
        Order order;
        const std::string refusal = read_order(t, c.topic, c.payload, c.commands, order);
        if (std::string(c.refusal).empty()) {
            EXPECT_EQ(refusal, "") << c.payload;
            EXPECT_FALSE(order.is_request);
            EXPECT_EQ(order.values, c.values) << c.payload;
        } else {
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.payload << " -> " << refusal;
        }
    }
}

TEST(Topics, RequestsByNameOrNumberAndRefusalsAsJson)
{
    const Topics t("k");
    Order order;
    EXPECT_EQ(read_order(t, "k/request/on-air", "anything", false, order), "");
    EXPECT_TRUE(order.is_request);
    EXPECT_EQ(order.request_id, KORVANE_ID_ON_AIR);
    EXPECT_EQ(read_order(t, "k/request/0x68", "", false, order), "");
    EXPECT_EQ(order.request_id, KORVANE_ID_ON_AIR);
    EXPECT_NE(read_order(t, "k/request/meters", "", false, order), "") << "meters are events only";
    EXPECT_NE(read_order(t, "k/request/7", "", false, order), "");

    EXPECT_EQ(error_json("k/command/x\"y", "bad\n\"value\""),
              "{\"topic\":\"k/command/x\\\"y\",\"error\":\"bad\\u000a\\\"value\\\"\"}");
}

}  // namespace
