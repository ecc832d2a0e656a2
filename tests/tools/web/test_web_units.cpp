// korvane-web's units: its command line, which page a path serves, the
// studios' state with the mic-on count, and a browser's outbox.
#include "options.h"
#include "outbox.h"
#include "studio_state.h"
#include "web_server.h"

#include <gtest/gtest.h>

using namespace kweb;

namespace {

TEST(Options, ReadAsTheIssueWritesThem)
{
    Options o;
    ASSERT_EQ(parse_options({}, o).action, Action::Run);
    EXPECT_EQ(o.broker_host, "127.0.0.1");
    EXPECT_EQ(o.broker_port, 1883);
    EXPECT_EQ(o.prefixes, std::vector<std::string>{"korvane"});
    EXPECT_EQ(host_port_text(o.listen_host, o.listen_port), "0.0.0.0:8080");

    Options m;
    ASSERT_EQ(
        parse_options(
            {"--broker", "[::1]:1884", "--prefix", "a", "--prefix=site/b", "--prefix", "a", "--listen", "[::]:80"}, m)
            .action,
        Action::Run);
    EXPECT_EQ(host_port_text(m.broker_host, m.broker_port), "[::1]:1884");
    EXPECT_EQ(m.prefixes, (std::vector<std::string>{"a", "site/b"})) << "repeated, in order, once each";
    EXPECT_EQ(host_port_text(m.listen_host, m.listen_port), "[::]:80");

    for (const std::vector<std::string> &bad : std::vector<std::vector<std::string>>{
             {"--prefix", "a/+"},
             {"--prefix", "/a"},
             {"--listen", "127.0.0.1:0"},
             {"--listen", "no.such.host.invalid:80"},
             {"--listen", "[::1"},
             {"--broker", "::1"},
             {"--broker", "host:99999"},
             {"--password-file", "/dev/null"},
             {"--username", "u", "--password-file", "/nonexistent"},
             {"--help=x"},
             {"--commands"},
         }) {
        Options b;
        EXPECT_EQ(parse_options(bad, b).action, Action::Refuse) << bad[0] << " " << bad.back();
    }
}

TEST(Pages, EachPathServesItsFileAndNothingElse)
{
    const std::pair<const char *, const char *> cases[] = {
        {"/", "index.html"},
        {"/studio/korvane", "studio.html"},
        {"/studio/site/studio2", "studio.html"},
        {"/overlay/korvane", "overlay.html"},
        {"/static/live.js", "live.js"},
        {"/favicon.ico", "favicon.ico"},
        {"/studio/", ""},
        {"/static/", ""},
        {"/static/../../etc/passwd", ""},
        {"/static/sub/x.js", ""},
        {"/static/.git", ""},
        {"/live", ""},
        {"/index.htm", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WebServer::page_file(c.first), c.second) << c.first;
}

Json parsed(const Change &c)
{
    return Json::parse(c.text);
}

TEST(StudioState, KeepsWhatTheBridgePublishedAndCountsTheMicrophone)
{
    StudioState s({"korvane", "korvane/b"});
    EXPECT_EQ(s.apply("other/status", "online", 0).size(), 0u);
    EXPECT_EQ(s.apply("korvane/request/x", "{}", 0).size(), 0u);
    ASSERT_EQ(s.apply("korvane/b/status", "online", 0).size(), 1u) << "the longer prefix is a studio of its own";
    EXPECT_EQ(s.studios_json()["korvane/b"]["status"], "online");
    EXPECT_TRUE(s.studios_json()["korvane"]["status"].is_null());

    // Off -> on starts the count; on again keeps it; off ends it.
    const char *on = R"({"values":[1]})";
    const char *off = R"({"values":[0]})";
    auto changes = s.apply("korvane/state/mic-on", on, 1000);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(parsed(changes[1]), Json::parse(R"({"type":"mic","prefix":"korvane","since_ms":1000})"));
    EXPECT_EQ(s.apply("korvane/state/mic-on", on, 5000).size(), 1u) << "no new count on a repeated on";
    // A broker reconnection keeps a microphone that is still on counting.
    s.forget();
    EXPECT_TRUE(s.studios_json()["korvane"]["state"].empty());
    EXPECT_TRUE(s.studios_json()["korvane"]["mic_on_since_ms"].is_null());
    changes = s.apply("korvane/state/mic-on", on, 9000);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(parsed(changes[1])["since_ms"], 1000);
    changes = s.apply("korvane/state/mic-on", off, 9500);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_TRUE(parsed(changes[1])["since_ms"].is_null());
    s.forget();
    EXPECT_EQ(parsed(s.apply("korvane/state/mic-on", on, 20000)[1])["since_ms"], 20000)
        << "off before the reconnection: a new count";

    // Cleared topics, text that is no JSON, bytes that are no UTF-8.
    EXPECT_TRUE(parsed(s.apply("korvane/state/mic-on", "", 0)[0])["value"].is_null());
    EXPECT_FALSE(s.studios_json()["korvane"]["state"].contains("mic-on"));
    EXPECT_EQ(parsed(s.apply("korvane/bridge", "down?", 0)[0])["value"], "down?");
    EXPECT_NO_THROW(parsed(s.apply("korvane/meters", std::string("\xff\xfe", 2), 0)[0]));
    EXPECT_NO_THROW(json_text(s.studios_json()));
}

TEST(StudioState, StaysBounded)
{
    StudioState s({"p"});
    std::string refused;
    for (std::size_t i = 0; i < StudioState::kMaxStateNames; ++i)
        ASSERT_EQ(s.apply("p/state/n" + std::to_string(i), "1", 0, &refused).size(), 1u);
    EXPECT_TRUE(s.apply("p/state/one-too-many", "1", 0, &refused).empty());
    EXPECT_NE(refused.find("p/state/one-too-many"), std::string::npos);
    EXPECT_EQ(s.apply("p/state/n0", "2", 0).size(), 1u) << "known names still change";
    refused.clear();
    EXPECT_TRUE(s.apply("p/meters", std::string(StudioState::kMaxPayload + 1, ' '), 0, &refused).empty());
    EXPECT_FALSE(refused.empty());
}

Text text(const char *t)
{
    return std::make_shared<const std::string>(t);
}

TEST(Outbox, KeepsTheLatestPerKeyInPlaceAndPacesMeters)
{
    Outbox box;
    const Clock::time_point t0 = Clock::now();
    box.put("hello", text("hello"));
    box.put("status", text("offline"));
    box.put("meters", text("m1"), true);
    box.put("status", text("online"));  // replaces, keeps its place
    box.put("meters", text("m2"), true);
    EXPECT_EQ(box.size(), 3u);
    EXPECT_EQ(*box.take(t0), "hello");
    EXPECT_EQ(*box.take(t0), "online");
    EXPECT_EQ(*box.take(t0), "m2");

    box.put("meters", text("m3"), true);
    box.put("state", text("s"));
    Clock::time_point due{};
    EXPECT_EQ(*box.take(t0 + std::chrono::milliseconds(10), &due), "s") << "state passes waiting meters";
    EXPECT_EQ(box.take(t0 + std::chrono::milliseconds(10), &due), nullptr);
    EXPECT_EQ(due, t0 + Outbox::kMeterInterval);
    EXPECT_EQ(*box.take(due), "m3");

    box.put("hello", text("hello"));
    box.put("state", text("s"));
    box.drop_all_but("hello");
    EXPECT_EQ(*box.take(due), "hello");
    EXPECT_TRUE(box.empty());
}

}  // namespace
