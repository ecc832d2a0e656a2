// Costs of the korvane library: decoding, sending a command, the way from a
// datagram to the callback (next to a bare receive loop in the same run) and
// closing an idle handle.
#include "korvane_internal.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

int loopback_socket(uint16_t *port)
{
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    *port = ntohs(a.sin_port);
    return fd;
}

uint16_t free_port()
{
    uint16_t p;
    close(loopback_socket(&p));
    return p;
}

void send_to(int fd, uint16_t port, const uint8_t *d, size_t n)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(fd, d, n, 0, reinterpret_cast<sockaddr *>(&a), sizeof a);
}

struct Datagram {
    uint8_t b[12];
};

Datagram make(uint8_t header, std::initializer_list<uint8_t> data)
{
    Datagram d{{0xA0, 0xA0, 0, header, 0, 0, 0, 0, 0, 0, 0, 0}};
    size_t i = 4;
    for (uint8_t x : data)
        d.b[i++] = x;
    return d;
}

// What a mixer sends most: meters, then state changes and configuration.
std::vector<Datagram> typical_traffic()
{
    return {
        make(0xF0, {0x76, 0x00, 0x3F, 0xFF, 0x40, 0x80}),
        make(0xE0, {1, 0, 1, 0, 0, 0, 1, 0}),
        make(0xF0, {0x30, 0x31, 0x00, 0x00, 0x20, 0x21}),
        make(0xE2, {1, 1, 0, 0, 1, 0, 0, 0}),
        make(0xF0, {0x31, 0x32, 0x00, 0x00, 0x21, 0x22}),
        make(0x9A, {0x21, 0x9C, 0x36, 0x4E, 0x1B, 0xE4}),
        make(0xF0, {0x32, 0x33, 0x00, 0x00, 0x22, 0x23}),
        make(0x9C, {0xCE, 10, 1, 2, 3}),
        make(0x99, {0xE4, 0x1B, 0, 0xFF, 0x55, 0xF6}),
        make(0xA5, {1}),
        make(0x98, {1, 2, 3, 4, 5, 6, 7, 8}),
        make(0xE4, {0x40, 0x41}),
    };
}

void BM_DecodeTypicalMessage(benchmark::State &state)
{
    const auto traffic = typical_traffic();
    korvane_event event;
    korvane_block block;
    size_t i = 0;
    for (auto _ : state) {
        const Datagram &d = traffic[i];
        i = i + 1 == traffic.size() ? 0 : i + 1;
        benchmark::DoNotOptimize(korvane_decode_datagram(d.b, sizeof d.b, &event, &block));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeTypicalMessage);

void BM_DecodeOne(benchmark::State &state)
{
    const Datagram d = typical_traffic()[size_t(state.range(0))];
    korvane_event event;
    korvane_block block;
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvane_decode_datagram(d.b, sizeof d.b, &event, &block));
        benchmark::ClobberMemory();
    }
}
// 0 meters, 5 lamp colours, 8 cue colours, 9 non-stop
BENCHMARK(BM_DecodeOne)->Arg(0)->Arg(5)->Arg(8)->Arg(9);

void BM_DecodeFirmwareReply(benchmark::State &state)
{
    const Datagram d = make(0x81, {2, 5, 11});
    korvane_event event;
    korvane_block block;
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvane_decode_datagram(d.b, sizeof d.b, &event, &block));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DecodeFirmwareReply);

void BM_SendCommand(benchmark::State &state)
{
    uint16_t mixer_port;
    int mixer = loopback_socket(&mixer_port);
    korvane_handle h = korvane_open("127.0.0.1", free_port(), mixer_port);
    if (!h) {
        state.SkipWithError("open failed");
        close(mixer);
        return;
    }
    std::atomic<bool> stop{false};
    std::thread drain([&] {
        uint8_t buf[64];
        timeval tv{0, 100000};
        setsockopt(mixer, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        while (!stop)
            recv(mixer, buf, sizeof buf, 0);
    });
    for (auto _ : state)
        benchmark::DoNotOptimize(korvane_remote_on(h, 3, 2));
    stop = true;
    drain.join();
    korvane_close(h);
    close(mixer);
}
BENCHMARK(BM_SendCommand);

// One datagram out, wait until the receiving side has handled it.
template <typename Receiver>
void round_trips(benchmark::State &state, Receiver &rx, uint16_t to, std::atomic<int> &seen)
{
    uint16_t from_port;
    int from = loopback_socket(&from_port);
    const Datagram d = make(0xF0, {0x76, 0x00, 0x3F, 0xFF, 0x40, 0x80});
    (void)rx;
    int expected = seen.load();
    for (auto _ : state) {
        send_to(from, to, d.b, sizeof d.b);
        ++expected;
        // yield while waiting: on a busy two-core machine a hard spin
        // would take the core the receiving thread needs
        while (seen.load(std::memory_order_acquire) < expected)
            std::this_thread::yield();
    }
    close(from);
}

int count_callback(const korvane_event *, void *seen)
{
    static_cast<std::atomic<int> *>(seen)->fetch_add(1, std::memory_order_release);
    return 0;
}

void BM_DatagramToCallback(benchmark::State &state)
{
    uint16_t mixer_port;
    int mixer = loopback_socket(&mixer_port);
    const uint16_t port = free_port();
    korvane_handle h = korvane_open("127.0.0.1", port, mixer_port);
    if (!h) {
        state.SkipWithError("open failed");
        close(mixer);
        return;
    }
    std::atomic<int> seen{0};
    korvane_register_callback(h, count_callback, &seen);
    round_trips(state, h, port, seen);
    korvane_close(h);
    close(mixer);
}
BENCHMARK(BM_DatagramToCallback)->UseRealTime();

// The floor: a thread that does nothing but a blocking recvfrom and a check.
void BM_BareRecvfromLoop(benchmark::State &state)
{
    uint16_t port;
    int fd = loopback_socket(&port);
    std::atomic<int> seen{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        uint8_t buf[256];
        while (!stop) {
            ssize_t n = recvfrom(fd, buf, sizeof buf, 0, nullptr, nullptr);
            if (n == 12 && buf[0] == 0xA0 && buf[1] == 0xA0)
                seen.fetch_add(1, std::memory_order_release);
        }
    });
    round_trips(state, fd, port, seen);
    stop = true;
    uint8_t wake[1] = {0};
    send_to(fd, port, wake, 1);
    reader.join();
    close(fd);
}
BENCHMARK(BM_BareRecvfromLoop)->UseRealTime();

void BM_CloseIdleHandle(benchmark::State &state)
{
    uint16_t mixer_port;
    int mixer = loopback_socket(&mixer_port);
    for (auto _ : state) {
        korvane_handle h = korvane_open("127.0.0.1", free_port(), mixer_port);
        if (!h) {
            state.SkipWithError("open failed");
            break;
        }
        // let both threads fall asleep: reader in poll, keep-alive in its wait
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto t0 = std::chrono::steady_clock::now();
        korvane_close(h);
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    close(mixer);
}
BENCHMARK(BM_CloseIdleHandle)->UseManualTime()->Iterations(50)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
