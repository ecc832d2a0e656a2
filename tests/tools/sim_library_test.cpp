// The korvane library against the running korvane-sim over loopback: every
// request answered, commands coming back as events, meters at the set rate,
// and the scenarios that take the mixer offline.
#include "korvane.h"
#include "sim_process.h"
#include "udp_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <functional>
#include <mutex>
#include <thread>

using namespace simtest;
using Clock = std::chrono::steady_clock;

namespace {

struct Record {
    int id = -1;
    int kind = -1;
    std::vector<int> values;  // int32 / uint8 blocks, widened
    korvane_firmware firmware{};
    korvane_lamp_colours lamps{};
    korvane_silence silence{};
    korvane_gpo gpo{};
    uint16_t value16 = 0;
    float meters[6] = {};
    Clock::time_point at;
};

// Number of int32 values in the block of each id (uint8 blocks listed apart).
int int_count(int id)
{
    switch (id) {
    case 70: case 81: case 101: case 102: case 105: case 107: case 112: case 113: return 1;
    case 99: case 103: case 104: return 2;
    case 67: case 68: case 76: case 77: case 109: case 110: return 3;
    case 97: return 11;
    case 72: return 22;
    case 64: case 74: case 78: case 79: case 96: case 98: case 100: case 106: case 108: case 111: return 8;
    default: return 0;
    }
}

int byte_count(int id)
{
    switch (id) {
    case 65: case 66: case 80: return 8;
    case 69: return 3;
    default: return 0;
    }
}

class Collector {
public:
    static int callback(const korvane_event *event, void *userdata)
    {
        static_cast<Collector *>(userdata)->add(*event);
        return 0;
    }

    // Waits until `done` holds for the records so far, at most `timeout_ms`.
    bool wait_for(const std::function<bool(const std::vector<Record> &)> &done, int timeout_ms)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return done(records_); });
    }

    std::vector<Record> snapshot()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return records_;
    }

    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        records_.clear();
    }

