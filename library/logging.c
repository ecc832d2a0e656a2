/* Log file routines, korvane_logging and the version text. */
#ifndef _GNU_SOURCE
#    define _GNU_SOURCE
#endif
#include "korvane_internal.h"
#include "korvane_version.h"

#include <inttypes.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#ifdef _WIN32
#    include <direct.h>
#    define getcwd _getcwd
#else
#    include <arpa/inet.h>
#    include <unistd.h>
#endif

#define LOG_DASHES "----------------------------------------------------"

/* Logging is always on in the meters program: without a bound a flood of
 * state events fills the disk. */
size_t korvane_log_rotate_bytes = (size_t)16 << 20;

static FILE *open_for_writing(const char *path)
{
#ifdef __linux__
    /* close-on-exec, like the socket: a child the application starts must
     * not keep the log open */
    return fopen(path, "we");
#else
    return fopen(path, "w");
#endif
}

/* The header line with the bare name, the way the file always began. */
static size_t write_header(FILE *f, const char *name)
{
    const int n = fprintf(f, "********** LOGFILE: %s **********\n\n", name);
    fflush(f);
    return n > 0 ? (size_t)n : 0;
}

void log_start(FILE **stream, int number)
{
    char name[64];

    snprintf(name, sizeof name, "logfile_(%d).txt", number);
    *stream = open_for_writing(name);
    if (*stream)
        write_header(*stream, name);
}

static const char *base_name(const char *path)
{
    const char *slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

void log_open(korvane_handle handle)
{
    char name[64];
    char cwd[4096];
    size_t size;

    log_close(handle);
    snprintf(name, sizeof name, "logfile_(%d).txt", handle->recv_port);
    if (!getcwd(cwd, sizeof cwd))
        cwd[0] = '\0';
    size = strlen(cwd) + 1 + strlen(name) + 1;
    handle->log_path = malloc(size);
    if (!handle->log_path)
        return;
    if (cwd[0])
        snprintf(handle->log_path, size, "%s/%s", cwd, name);
    else
        snprintf(handle->log_path, size, "%s", name);
    handle->log_file = open_for_writing(handle->log_path);
    handle->log_bytes = handle->log_file ? write_header(handle->log_file, name) : 0;
}

void log_close(korvane_handle handle)
{
    log_stop(handle->log_file);
    handle->log_file = NULL;
    free(handle->log_path);
    handle->log_path = NULL;
    handle->log_bytes = 0;
}

/* NAME becomes NAME.1 (replacing an older one) and NAME starts anew. A
 * failed rename still starts anew rather than growing without bound. */
static void rotate(korvane_handle handle)
{
    size_t size = strlen(handle->log_path) + 3;
    char *older = malloc(size);

    fclose(handle->log_file);
    if (older) {
        snprintf(older, size, "%s.1", handle->log_path);
        remove(older); /* rename does not replace on every system */
        rename(handle->log_path, older);
        free(older);
    }
    handle->log_file = open_for_writing(handle->log_path);
    handle->log_bytes = handle->log_file ? write_header(handle->log_file, base_name(handle->log_path)) : 0;
}

void log_stop(FILE *stream)
{
    if (stream)
        fclose(stream);
}

/* "[stamp] text\n" into line; the length written. */
static size_t format_line(char *line, size_t size, const char *format, va_list args)
{
    char text[KORVANE_LOG_TEXT_MAX];
    char stamp[20];
    time_t now;
    struct tm local;
    int n;

    vsnprintf(text, sizeof text, format, args);
    now = time(NULL);
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    n = snprintf(line, size, "[%s] %s\n", stamp, text);
    return n > 0 ? (size_t)n : 0;
}

#define LOG_LINE_MAX (KORVANE_LOG_TEXT_MAX + 32)

void log_vwrite(FILE *stream, const char *format, va_list args)
{
    char line[LOG_LINE_MAX];

    format_line(line, sizeof line, format, args);
    if (!stream)
        return;
    fputs(line, stream);
    fflush(stream);
}

void log_line(korvane_handle handle, const char *format, ...)
{
    char line[LOG_LINE_MAX];
    size_t length;
    va_list args;

    va_start(args, format);
    length = format_line(line, sizeof line, format, args);
    va_end(args);
    if (!handle->log_file)
        return;
    /* The line goes whole into one file or the other, never split. */
    if (handle->log_path && handle->log_bytes > 0 && handle->log_bytes + length > korvane_log_rotate_bytes) {
        rotate(handle);
        if (!handle->log_file)
            return;
    }
    fputs(line, handle->log_file);
    fflush(handle->log_file);
    handle->log_bytes += length;
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
        char text[KORVANE_LOG_TEXT_MAX];
        va_start(args, format);
        vsnprintf(text, sizeof text, format, args);
        va_end(args);
        log_line(handle, "%s", text);
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
        log_open(handle);
        if (!inet_ntop(AF_INET, &handle->remote.sin_addr, host, sizeof host))
            host[0] = '\0';
        log_line(handle, "%s", LOG_DASHES);
        log_line(handle, "%-20s: 0x%.8" PRIxPTR, "HANDLE", (uintptr_t)handle);
        log_line(handle, "%-20s: %d", "UDP RECEIVE PORT", handle->recv_port);
        log_line(handle, "%-20s: %d", "UDP SEND PORT", handle->send_port);
        log_line(handle, "%-20s: %s", "REMOTE HOST", host);
        log_line(handle, "%s", LOG_DASHES);
    } else {
        log_close(handle);
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
