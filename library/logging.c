/* Log file routines, korvane_logging and the version text. */
#ifndef _GNU_SOURCE
#    define _GNU_SOURCE
#endif
#include "korvane_internal.h"
#include "korvane_version.h"

#include <inttypes.h>
#include <string.h>
#include <time.h>

#ifndef _WIN32
#    include <arpa/inet.h>
#endif

#define LOG_DASHES "----------------------------------------------------"

void log_start(FILE **stream, int number)
{
    char name[64];
    FILE *f;

    snprintf(name, sizeof name, "logfile_(%d).txt", number);
#ifdef __linux__
    /* close-on-exec, like the socket: a child the application starts must
     * not keep the log open */
    f = fopen(name, "we");
#else
    f = fopen(name, "w");
#endif
    *stream = f;
    if (!f)
        return;
    fprintf(f, "********** LOGFILE: %s **********\n\n", name);
    fflush(f);
}

void log_stop(FILE *stream)
{
    if (stream)
        fclose(stream);
}

void log_vwrite(FILE *stream, const char *format, va_list args)
{
    char text[KORVANE_LOG_TEXT_MAX];
    char stamp[20];
    time_t now;
    struct tm local;

    vsnprintf(text, sizeof text, format, args);
    now = time(NULL);
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    if (!stream)
        return;
    fprintf(stream, "[%s] %s\n", stamp, text);
    fflush(stream);
}

void log_write(FILE *stream, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    log_vwrite(stream, format, args);
    va_end(args);
}

int korvane_log_enabled(korvane_handle handle)
{
    return __atomic_load_n(&handle->logging, __ATOMIC_RELAXED) != 0;
}

void korvane_log(korvane_handle handle, const char *format, ...)
{
    va_list args;

    if (!handle || !korvane_log_enabled(handle))
        return;
    pthread_mutex_lock(&handle->log_lock);
    if (handle->logging) {
        va_start(args, format);
        log_vwrite(handle->log_file, format, args);
        va_end(args);
    }
    pthread_mutex_unlock(&handle->log_lock);
}

KORVANE_API void korvane_logging(korvane_handle handle, uint8_t on)
{
    char host[INET_ADDRSTRLEN];

    if (!handle)
        return;
    pthread_mutex_lock(&handle->log_lock);
    __atomic_store_n(&handle->logging, on, __ATOMIC_RELAXED);
    if (on) {
        log_stop(handle->log_file);
        log_start(&handle->log_file, handle->recv_port);
        if (!inet_ntop(AF_INET, &handle->remote.sin_addr, host, sizeof host))
            host[0] = '\0';
        log_write(handle->log_file, "%s", LOG_DASHES);
        log_write(handle->log_file, "%-20s: 0x%.8" PRIxPTR, "HANDLE", (uintptr_t)handle);
        log_write(handle->log_file, "%-20s: %d", "UDP RECEIVE PORT", handle->recv_port);
        log_write(handle->log_file, "%-20s: %d", "UDP SEND PORT", handle->send_port);
        log_write(handle->log_file, "%-20s: %s", "REMOTE HOST", host);
        log_write(handle->log_file, "%s", LOG_DASHES);
    } else {
        log_stop(handle->log_file);
        handle->log_file = NULL;
    }
    pthread_mutex_unlock(&handle->log_lock);
}

/* ---- version ---------------------------------------------------------- */

static char versionString[128];
static pthread_once_t version_once = PTHREAD_ONCE_INIT;

/* Formatted once: callers on several threads then only read the buffer. */
static void format_version(void)
{
    snprintf(versionString, sizeof versionString, "Korvane Library v%d.%d.%d.%d - %s (%s) - VXN", KORVANE_VERSION_MAJOR,
             KORVANE_VERSION_MINOR, KORVANE_VERSION_BUILD, KORVANE_VERSION_REVISION, KORVANE_BUILD_DATE,
             KORVANE_BUILD_TIME);
}

KORVANE_API const char *korvane_library_version(int *version)
{
    if (version) {
        version[0] = KORVANE_VERSION_MAJOR;
        version[1] = KORVANE_VERSION_MINOR;
        version[2] = KORVANE_VERSION_BUILD;
        version[3] = KORVANE_VERSION_REVISION;
    }
    pthread_once(&version_once, format_version);
    return versionString;
}
