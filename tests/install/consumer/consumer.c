/* Someone else's program, built against an installed korvane: it asks a mixer
 * on this computer for its firmware version and prints it.
 *   korvane-consumer MIXER_PORT
 * Exit code 0 when the mixer answered within 5 s. */
#define _POSIX_C_SOURCE 200809L
#include <korvane.h>

#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static char firmware[sizeof(((korvane_firmware *)0)->text) + 1];
static atomic_int answered;

static int on_event(const korvane_event *event, void *userdata)
{
    (void)userdata;
    if (event->id == KORVANE_ID_FIRMWARE_VERSION && !atomic_load(&answered)) {
        const korvane_firmware *reply = (const korvane_firmware *)event->data;
        snprintf(firmware, sizeof firmware, "%.*s", (int)sizeof reply->text, reply->text);
        atomic_store(&answered, 1);
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: korvane-consumer MIXER_PORT\n");
        return 2;
    }
    printf("%s\n", korvane_library_version(NULL));

    /* Receive port 0: any free port; the mixer answers the sending port. */
    korvane_handle handle = korvane_open("127.0.0.1", 0, (uint16_t)atoi(argv[1]));
    if (!handle) {
        fprintf(stderr, "korvane-consumer: no handle\n");
        return 1;
    }
    korvane_register_callback(handle, on_event, NULL);
    const struct timespec tick = {0, 20 * 1000 * 1000};
    for (int i = 0; i < 250 && !atomic_load(&answered); ++i) {
        if (i % 25 == 0) /* UDP may lose the request: ask again every half second */
            korvane_request(handle, KORVANE_ID_FIRMWARE_VERSION);
        nanosleep(&tick, NULL);
    }
    korvane_close(handle);

    if (!atomic_load(&answered)) {
        fprintf(stderr, "korvane-consumer: the mixer did not answer\n");
        return 1;
    }
    printf("firmware: %s\n", firmware);
    return 0;
}
