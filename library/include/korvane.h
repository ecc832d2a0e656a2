/*
 * korvane - control library for the korvane broadcast mixer.
 *
 * One handle talks to one mixer over UDP: it binds a local receive port,
 * sends from that same port, keeps the link alive about once a second and
 * hands every decoded reply or event to the registered callback, which runs
 * on the handle's reader thread.
 *
 * Every function but korvane_open and korvane_library_version takes the
 * handle first. Functions returning int give 0 on success and -1 on failure
 * (null handle, failed send). Command arguments are the mixer's own codes:
 * only their low 8 bits reach the wire and none is range-checked.
 */
#ifndef KORVANE_H
#define KORVANE_H

#include <stdint.h>

#if defined(_WIN32)
#    if defined(KORVANE_BUILDING)
#        define KORVANE_API __declspec(dllexport)
#    else
#        define KORVANE_API __declspec(dllimport)
#    endif
#elif defined(__GNUC__)
#    define KORVANE_API __attribute__((visibility("default")))
#else
#    define KORVANE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Bytes of one protocol message behind the two-byte datagram marker. */
#define KORVANE_PROTOCOL_MESSAGE_SIZE 10

/* Event ids (korvane_event.id); korvane_request takes the same numbers.
 * Ids 32, 33, 34, 97, 99, 103, 106 and 113 are delivered too but carry
 * values this library does not interpret, so they have no name. */
#define KORVANE_ID_FIRMWARE_VERSION          0x00 /* korvane_firmware */
#define KORVANE_ID_CONFIG_AUTO_ON            0x40 /* int32_t[8] */
#define KORVANE_ID_CONFIG_CUE_RESET          0x41 /* uint8_t[8] */
#define KORVANE_ID_CONFIG_ON_AIR             0x42 /* uint8_t[8] */
#define KORVANE_ID_CONFIG_CRM_MUTE           0x43 /* int32_t[3] */
#define KORVANE_ID_CONFIG_CRM_AUTO_CUE_RESET 0x44 /* int32_t[3] */
#define KORVANE_ID_CONFIG_STUDIO_REMOTE      0x45 /* uint8_t[3] */
#define KORVANE_ID_CONFIG_CUE_INTERLOCK      0x46 /* int32_t[1] */
#define KORVANE_ID_CONFIG_GPO                0x47 /* korvane_gpo */
#define KORVANE_ID_CONFIG_CUE                0x48 /* int32_t[22] colour codes */
#define KORVANE_ID_CONFIG_ON                 0x49 /* korvane_lamp_colours */
#define KORVANE_ID_CONFIG_FADER_RESERVE      0x4A /* int32_t[8] */
#define KORVANE_ID_CONFIG_SILENCE_DETECTION  0x4B /* korvane_silence */
#define KORVANE_ID_CONFIG_PHANTOM            0x4C /* int32_t[3] */
#define KORVANE_ID_CONFIG_MIC_AT_LINE        0x4D /* int32_t[3] */
#define KORVANE_ID_CONFIG_AUTO_OFF           0x4E /* int32_t[8] */
#define KORVANE_ID_CONFIG_LOCKED_ON          0x4F /* int32_t[8] */
#define KORVANE_ID_CONFIG_PGM_AUTO_OFF       0x50 /* uint8_t[8] */
#define KORVANE_ID_CONFIG_MIC_ON             0x51 /* int32_t[1] */
#define KORVANE_ID_MODULE_ON                 0x60 /* int32_t[8], 1 = on */
#define KORVANE_ID_FADER                     0x62 /* int32_t[8], 1 = open */
#define KORVANE_ID_MODULE_SOURCE             0x64 /* int32_t[8], 0 = line */
#define KORVANE_ID_NON_STOP                  0x65 /* int32_t[1] */
#define KORVANE_ID_MIC_ON                    0x66 /* int32_t[1] */
#define KORVANE_ID_ON_AIR                    0x68 /* int32_t[2]: on air 1, 2 */
#define KORVANE_ID_SILENCE                   0x69 /* int32_t[1] */
#define KORVANE_ID_CRM_MUTE                  0x6B /* int32_t[1] */
#define KORVANE_ID_TRACK_STATE               0x6C /* int32_t[8] */
#define KORVANE_ID_COMM                      0x6D /* int32_t[3] */
#define KORVANE_ID_COUGH                     0x6E /* int32_t[3] */
#define KORVANE_ID_VOICE_TRACK               0x6F /* int32_t[8] */
#define KORVANE_ID_PHONE                     0x70 /* int32_t[1] */
#define KORVANE_ID_METERS                    0x80 /* float[6], dB */

