// Stand-in for libFuzzer where the compiler has none: seeded random
// datagrams for a bounded number of seconds.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    std::mt19937 rng(20191104);
    std::vector<uint8_t> d;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    unsigned long runs = 0;
    while (std::chrono::steady_clock::now() < end) {
        for (int i = 0; i < 10000; ++i, ++runs) {
            // half of the inputs are well-formed so the decoder is reached
            size_t len = rng() % 2 ? 12 : rng() % 301;
            d.resize(len);
            for (auto &b : d)
                b = uint8_t(rng());
            if (len >= 2 && rng() % 4) {
                d[0] = 0xA0;
                d[1] = 0xA0;
            }
            LLVMFuzzerTestOneInput(d.data(), d.size());
        }
    }
    std::printf("%lu datagrams\n", runs);
    return 0;
}
