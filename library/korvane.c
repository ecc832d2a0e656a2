/* Handles, UDP transport, the reader and keep-alive threads, callback
 * registration and error texts. */
#ifndef _GNU_SOURCE
#    define _GNU_SOURCE
#endif
#include "korvane_internal.h"

#include <errno.h>
#include <inttypes.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#ifdef _WIN32
#    define korvane_socket_error() WSAGetLastError()
#    define KORVANE_INVALID_SOCKET INVALID_SOCKET
#    define korvane_closesocket    closesocket
#else
#    include <arpa/inet.h>
#    include <fcntl.h>
#    include <poll.h>
#    include <sys/socket.h>
#    include <unistd.h>
#    ifdef __linux__
#        include <sys/eventfd.h>
#    endif
#    define korvane_socket_error() errno
#    define KORVANE_INVALID_SOCKET (-1)
#    define korvane_closesocket    close
#endif

#define KEEP_ALIVE_INTERVAL_MS 1000

/* ---- errors ------------------------------------------------------------ */

/* Copies text into dst, cut to fit and always terminated. */
static void copy_cut(char *dst, size_t size, const char *text)
{
    size_t n = strlen(text);
    if (n >= size)
        n = size - 1;
    memcpy(dst, text, n);
    dst[n] = '\0';
}

void korvane_error(korvane_handle handle, const char *format, ...)
{
    char text[KORVANE_LOG_TEXT_MAX];
    va_list args;

    if (!handle)
        return;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);

    pthread_mutex_lock(&handle->log_lock);
    copy_cut(handle->last_error, sizeof handle->last_error, text);
    if (handle->logging)
        log_line(handle, "ERROR: %s", text);
    pthread_mutex_unlock(&handle->log_lock);
}

KORVANE_API const char *korvane_get_last_error(korvane_handle handle)
{
    if (!handle)
        return NULL;
    return handle->last_error;
}

/* ---- wake-up of the reader ---------------------------------------------- */

static int wake_open(korvane_handle h)
{
#if defined(__linux__)
    h->wake_fd[0] = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return h->wake_fd[0] < 0 ? -1 : 0;
#elif !defined(_WIN32)
    if (pipe(h->wake_fd) != 0)
        return -1;
    fcntl(h->wake_fd[0], F_SETFD, FD_CLOEXEC);
    fcntl(h->wake_fd[1], F_SETFD, FD_CLOEXEC);
    return 0;
#else
    return 0; /* Windows: the reader wakes through its receive time-out */
#endif
}

static void wake_signal(korvane_handle h)
{
    /* one write into a fresh eventfd or pipe cannot fail */
#if defined(__linux__)
    uint64_t one = 1;
    ssize_t written = write(h->wake_fd[0], &one, sizeof one);
    (void)written;
#elif !defined(_WIN32)
    char c = 1;
    ssize_t written = write(h->wake_fd[1], &c, 1);
    (void)written;
#else
    (void)h;
#endif
}

static void wake_close(korvane_handle h)
{
#ifndef _WIN32
    if (h->wake_fd[0] >= 0)
        close(h->wake_fd[0]);
    if (h->wake_fd[1] >= 0)
        close(h->wake_fd[1]);
#endif
    h->wake_fd[0] = h->wake_fd[1] = -1;
}

/* ---- turns ------------------------------------------------------------------ */

/* Waits until every thread that asked earlier has had its turn. */
static void turn_take(korvane_handle h)
{
    unsigned mine;

    pthread_mutex_lock(&h->lock);
    mine = h->turn_next++;
    while (mine != h->turn_serving)
        pthread_cond_wait(&h->turn_cond, &h->lock);
    pthread_mutex_unlock(&h->lock);
}

static void turn_give(korvane_handle h)
{
    pthread_mutex_lock(&h->lock);
    h->turn_serving++;
    if (h->turn_next != h->turn_serving)
        pthread_cond_broadcast(&h->turn_cond);
    pthread_mutex_unlock(&h->lock);
}

/* ---- threads -------------------------------------------------------------- */

