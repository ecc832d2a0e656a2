/* Internal declarations shared by the library's units; not installed and
 * not exported (the library is built with hidden default visibility). */
#ifndef KORVANE_INTERNAL_H
#define KORVANE_INTERNAL_H

#include "korvane.h"

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>

#ifdef _WIN32
#    include <winsock2.h>
#    include <ws2tcpip.h>
typedef SOCKET korvane_socket;
#else
#    include <netinet/in.h>
typedef int korvane_socket;
#endif
#include <pthread.h> /* winpthreads on Windows */

#ifdef __cplusplus
extern "C" {
#endif

#define KORVANE_RX_BUFFER_SIZE 256
#define KORVANE_DATAGRAM_SIZE  (2 + KORVANE_PROTOCOL_MESSAGE_SIZE)
#define KORVANE_MARKER         0xA0
#define KORVANE_LOG_TEXT_MAX   500 /* message text of one log line incl. NUL */

struct korvane_handle_record {
    uint16_t recv_port;
    uint16_t send_port;
    korvane_socket socket;
    uint8_t rx_buffer[KORVANE_RX_BUFFER_SIZE];
    struct sockaddr_in remote;
    pthread_t reader_thread;
    pthread_t keep_alive_thread;
    korvane_callback callback;
    void *userdata;
    pthread_mutex_t lock; /* guards the turn counters below */
    char last_error[128];
    uint8_t logging;
    FILE *log_file;
    char *log_path;   /* absolute, so a rotation finds the file whatever the
                         current folder has become; null while none is open */
    size_t log_bytes; /* written to log_file so far */

    /* Guards logging, log_file and last_error: the log may be switched while
     * the reader thread writes a line. Never held while waiting for a turn
     * (below). */
    pthread_mutex_t log_lock;

    /* Stopping without thread cancellation: the reader polls the socket
     * together with wake_fd, the keep-alive thread waits on ka_cond. */
    int reader_stop; /* accessed atomically */
    int wake_fd[2];  /* eventfd in [0] (and [1] = -1) or a pipe */
    pthread_mutex_t ka_lock;
    pthread_cond_t ka_cond;
    clockid_t ka_clock; /* the clock ka_cond measures its time-outs with */
    int ka_stop;        /* guarded by ka_lock */

    /* Turns, served first come first served, serialise the callback with
     * (un)registration; callback and userdata belong to the thread whose
     * turn it is. A plain mutex would let the reader, flooded with
     * datagrams, retake it before a waiting close ever got it. */
    pthread_cond_t turn_cond;
    unsigned turn_next;    /* next ticket to hand out; guarded by lock */
    unsigned turn_serving; /* ticket whose turn it is; guarded by lock */
};

/* Every block a decoded message can carry; lives on the reader's stack. */
typedef union {
    korvane_firmware firmware;
    int32_t i32[22];
    uint8_t u8[8];
    uint16_t u16;
    korvane_gpo gpo;
    korvane_silence silence;
    korvane_lamp_colours lamps;
    float meters[6];
} korvane_block;

/* decode.c: the reader's one way from a received datagram to an event, also
 * driven directly by the fuzzer, the internal tests and the benchmarks. Pure:
 * no handle, no allocation. Returns 1 and fills event/block when the datagram
 * carries a message the library delivers, else 0. */
int korvane_decode_datagram(const uint8_t *datagram, size_t length, korvane_event *event, korvane_block *block);

/* korvane.c */
int korvane_send_udp(korvane_handle handle, const void *message, int length);
void korvane_error(korvane_handle handle, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;
/* korvane_open that also copies the failure text into error_text, since the
 * handle that held it is gone when open fails. */
korvane_handle korvane_open_ex(const char *host, uint16_t recv_port, uint16_t send_port, char *error_text,
                               size_t error_size);

/* logging.c */
/* Size at which a handle's log file is renamed to NAME.1 and started anew.
 * A variable only so that tests need not write 16 MiB. */
extern size_t korvane_log_rotate_bytes;

void log_start(FILE **stream, int number);
/* Opens (and empties) the handle's log file in the current folder. */
void log_open(korvane_handle handle);
/* Closes the handle's log file, if one is open. */
void log_close(korvane_handle handle);
/* One whole stamped line to the handle's log, rotating it first when the
 * line would take it past korvane_log_rotate_bytes. Caller holds log_lock. */
void log_line(korvane_handle handle, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
void log_stop(FILE *stream);
void log_write(FILE *stream, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;
void log_vwrite(FILE *stream, const char *format, va_list args);
/* Writes one line to the handle's log when logging is on; safe against
 * korvane_logging running on another thread. */
void korvane_log(korvane_handle handle, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;
/* Cheap check used to skip formatting entirely when logging is off. */
int korvane_log_enabled(korvane_handle handle);

#ifdef __cplusplus
}
#endif

#endif /* KORVANE_INTERNAL_H */
