// The korvane-sim program itself: command line, exit codes, signals and
// what it does with stray datagrams, talked to over raw loopback sockets.
#include "clients.h"
#include "sim_process.h"
#include "loopback.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

using namespace simtest;
using kt::Bytes;
using kt::datagram;
using kt::UdpPeer;

TEST(SimProgram, BadValuesExitWithTwoAndSayWhy)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--rate", "0"},         {"--rate", "fast"},   {"--listen", "99999"}, {"--scenario", "concert"},
        {"--target", "nowhere"}, {"--duration", "-3"}, {"--bogus"},           {"--listen", "127.0.0.1:"},
    };
    for (const auto &args : bad) {
        const Finished f = run_sim(args);
        EXPECT_EQ(f.exit_code, 2) << args[0];
        EXPECT_NE(f.err.find("korvane-sim: "), std::string::npos) << f.err;
        EXPECT_TRUE(f.out.empty()) << f.out;
    }
    const Finished f = run_sim({"--scenario", "concert"});
    EXPECT_NE(f.err.find("concert"), std::string::npos) << f.err;

    const Finished help = run_sim({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    for (const char *option : {"--listen", "--target", "--rate", "--scenario", "--duration", "--verbose", "--version"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;

    const Finished version = run_sim({"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out.rfind("korvane-sim 1.", 0), 0u) << version.out;
}

TEST(SimProgram, StopsCleanlyOnSigtermAndSigint)
{
    for (int sig : {SIGTERM, SIGINT}) {
        SimProcess sim;
        std::string error;
        ASSERT_TRUE(sim.start({"--listen", "0"}, &error)) << error;
        EXPECT_GT(sim.port(), 0);
        // The sim answers, so it is running its loop.
        UdpPeer peer;
        peer.send_to(sim.port(), datagram(0x41));
        EXPECT_EQ(peer.receive_header(0x81, 2000).size(), 12u);
        const Finished f = sim.stop(sig);
        EXPECT_EQ(f.exit_code, 0) << "signal " << sig << ": " << f.err;
        EXPECT_NE(f.out.find("stopped"), std::string::npos) << f.out;
    }
}

TEST(SimProgram, DurationEndsTheRun)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--listen", "0", "--duration", "0.3"}));
    const Finished f = sim.wait(5.0);
    EXPECT_EQ(f.exit_code, 0) << f.err;
}

TEST(SimProgram, ListenPortInUseIsAnError)
{
    UdpPeer taken;
    const Finished f = run_sim({"--listen", std::to_string(taken.port())});
    EXPECT_EQ(f.exit_code, 1);
    EXPECT_NE(f.err.find("cannot listen"), std::string::npos) << f.err;
}

TEST(SimProgram, FixedTargetGetsMetersUnasked)
{
    UdpPeer display;
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--listen", "0", "--target", "127.0.0.1:" + std::to_string(display.port())}));
    EXPECT_EQ(display.receive_header(0xF0, 2000).size(), 12u);

    // Replies go to the fixed target, not to whoever asked.
    UdpPeer other;
    other.send_to(sim.port(), datagram(0x41));
    EXPECT_EQ(display.receive_header(0x81, 2000).size(), 12u);
    Bytes unexpected;
    EXPECT_FALSE(other.receive(unexpected, 300));
    EXPECT_EQ(sim.stop(SIGTERM).exit_code, 0);
}

TEST(SimProgram, ServesEveryClientSideBySide)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--listen", "0", "--rate", "100"}));
    UdpPeer display, monitor;
    display.send_to(sim.port(), datagram(0x41, {}, 0x4B));
    monitor.send_to(sim.port(), datagram(0x41, {}, 0x4B));
    // Each gets the whole meter stream, not a share of it: count a burst.
    for (const UdpPeer *client : {&display, &monitor}) {
        int meters = 0;
        for (int i = 0; i < 20; ++i)
            meters += client->receive_header(0xF0, 1000).size() == 12u;
        EXPECT_EQ(meters, 20);
    }
    // A reply to one is heard by the other too.
    monitor.send_to(sim.port(), datagram(0x41));
    EXPECT_EQ(display.receive_header(0x81, 2000).size(), 12u);
    EXPECT_EQ(monitor.receive_header(0x81, 2000).size(), 12u);
    EXPECT_EQ(sim.stop(SIGTERM).exit_code, 0);
}

TEST(SimProgram, ClientsLapseAfterThreeSilentSecondsAndAreBounded)
{
    sockaddr_in a{}, b{};
    a.sin_addr.s_addr = b.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(40000);
    b.sin_port = htons(40001);
    using H = ksim::Clients::Heard;
    ksim::Clients clients;
    EXPECT_EQ(clients.heard(a, 0.0), H::New);
    EXPECT_EQ(clients.heard(a, 2.0), H::Known);  // the same one again
    EXPECT_EQ(clients.heard(b, 2.5), H::New);
    EXPECT_TRUE(clients.expire(5.0).empty());
    const auto gone = clients.expire(5.1);
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0].sin_port, a.sin_port);
    ASSERT_EQ(clients.current().size(), 1u);
    EXPECT_EQ(clients.current()[0].address.sin_port, b.sin_port);

    // A flood of senders is served only up to the bound, the latest always;
    // b, silent longest, makes room.
    for (uint16_t port = 1; port <= ksim::kMaxClients; ++port) {
        a.sin_port = htons(port);
        clients.heard(a, 3.0 + port / 100.0);
    }
    EXPECT_EQ(clients.current().size(), ksim::kMaxClients);
    const auto &current = clients.current();
    EXPECT_TRUE(std::none_of(current.begin(), current.end(),
                             [&](const ksim::Clients::Client &c) { return c.address.sin_port == b.sin_port; }));
    EXPECT_EQ(clients.heard(a, 4.0), H::Known);
}

TEST(SimProgram, StrayDatagramsNeitherStopItNorDivertIt)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--listen", "0", "--verbose"}));
    UdpPeer client;
    client.send_to(sim.port(), datagram(0x41, {}, 0x4B));  // keep-alive: accepted silently
    ASSERT_EQ(client.receive_header(0xF0, 2000).size(), 12u);

    UdpPeer stranger;
    const std::vector<Bytes> garbage = {
        {},
        {0xA0},
        {0xA0, 0xA0, 0x00, 0x41, 0, 0, 0, 0, 0, 0, 0},        // 11 bytes
        {0xA0, 0xA0, 0x00, 0x41, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // 13 bytes
        {0xA0, 0xA1, 0x00, 0x41, 0, 0, 0, 0, 0, 0, 0, 0},     // wrong marker
        Bytes(1400, 0xA0),
    };
    for (int round = 0; round < 20; ++round)
        for (const auto &g : garbage)
            stranger.send_to(sim.port(), g);
    // Messages a client has no business sending, and unknown numbers.
    stranger.send_to(sim.port(), datagram(0xE0, {1, 1, 1, 1, 1, 1, 1, 1}, 0x0A));  // an event
    client.send_to(sim.port(), datagram(0x7F));                                    // request 63
    client.send_to(sim.port(), datagram(0x3F, {}, 0x02));                          // command 63
    client.send_to(sim.port(), datagram(0x05, {0xFF, 0x02}, 0x04));                // module 255

    // Still answering, and the meters still go to the client.
    client.send_to(sim.port(), datagram(0x60));
    EXPECT_EQ(client.receive_header(0xA0, 2000).size(), 12u);
    EXPECT_EQ(client.receive_header(0xF0, 2000).size(), 12u);
    Bytes unexpected;
    EXPECT_FALSE(stranger.receive(unexpected, 300));

    const Finished f = sim.stop(SIGTERM);
    EXPECT_EQ(f.exit_code, 0);
    EXPECT_NE(f.out.find("not a protocol datagram (1400 bytes)"), std::string::npos);
    EXPECT_NE(f.out.find("not a protocol datagram (0 bytes)"), std::string::npos);
    EXPECT_NE(f.out.find("event 32 from a client (ignored)"), std::string::npos);
    EXPECT_NE(f.out.find("no reply 63"), std::string::npos);
    EXPECT_NE(f.out.find("no command 63"), std::string::npos);
    EXPECT_NE(f.out.find("module 255 out of range"), std::string::npos);
}

TEST(SimProgram, DiesWithATestThatIsKilled)
{
    // A test process that dies without running any destructor, as one that
    // aborts or is killed by a time-out does: its simulator must not outlive it.
    int link[2];
    ASSERT_EQ(pipe(link), 0);
    const pid_t test = fork();
    ASSERT_GE(test, 0);
    if (test == 0) {
        close(link[0]);
        SimProcess sim;
        const pid_t pid = sim.start({"--listen", "0"}) ? sim.pid() : -1;
        if (write(link[1], &pid, sizeof pid) != sizeof pid)
            _exit(1);
        raise(SIGKILL);
    }
    close(link[1]);
    pid_t sim = -1;
    const bool told = read(link[0], &sim, sizeof sim) == sizeof sim;
    close(link[0]);
    int status = 0;
    waitpid(test, &status, 0);
    ASSERT_TRUE(told);
    ASSERT_GT(sim, 0);

    // Gone, or a zombie waiting for whoever adopted it.
    auto alive = [sim] {
        std::ifstream stat("/proc/" + std::to_string(sim) + "/stat");
        std::string pid, name, state;
        return stat >> pid >> name >> state && state != "Z";
    };
    for (int i = 0; i < 200 && alive(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool outlived = alive();
    if (outlived)
        kill(sim, SIGKILL);
    EXPECT_FALSE(outlived);
}