/* Opaque handle of one open link to a mixer. */
typedef struct korvane_handle_record *korvane_handle;

/* What the callback receives. kind: 0 reply (the answer to a request), 1
 * event (sent by the mixer on its own). data points at the id's block (see
 * the ids above); record and block live only during the callback call. */
typedef struct {
    int32_t id;
    int32_t kind;
    const void *data;
} korvane_event;

/*
 * Type: korvane_callback
 *
 * Called once for every decoded reply or event, on the handle's reader
 * thread, with the userdata given to korvane_register_callback; the result
 * is ignored. Calls of one handle never overlap.
 *
 * A callback must never:
 *   - call korvane_close, korvane_register_callback or
 *     korvane_unregister_callback on its own handle: each waits for the
 *     running callback to end, which then never happens;
 *   - keep event or event->data past its return: copy what it needs;
 *   - let a C++ exception or a longjmp leave it;
 *   - block for long: the handle's datagrams wait meanwhile (the system
 *     drops them once its receive buffer is full), and so do (un)registration
 *     and korvane_close.
 * It may send requests and commands, also on its own handle.
 */
typedef int (*korvane_callback)(const korvane_event *event, void *userdata);

/* Data blocks. Other ids deliver plain int32_t / uint8_t arrays, the meter
 * block is float[6] and the block of id 34 is one uint16_t. */
typedef struct {
    uint8_t major, minor, build;
    char text[34]; /* "VXN Korvane Firmware v<major>.<minor>.<build>" */
} korvane_firmware;

typedef struct {
    int32_t trigger, mode, param4;
    uint8_t param5;
} korvane_gpo_entry;

typedef struct {
    korvane_gpo_entry gpo[2]; /* GPO 1, GPO 2 */
} korvane_gpo;

typedef struct {
    int8_t threshold; /* dB */
    uint8_t interval;
    int32_t interval_unit, source, config;
} korvane_silence;

/* Colour codes of one module's ON lamp: module on with its fader closed,
 * on with the fader open, off. */
typedef struct {
    int32_t active, active_and_fader, inactive; /* colour codes 0..3 */
} korvane_lamp_colour;

typedef struct {
    korvane_lamp_colour module[8]; /* modules 0..7 */
} korvane_lamp_colours;

/* ---- handles ---------------------------------------------------------- */

/*
 * Function: korvane_open
 *
 * Opens a link to one mixer: binds the receive port, starts the reader
 * thread and the keep-alive thread, whose first keep-alive leaves at once.
 * Logging is off and no callback is registered.
 *
 * Parameters:
 *   host      - the mixer's address as dotted IPv4 text ("192.168.1.20").
 *               It is not resolved: a name becomes 255.255.255.255.
 *   recv_port - local UDP port, bound on every IPv4 address; also the
 *               source port of everything the handle sends and the number
 *               in the log file's name. 0 lets the system pick one (the
 *               log file is then named after 0).
 *   send_port - the mixer's UDP port.
 *
 * Returns:
 *   the new handle; NULL when host is NULL, the port is taken, or a socket,
 *   memory or a thread is not to be had. The reason is not kept: there is
 *   no handle left to ask.
 *
 * Thread safety:
 *   any thread. Handles are independent; several may be open at once on
 *   different receive ports.
 */
KORVANE_API korvane_handle korvane_open(const char *host, uint16_t recv_port, uint16_t send_port);

/*
 * Function: korvane_close
 *
 * Unregisters the callback (waiting for one in progress), stops both
 * threads, closes socket and log and frees the handle, which is invalid
 * afterwards. No callback runs after it returns.
 *
 * Returns:
 *   0; -1 for a NULL handle.
 *
 * Thread safety:
 *   any thread but the handle's own callback, and only once every other
 *   call on the handle has returned.
 */
KORVANE_API int korvane_close(korvane_handle handle);

