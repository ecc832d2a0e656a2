#include "sim_loop.h"

#include "clients.h"
#include "messages.h"
#include "protocol.h"
#include "simulation.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace ksim {

namespace {

int g_signal_pipe[2] = {-1, -1};

extern "C" void on_stop_signal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Nothing to do if the pipe is full: a stop is already pending.
    ssize_t ignored = write(g_signal_pipe[1], &byte, 1);
    (void)ignored;
    errno = saved;
}

bool install_signal_pipe()
{
    if (pipe(g_signal_pipe) != 0)
        return false;
    for (int fd : g_signal_pipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_stop_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &sa, nullptr) == 0 && sigaction(SIGTERM, &sa, nullptr) == 0;
}

bool resolve_ipv4(const std::string &host, uint16_t port, sockaddr_in &out)
{
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    std::memcpy(&out, found->ai_addr, sizeof out);
    out.sin_port = htons(port);
    freeaddrinfo(found);
    return true;
}

std::string address_text(const sockaddr_in &a)
{
    char host[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(a.sin_port));
}

class Clock
{
public:
    double now() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

struct Counters {
    unsigned long received = 0;
    unsigned long invalid = 0;
    unsigned long sent = 0;
    unsigned long meters = 0;
    unsigned long send_errors = 0;
};

void print_notes(const Output &out, double now)
{
    for (const std::string &note : out.notes)
        std::printf("%9.3f    %s\n", now, note.c_str());
    if (!out.notes.empty())
        std::fflush(stdout);
}

}  // namespace

int run_simulator(const Options &options)
{
    sockaddr_in listen_addr;
    if (!resolve_ipv4(options.listen_host, options.listen_port, listen_addr)) {
        std::fprintf(stderr, "korvane-sim: cannot resolve listen host '%s'\n", options.listen_host.c_str());
        return kExitUsage;
    }
    sockaddr_in target;
    std::memset(&target, 0, sizeof target);
    const bool have_target = options.fixed_target;
    if (have_target && !resolve_ipv4(options.target_host, options.target_port, target)) {
        std::fprintf(stderr, "korvane-sim: cannot resolve target host '%s'\n", options.target_host.c_str());
        return kExitUsage;
    }

    const int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0) {
        std::fprintf(stderr, "korvane-sim: socket: %s\n", std::strerror(errno));
        return kExitFailure;
    }
    if (bind(sock, reinterpret_cast<const sockaddr *>(&listen_addr), sizeof listen_addr) != 0) {
        std::fprintf(stderr, "korvane-sim: cannot listen on %s: %s\n", address_text(listen_addr).c_str(),
                     std::strerror(errno));
        close(sock);
        return kExitFailure;
    }
    socklen_t len = sizeof listen_addr;
    getsockname(sock, reinterpret_cast<sockaddr *>(&listen_addr), &len);

    if (!install_signal_pipe()) {
        std::fprintf(stderr, "korvane-sim: cannot set up signal handling: %s\n", std::strerror(errno));
        close(sock);
        return kExitFailure;
    }

    std::printf("korvane-sim listening on %s port %u, scenario %s, %g meter events per second%s\n",
                options.listen_host.c_str(), ntohs(listen_addr.sin_port), scenario_name(options.scenario), options.rate,
                have_target ? "" : ", waiting for a client");
    if (have_target)
        std::printf("sending to %s\n", address_text(target).c_str());
    std::fflush(stdout);

    Simulation sim(options.scenario, options.rate, std::random_device{}());
    Clock clock;
    Counters counters;

    Clients clients;
    auto send_to = [&](const sockaddr_in &to, const Datagram &dg) {
        const ssize_t n = sendto(sock, dg.data(), dg.size(), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
        if (n == static_cast<ssize_t>(dg.size())) {
            ++counters.sent;
            counters.meters += dg[3] == (static_cast<uint8_t>(Kind::Event) | msg::kMeters);
        } else {
            ++counters.send_errors;
        }
    };
    auto send_all = [&](const Output &out) {
        for (const Datagram &dg : out.datagrams) {
            if (have_target) {
                send_to(target, dg);
                continue;
            }
            for (const Clients::Client &c : clients.current())
                send_to(c.address, dg);
        }
    };

    bool running = true;
    while (running) {
        double now = clock.now();
        if (options.duration > 0.0 && now >= options.duration)
            break;

        for (const sockaddr_in &gone : clients.expire(now))
            if (options.verbose)
                std::printf("%9.3f    client %s silent for %g s, no longer served\n", now, address_text(gone).c_str(),
                            kClientLifetime);

        Output ticked;
        sim.advance(now, ticked);
        send_all(ticked);
        if (options.verbose)
            print_notes(ticked, now);

        double wake = sim.next_deadline();
        if (options.duration > 0.0 && options.duration < wake)
            wake = options.duration;
        const double wait = wake - clock.now();
        const int timeout_ms = wait <= 0.0 ? 0 : static_cast<int>(std::ceil(std::min(wait, 1.0) * 1000.0));

        pollfd fds[2] = {{sock, POLLIN, 0}, {g_signal_pipe[0], POLLIN, 0}};
        const int ready = poll(fds, 2, timeout_ms);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "korvane-sim: poll: %s\n", std::strerror(errno));
            break;
        }
        if (fds[1].revents != 0)
            running = false;
        if (!(fds[0].revents & POLLIN))
            continue;

        // Drain what has arrived, but give the meters a turn now and then.
        for (int burst = 0; burst < 64; ++burst) {
            uint8_t buffer[64];
            sockaddr_in from;
            socklen_t from_len = sizeof from;
            const ssize_t n = recvfrom(sock, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC,
                                       reinterpret_cast<sockaddr *>(&from), &from_len);
            if (n < 0)
                break;
            ++counters.received;
            now = clock.now();
            const std::size_t size = static_cast<std::size_t>(n);
            Output answer;
            const Incoming in = sim.receive(buffer, size, now, answer);
            if (in.type == Incoming::Type::Invalid)
                ++counters.invalid;
            // Only what a client sends (requests, commands, keep-alives)
            // makes its sender a client: stray traffic gets no meter stream.
            // Clients heard during a dropout stay, so the meters resume at once.
            const bool from_client = in.type == Incoming::Type::Request || in.type == Incoming::Type::Command ||
                                     in.type == Incoming::Type::KeepAlive;
            const Clients::Heard heard = !have_target && from_client ? clients.heard(from, now) : Clients::Heard::Known;
            if (heard != Clients::Heard::Known && options.verbose)
                std::printf("%9.3f    new client %s%s\n", now, address_text(from).c_str(),
                            heard == Clients::Heard::New ? "" : " in place of the one silent longest");
            if (options.verbose) {
                std::printf("%9.3f rx %s %s\n", now, address_text(from).c_str(), describe(in, buffer, size).c_str());
                print_notes(answer, now);
            }
            send_all(answer);
        }
        if (options.verbose)
            std::fflush(stdout);
    }

    std::printf("korvane-sim stopped after %.1f s: %lu datagrams received (%lu not protocol), "
                "%lu sent (%lu meter events)\n",
                clock.now(), counters.received, counters.invalid, counters.sent, counters.meters);
    if (counters.send_errors > 0)
        std::fprintf(stderr, "korvane-sim: %lu datagrams could not be sent\n", counters.send_errors);
    std::fflush(stdout);
    close(sock);
    return kExitOk;
}

}  // namespace ksim
