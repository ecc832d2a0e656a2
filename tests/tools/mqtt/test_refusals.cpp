// What keeps MQTT from loading the console or the journal: the order
// limits, the refusal summary and the cut, escaped stderr text; and the
// option table that --help and the bash completion share.
#include "incident.h"
#include "options.h"
#include "rate_limit.h"
#include "refusal_summary.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

using namespace kmqtt;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

TEST(OrderLimiter, TwentyASecondAndRequestsForOneStateCoalesced)
{
    OrderLimiter limiter;
    const Clock::time_point t0 = Clock::now();
    int sent = 0;
    for (int i = 0; i < 100; ++i)
        sent += limiter.command(t0 + milliseconds(i)) == OrderLimiter::Verdict::Send;
    EXPECT_EQ(sent, 20 + 1) << "a burst of 20, then one more token in 100 ms";
    // A second later the bucket is full again, but no fuller.
    sent = 0;
    for (int i = 0; i < 40; ++i)
        sent += limiter.command(t0 + milliseconds(1200)) == OrderLimiter::Verdict::Send;
    EXPECT_EQ(sent, 20);

    // Requests have their own bucket; one state asked again while its
    // reply is due costs nothing and is not sent again.
    EXPECT_EQ(limiter.request(104, t0), OrderLimiter::Verdict::Send);
    EXPECT_EQ(limiter.request(104, t0 + milliseconds(150)), OrderLimiter::Verdict::Coalesced);
    EXPECT_EQ(limiter.request(104, t0 + milliseconds(250)), OrderLimiter::Verdict::Send);
    limiter.answered(104);
    EXPECT_EQ(limiter.request(104, t0 + milliseconds(260)), OrderLimiter::Verdict::Send)
        << "the reply came: a new request is a new question";
    limiter.asked(105, t0 + milliseconds(300));  // the bridge's own burst
    EXPECT_EQ(limiter.request(105, t0 + milliseconds(310)), OrderLimiter::Verdict::Coalesced);
    int limited = 0;
    for (int id = 0; id < 40; ++id)
        limited += limiter.request(id, t0 + milliseconds(320)) == OrderLimiter::Verdict::Limited;
    EXPECT_GE(limited, 40 - 20);
}

TEST(RefusalSummary, OneLinePerTenSecondsCountingEachReason)
{
    RefusalSummary summary;
    const Clock::time_point t0 = Clock::now();
    EXPECT_EQ(summary.due(), Clock::time_point::max());
    for (int i = 0; i < 1200; ++i)
        summary.add("rate limited", "korvane/command/remote-on", "rate limited", t0 + milliseconds(i));
    for (int i = 0; i < 323; ++i)
        summary.add("bad arguments", "korvane/command/remote-on", "from 0 to 7", t0 + milliseconds(i));
    EXPECT_EQ(summary.take(t0 + milliseconds(9999)), "");
    EXPECT_EQ(summary.due(), t0 + std::chrono::seconds(10));
    EXPECT_EQ(summary.take(t0 + std::chrono::seconds(10)),
              "1523 in 10 s: 1200 rate limited, 323 bad arguments; last: korvane/command/remote-on from 0 to 7");
    EXPECT_EQ(summary.take(t0 + std::chrono::seconds(30)), "") << "said once";
    // A topic as long as the broker allows, with control characters.
    summary.add("unknown names", "korvane/command/" + std::string(5000, '\x1b'), "?", t0 + std::chrono::seconds(31));
    const std::string line = summary.take(t0 + std::chrono::seconds(41));
    EXPECT_LT(line.size(), 400u) << line;
    EXPECT_NE(line.find("korvane/command/\\x1b\\x1b"), std::string::npos) << line;
}

TEST(Incident, TextIsShownEscapedAndCutWhole)
{
    struct Case {
        std::string text;
        std::size_t max;
        std::string shown;
    };
    const Case cases[] = {
        {"plain", 10, "plain"},           {"tab\there", 20, "tab\\x09here"}, {"back\\slash", 20, "back\\\\slash"},
        {"\xc3\xa4", 20, "\\xc3\\xa4"},   {"abcdefghij", 10, "abcdefghij"},  {"abcdefghijk", 10, "abcdefg..."},
        {"abcde\x01xyz", 10, "abcde..."},  // never half an escape
    };
    for (const Case &c : cases)
        EXPECT_EQ(shown(c.text, c.max), c.shown) << c.text;
}

// The completion offers what --help lists, and takes a value after the
// options that have one.
TEST(Options, BashCompletionFollowsTheOptionTable)
{
    std::ifstream in(KORVANE_MQTT_COMPLETION);
    ASSERT_TRUE(in) << KORVANE_MQTT_COMPLETION;
    std::stringstream text;
    text << in.rdbuf();
    const std::string script = text.str();

    std::smatch m;
    ASSERT_TRUE(std::regex_search(script, m, std::regex("compgen -W '([^']*)'")));
    std::set<std::string> offered, with_value;
    std::istringstream words(m[1].str());
    for (std::string w; words >> w;)
        offered.insert(w);
    const std::string cases = script.substr(script.find("case $prev in"), script.find("esac") - script.find("case"));
    const std::regex option("--[a-z-]+");
    for (std::sregex_iterator it(cases.begin(), cases.end(), option), end; it != end; ++it)
        with_value.insert(it->str());

    std::set<std::string> listed, takes_value;
    const std::string usage = usage_text();
    for (const OptionInfo &o : option_table()) {
        listed.insert(o.name);
        if (o.value)
            takes_value.insert(o.name);
        EXPECT_NE(usage.find(std::string("  ") + o.name), std::string::npos) << o.name;
        // The parser knows every option of the table.
        Options options;
        const Parsed p = parse_options({o.name}, options);
        EXPECT_EQ(p.error.find("unknown option"), std::string::npos) << o.name;
    }
    EXPECT_EQ(offered, listed);
    EXPECT_EQ(with_value, takes_value);
}

}  // namespace
