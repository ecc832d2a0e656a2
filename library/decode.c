/* Decoding of the mixer's replies and events into event records. Kept free
 * of handles, locks and allocation so that the fuzzer and the benchmarks can
 * drive the very function the reader thread calls. */
#include "korvane_internal.h"

#include <string.h>

enum block_type { B_NONE = 0, B_FIRMWARE, B_I32, B_U8, B_U16, B_GPO, B_CUE, B_LAMPS, B_SILENCE, B_FLAGS11, B_METERS };

#define K_REPLY 1u
#define K_EVENT 2u
#define K_BOTH  (K_REPLY | K_EVENT)

struct message_entry {
    uint8_t id;
    uint8_t kinds; /* K_REPLY / K_EVENT; 0 = unknown message number */
    uint8_t type;
    uint8_t count; /* values of an int32 / uint8 block */
};

/* Indexed by message number (header bits 5-0). */
/* clang-format off */
static const struct message_entry message_table[64] = {
    [1]  = {0x00, K_REPLY, B_FIRMWARE, 0},
    [2]  = {0x20, K_EVENT, B_I32, 2},
    [3]  = {0x21, K_EVENT, B_I32, 4},
    [4]  = {0x22, K_BOTH, B_U16, 0},
    [11] = {0x6D, K_BOTH, B_I32, 3},
    [12] = {0x6E, K_BOTH, B_I32, 3},
    [13] = {0x6F, K_BOTH, B_I32, 8},
    [17] = {0x40, K_BOTH, B_I32, 8},
    [18] = {0x41, K_BOTH, B_U8, 8},
    [19] = {0x42, K_BOTH, B_U8, 8},
    [20] = {0x43, K_BOTH, B_I32, 3},
    [21] = {0x44, K_BOTH, B_I32, 3},
    [22] = {0x45, K_BOTH, B_U8, 3},
    [23] = {0x46, K_BOTH, B_I32, 1},
    [24] = {0x47, K_BOTH, B_GPO, 0},
    [25] = {0x48, K_BOTH, B_CUE, 22},
    [26] = {0x49, K_BOTH, B_LAMPS, 0},
    [27] = {0x4A, K_BOTH, B_I32, 8},
    [28] = {0x4B, K_BOTH, B_SILENCE, 0},
    [29] = {0x4C, K_BOTH, B_I32, 3},
    [30] = {0x4D, K_BOTH, B_I32, 3},
    [31] = {0x4E, K_BOTH, B_I32, 8},
    [32] = {0x60, K_BOTH, B_I32, 8},
    [33] = {0x61, K_BOTH, B_FLAGS11, 11},
    [34] = {0x62, K_BOTH, B_I32, 8},
    [35] = {0x63, K_BOTH, B_I32, 2},
    [36] = {0x64, K_BOTH, B_I32, 8},
    [37] = {0x65, K_BOTH, B_I32, 1},
    [38] = {0x66, K_BOTH, B_I32, 1},
    [39] = {0x67, K_BOTH, B_I32, 2},
    [40] = {0x68, K_BOTH, B_I32, 2},
    [41] = {0x69, K_BOTH, B_I32, 1},
    [42] = {0x6A, K_BOTH, B_I32, 8},
    [43] = {0x6B, K_BOTH, B_I32, 1},
    [44] = {0x6C, K_BOTH, B_I32, 8},
    [45] = {0x70, K_EVENT, B_I32, 1},
    [46] = {0x71, K_EVENT, B_I32, 1},
    [48] = {0x80, K_EVENT, B_METERS, 6},
    [49] = {0x4F, K_BOTH, B_I32, 8},
    [50] = {0x50, K_BOTH, B_U8, 8},
    [51] = {0x51, K_BOTH, B_I32, 1},
};
/* clang-format on */

/* Appends the decimal digits of v; snprintf would cost more than the
 * whole rest of the decoder. */
static char *put_decimal(char *out, unsigned v)
{
    if (v >= 100)
        *out++ = (char)('0' + v / 100);
    if (v >= 10)
        *out++ = (char)('0' + v / 10 % 10);
    *out++ = (char)('0' + v % 10);
    return out;
}