/*
 * Function: korvane_register_callback
 *
 * Sets the callback and its userdata, replacing any earlier pair; from its
 * return on every message goes to the new pair. A NULL callback drops the
 * messages (they are still logged).
 *
 * Parameters:
 *   callback - see korvane_callback for what it must never do.
 *   userdata - handed back unchanged as the callback's second argument.
 *
 * Returns:
 *   0; -1 for a NULL handle.
 *
 * Thread safety:
 *   any thread but the handle's own callback. It waits for a callback in
 *   progress; callbacks and (un)registrations take turns in the order they
 *   ask, so a flood of datagrams cannot keep it waiting.
 */
KORVANE_API int korvane_register_callback(korvane_handle handle, korvane_callback callback, void *userdata);

/*
 * Function: korvane_unregister_callback
 *
 * Removes the callback: once it returns no further callback starts.
 * Messages still arrive, are decoded and logged, and are dropped.
 *
 * Returns:
 *   0; -1 for a NULL handle.
 *
 * Thread safety:
 *   as korvane_register_callback.
 */
KORVANE_API int korvane_unregister_callback(korvane_handle handle);

/*
 * Function: korvane_get_last_error
 *
 * Returns:
 *   the text of the handle's most recent error, at most 127 characters
 *   ("" while there was none; nothing clears it), owned by the handle and
 *   valid until korvane_close; NULL for a NULL handle. Failed sends leave no
 *   text.
 *
 * Thread safety:
 *   any thread; a failing call on another thread may rewrite the text
 *   while it is being read.
 */
KORVANE_API const char *korvane_get_last_error(korvane_handle handle);

/* ---- requests and commands ---------------------------------------------
 *
 * Each function sends one datagram and returns without waiting. Answers
 * arrive through the callback: a request's as a reply (kind 0), and what a
 * command changed, as far as the mixer reports it, as an event (kind 1).
 *
 * Returns (every one of them):
 *   0 when the whole datagram was sent; -1 for a NULL handle or a failed
 *   send (no error text is kept for either).
 *
 * Thread safety (every one of them):
 *   any thread, the callback too; no lock is taken. Two threads sending at
 *   once give two datagrams, in either order.
 *
 * Arguments are the mixer's own codes and are passed to the mixer
 * unchanged: only their low 8 bits are sent and none is range-checked.
 * What the protocol fixes about them:
 *   module - module number, counted from 0; the messages with one value per
 *            module carry eight (0..7).
 *   colour codes (color, active, inactive, ...) - 2-bit values 0..3 where
 *            the mixer reports them; the meters program shows 1 as red, 2
 *            as green and any other code as grey. The LED colour codes of
 *            korvane_ctrl_led and korvane_ctrl_led_blink are the mixer's.
 *   action - what a remote key does is the mixer's: 0, 1 and 2 reach it
 *            as they are. The meters program sends 2 for a click;
 *            korvane-sim, the simulated mixer, takes 0 as off, 1 as on and
 *            2 as toggle.
 *   config, flags, state, trigger, mode, param4, param5, id (of an LED) and
 *   blink_speed - the mixer's codes. A configuration command and the reply
 *            that reports that configuration share one message number:
 *            korvane_config_auto_on sets one module, the reply
 *            KORVANE_ID_CONFIG_AUTO_ON reports all eight.
 */

/*
 * Function: korvane_request
 *
 * Asks the mixer for the reply carrying event id `id`: 0, 32 (answered as
 * id 34), 64..81 or 96..111. Any other id sends a message of ten zero
 * bytes.
 */
KORVANE_API int korvane_request(korvane_handle handle, int id);

/* korvane_ctrl_led - command 2: sets LED `id` to colour code `color`. */
KORVANE_API int korvane_ctrl_led(korvane_handle handle, int id, int color);
/* korvane_ctrl_led_blink - command 3: lets LED `id` blink between colour
 * codes `color_on` and `color_off` at the mixer's speed code `blink_speed`. */
KORVANE_API int korvane_ctrl_led_blink(korvane_handle handle, int id, int color_on, int color_off, int blink_speed);

/* korvane_remote_on - command 5: the ON key of `module` (0..7) with
 * `action`; the mixer reports modules as KORVANE_ID_MODULE_ON. */
