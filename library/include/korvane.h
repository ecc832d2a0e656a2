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
#  if defined(KORVANE_BUILDING)
#    define KORVANE_API __declspec(dllexport)
#  else
#    define KORVANE_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#  define KORVANE_API __attribute__((visibility("default")))
#else
#  define KORVANE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Bytes of one protocol message behind the two-byte datagram marker. */
#define KORVANE_PROTOCOL_MESSAGE_SIZE 10

/* Event ids (korvane_event.id); korvane_request takes the same numbers.
 * Ids 32, 33, 34, 97, 99, 103, 106 and 113 are delivered too but carry
 * values this library does not interpret, so they have no name. */
#define KORVANE_ID_FIRMWARE_VERSION              0x00 /* korvane_firmware */
#define KORVANE_ID_CONFIG_AUTO_ON                0x40 /* int32_t[8] */
#define KORVANE_ID_CONFIG_CUE_RESET              0x41 /* uint8_t[8] */
#define KORVANE_ID_CONFIG_ON_AIR                 0x42 /* uint8_t[8] */
#define KORVANE_ID_CONFIG_CRM_MUTE               0x43 /* int32_t[3] */
#define KORVANE_ID_CONFIG_CRM_AUTO_CUE_RESET     0x44 /* int32_t[3] */
#define KORVANE_ID_CONFIG_STUDIO_REMOTE          0x45 /* uint8_t[3] */
#define KORVANE_ID_CONFIG_CUE_INTERLOCK          0x46 /* int32_t[1] */
#define KORVANE_ID_CONFIG_GPO                    0x47 /* korvane_gpo */
#define KORVANE_ID_CONFIG_CUE                    0x48 /* int32_t[22] colour codes */
#define KORVANE_ID_CONFIG_ON                     0x49 /* korvane_lamp_colours */
#define KORVANE_ID_CONFIG_FADER_RESERVE          0x4A /* int32_t[8] */
#define KORVANE_ID_CONFIG_SILENCE_DETECTION      0x4B /* korvane_silence */
#define KORVANE_ID_CONFIG_PHANTOM                0x4C /* int32_t[3] */
#define KORVANE_ID_CONFIG_MIC_AT_LINE            0x4D /* int32_t[3] */
#define KORVANE_ID_CONFIG_AUTO_OFF               0x4E /* int32_t[8] */
#define KORVANE_ID_CONFIG_LOCKED_ON              0x4F /* int32_t[8] */
#define KORVANE_ID_CONFIG_PGM_AUTO_OFF           0x50 /* uint8_t[8] */
#define KORVANE_ID_CONFIG_MIC_ON                 0x51 /* int32_t[1] */
#define KORVANE_ID_MODULE_ON                     0x60 /* int32_t[8], 1 = on */
#define KORVANE_ID_FADER                         0x62 /* int32_t[8], 1 = open */
#define KORVANE_ID_MODULE_SOURCE                 0x64 /* int32_t[8], 0 = line */
#define KORVANE_ID_NON_STOP                      0x65 /* int32_t[1] */
#define KORVANE_ID_MIC_ON                        0x66 /* int32_t[1] */
#define KORVANE_ID_ON_AIR                        0x68 /* int32_t[2]: on air 1, 2 */
#define KORVANE_ID_SILENCE                       0x69 /* int32_t[1] */
#define KORVANE_ID_CRM_MUTE                      0x6B /* int32_t[1] */
#define KORVANE_ID_TRACK_STATE                   0x6C /* int32_t[8] */
#define KORVANE_ID_COMM                          0x6D /* int32_t[3] */
#define KORVANE_ID_COUGH                         0x6E /* int32_t[3] */
#define KORVANE_ID_VOICE_TRACK                   0x6F /* int32_t[8] */
#define KORVANE_ID_PHONE                         0x70 /* int32_t[1] */
#define KORVANE_ID_METERS                        0x80 /* float[6], dB */

/* Opaque handle of one open link to a mixer. */
typedef struct korvane_handle_record *korvane_handle;

/* What the callback receives. kind: 0 reply, 1 event. data points at the
 * id's block; record and block live only during the callback call. */
typedef struct {
    int32_t id;
    int32_t kind;
    const void *data;
} korvane_event;

/* Called on the handle's reader thread; the result is ignored. It must not
 * register, unregister or close its own handle. */
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
    korvane_gpo_entry gpo[2];
} korvane_gpo;

typedef struct {
    int8_t threshold; /* dB */
    uint8_t interval;
    int32_t interval_unit, source, config;
} korvane_silence;

typedef struct {
    int32_t active, active_and_fader, inactive; /* colour codes 0..3 */
} korvane_lamp_colour;

typedef struct {
    korvane_lamp_colour module[8];
} korvane_lamp_colours;

/* ---- handles ---------------------------------------------------------- */

/* Binds recv_port on all local IPv4 addresses and starts the reader and
 * keep-alive threads; everything is sent to host:send_port (dotted IPv4, not
 * resolved). Returns the new handle or NULL on failure. */
KORVANE_API korvane_handle korvane_open(const char *host, uint16_t recv_port, uint16_t send_port);

/* Stops both threads, closes socket and log, frees the handle. No callback
 * runs after it returns. Must not be called from the callback. */
KORVANE_API int korvane_close(korvane_handle handle);

/* Sets (replaces) the callback and its userdata. */
KORVANE_API int korvane_register_callback(korvane_handle handle, korvane_callback callback, void *userdata);

