// Scenarios, meter motion and the command line, run on a simulated clock.
#include "messages.h"
#include "meter_motion.h"
#include "options.h"
#include "simulation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace ksim;

namespace {

struct Timeline {
    std::map<uint8_t, std::vector<std::pair<double, Datagram>>> events;  // by message number
    std::vector<double> meter_times;
};

// Runs the simulation from t=0 to `until` in steps of `dt`.
Timeline run(Simulation &sim, double until, double dt = 0.01)
{
    Timeline tl;
    for (double t = 0.0; t <= until; t += dt) {
        Output out;
        sim.advance(t, out);
        for (const Datagram &dg : out.datagrams) {
            EXPECT_EQ(dg[3] & 0xC0, 0xC0);
            const uint8_t number = dg[3] & 0x3F;
            if (number == msg::kMeters)
                tl.meter_times.push_back(t);
            else
                tl.events[number].push_back({t, dg});
        }
    }
    return tl;
}

// Time of the first event `number` whose byte `offset` has `value`.
double first(const Timeline &tl, uint8_t number, int offset, uint8_t value)
{
    auto it = tl.events.find(number);
    if (it == tl.events.end())
        return -1.0;
    for (const auto &e : it->second)
        if (e.second[offset] == value)
            return e.first;
    return -1.0;
}

Datagram request(uint8_t number)
{
    return Datagram{0xA0, 0xA0, 0x00, static_cast<uint8_t>(0x40 | number), 0, 0, 0, 0, 0, 0, 0, 0};
}

}  // namespace

TEST(SimScenario, StudioLivesOnItsOwn)
{
    Simulation sim(ScenarioKind::Studio, 25.0, 7);
    ASSERT_EQ(sim.state().voice_track[1], 1);
    ASSERT_EQ(sim.state().on_air1, 1);
    const Timeline tl = run(sim, 75.0);

    // 25 meter events a second.
    EXPECT_NEAR(static_cast<double>(tl.meter_times.size()), 75.0 * 25.0, 30.0);

    const double mic = first(tl, msg::kMicOn, 4, 1);
    EXPECT_NEAR(mic, StudioScript::kMicFirstOn, 0.15);
    EXPECT_NEAR(first(tl, msg::kMicOn, 4, 0), StudioScript::kMicFirstOn + StudioScript::kMicOnFor, 0.15);
    EXPECT_NEAR(first(tl, msg::kPhone, 4, 1), StudioScript::kPhoneFirst, 0.15);
    EXPECT_NEAR(first(tl, msg::kPhone, 4, 0), StudioScript::kPhoneFirst + StudioScript::kPhoneFor, 0.15);
    EXPECT_NEAR(first(tl, msg::kOnAir, 5, 1), StudioScript::kOnAir2From, 0.15);

    // Dead air raises the silence alarm after the detection interval, and
    // the programme coming back clears it.
    const double alarm = first(tl, msg::kSilence, 4, 1);
    const double interval = sim.state().silence_config.interval;
    EXPECT_GT(alarm, StudioScript::kDeadAirFirst + interval - 0.5);
    EXPECT_LT(alarm, StudioScript::kDeadAirFirst + interval + 1.0);
    const double cleared = first(tl, msg::kSilence, 4, 0);
    EXPECT_GT(cleared, StudioScript::kDeadAirFirst + StudioScript::kDeadAirFor - 0.5);
    EXPECT_LT(cleared, StudioScript::kDeadAirFirst + StudioScript::kDeadAirFor + 5.0);
}

TEST(SimScenario, ClientCommandsStandUntilTheScriptMoves)
{
    Simulation sim(ScenarioKind::Studio, 25.0, 1);
    Output out;
    sim.advance(5.0, out);
    ASSERT_EQ(sim.state().mic_on, 1);
    const Datagram off = {0xA0, 0xA0, 4, 5, 0, 0, 0, 0, 0, 0, 0, 0};
    out = Output();
    sim.receive(off.data(), off.size(), 5.0, out);
    EXPECT_EQ(sim.state().module_on[0], 0);
    EXPECT_EQ(sim.state().mic_on, 0);
    ASSERT_EQ(out.datagrams.size(), 2u);
    EXPECT_EQ(out.datagrams[0][3], 0xC0 | msg::kModuleOn);
    EXPECT_EQ(out.datagrams[1][3], 0xC0 | msg::kMicOn);
    out = Output();
    sim.advance(10.0, out);
    EXPECT_EQ(sim.state().module_on[0], 0) << "the script must not undo a client's command";
}