/* Hands one decoded message to the callback, then logs it; runs in the
 * reader's turn. */
static void korvane_message_handler(korvane_handle handle, const korvane_event *event)
{
    if (handle->callback)
        handle->callback(event, handle->userdata);
    if (event->id != KORVANE_ID_METERS && korvane_log_enabled(handle))
        korvane_log(handle, "[%s]: id: 0x%.2x(%d)", event->kind ? "EVENT" : "REPLY", (unsigned)event->id,
                    (int)event->id);
}

static void *korvane_reader_thread(void *arg)
{
    korvane_handle h = (korvane_handle)arg;
    korvane_event event;
    korvane_block block;
#ifndef _WIN32
    struct pollfd fds[2];
    fds[0].fd = h->socket;
    fds[0].events = POLLIN;
    fds[1].fd = h->wake_fd[0];
    fds[1].events = POLLIN;
#endif

    while (!__atomic_load_n(&h->reader_stop, __ATOMIC_ACQUIRE)) {
#ifndef _WIN32
        /* Try first and poll only when the socket is empty: under load this
         * costs no more than a plain blocking receive loop. */
        ssize_t n = recvfrom(h->socket, h->rx_buffer, sizeof h->rx_buffer, MSG_DONTWAIT, NULL, NULL);
        if (n < 0) {
            if (errno != EINTR)
                poll(fds, 2, -1);
            continue;
        }
#else
        int n = recvfrom(h->socket, (char *)h->rx_buffer, (int)sizeof h->rx_buffer, 0, NULL, NULL);
        if (n < 0)
            continue;
#endif
        /* A zero-length datagram is just another wrong length, not an end.
         * Decoding needs no turn: it reads only the buffer and the stack. */
        if (korvane_decode_datagram(h->rx_buffer, (size_t)n, &event, &block)) {
            turn_take(h);
            korvane_message_handler(h, &event);
            turn_give(h);
        }
    }
    return NULL;
}

static void deadline_after(clockid_t clock, struct timespec *t, long ms)
{
    clock_gettime(clock, t);
    t->tv_sec += ms / 1000;
    t->tv_nsec += (ms % 1000) * 1000000L;
    if (t->tv_nsec >= 1000000000L) {
        t->tv_sec += 1;
        t->tv_nsec -= 1000000000L;
    }
}

static void *korvane_keep_alive_thread(void *arg)
{
    static const uint8_t keep_alive[KORVANE_DATAGRAM_SIZE] = {KORVANE_MARKER, KORVANE_MARKER, 'K', 'A'};
    korvane_handle h = (korvane_handle)arg;
    struct timespec next;

    pthread_mutex_lock(&h->ka_lock);
    while (!h->ka_stop) {
        pthread_mutex_unlock(&h->ka_lock);
        /* result ignored: a lost keep-alive is replaced a second later */
        (void)sendto(h->socket, (const char *)keep_alive, sizeof keep_alive, 0, (const struct sockaddr *)&h->remote,
                     sizeof h->remote);
        deadline_after(h->ka_clock, &next, KEEP_ALIVE_INTERVAL_MS);
        pthread_mutex_lock(&h->ka_lock);
        while (!h->ka_stop) {
            const int rc = pthread_cond_timedwait(&h->ka_cond, &h->ka_lock, &next);
            if (rc != 0 && rc != EINTR)
                break; /* ETIMEDOUT: time for the next keep-alive */
        }
    }
    pthread_mutex_unlock(&h->ka_lock);
    return NULL;
}

static void stop_keep_alive(korvane_handle h)
{
    pthread_mutex_lock(&h->ka_lock);
    h->ka_stop = 1;
    pthread_cond_signal(&h->ka_cond);
    pthread_mutex_unlock(&h->ka_lock);
    pthread_join(h->keep_alive_thread, NULL);
}

static void stop_reader(korvane_handle h)
{
    __atomic_store_n(&h->reader_stop, 1, __ATOMIC_RELEASE);
    wake_signal(h);
    pthread_join(h->reader_thread, NULL);
}

