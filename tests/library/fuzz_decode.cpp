// Feeds one arbitrary datagram to the reader's acceptance check and the
// decoder, and touches every byte of a delivered block so that the
// sanitizers see any read outside it.
#include "korvane_internal.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

volatile unsigned char fuzz_sink;

namespace {

size_t block_bytes(int id)
{
    switch (id) {
    case KORVANE_ID_FIRMWARE_VERSION: return sizeof(korvane_firmware);
    case KORVANE_ID_CONFIG_GPO: return sizeof(korvane_gpo);
    case KORVANE_ID_CONFIG_ON: return sizeof(korvane_lamp_colours);
    case KORVANE_ID_CONFIG_SILENCE_DETECTION: return sizeof(korvane_silence);
    case KORVANE_ID_CONFIG_CUE: return 22 * 4;
    case 0x61: return 11 * 4;
    case KORVANE_ID_METERS: return 6 * sizeof(float);
    default: return 4;  // every other block holds at least one int32 or two bytes
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 300)
        return 0;
    korvane_event event;
    korvane_block block;
    std::memset(&event, 0x5A, sizeof event);
    if (!korvane_decode_datagram(data, size, &event, &block))
        return 0;
    if (size != 12 || data[0] != 0xA0 || data[1] != 0xA0)
        __builtin_trap();  // accepted something that is not a protocol datagram
    if (event.data != &block || (event.kind != 0 && event.kind != 1))
        __builtin_trap();
    if ((data[3] & 0xC0) != (event.kind ? 0xC0 : 0x80))
        __builtin_trap();
    unsigned char sum = 0;
    const auto *p = static_cast<const unsigned char *>(event.data);
    for (size_t i = 0; i < block_bytes(event.id); ++i)
        sum ^= p[i];
    if (event.id == KORVANE_ID_FIRMWARE_VERSION) {
        const auto *fw = static_cast<const korvane_firmware *>(event.data);
        if (std::memchr(fw->text, 0, sizeof fw->text) == nullptr)
            __builtin_trap();
    }
    if (event.id == KORVANE_ID_METERS) {
        const auto *levels = static_cast<const float *>(event.data);
        for (int i = 0; i < 6; ++i)
            if (!(levels[i] >= -50.0f && levels[i] <= 13.75f))
                __builtin_trap();
    }
    fuzz_sink = sum;  // keeps the reads
    return 0;
}