KORVANE_API int korvane_remote_on(korvane_handle handle, int module, int action);
/* korvane_remote_cue - command 6: the key of cue `cue` with `action`. */
KORVANE_API int korvane_remote_cue(korvane_handle handle, int cue, int action);
/* korvane_remote_cue_reset - command 7: cue reset; no arguments. */
KORVANE_API int korvane_remote_cue_reset(korvane_handle handle);
/* korvane_remote_auto_cue_announcer - command 8: the announcer's auto-cue
 * key with `action`. */
KORVANE_API int korvane_remote_auto_cue_announcer(korvane_handle handle, int action);
/* korvane_remote_auto_cue_crm - command 9: the control room's auto-cue key
 * with `action`. */
KORVANE_API int korvane_remote_auto_cue_crm(korvane_handle handle, int action);
/* korvane_remote_non_stop - command 10: the non-stop key with `action`; the
 * mixer reports it as KORVANE_ID_NON_STOP (1 = active). */
KORVANE_API int korvane_remote_non_stop(korvane_handle handle, int action);
/* korvane_remote_comm - command 11: comm key `module` with `action`; the
 * mixer reports comm as three values, KORVANE_ID_COMM. */
KORVANE_API int korvane_remote_comm(korvane_handle handle, int module, int action);
/* korvane_remote_cough - command 12: cough key `module` with `action`; the
 * mixer reports cough as three values, KORVANE_ID_COUGH. */
KORVANE_API int korvane_remote_cough(korvane_handle handle, int module, int action);
/* korvane_remote_vt - command 13: the voice-track key of `module` (0..7)
 * with `action`; reported as KORVANE_ID_VOICE_TRACK. */
KORVANE_API int korvane_remote_vt(korvane_handle handle, int module, int action);

/* korvane_config_save - command 16: makes the mixer store its current
 * configuration; no arguments. */
KORVANE_API int korvane_config_save(korvane_handle handle);
/* korvane_config_auto_on - command 17: auto-on `config` of `module` (0..7);
 * reported as KORVANE_ID_CONFIG_AUTO_ON. */
KORVANE_API int korvane_config_auto_on(korvane_handle handle, int module, int config);
/* korvane_config_cue_reset - command 18: cue-reset `flags` of `module`
 * (0..7); reported as KORVANE_ID_CONFIG_CUE_RESET. */
KORVANE_API int korvane_config_cue_reset(korvane_handle handle, int module, uint8_t flags);
/* korvane_config_on_air - command 19: on-air `flags` of `module` (0..7);
 * reported as KORVANE_ID_CONFIG_ON_AIR. */
KORVANE_API int korvane_config_on_air(korvane_handle handle, int module, uint8_t flags);
/* korvane_config_crm_mute - command 20: CRM-mute `config` of `module`;
 * reported as three values, KORVANE_ID_CONFIG_CRM_MUTE. */
KORVANE_API int korvane_config_crm_mute(korvane_handle handle, int module, int config);
/* korvane_config_crm_auto_cue_reset - command 21: CRM auto-cue-reset
 * `config` of `module`; reported as three values,
 * KORVANE_ID_CONFIG_CRM_AUTO_CUE_RESET. */
KORVANE_API int korvane_config_crm_auto_cue_reset(korvane_handle handle, int module, int config);
/* korvane_config_studio_remote - command 22: studio-remote `flags` of
 * `module`; reported as three bytes, KORVANE_ID_CONFIG_STUDIO_REMOTE. */
KORVANE_API int korvane_config_studio_remote(korvane_handle handle, int module, uint8_t flags);
/* korvane_config_cue_interlock - command 23: the cue-interlock `config`;
 * reported as KORVANE_ID_CONFIG_CUE_INTERLOCK. */
KORVANE_API int korvane_config_cue_interlock(korvane_handle handle, int config);
/* korvane_config_gpo - command 24: output `gpo` with `trigger`, `mode`,
 * `param4` and `param5`; the last two are sent but not logged. Reported for
 * GPO 1 and 2 as KORVANE_ID_CONFIG_GPO. */
KORVANE_API int korvane_config_gpo(korvane_handle handle, int gpo, int trigger, int mode, int param4, uint8_t param5);
/* korvane_config_cue - command 25: the colour codes (0..3) of cue `cue`,
 * `active` and `inactive`; reported as KORVANE_ID_CONFIG_CUE. */