/* ---- open and close --------------------------------------------------------- */

static int init_sync(korvane_handle h)
{
    pthread_condattr_t attr;
    int ok;

    if (pthread_condattr_init(&attr) != 0)
        return -1;
    /* Monotonic where the thread library allows it, so that a change of
     * the wall clock does not stretch or squash the keep-alive pacing; the
     * Windows thread library only times waits by the wall clock, and a
     * deadline read from the other clock would lie in the past there. */
    h->ka_clock = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC) == 0 ? CLOCK_MONOTONIC : CLOCK_REALTIME;
    ok = pthread_cond_init(&h->ka_cond, &attr) == 0;
    pthread_condattr_destroy(&attr);
    if (!ok)
        return -1;
    if (pthread_cond_init(&h->turn_cond, NULL) != 0) {
        pthread_cond_destroy(&h->ka_cond);
        return -1;
    }
    pthread_mutex_init(&h->lock, NULL);
    pthread_mutex_init(&h->log_lock, NULL);
    pthread_mutex_init(&h->ka_lock, NULL);
    return 0;
}

static void destroy_sync(korvane_handle h)
{
    pthread_cond_destroy(&h->ka_cond);
    pthread_cond_destroy(&h->turn_cond);
    pthread_mutex_destroy(&h->lock);
    pthread_mutex_destroy(&h->log_lock);
    pthread_mutex_destroy(&h->ka_lock);
}

static korvane_handle open_failed(korvane_handle h, int sync_ready, int wsa_started, char *error_text,
                                  size_t error_size)
{
    if (error_text && error_size)
        copy_cut(error_text, error_size, h->last_error);
    if (h->socket != KORVANE_INVALID_SOCKET)
        korvane_closesocket(h->socket);
    wake_close(h);
    if (sync_ready)
        destroy_sync(h);
#ifdef _WIN32
    if (wsa_started)
        WSACleanup();
#else
    (void)wsa_started;
#endif
    free(h);
    return NULL;
}

korvane_handle korvane_open_ex(const char *host, uint16_t recv_port, uint16_t send_port, char *error_text,
                               size_t error_size)
{
    korvane_handle h;
    struct sockaddr_in local;
    int wsa_started = 0;
#ifdef _WIN32
    DWORD timeout = 100;
    WSADATA wsa;
    int rc;
#else
    struct timeval timeout = {0, 100000};
#endif

    if (error_text && error_size)
        error_text[0] = '\0';
    if (!host)
        return NULL; /* no address to send to; inet_addr would crash on it */
    h = (korvane_handle)calloc(1, sizeof *h);
    if (!h)
        return NULL;
    h->recv_port = recv_port;
    h->send_port = send_port;
    h->socket = KORVANE_INVALID_SOCKET;
    h->wake_fd[0] = h->wake_fd[1] = -1;
    /* the lock must exist before the first korvane_error */
    if (init_sync(h) != 0)
        return open_failed(h, 0, 0, error_text, error_size);

#ifdef _WIN32
    rc = WSAStartup(MAKEWORD(2, 2), &wsa);
    if (rc != 0) {
        korvane_error(h, "%s(): WSAStartup failed with error %d", "korvane_open", rc);
        return open_failed(h, 1, 0, error_text, error_size);
    }
    wsa_started = 1;
#endif

    h->socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (h->socket == KORVANE_INVALID_SOCKET) {
        korvane_error(h, "%s(): Create recv socket failed with error %d", "korvane_open", korvane_socket_error());
        return open_failed(h, 1, wsa_started, error_text, error_size);
    }
#ifndef _WIN32
    fcntl(h->socket, F_SETFD, FD_CLOEXEC);
#endif
    /* Sets the receive time-out (the socket stays blocking). The message's
       wording, "non-blocking", is kept: callers and log readers match it. */
    if (setsockopt(h->socket, SOL_SOCKET, SO_RCVTIMEO, (const char *)&timeout, sizeof timeout) != 0) {
        korvane_error(h, "%s(): Setting socket non-blocking failed with error %d", "korvane_open",
                      korvane_socket_error());
        return open_failed(h, 1, wsa_started, error_text, error_size);
    }
    memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_port = htons(recv_port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(h->socket, (const struct sockaddr *)&local, sizeof local) != 0) {
        korvane_error(h, "%s(): Socket bind failed with error %d", "korvane_open", korvane_socket_error());
        return open_failed(h, 1, wsa_started, error_text, error_size);
    }

    h->remote.sin_family = AF_INET;
    h->remote.sin_port = htons(send_port);
    h->remote.sin_addr.s_addr = inet_addr(host);

    if (wake_open(h) != 0)
        return open_failed(h, 1, wsa_started, error_text, error_size);

    if (pthread_create(&h->reader_thread, NULL, korvane_reader_thread, h) != 0)
        return open_failed(h, 1, wsa_started, error_text, error_size);
    if (pthread_create(&h->keep_alive_thread, NULL, korvane_keep_alive_thread, h) != 0) {
        stop_reader(h);
        return open_failed(h, 1, wsa_started, error_text, error_size);
    }
    return h;
}

