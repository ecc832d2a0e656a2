// The korvane library against the running korvane-sim over loopback: every
// request answered, commands coming back as events, meters at the set rate,
// and the scenarios that take the mixer offline.
#include "event_log.h"
#include "korvane.h"
#include "loopback.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

using namespace simtest;
using kt::Received;
using Clock = std::chrono::steady_clock;

namespace {

// The last event with `id` (and `kind`, if not -1); null when none.
const Received *last(const std::vector<Received> &records, int id, int kind = -1)
{
    for (auto it = records.rbegin(); it != records.rend(); ++it)
        if (it->id == id && (kind < 0 || it->kind == kind))
            return &*it;
    return nullptr;
}

std::size_t count(const std::vector<Received> &records, int id)
{
    std::size_t n = 0;
    for (const Received &r : records)
        n += r.id == id;
    return n;
}

// korvane-sim on a free port with one library handle talking to it.
class SimLink : public ::testing::Test
{
protected:
    void open(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--listen", "0"});
        std::string error;
        ASSERT_TRUE(sim_.start(args, &error)) << error;
        // The receive port is picked free just before; retry if it was taken meanwhile.
        for (int attempt = 0; attempt < 5 && handle_ == nullptr; ++attempt)
            handle_ = korvane_open("127.0.0.1", kt::free_udp_port(), sim_.port());
        ASSERT_NE(handle_, nullptr);
        ASSERT_EQ(korvane_register_callback(handle_, &kt::EventLog::callback, &events_), 0);
    }

    void TearDown() override
    {
        if (handle_ != nullptr)
            korvane_close(handle_);
        handle_ = nullptr;
        if (sim_.running()) {
            const Finished f = sim_.stop(SIGTERM);
            EXPECT_EQ(f.exit_code, 0) << f.err;
        }
    }

    bool wait_for_reply(int reply_id, int timeout_ms = 3000)
    {
        return events_.wait_for([&](const std::vector<Received> &r) { return last(r, reply_id, 0) != nullptr; },
                                timeout_ms);
    }

    SimProcess sim_;
    korvane_handle handle_ = nullptr;
    kt::EventLog events_;
};

}  // namespace