KORVANE_API int korvane_config_cue(korvane_handle handle, int cue, int active, int inactive);
/* korvane_config_on - command 26: the ON lamp colour codes (0..3) of
 * `module` (0..7): on with the fader closed (`active`), on with the fader
 * open (`active_and_fader`), off (`inactive`); reported as
 * KORVANE_ID_CONFIG_ON. */
KORVANE_API int korvane_config_on(korvane_handle handle, int module, int active, int active_and_fader, int inactive);
/* korvane_config_fader_reserve - command 27: fader-reserve `config` of
 * `module` (0..7); reported as KORVANE_ID_CONFIG_FADER_RESERVE. */
KORVANE_API int korvane_config_fader_reserve(korvane_handle handle, int module, int config);
/* korvane_config_silence_detection - command 28: silence detection with
 * `threshold` in dB (sent as a signed byte, -128..127), `interval`,
 * `interval_unit`, `source` and `config`; reported as
 * KORVANE_ID_CONFIG_SILENCE_DETECTION. */
KORVANE_API int korvane_config_silence_detection(korvane_handle handle, int8_t threshold, uint8_t interval,
                                                 int interval_unit, int source, int config);
/* korvane_config_phantom - command 29: phantom-power `config` of `module`;
 * reported as three values, KORVANE_ID_CONFIG_PHANTOM. */
KORVANE_API int korvane_config_phantom(korvane_handle handle, int module, int config);
/* korvane_config_mic_at_line - command 30: mic-at-line `config` of `module`;
 * reported as three values, KORVANE_ID_CONFIG_MIC_AT_LINE. */
KORVANE_API int korvane_config_mic_at_line(korvane_handle handle, int module, int config);
/* korvane_config_auto_off - command 31: auto-off `config` of `module`
 * (0..7); reported as KORVANE_ID_CONFIG_AUTO_OFF. */
KORVANE_API int korvane_config_auto_off(korvane_handle handle, int module, int config);
/* korvane_track_state - command 44: track `state` of `module` (0..7);
 * reported as KORVANE_ID_TRACK_STATE. */
KORVANE_API int korvane_track_state(korvane_handle handle, int module, int state);
/* korvane_config_locked_on - command 49: locked-on `config` of `module`
 * (0..7); reported as KORVANE_ID_CONFIG_LOCKED_ON. */
KORVANE_API int korvane_config_locked_on(korvane_handle handle, int module, int config);
/* korvane_config_pgm_auto_off - command 50: PGM auto-off `config` of
 * `module` (0..7); reported as KORVANE_ID_CONFIG_PGM_AUTO_OFF. */
KORVANE_API int korvane_config_pgm_auto_off(korvane_handle handle, int module, uint8_t config);
/* korvane_config_mic_on - command 51: the mic-on `trigger`; reported as
 * KORVANE_ID_CONFIG_MIC_ON. */
KORVANE_API int korvane_config_mic_on(korvane_handle handle, int trigger);

/* ---- logging and version ---------------------------------------------- */

/*
 * Function: korvane_logging
 *
 * Switches the handle's log file on or off.
 *
 * Parameters:
 *   on - nonzero: (re)creates "logfile_(<recv_port>).txt" in the current
 *        folder, emptying it, writes the handle's ports and mixer address,
 *        and from then on one stamped line for every call, every decoded
 *        message but the meters and every error of this handle. A file
 *        that cannot be created is not reported; its lines are dropped.
 *        0: closes the log.
 *
 * Thread safety:
 *   any thread, the callback too; lines of other threads stay whole.
 *   Nothing happens for a NULL handle.
 */
KORVANE_API void korvane_logging(korvane_handle handle, uint8_t on);

/*
 * Function: korvane_library_version
 *
 * Parameters:
 *   version - NULL, or four ints to fill with major, minor, build and
 *             revision.
 *
 * Returns:
 *   the version text, "Korvane Library v<major>.<minor>.<build>.<revision>
 *   - <date> (<time>) - VXN", a static text valid as long as the library is
 *   loaded.
 *
 * Thread safety:
 *   any thread; needs no handle and may come before any korvane_open.
 */
KORVANE_API const char *korvane_library_version(int *version);

#ifdef __cplusplus
}
#endif

#endif /* KORVANE_H */