TEST(SimScenario, NoMetersStillAnswers)
{
    Simulation sim(ScenarioKind::NoMeters, 25.0, 3);
    const Timeline tl = run(sim, 10.0);
    EXPECT_TRUE(tl.meter_times.empty());
    EXPECT_FALSE(tl.events.empty()) << "the studio still changes";
    Output out;
    const Datagram rq = request(msg::kModuleOn);
    sim.receive(rq.data(), rq.size(), 10.0, out);
    ASSERT_EQ(out.datagrams.size(), 1u);
    EXPECT_EQ(out.datagrams[0][3], 0x80 | msg::kModuleOn);
}

TEST(SimScenario, DropoutsSilenceTheLinkForLongerThanTheOfflineTimeout)
{
    Simulation sim(ScenarioKind::Dropouts, 25.0, 5);
    const Timeline tl = run(sim, 45.0);
    std::vector<std::pair<double, double>> gaps;
    for (std::size_t i = 1; i < tl.meter_times.size(); ++i)
        if (tl.meter_times[i] - tl.meter_times[i - 1] > 0.5)
            gaps.push_back({tl.meter_times[i - 1], tl.meter_times[i]});
    ASSERT_EQ(gaps.size(), 3u);
    for (const auto &g : gaps) {
        EXPECT_GT(g.second - g.first, 3.5);
        EXPECT_LT(g.second - g.first, 6.0);
    }
    EXPECT_NEAR(gaps[0].first, StudioScript::kDropoutFirst, 0.1);

    // While the link is down nothing is answered.
    const double down = StudioScript::kDropoutFirst + 1.0;
    ASSERT_TRUE(sim.link_down(down));
    Output out;
    const Datagram rq = request(msg::kFirmware);
    sim.receive(rq.data(), rq.size(), down, out);
    EXPECT_TRUE(out.datagrams.empty());
    sim.receive(rq.data(), rq.size(), down + StudioScript::kDropoutFor, out);
    EXPECT_EQ(out.datagrams.size(), 1u);
}

TEST(SimScenario, MetersKeepTheirRateWhenWokenLate)
{
    auto meters_in = [](const Output &out) {
        return std::count_if(out.datagrams.begin(), out.datagrams.end(),
                             [](const Datagram &d) { return d[3] == 0xF0; });
    };
    Simulation sim(ScenarioKind::Studio, 50.0, 2);
    Output out;
    sim.advance(0.0, out);
    // Woken 50 ms late: the missed events go out with the due one.
    out = Output();
    sim.advance(0.07, out);
    EXPECT_EQ(meters_in(out), 3);
    EXPECT_NEAR(sim.next_deadline(), 0.08, 1e-9);

    // Held up for three seconds: no burst of the missed events.
    out = Output();
    sim.advance(3.07, out);
    EXPECT_EQ(meters_in(out), 1);
    EXPECT_NEAR(sim.next_deadline(), 3.09, 0.011);
}

