// korvane-web as a program, between a real mosquitto and real WebSocket
// and HTTP clients.
#include "web_testing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>

#if defined(__SANITIZE_ADDRESS__)
#    define WEB_TEST_ASAN
#elif defined(__has_feature)
#    if __has_feature(address_sanitizer)
#        define WEB_TEST_ASAN
#    endif
#endif

using namespace mqtttest;
using namespace webtest;
using simtest::SimProcess;

namespace {

int64_t now_ms()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class Web : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Page files of its own, so that the test does not depend on the real pages.
        char dir[] = "/tmp/korvane-web-test-XXXXXX";
        www_ = mkdtemp(dir) ? dir : "";
        for (const char *name : {"index.html", "studio.html", "overlay.html", "live.js"})
            std::ofstream(www_ + "/" + name) << "<!-- " << name << " -->\n";
        setenv("KORVANE_WEB_ROOT", www_.c_str(), 1);
#ifdef WEB_TEST_ASAN
        // The sanitizer keeps freed memory aside for a while; the server's
        // resident memory would say nothing about its queues then.
        const char *asan = std::getenv("ASAN_OPTIONS");
        setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":quarantine_size_mb=1").c_str(), 1);
#endif
    }
    static void TearDownTestSuite()
    {
        for (const char *name : {"index.html", "studio.html", "overlay.html", "live.js"})
            std::remove((www_ + "/" + name).c_str());
        rmdir(www_.c_str());
    }

    void TearDown() override
    {
        if (web_.running()) {
            EXPECT_EQ(web_.stop(SIGTERM, 3.0).exit_code, 0);
        }
    }

    void start_web(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {"--broker", broker_.address(), "--listen",
                                         "127.0.0.1:" + std::to_string(port_)};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(web_.spawn(args));
        for (int i = 0; i < 100 && !accepts(port_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(accepts(port_));
    }

    // A browser that has the whole picture with the broker connected.
    void wait_connected_snapshot(LiveClient &c, Json *snapshot = nullptr)
    {
        Json broker_up;
        ASSERT_TRUE(c.wait_for(
            [&](const Json &j) {
                return (j["type"] == "hello" && j["broker"]["connected"] == true) ||
                       (j["type"] == "broker" && j["connected"] == true);
            },
            10.0));
        ASSERT_TRUE(c.wait_for([&](const Json &j) { return j["type"] == "snapshot"; }, 5.0,
                               c.all()[0]["broker"]["connected"] == true ? 0 : 2, snapshot));
    }

    static std::string www_;
    Broker broker_;
    uint16_t port_ = kt::free_tcp_port();
    SimProcess web_{KORVANE_WEB_PATH};
};

std::string Web::www_;

TEST_F(Web, NewBrowserGetsHelloAndTheRetainedStateThenEveryChange)
{
    ASSERT_TRUE(broker_.start());
    {
        Publisher p(broker_.port());
        ASSERT_TRUE(p.publish("korvane/status", "online", true));
        ASSERT_TRUE(p.publish("korvane/bridge", R"({"version":"1.0.11.0","link":"open"})", true));
        ASSERT_TRUE(p.publish("korvane/state/module-on", R"({"name":"module-on","values":[1,0,0,0,0,1,0,0]})", true));
        ASSERT_TRUE(p.publish("korvane/state/mic-on", R"({"name":"mic-on","values":[1]})", true));
        ASSERT_TRUE(p.publish("studio2/state/odd", "not json", true));
    }
    const int64_t started = now_ms();
    start_web({"--prefix", "korvane", "--prefix", "studio2"});
    // A browser that comes before the retained state gets it as changes;
    // this one must find it all in its snapshot.
    std::unique_ptr<LiveClient> live;
    Json snapshot;
    for (int i = 0; i < 25 && snapshot["studios"]["korvane"]["status"] != "online"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        live = std::make_unique<LiveClient>(port_);
        wait_connected_snapshot(*live, &snapshot);
    }
    LiveClient &c = *live;
    const Json hello = c.all().at(0);
    EXPECT_EQ(hello["type"], "hello");
    EXPECT_EQ(hello["prefixes"], Json({"korvane", "studio2"}));
    EXPECT_FALSE(hello.value("version", "").empty());
    EXPECT_NEAR(hello["time"]["server_ms"].get<double>(), static_cast<double>(now_ms()), 5000.0);
    EXPECT_TRUE(hello["time"]["synced"].is_boolean());

    const Json &k = snapshot["studios"]["korvane"];
    EXPECT_EQ(k["status"], "online");
    EXPECT_EQ(k["bridge"]["link"], "open");
    EXPECT_EQ(k["state"]["module-on"]["values"][5], 1);
    EXPECT_TRUE(k["meters"].is_null());
    ASSERT_TRUE(k["mic_on_since_ms"].is_number());
    EXPECT_GE(k["mic_on_since_ms"].get<int64_t>(), started) << "counted from when the server heard it";
    EXPECT_LE(k["mic_on_since_ms"].get<int64_t>(), now_ms());
    const Json &s2 = snapshot["studios"]["studio2"];
    EXPECT_TRUE(s2["status"].is_null()) << "nothing heard is no status";
    EXPECT_EQ(s2["state"]["odd"], "not json");

    Publisher p(broker_.port());
    std::size_t from = c.count();
    ASSERT_TRUE(p.publish("korvane/state/on-air", R"({"name":"on-air","values":[1,0]})", true));
    Json change;
    ASSERT_TRUE(c.wait_type("state", 3.0, from, &change));
    EXPECT_EQ(change, Json::parse(R"({"type":"state","prefix":"korvane","name":"on-air",
                                      "value":{"name":"on-air","values":[1,0]}})"));

    from = c.count();
    ASSERT_TRUE(p.publish("korvane/state/mic-on", R"({"name":"mic-on","values":[0]})", true));
    ASSERT_TRUE(c.wait_type("mic", 3.0, from, &change));
    EXPECT_TRUE(change["since_ms"].is_null());
    ASSERT_TRUE(p.publish("korvane/status", "", true));
    ASSERT_TRUE(c.wait_type("status", 3.0, from, &change));
    EXPECT_TRUE(change["value"].is_null()) << "a cleared status is no status";
    ASSERT_TRUE(c.wait_type("time", 2.5, c.count())) << "the heartbeat comes every second";
}

TEST_F(Web, OnlyGetAndHeadOfThePagesAreServed)
{
    ASSERT_TRUE(broker_.start());
    start_web();
    struct Case {
        const char *method;
        const char *path;
        const char *status;
        const char *body;  // nullptr: none expected
    } cases[] = {
        {"GET", "/", "200", "index.html"},
        {"HEAD", "/", "200", nullptr},
        {"GET", "/studio/korvane", "200", "studio.html"},
        {"GET", "/studio/site/studio2", "200", "studio.html"},
        {"GET", "/overlay/unknown?size=2", "200", "overlay.html"},
        {"GET", "/static/live.js", "200", "live.js"},
        {"GET", "/static/../../../etc/passwd", "404", nullptr},
        {"GET", "/static/.hidden", "404", nullptr},
        {"GET", "/nothing", "404", nullptr},
        {"POST", "/", "405", nullptr},
        {"PUT", "/studio/korvane", "405", nullptr},
        {"DELETE", "/static/live.js", "405", nullptr},
        {"PATCH", "/", "405", nullptr},
        {"OPTIONS", "/", "405", nullptr},
    };
    for (const Case &c : cases) {
        std::string request = std::string(c.method) + " " + c.path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n";
        if (std::string(c.method) != "GET" && std::string(c.method) != "HEAD")
            request += "Content-Length: 5\r\n\r\nhello";
        else
            request += "\r\n";
        const std::string reply = http_exchange(port_, request);
        EXPECT_EQ(reply.substr(0, 12), std::string("HTTP/1.1 ") + c.status) << c.method << " " << c.path << "\n"
                                                                            << reply;
        if (c.body) {
            EXPECT_NE(reply.find(c.body), std::string::npos) << c.method << " " << c.path;
        }
        if (std::string(c.status) == "405") {
            EXPECT_NE(reply.find("GET, HEAD"), std::string::npos) << "405 says what is allowed";
        }
        if (std::string(c.method) == "HEAD") {
            EXPECT_EQ(reply.find("<!--"), std::string::npos) << "HEAD has no body";
        }
    }
    // Nothing but /live is a live channel.
    LiveClient elsewhere(port_, "/studio/korvane");
    EXPECT_TRUE(elsewhere.wait_closed(5.0));
    EXPECT_EQ(elsewhere.count(), 0u);
}

TEST_F(Web, MetersReachEachBrowserAtMost25ASecondAndStateIsNeverLost)
{
    ASSERT_TRUE(broker_.start());
    start_web();
    LiveClient c(port_);
    wait_connected_snapshot(c);
    Publisher p(broker_.port());
    const std::size_t from = c.count();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 200; ++i) {
        p.publish("korvane/meters", "{\"n\":" + std::to_string(i) + "}", false, false);
        // State between the meters, every one of a different topic.
        if (i % 20 == 0)
            p.publish("korvane/state/s" + std::to_string(i), "{}", false, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(c.wait_for([](const Json &j) { return j["type"] == "meters" && j["value"]["n"] == 199; }, 3.0, from))
        << "the latest meter message always arrives";
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::size_t meters = 0;
    std::set<std::string> states;
    for (const Json &j : c.all())
        if (j["type"] == "meters")
            ++meters;
        else if (j["type"] == "state")
            states.insert(j["name"].get<std::string>());
    EXPECT_LE(meters, static_cast<std::size_t>(25 * seconds + 2)) << "in " << seconds << " s";
    EXPECT_GE(meters, 5u);
    EXPECT_EQ(states.size(), 10u) << "no state change dropped";
}

TEST_F(Web, StalledBrowserDelaysNobodyAndTheServerDoesNotGrow)
{
    ASSERT_TRUE(broker_.start());
    start_web();
    LiveClient stalled(port_);
    LiveClient reader(port_);
    wait_connected_snapshot(stalled);
    wait_connected_snapshot(reader);
    stalled.stall();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const long rss_before = resident_kb(web_.pid());

    // Far more than the sockets' buffers hold: 48 MB of changes to one
    // state topic, paced so that each reaches the browsers' outboxes, where
    // a queue per browser would keep them all for the stalled one.
    Publisher p(broker_.port());
    const std::string filler(60 * 1024, 'x');
    const int count = 800;
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(p.publish("korvane/state/flood", "{\"n\":" + std::to_string(i) + ",\"x\":\"" + filler + "\"}"));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::size_t from = reader.count();
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(p.publish("korvane/state/on-air", R"({"values":[1,0]})"));
    ASSERT_TRUE(
        reader.wait_for([](const Json &j) { return j["type"] == "state" && j["name"] == "on-air"; }, 3.0, from));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count(), 1.0);
    ASSERT_TRUE(reader.wait_for(
        [&](const Json &j) { return j["type"] == "state" && j["name"] == "flood" && j["value"]["n"] == count - 1; },
        3.0));
    EXPECT_FALSE(stalled.closed());
    const long rss_after = resident_kb(web_.pid());
    EXPECT_LT(rss_after - rss_before, 8 * 1024) << rss_before << " kB before, " << rss_after << " kB after";
}

TEST_F(Web, FollowsTheBrokerWheneverItComesAndGoes)
{
    // The broker is not there yet when the server starts.
    start_web();
    LiveClient c(port_);
    ASSERT_TRUE(c.wait_type("hello", 5.0));
    EXPECT_EQ(c.all()[0]["broker"]["connected"], false);
    ASSERT_TRUE(broker_.start());
    ASSERT_TRUE(c.wait_for([](const Json &j) { return j["type"] == "broker" && j["connected"] == true; }, 7.0))
        << "tried again within 5 s";
    {
        Publisher p(broker_.port());
        ASSERT_TRUE(p.publish("korvane/status", "online", true));
        ASSERT_TRUE(c.wait_for([](const Json &j) { return j["type"] == "status" && j["value"] == "online"; }, 3.0));
    }

    std::size_t from = c.count();
    broker_.stop();
    ASSERT_TRUE(c.wait_for([](const Json &j) { return j["type"] == "broker" && j["connected"] == false; }, 20.0, from));
    // A new broker without the old one's retained status: the studio must
    // not stay online in the browsers.
    from = c.count();
    ASSERT_TRUE(broker_.start());
    Json snapshot;
    ASSERT_TRUE(c.wait_type("snapshot", 8.0, from, &snapshot));
    EXPECT_TRUE(snapshot["studios"]["korvane"]["status"].is_null());

    const simtest::Finished f = web_.stop(SIGTERM, 3.0);
    EXPECT_EQ(f.exit_code, 0);
    for (const std::string &event : {"broker-unreachable " + broker_.address(), "broker-connected " + broker_.address(),
                                     "broker-lost " + broker_.address()})
        EXPECT_NE(f.err.find(event), std::string::npos) << event << " in\n" << f.err;
}

TEST(WebOptions, RefusedWithExitStatus2)
{
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"--prefix", "a/#"}, {"--listen", "127.0.0.1:0"}, {"--bogus"}}) {
        const simtest::Finished f = simtest::run_program(KORVANE_WEB_PATH, args);
        EXPECT_EQ(f.exit_code, 2) << args[0];
        EXPECT_NE(f.err.find("korvane-web --help"), std::string::npos);
    }
    EXPECT_EQ(simtest::run_program(KORVANE_WEB_PATH, {"--help"}).exit_code, 0);
}

}  // namespace