TEST_F(SimLink, EveryRequestIsAnsweredWithItsReply)
{
    open({});
    std::vector<std::pair<int, int>> asked;  // request id, reply id
    asked.push_back({0, 0});
    asked.push_back({32, 34});
    for (int id = 64; id <= 81; ++id)
        asked.push_back({id, id});
    for (int id = 96; id <= 111; ++id)
        asked.push_back({id, id});
    for (const auto &a : asked)
        ASSERT_EQ(korvane_request(handle_, a.first), 0);

    const bool all = events_.wait_for(
        [&](const std::vector<Received> &r) {
            for (const auto &a : asked)
                if (last(r, a.second, 0) == nullptr)
                    return false;
            return true;
        },
        5000);
    const std::vector<Received> got = events_.events();
    for (const auto &a : asked)
        EXPECT_NE(last(got, a.second, 0), nullptr) << "no reply to request " << a.first;
    ASSERT_TRUE(all);

    // The replies carry the studio's state.
    EXPECT_STREQ(last(got, 0)->as<korvane_firmware>().text, "VXN Korvane Firmware v3.2.7");
    EXPECT_EQ(last(got, KORVANE_ID_MODULE_ON, 0)->values(), (std::vector<int>{0, 1, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(last(got, KORVANE_ID_MODULE_SOURCE, 0)->values(), (std::vector<int>{1, 1, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(last(got, KORVANE_ID_VOICE_TRACK, 0)->values()[1], 1);
    EXPECT_EQ(last(got, KORVANE_ID_ON_AIR, 0)->values()[0], 1);
    const auto lamps = last(got, KORVANE_ID_CONFIG_ON, 0)->as<korvane_lamp_colours>();
    EXPECT_EQ(lamps.module[0].active, 1);
    EXPECT_EQ(lamps.module[0].active_and_fader, 1);
    EXPECT_EQ(lamps.module[2].active, 2);
    EXPECT_EQ(lamps.module[7].inactive, 0);
    EXPECT_EQ(last(got, KORVANE_ID_CONFIG_SILENCE_DETECTION, 0)->as<korvane_silence>().threshold, -40);
    EXPECT_EQ(last(got, 34, 0)->as<uint16_t>(), 0x0100);
}

TEST_F(SimLink, RemoteOnTogglesTheModuleAndTheEventComesBack)
{
    open({});
    ASSERT_EQ(korvane_request(handle_, KORVANE_ID_MODULE_ON), 0);
    ASSERT_TRUE(wait_for_reply(KORVANE_ID_MODULE_ON));
    const int before = last(events_.events(), KORVANE_ID_MODULE_ON, 0)->values()[4];

    for (int click = 1; click <= 2; ++click) {
        events_.clear();
        ASSERT_EQ(korvane_remote_on(handle_, 4, 2), 0);
        const int expected = click % 2 ? !before : before;
        EXPECT_TRUE(events_.wait_for(
            [&](const std::vector<Received> &r) {
                const Received *e = last(r, KORVANE_ID_MODULE_ON, 1);
                return e != nullptr && e->values()[4] == expected;
            },
            3000))
            << "click " << click;
    }

    events_.clear();
    ASSERT_EQ(korvane_remote_non_stop(handle_, 2), 0);
    ASSERT_TRUE(events_.wait_for(
        [](const std::vector<Received> &r) { return last(r, KORVANE_ID_NON_STOP, 1) != nullptr; }, 3000));
    EXPECT_EQ(last(events_.events(), KORVANE_ID_NON_STOP, 1)->values()[0], 1);
}

TEST_F(SimLink, ConfigurationCommandsUpdateTheStateAndComeBack)
{
    open({});
    ASSERT_EQ(korvane_config_on(handle_, 5, 2, 1, 3), 0);
    ASSERT_EQ(korvane_config_silence_detection(handle_, -45, 12, 0, 1, 1), 0);
    ASSERT_EQ(korvane_config_gpo(handle_, 1, 4, 5, 6, 200), 0);
    ASSERT_EQ(korvane_config_pgm_auto_off(handle_, 7, 1), 0);
    ASSERT_EQ(korvane_track_state(handle_, 2, 3), 0);
    ASSERT_TRUE(events_.wait_for(
        [](const std::vector<Received> &r) {
            for (int id : {KORVANE_ID_CONFIG_ON, KORVANE_ID_CONFIG_SILENCE_DETECTION, KORVANE_ID_CONFIG_GPO,
                           KORVANE_ID_CONFIG_PGM_AUTO_OFF, KORVANE_ID_TRACK_STATE})
                if (last(r, id, 1) == nullptr)
                    return false;
            return true;
        },
        3000));
    std::vector<Received> got = events_.events();
    const korvane_lamp_colour lamp = last(got, KORVANE_ID_CONFIG_ON, 1)->as<korvane_lamp_colours>().module[5];
    EXPECT_EQ(lamp.active, 2);
    EXPECT_EQ(lamp.active_and_fader, 1);
    EXPECT_EQ(lamp.inactive, 3);
    EXPECT_EQ(last(got, KORVANE_ID_CONFIG_SILENCE_DETECTION, 1)->as<korvane_silence>().threshold, -45);
    EXPECT_EQ(last(got, KORVANE_ID_CONFIG_SILENCE_DETECTION, 1)->as<korvane_silence>().interval, 12);
    EXPECT_EQ(last(got, KORVANE_ID_CONFIG_GPO, 1)->as<korvane_gpo>().gpo[1].param5, 200);
    EXPECT_EQ(last(got, KORVANE_ID_CONFIG_PGM_AUTO_OFF, 1)->values()[7], 1);
    EXPECT_EQ(last(got, KORVANE_ID_TRACK_STATE, 1)->values()[2], 3);

    // A later request reports the new configuration too.
    events_.clear();
    ASSERT_EQ(korvane_request(handle_, KORVANE_ID_CONFIG_ON), 0);
    ASSERT_TRUE(wait_for_reply(KORVANE_ID_CONFIG_ON));
    EXPECT_EQ(last(events_.events(), KORVANE_ID_CONFIG_ON, 0)->as<korvane_lamp_colours>().module[5].inactive, 3);
}

TEST_F(SimLink, MetersArriveAtTheSetRate)
{
    for (double rate : {25.0, 40.0}) {
        SCOPED_TRACE(rate);
        open({"--rate", std::to_string(rate)});
        // The sim starts sending once it has heard the library.
        ASSERT_TRUE(
            events_.wait_for([](const std::vector<Received> &r) { return count(r, KORVANE_ID_METERS) > 0; }, 3000));
        events_.clear();
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const std::vector<Received> got = events_.events();
        const double measured = static_cast<double>(count(got, KORVANE_ID_METERS)) / elapsed;
        EXPECT_NEAR(measured, rate, rate * 0.2);
        for (const Received &r : got) {
            if (r.id != KORVANE_ID_METERS)
                continue;
            EXPECT_EQ(r.kind, 1);
            for (size_t i = 0; i < 6; ++i) {
                EXPECT_GE(r.level(i), -50.0f);
                EXPECT_LE(r.level(i), 5.0f);
            }
        }
        TearDown();
    }
}

TEST_F(SimLink, NoMetersScenarioAnswersButSendsNoMeters)
{
    open({"--scenario", "no-meters"});
    ASSERT_EQ(korvane_request(handle_, KORVANE_ID_MIC_ON), 0);
    ASSERT_TRUE(wait_for_reply(KORVANE_ID_MIC_ON));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(count(events_.events(), KORVANE_ID_METERS), 0u);
}

TEST_F(SimLink, DropoutsGoSilentLongEnoughToGoOfflineAndComeBack)
{
    open({"--scenario", "dropouts", "--rate", "25"});
    // The first dropout starts eight seconds in and lasts four and a half.
    const bool resumed = events_.wait_for(
        [](const std::vector<Received> &r) {
            for (std::size_t i = 1; i < r.size(); ++i)
                if (r[i].id == KORVANE_ID_METERS && r[i].at - r[i - 1].at > std::chrono::milliseconds(3200))
                    return true;
            return false;
        },
        16000);
    EXPECT_TRUE(resumed) << "no silence of more than three seconds followed by meters";
}

TEST_F(SimLink, GarbageDoesNotStopTheSimulator)
{
    open({});
    ASSERT_TRUE(events_.wait_for([](const std::vector<Received> &r) { return count(r, KORVANE_ID_METERS) > 0; }, 3000));
    kt::UdpPeer stranger;
    for (int i = 0; i < 200; ++i) {
        kt::Bytes noise(static_cast<std::size_t>(i % 40));
        for (std::size_t k = 0; k < noise.size(); ++k)
            noise[k] = k < 2 && i % 3 == 0 ? 0xA0 : static_cast<uint8_t>((i * 131 + k * 17) & 0xFF);
        stranger.send_to(sim_.port(), noise);
    }
    events_.clear();
    ASSERT_EQ(korvane_request(handle_, KORVANE_ID_FADER), 0);
    EXPECT_TRUE(wait_for_reply(KORVANE_ID_FADER));
    EXPECT_TRUE(events_.wait_for([](const std::vector<Received> &r) { return count(r, KORVANE_ID_METERS) > 5; }, 3000));
    EXPECT_TRUE(sim_.running());
}

TEST_F(SimLink, VerbosePrintsEveryCommandItReceives)
{
    open({"--verbose"});
    ASSERT_EQ(korvane_request(handle_, KORVANE_ID_MODULE_SOURCE), 0);
    ASSERT_EQ(korvane_remote_on(handle_, 3, 2), 0);
    ASSERT_EQ(korvane_remote_non_stop(handle_, 2), 0);
    ASSERT_EQ(korvane_config_on(handle_, 1, 2, 1, 0), 0);
    ASSERT_EQ(korvane_config_silence_detection(handle_, -50, 7, 0, 0, 1), 0);
    ASSERT_TRUE(events_.wait_for(
        [](const std::vector<Received> &r) { return last(r, KORVANE_ID_CONFIG_SILENCE_DETECTION, 1) != nullptr; },
        3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));  // at least one keep-alive
    korvane_close(handle_);
    handle_ = nullptr;
    const Finished f = sim_.stop(SIGTERM);
    EXPECT_EQ(f.exit_code, 0);
    for (const char *line : {"request 36 (module source)", "command 5 (remote on): 3, 2",
                             "command 10 (remote non-stop): 2", "command 26 (config on lamp colours): 1, 2, 1, 0",
                             "command 28 (config silence detection): 206, 7, 0, 0, 1", "keep-alive"})
        EXPECT_NE(f.out.find(line), std::string::npos) << line << "\n" << f.out;
}