TEST(SimMeterMotion, LooksLikeProgrammeOnAPpm)
{
    MeterMotion motion(11);
    const double dt = 0.02;
    int quiet = 0, near_full_scale = 0, fast_rises = 0, ticks = 0;
    double loudest = -100.0, previous = MeterMotion::kFloorDb, largest_fall = 0.0;
    for (double t = 0.0; t < 120.0; t += dt, ++ticks) {
        const auto l = motion.step(dt, false);
        for (double v : l) {
            EXPECT_GE(v, MeterMotion::kFloorDb);
            EXPECT_LE(v, 5.0);
        }
        EXPECT_LE(l[4], l[0]) << "control room follows the programme";
        EXPECT_LE(std::abs(l[0] - l[1]), 6.5) << "left and right stay together";
        loudest = std::max(loudest, l[0]);
        if (l[0] < -45.0)
            ++quiet;
        if (l[0] > -3.0)
            ++near_full_scale;
        if (l[0] - previous > 10.0)
            ++fast_rises;
        largest_fall = std::max(largest_fall, previous - l[0]);
        previous = l[0];
    }
    EXPECT_GT(loudest, -1.5);
    EXPECT_GT(near_full_scale, ticks / 50) << "peaks reach the top of the scale";
    EXPECT_GT(quiet, ticks / 100) << "there are pauses";
    EXPECT_LT(quiet, ticks / 3);
    EXPECT_GT(fast_rises, 20) << "attacks jump up within one step";

    motion.hold_silence(2.0);
    for (double t = 0.0; t < 2.0; t += dt) {
        const auto l = motion.step(dt, true);
        if (t > 0.5) {
            EXPECT_EQ(l[0], MeterMotion::kFloorDb);
        }
        EXPECT_EQ(l[4], MeterMotion::kFloorDb) << "CRM muted";
    }
}

namespace {

ParseResult parse(std::vector<const char *> args, Options &o)
{
    args.insert(args.begin(), "korvane-sim");
    return parse_options(static_cast<int>(args.size()), args.data(), o);
}

}  // namespace

TEST(SimOptions, ParsesEveryOption)
{
    Options o;
    ASSERT_TRUE(parse({}, o).ok);
    EXPECT_EQ(o.listen_port, 18153);
    EXPECT_EQ(o.listen_host, "127.0.0.1");
    EXPECT_FALSE(o.fixed_target);
    EXPECT_EQ(o.rate, 25.0);
    EXPECT_EQ(o.scenario, ScenarioKind::Studio);
    EXPECT_EQ(o.duration, 0.0);
    EXPECT_FALSE(o.verbose);

    o = Options();
    ASSERT_TRUE(parse({"--listen", "0", "--target", "localhost:4000", "--rate=12.5", "--scenario", "dropouts",
                       "--duration", "2.5", "--verbose"},
                      o)
                    .ok);
    EXPECT_EQ(o.listen_port, 0);
    EXPECT_TRUE(o.fixed_target);
    EXPECT_EQ(o.target_host, "localhost");
    EXPECT_EQ(o.target_port, 4000);
    EXPECT_EQ(o.rate, 12.5);
    EXPECT_EQ(o.scenario, ScenarioKind::Dropouts);
    EXPECT_EQ(o.duration, 2.5);
    EXPECT_TRUE(o.verbose);

    o = Options();
    ASSERT_TRUE(parse({"--listen=0.0.0.0:18200", "--scenario=no-meters", "--help"}, o).ok);
    EXPECT_EQ(o.listen_host, "0.0.0.0");
    EXPECT_EQ(o.listen_port, 18200);
    EXPECT_EQ(o.scenario, ScenarioKind::NoMeters);
    EXPECT_TRUE(o.help);
}

TEST(SimOptions, RejectsBadValuesWithAMessage)
{
    const std::vector<std::vector<const char *>> bad = {
        {"--listen", "70000"},
        {"--listen", "-1"},
        {"--listen", "abc"},
        {"--listen"},
        {"--listen", ":5"},
        {"--target", "4000"},
        {"--target", "host:0"},
        {"--target", "host:"},
        {"--rate", "0"},
        {"--rate", "-5"},
        {"--rate", "25x"},
        {"--rate", "nan"},
        {"--rate", "5000"},
        {"--scenario", "party"},
        {"--duration", "0"},
        {"--duration", "soon"},
        {"--frobnicate"},
        {"--verbose=yes"},
        {"extra"},
    };
    for (const auto &args : bad) {
        Options o;
        const ParseResult r = parse(args, o);
        EXPECT_FALSE(r.ok) << args[0];
        EXPECT_FALSE(r.error.empty()) << args[0];
    }
}
