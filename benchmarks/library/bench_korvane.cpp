// Costs of the korvane library: decoding, sending a command, the way from a
// datagram to the callback (next to a bare receive loop in the same run) and
// closing an idle handle.
#include "korvane_internal.h"
#include "loopback.h"

#include <sys/socket.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

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
    const kt::UdpPeer mixer;
    korvane_handle h = korvane_open("127.0.0.1", kt::free_udp_port(), mixer.port());
    if (!h) {
        state.SkipWithError("open failed");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread drain([&] {
        kt::Bytes d;
        while (!stop)
            mixer.receive(d, 100);
    });
    for (auto _ : state)
        benchmark::DoNotOptimize(korvane_remote_on(h, 3, 2));
    stop = true;
    drain.join();
    korvane_close(h);
}
BENCHMARK(BM_SendCommand);

// One datagram out, wait until the receiving side has handled it.
void round_trips(benchmark::State &state, uint16_t to, std::atomic<int> &seen)
{
    const kt::UdpPeer from;
    const kt::Bytes d = kt::datagram(0xF0, {0x76, 0x00, 0x3F, 0xFF, 0x40, 0x80});
    int expected = seen.load();
    for (auto _ : state) {
        from.send_to(to, d);
        ++expected;
        // yield while waiting: on a busy two-core machine a hard spin
        // would take the core the receiving thread needs
        while (seen.load(std::memory_order_acquire) < expected)
            std::this_thread::yield();
    }
}

int count_callback(const korvane_event *, void *seen)
{
    static_cast<std::atomic<int> *>(seen)->fetch_add(1, std::memory_order_release);
    return 0;
}

void BM_DatagramToCallback(benchmark::State &state)
{
    const kt::UdpPeer mixer;
    const uint16_t port = kt::free_udp_port();
    korvane_handle h = korvane_open("127.0.0.1", port, mixer.port());
    if (!h) {
        state.SkipWithError("open failed");
        return;
    }
    std::atomic<int> seen{0};
    korvane_register_callback(h, count_callback, &seen);
    round_trips(state, port, seen);
    korvane_close(h);
}
BENCHMARK(BM_DatagramToCallback)->UseRealTime();

// The floor: a thread that does nothing but a blocking recvfrom and a check.
void BM_BareRecvfromLoop(benchmark::State &state)
{
    const kt::UdpPeer peer;
    std::atomic<int> seen{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        uint8_t buf[256];
        while (!stop) {
            ssize_t n = recvfrom(peer.fd(), buf, sizeof buf, 0, nullptr, nullptr);
            if (n == 12 && buf[0] == 0xA0 && buf[1] == 0xA0)
                seen.fetch_add(1, std::memory_order_release);
        }
    });
    round_trips(state, peer.port(), seen);
    stop = true;
    peer.send_to(peer.port(), {0});  // wakes the blocked recvfrom
    reader.join();
}
BENCHMARK(BM_BareRecvfromLoop)->UseRealTime();

void BM_CloseIdleHandle(benchmark::State &state)
{
    const kt::UdpPeer mixer;
    for (auto _ : state) {
        korvane_handle h = korvane_open("127.0.0.1", kt::free_udp_port(), mixer.port());
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
}
BENCHMARK(BM_CloseIdleHandle)->UseManualTime()->Iterations(50)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