/* Removes the callback; once it returns no further callback starts. */
KORVANE_API int korvane_unregister_callback(korvane_handle handle);

/* Text of the handle's most recent error ("" if none); NULL for a null handle. */
KORVANE_API const char *korvane_get_last_error(korvane_handle handle);

/* ---- requests and commands: each sends one datagram ------------------- */

/* Asks the mixer for the reply carrying event id `id` (0, 32, 64..81,
 * 96..111); an unknown id sends an all-zero message. */
KORVANE_API int korvane_request(korvane_handle handle, int id);

/* Command 2: sets LED `id` to `color`. */
KORVANE_API int korvane_ctrl_led(korvane_handle handle, int id, int color);
/* Command 3: lets LED `id` blink between two colours. */
KORVANE_API int korvane_ctrl_led_blink(korvane_handle handle, int id, int color_on, int color_off, int blink_speed);

/* Command 5: module ON key (the meters send action 2 for a click). */
KORVANE_API int korvane_remote_on(korvane_handle handle, int module, int action);
/* Command 6: cue key. */
KORVANE_API int korvane_remote_cue(korvane_handle handle, int cue, int action);
/* Command 7: cue reset. */
KORVANE_API int korvane_remote_cue_reset(korvane_handle handle);
/* Command 8: auto cue announcer. */
KORVANE_API int korvane_remote_auto_cue_announcer(korvane_handle handle, int action);
/* Command 9: auto cue control room. */
KORVANE_API int korvane_remote_auto_cue_crm(korvane_handle handle, int action);
/* Command 10: non-stop key. */
KORVANE_API int korvane_remote_non_stop(korvane_handle handle, int action);
/* Command 11: comm key of a module. */
KORVANE_API int korvane_remote_comm(korvane_handle handle, int module, int action);
/* Command 12: cough key of a module. */
KORVANE_API int korvane_remote_cough(korvane_handle handle, int module, int action);
/* Command 13: voice-track key of a module. */
KORVANE_API int korvane_remote_vt(korvane_handle handle, int module, int action);

/* Command 16: stores the current configuration in the mixer. */
KORVANE_API int korvane_config_save(korvane_handle handle);
/* Command 17: auto-on configuration of one module. */
KORVANE_API int korvane_config_auto_on(korvane_handle handle, int module, int config);
/* Command 18: cue-reset flags of one module. */
KORVANE_API int korvane_config_cue_reset(korvane_handle handle, int module, uint8_t flags);
/* Command 19: on-air flags of one module. */
KORVANE_API int korvane_config_on_air(korvane_handle handle, int module, uint8_t flags);
/* Command 20: CRM-mute configuration. */
KORVANE_API int korvane_config_crm_mute(korvane_handle handle, int module, int config);
/* Command 21: CRM auto-cue-reset configuration. */
KORVANE_API int korvane_config_crm_auto_cue_reset(korvane_handle handle, int module, int config);
/* Command 22: studio-remote flags. */
KORVANE_API int korvane_config_studio_remote(korvane_handle handle, int module, uint8_t flags);
/* Command 23: cue interlock. */
KORVANE_API int korvane_config_cue_interlock(korvane_handle handle, int config);
/* Command 24: one GPO output (param4 and param5 are sent but not logged). */
KORVANE_API int korvane_config_gpo(korvane_handle handle, int gpo, int trigger, int mode, int param4, uint8_t param5);
/* Command 25: colours of one cue lamp. */
KORVANE_API int korvane_config_cue(korvane_handle handle, int cue, int active, int inactive);
/* Command 26: ON lamp colours of one module. */
KORVANE_API int korvane_config_on(korvane_handle handle, int module, int active, int active_and_fader, int inactive);
/* Command 27: fader reserve of one module. */
KORVANE_API int korvane_config_fader_reserve(korvane_handle handle, int module, int config);
/* Command 28: silence detection; threshold in dB, sent as a signed byte. */
KORVANE_API int korvane_config_silence_detection(korvane_handle handle, int8_t threshold, uint8_t interval,
                                                 int interval_unit, int source, int config);
/* Command 29: phantom power. */
KORVANE_API int korvane_config_phantom(korvane_handle handle, int module, int config);
/* Command 30: mic at line. */
KORVANE_API int korvane_config_mic_at_line(korvane_handle handle, int module, int config);
/* Command 31: auto-off configuration of one module. */
KORVANE_API int korvane_config_auto_off(korvane_handle handle, int module, int config);
/* Command 44: track state of one module. */
KORVANE_API int korvane_track_state(korvane_handle handle, int module, int state);
/* Command 49: locked-on configuration of one module. */
KORVANE_API int korvane_config_locked_on(korvane_handle handle, int module, int config);
/* Command 50: PGM auto-off configuration of one module. */
KORVANE_API int korvane_config_pgm_auto_off(korvane_handle handle, int module, uint8_t config);
/* Command 51: mic-on trigger. */
KORVANE_API int korvane_config_mic_on(korvane_handle handle, int trigger);

/* ---- logging and version ---------------------------------------------- */

/* on != 0: (re)creates "logfile_(<recv_port>).txt" in the current folder,
 * emptying it, and logs every call, decoded message (meters excepted) and
 * error of this handle; on == 0: closes the log. */
KORVANE_API void korvane_logging(korvane_handle handle, uint8_t on);

/* Returns the library's version text; fills version[0..3] (major, minor,
 * build, revision) when version is not NULL. */
KORVANE_API const char *korvane_library_version(int *version);

#ifdef __cplusplus
}
#endif

#endif /* KORVANE_H */