private:
    void add(const korvane_event &e)
    {
        Record r;
        r.id = e.id;
        r.kind = e.kind;
        r.at = Clock::now();
        if (const int n = int_count(e.id))
            r.values.assign(static_cast<const int32_t *>(e.data), static_cast<const int32_t *>(e.data) + n);
        if (const int n = byte_count(e.id))
            r.values.assign(static_cast<const uint8_t *>(e.data), static_cast<const uint8_t *>(e.data) + n);
        switch (e.id) {
        case KORVANE_ID_FIRMWARE_VERSION: r.firmware = *static_cast<const korvane_firmware *>(e.data); break;
        case KORVANE_ID_CONFIG_ON: r.lamps = *static_cast<const korvane_lamp_colours *>(e.data); break;
        case KORVANE_ID_CONFIG_SILENCE_DETECTION: r.silence = *static_cast<const korvane_silence *>(e.data); break;
        case KORVANE_ID_CONFIG_GPO: r.gpo = *static_cast<const korvane_gpo *>(e.data); break;
        case 34: r.value16 = *static_cast<const uint16_t *>(e.data); break;
        case KORVANE_ID_METERS:
            for (int i = 0; i < 6; ++i)
                r.meters[i] = static_cast<const float *>(e.data)[i];
            break;
        default: break;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        records_.push_back(r);
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Record> records_;
};

// The last record with `id` (and `kind`, if not -1); null when none.
const Record *last(const std::vector<Record> &records, int id, int kind = -1)
{
    for (auto it = records.rbegin(); it != records.rend(); ++it)
        if (it->id == id && (kind < 0 || it->kind == kind))
            return &*it;
    return nullptr;
}

std::size_t count(const std::vector<Record> &records, int id)
{
    std::size_t n = 0;
    for (const Record &r : records)
        n += r.id == id;
    return n;
}

// korvane-sim on a free port with one library handle talking to it.
class SimLink : public ::testing::Test {
protected:
    void open(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--listen", "0"});
        std::string error;
        ASSERT_TRUE(sim_.start(args, &error)) << error;
        // The receive port is picked free just before; retry if it was taken meanwhile.
        for (int attempt = 0; attempt < 5 && handle_ == nullptr; ++attempt)
            handle_ = korvane_open("127.0.0.1", free_udp_port(), sim_.port());
        ASSERT_NE(handle_, nullptr);
        ASSERT_EQ(korvane_register_callback(handle_, &Collector::callback, &events_), 0);
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
        return events_.wait_for([&](const std::vector<Record> &r) { return last(r, reply_id, 0) != nullptr; },
                                timeout_ms);
    }

    SimProcess sim_;
    korvane_handle handle_ = nullptr;
    Collector events_;
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
        [&](const std::vector<Record> &r) {
            for (const auto &a : asked)
                if (last(r, a.second, 0) == nullptr)
                    return false;
            return true;
        },
        5000);
    const std::vector<Record> got = events_.snapshot();
    for (const auto &a : asked)
        EXPECT_NE(last(got, a.second, 0), nullptr) << "no reply to request " << a.first;
    ASSERT_TRUE(all);

    // The replies carry the studio's state.
    EXPECT_STREQ(last(got, 0)->firmware.text, "VXN Korvane Firmware v3.2.7");
    EXPECT_EQ(last(got, KORVANE_ID_MODULE_ON, 0)->values, (std::vector<int>{0, 1, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(last(got, KORVANE_ID_MODULE_SOURCE, 0)->values, (std::vector<int>{1, 1, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(last(got, KORVANE_ID_VOICE_TRACK, 0)->values[1], 1);
    EXPECT_EQ(last(got, KORVANE_ID_ON_AIR, 0)->values[0], 1);
    const korvane_lamp_colours &lamps = last(got, KORVANE_ID_CONFIG_ON, 0)->lamps;
    EXPECT_EQ(lamps.module[0].active, 1);
    EXPECT_EQ(lamps.module[0].active_and_fader, 1);
    EXPECT_EQ(lamps.module[2].active, 2);
    EXPECT_EQ(lamps.module[7].inactive, 0);
    EXPECT_EQ(last(got, KORVANE_ID_CONFIG_SILENCE_DETECTION, 0)->silence.threshold, -40);
    EXPECT_EQ(last(got, 34, 0)->value16, 0x0100);
}

TEST_F(SimLink, RemoteOnTogglesTheModuleAndTheEventComesBack)
{
    open({});
    ASSERT_EQ(korvane_request(handle_, KORVANE_ID_MODULE_ON), 0);
    ASSERT_TRUE(wait_for_reply(KORVANE_ID_MODULE_ON));
    const int before = last(events_.snapshot(), KORVANE_ID_MODULE_ON, 0)->values[4];

    for (int click = 1; click <= 2; ++click) {
        events_.clear();
        ASSERT_EQ(korvane_remote_on(handle_, 4, 2), 0);
        const int expected = click % 2 ? !before : before;
        EXPECT_TRUE(events_.wait_for(
            [&](const std::vector<Record> &r) {
                const Record *e = last(r, KORVANE_ID_MODULE_ON, 1);
                return e != nullptr && e->values[4] == expected;
            },
            3000))
            << "click " << click;
    }

    events_.clear();
    ASSERT_EQ(korvane_remote_non_stop(handle_, 2), 0);
    ASSERT_TRUE(events_.wait_for(
        [](const std::vector<Record> &r) { return last(r, KORVANE_ID_NON_STOP, 1) != nullptr; }, 3000));
    EXPECT_EQ(last(events_.snapshot(), KORVANE_ID_NON_STOP, 1)->values[0], 1);
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
        [](const std::vector<Record> &r) {
            for (int id : {KORVANE_ID_CONFIG_ON, KORVANE_ID_CONFIG_SILENCE_DETECTION, KORVANE_ID_CONFIG_GPO,
                           KORVANE_ID_CONFIG_PGM_AUTO_OFF, KORVANE_ID_TRACK_STATE})
                if (last(r, id, 1) == nullptr)
                    return false;
            return true;
        },
        3000));
    std::vector<Record> got = events_.snapshot();
    const korvane_lamp_colour &lamp = last(got, KORVANE_ID_CONFIG_ON, 1)->lamps.module[5];
    EXPECT_EQ(lamp.active, 2);
    EXPECT_EQ(lamp.active_and_fader, 1);
    EXPECT_EQ(lamp.inactive, 3);
    EXPECT_EQ(last(got, KORVANE_ID_CONFIG_SILENCE_DETECTION, 1)->silence.threshold, -45);
    EXPECT_EQ(last(got, KORVANE_ID_CONFIG_SILENCE_DETECTION, 1)->silence.interval, 12);
    EXPECT_EQ(last(got, KORVANE_ID_CONFIG_GPO, 1)->gpo.gpo[1].param5, 200);
    EXPECT_EQ(last(got, KORVANE_ID_CONFIG_PGM_AUTO_OFF, 1)->values[7], 1);
    EXPECT_EQ(last(got, KORVANE_ID_TRACK_STATE, 1)->values[2], 3);

    // A later request reports the new configuration too.
    events_.clear();
    ASSERT_EQ(korvane_request(handle_, KORVANE_ID_CONFIG_ON), 0);
    ASSERT_TRUE(wait_for_reply(KORVANE_ID_CONFIG_ON));
    EXPECT_EQ(last(events_.snapshot(), KORVANE_ID_CONFIG_ON, 0)->lamps.module[5].inactive, 3);
}

TEST_F(SimLink, MetersArriveAtTheSetRate)
{
    for (double rate : {25.0, 40.0}) {
        SCOPED_TRACE(rate);
        open({"--rate", std::to_string(rate)});
        // The sim starts sending once it has heard the library.
        ASSERT_TRUE(events_.wait_for(
            [](const std::vector<Record> &r) { return count(r, KORVANE_ID_METERS) > 0; }, 3000));
        events_.clear();
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const std::vector<Record> got = events_.snapshot();
        const double measured = static_cast<double>(count(got, KORVANE_ID_METERS)) / elapsed;
        EXPECT_NEAR(measured, rate, rate * 0.2);
        for (const Record &r : got) {
            if (r.id != KORVANE_ID_METERS)
                continue;
            EXPECT_EQ(r.kind, 1);
            for (float level : r.meters) {
                EXPECT_GE(level, -50.0f);
                EXPECT_LE(level, 5.0f);
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
    EXPECT_EQ(count(events_.snapshot(), KORVANE_ID_METERS), 0u);
}

TEST_F(SimLink, DropoutsGoSilentLongEnoughToGoOfflineAndComeBack)
{
    open({"--scenario", "dropouts", "--rate", "25"});
    // The first dropout starts eight seconds in and lasts four and a half.
    const bool resumed = events_.wait_for(
        [](const std::vector<Record> &r) {
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
    ASSERT_TRUE(events_.wait_for(
        [](const std::vector<Record> &r) { return count(r, KORVANE_ID_METERS) > 0; }, 3000));
    UdpPeer stranger;
    uint8_t noise[300];
    for (int i = 0; i < 200; ++i) {
        for (std::size_t k = 0; k < sizeof noise; ++k)
            noise[k] = static_cast<uint8_t>((i * 131 + k * 17) & 0xFF);
        if (i % 3 == 0)
            noise[0] = noise[1] = 0xA0;
        stranger.send(sim_.port(), noise, static_cast<std::size_t>(i % 40));
    }
    events_.clear();
    ASSERT_EQ(korvane_request(handle_, KORVANE_ID_FADER), 0);
    EXPECT_TRUE(wait_for_reply(KORVANE_ID_FADER));
    EXPECT_TRUE(events_.wait_for(
        [](const std::vector<Record> &r) { return count(r, KORVANE_ID_METERS) > 5; }, 3000));
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
        [](const std::vector<Record> &r) { return last(r, KORVANE_ID_CONFIG_SILENCE_DETECTION, 1) != nullptr; },
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
