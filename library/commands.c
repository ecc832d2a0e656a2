/* Requests and commands: one message each, sent through korvane_send_udp. */
#include "korvane_internal.h"

/* Builds message `number` with the argument bytes (low 8 bits of each) and
 * sends it; the length byte counts the bytes in use. */
static int send_command(korvane_handle h, int number, int count, const int *args)
{
    uint8_t message[KORVANE_PROTOCOL_MESSAGE_SIZE] = {0};
    int i;

    message[0] = (uint8_t)(2 + count);
    message[1] = (uint8_t)number;
    for (i = 0; i < count; ++i)
        message[2 + i] = (uint8_t)(args[i] & 0xFF);
    return korvane_send_udp(h, message, 2 + count);
}

#define U(x) ((unsigned)(int)(x))

#define COMMAND0(name, number)                                                                                         \
    KORVANE_API int name(korvane_handle h)                                                                             \
    {                                                                                                                  \
        if (!h)                                                                                                        \
            return -1;                                                                                                 \
        korvane_log(h, "%s()", #name);                                                                                 \
        return send_command(h, number, 0, NULL);                                                                       \
    }

#define COMMAND1(name, number, t1, a1)                                                                                 \
    KORVANE_API int name(korvane_handle h, t1 a1)                                                                      \
    {                                                                                                                  \
        const int args[] = {a1};                                                                                       \
        if (!h)                                                                                                        \
            return -1;                                                                                                 \
        korvane_log(h, "%s(): " #a1 ": 0x%.2x", #name, U(a1));                                                         \
        return send_command(h, number, 1, args);                                                                       \
    }

#define COMMAND2(name, number, t1, a1, t2, a2)                                                                         \
    KORVANE_API int name(korvane_handle h, t1 a1, t2 a2)                                                               \
    {                                                                                                                  \
        const int args[] = {a1, a2};                                                                                   \
        if (!h)                                                                                                        \
            return -1;                                                                                                 \
        korvane_log(h, "%s(): " #a1 ": 0x%.2x, " #a2 ": 0x%.2x", #name, U(a1), U(a2));                                 \
        return send_command(h, number, 2, args);                                                                       \
    }

#define COMMAND3(name, number, a1, a2, a3)                                                                             \
    KORVANE_API int name(korvane_handle h, int a1, int a2, int a3)                                                     \
    {                                                                                                                  \
        const int args[] = {a1, a2, a3};                                                                               \
        if (!h)                                                                                                        \
            return -1;                                                                                                 \
        korvane_log(h, "%s(): " #a1 ": 0x%.2x, " #a2 ": 0x%.2x, " #a3 ": 0x%.2x", #name, U(a1), U(a2), U(a3));         \
        return send_command(h, number, 3, args);                                                                       \
    }

#define COMMAND4(name, number, a1, a2, a3, a4)                                                                         \
    KORVANE_API int name(korvane_handle h, int a1, int a2, int a3, int a4)                                             \
    {                                                                                                                  \
        const int args[] = {a1, a2, a3, a4};                                                                           \
        if (!h)                                                                                                        \
            return -1;                                                                                                 \
        korvane_log(h, "%s(): " #a1 ": 0x%.2x, " #a2 ": 0x%.2x, " #a3 ": 0x%.2x, " #a4 ": 0x%.2x", #name, U(a1),       \
                    U(a2), U(a3), U(a4));                                                                              \
        return send_command(h, number, 4, args);                                                                       \
    }

COMMAND2(korvane_ctrl_led, 2, int, id, int, color)
COMMAND4(korvane_ctrl_led_blink, 3, id, color_on, color_off, blink_speed)

COMMAND2(korvane_remote_on, 5, int, module, int, action)
COMMAND2(korvane_remote_cue, 6, int, cue, int, action)
COMMAND0(korvane_remote_cue_reset, 7)
COMMAND1(korvane_remote_auto_cue_announcer, 8, int, action)
COMMAND1(korvane_remote_auto_cue_crm, 9, int, action)
COMMAND1(korvane_remote_non_stop, 10, int, action)
COMMAND2(korvane_remote_comm, 11, int, module, int, action)
COMMAND2(korvane_remote_cough, 12, int, module, int, action)
COMMAND2(korvane_remote_vt, 13, int, module, int, action)

COMMAND0(korvane_config_save, 16)
COMMAND2(korvane_config_auto_on, 17, int, module, int, config)
COMMAND2(korvane_config_cue_reset, 18, int, module, uint8_t, flags)
COMMAND2(korvane_config_on_air, 19, int, module, uint8_t, flags)
COMMAND2(korvane_config_crm_mute, 20, int, module, int, config)
COMMAND2(korvane_config_crm_auto_cue_reset, 21, int, module, int, config)
COMMAND2(korvane_config_studio_remote, 22, int, module, uint8_t, flags)
COMMAND1(korvane_config_cue_interlock, 23, int, config)
COMMAND3(korvane_config_cue, 25, cue, active, inactive)
COMMAND4(korvane_config_on, 26, module, active, active_and_fader, inactive)
COMMAND2(korvane_config_fader_reserve, 27, int, module, int, config)
COMMAND2(korvane_config_phantom, 29, int, module, int, config)
COMMAND2(korvane_config_mic_at_line, 30, int, module, int, config)
COMMAND2(korvane_config_auto_off, 31, int, module, int, config)
COMMAND2(korvane_track_state, 44, int, module, int, state)
COMMAND2(korvane_config_locked_on, 49, int, module, int, config)
COMMAND2(korvane_config_pgm_auto_off, 50, int, module, uint8_t, config)
COMMAND1(korvane_config_mic_on, 51, int, trigger)

/* param4 and param5 go to the mixer but not into the log line. */
KORVANE_API int korvane_config_gpo(korvane_handle h, int gpo, int trigger, int mode, int param4, uint8_t param5)
{
    const int args[] = {gpo, trigger, mode, param4, param5};
    if (!h)
        return -1;
    korvane_log(h, "%s(): gpo: 0x%.2x, trigger: 0x%.2x, mode: 0x%.2x", "korvane_config_gpo", U(gpo), U(trigger),
                U(mode));
    return send_command(h, 24, 5, args);
}

/* The threshold is logged sign-extended (-50 shows as ffffffce) and sent as
 * its low byte. */
KORVANE_API int korvane_config_silence_detection(korvane_handle h, int8_t threshold, uint8_t interval,
                                                 int interval_unit, int source, int config)
{
    const int args[] = {threshold, interval, interval_unit, source, config};
    if (!h)
        return -1;
    korvane_log(h, "%s(): threshold: 0x%.2x, interval: 0x%.2x, interval_unit: 0x%.2x, source: 0x%.2x, config: 0x%.2x",
                "korvane_config_silence_detection", U(threshold), U(interval), U(interval_unit), U(source), U(config));
    return send_command(h, 28, 5, args);
}

/* Request header byte (kind 01 | message number) for an event id; 0 when
 * the id has no reply to ask for. */
static uint8_t request_header(int id)
{
    if (id == 0)
        return 0x41;
    if (id == 32)
        return 0x44;
    if (id >= 64 && id <= 78)
        return (uint8_t)(0x51 + id - 64);
    if (id >= 79 && id <= 81)
        return (uint8_t)(0x71 + id - 79);
    if (id >= 96 && id <= 108)
        return (uint8_t)id;
    if (id >= 109 && id <= 111)
        return (uint8_t)(0x4B + id - 109);
    return 0x00;
}

KORVANE_API int korvane_request(korvane_handle h, int id)
{
    uint8_t message[KORVANE_PROTOCOL_MESSAGE_SIZE] = {0};

    if (!h)
        return -1;
    korvane_log(h, "[REQUEST]: id: 0x%.2x(%d)", U(id), id);
    message[1] = request_header(id);
    return korvane_send_udp(h, message, KORVANE_PROTOCOL_MESSAGE_SIZE);
}