KORVANE_API korvane_handle korvane_open(const char *host, uint16_t recv_port, uint16_t send_port)
{
    return korvane_open_ex(host, recv_port, send_port, NULL, 0);
}

KORVANE_API int korvane_close(korvane_handle handle)
{
    if (!handle)
        return -1;
    korvane_log(handle, "%s(): handle: 0x%.8" PRIxPTR, "korvane_close", (uintptr_t)handle);
    korvane_unregister_callback(handle);

    stop_keep_alive(handle);
    stop_reader(handle);

    korvane_closesocket(handle->socket);
    wake_close(handle);
#ifdef _WIN32
    WSACleanup();
#endif
    pthread_mutex_lock(&handle->log_lock);
    log_close(handle);
    pthread_mutex_unlock(&handle->log_lock);
    destroy_sync(handle);
    free(handle);
    return 0;
}

/* ---- callbacks -------------------------------------------------------------- */

KORVANE_API int korvane_register_callback(korvane_handle handle, korvane_callback callback, void *userdata)
{
    if (!handle)
        return -1;
    korvane_log(handle, "%s(): handle: 0x%.8" PRIxPTR ", callback: 0x%.8" PRIxPTR ", userdata: 0x%.8" PRIxPTR,
                "korvane_register_callback", (uintptr_t)handle, (uintptr_t)callback, (uintptr_t)userdata);
    turn_take(handle);
    handle->callback = callback;
    handle->userdata = userdata;
    turn_give(handle);
    return 0;
}

KORVANE_API int korvane_unregister_callback(korvane_handle handle)
{
    if (!handle)
        return -1;
    korvane_log(handle, "%s(): handle: 0x%.8" PRIxPTR, "korvane_unregister_callback", (uintptr_t)handle);
    turn_take(handle);
    handle->callback = NULL;
    handle->userdata = NULL;
    turn_give(handle);
    return 0;
}

/* ---- sending ------------------------------------------------------------------ */

int korvane_send_udp(korvane_handle handle, const void *message, int length)
{
    if (!handle)
        return -1;
    if (length > KORVANE_PROTOCOL_MESSAGE_SIZE) {
        korvane_error(handle, "UDP data length(%d) larger then KORVANE_PROTOCOL_MESSAGE_SIZE(%d)", length,
                      KORVANE_PROTOCOL_MESSAGE_SIZE);
        return -1;
    }
    uint8_t datagram[KORVANE_DATAGRAM_SIZE] = {KORVANE_MARKER, KORVANE_MARKER}; /* the rest stays zero */
    if (length > 0)
        memcpy(datagram + 2, message, (size_t)length);
    return sendto(handle->socket, (const char *)datagram, sizeof datagram, 0, (const struct sockaddr *)&handle->remote,
                  sizeof handle->remote) == (int)sizeof datagram
               ? 0
               : -1;
}