/* "VXN Korvane Firmware v%d.%d.%d"; at most 33 characters for three bytes. */
static void firmware_text(char *text, uint8_t major, uint8_t minor, uint8_t build)
{
    static const char prefix[] = "VXN Korvane Firmware v";
    char *p = text;
    memcpy(p, prefix, sizeof prefix - 1);
    p += sizeof prefix - 1;
    p = put_decimal(p, major);
    *p++ = '.';
    p = put_decimal(p, minor);
    *p++ = '.';
    p = put_decimal(p, build);
    *p = '\0';
}

static unsigned two_bits(uint8_t byte, unsigned shift)
{
    return (byte >> shift) & 0x3u;
}

static int decode_message(const uint8_t *message, korvane_event *event, korvane_block *block)
{
    const uint8_t header = message[1];
    const unsigned kind = header & 0xC0u;
    const struct message_entry *entry = &message_table[header & 0x3Fu];
    const uint8_t *data = message + 2;
    unsigned i;

    /* kind 10 = reply, 11 = event; commands and requests never come back */
    if (kind == 0x80u) {
        if (!(entry->kinds & K_REPLY))
            return 0;
    } else if (kind == 0xC0u) {
        if (!(entry->kinds & K_EVENT))
            return 0;
    } else {
        return 0;
    }

    switch (entry->type) {
    case B_FIRMWARE:
        block->firmware.major = data[0];
        block->firmware.minor = data[1];
        block->firmware.build = data[2];
        firmware_text(block->firmware.text, data[0], data[1], data[2]);
        break;
    case B_I32:
        for (i = 0; i < entry->count; ++i)
            block->i32[i] = data[i];
        break;
    case B_U8: memcpy(block->u8, data, entry->count); break;
    case B_U16: block->u16 = (uint16_t)(data[0] | (data[1] << 8)); break;
    case B_GPO:
        for (i = 0; i < 2; ++i) {
            block->gpo.gpo[i].trigger = data[4 * i];
            block->gpo.gpo[i].mode = data[4 * i + 1];
            block->gpo.gpo[i].param4 = data[4 * i + 2];
            block->gpo.gpo[i].param5 = data[4 * i + 3];
        }
        break;
    case B_CUE:
        for (i = 0; i < 22; ++i)
            block->i32[i] = (int32_t)two_bits(data[i / 4], 2 * (i % 4));
        break;
    case B_LAMPS:
        for (i = 0; i < 8; ++i) {
            const uint8_t pair = data[i / 2];
            const unsigned shift = 4 * (i % 2);
            block->lamps.module[i].active = (int32_t)two_bits(pair, shift);
            block->lamps.module[i].inactive = (int32_t)two_bits(pair, shift + 2);
            block->lamps.module[i].active_and_fader = (int32_t)two_bits(data[4 + i / 4], 2 * (i % 4));
        }
        break;
    case B_SILENCE:
        block->silence.threshold = (int8_t)data[0];
        block->silence.interval = data[1];
        block->silence.interval_unit = data[2];
        block->silence.source = data[3];
        block->silence.config = data[4];
        break;
    case B_FLAGS11:
        for (i = 0; i < 11; ++i)
            block->i32[i] = (data[i / 8] >> (i % 8)) & 1;
        break;
    case B_METERS:
        for (i = 0; i < 6; ++i)
            block->meters[i] = (float)(data[i] & 0x3F) - 50.0f + (float)(data[i] >> 6) * 0.25f;
        break;
    default: return 0;
    }

    event->id = entry->id;
    event->kind = kind == 0xC0u ? 1 : 0;
    event->data = block;
    return 1;
}

int korvane_decode_datagram(const uint8_t *datagram, size_t length, korvane_event *event, korvane_block *block)
{
    if (length != KORVANE_DATAGRAM_SIZE || datagram[0] != KORVANE_MARKER || datagram[1] != KORVANE_MARKER)
        return 0;
    return decode_message(datagram + 2, event, block);
}
