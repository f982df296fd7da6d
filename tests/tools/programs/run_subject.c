/* A Kanvo program for kanvo-run's tests, which behaves or misbehaves as its first argument
 * asks. Its frames hold shapes only (a ball that moves with every event, a box whose colour
 * changes), so they use a handful of colours.
 *   exit N       leaves its loop at the quit event and ends with status N
 *   ignore-quit  never leaves its loop
 *   hang         stops calling the wait after its third event
 *   crash        crashes at its third event (a signal, which a sanitizer leaves alone)
 *   abort        aborts at its third event, having drawn more
 *   no-window    never opens Kanvo and ends with status N
 *   environment  also prints whether kanvo-run's variables are still visible to it
 *   changed-rows first reports changed rows of a frame kanvo-run has never had, then runs
 *                as exit does
 *   fork FILE    at its second event starts two processes, one that exits at once and
 *                one that sleeps (its id written to FILE), then never leaves its loop */
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "kanvo.h"

static void draw(int events) {
    KANVO_clear();
    KANVO_rectangle(events % 24, -200, 150, -100, 50, 0);
    KANVO_circle(KANVO_RED, -250 + (events * 7) % 500, -100, 20);
    KANVO_oval(KANVO_NAVY_BLUE, 50, 100, 150 + events % 40, 60, 3);
}

int main(int argc, char **argv) {
    const char *mode = argc > 1 ? argv[1] : "exit";
    int status = argc > 2 && strcmp(mode, "fork") != 0 ? atoi(argv[2]) : 0;
    int x, y, kind, events = 0;
    char key;

    if (strcmp(mode, "no-window") == 0) {
        puts("no window");
        return status;
    }
    if (strcmp(mode, "changed-rows") == 0 && getenv("KANVO_RUN_FD")) {
        /* A record as the library lays it out: one changed row of two pixels. */
        struct {
            uint32_t magic, kind;
            uint64_t frame;
            int64_t time_ms;
            uint32_t width, height, unplayed_line, changed_rows;
        } record = {0x4B52554Eu, 1, 0, 0, 2, 1, 0, 1};
        const unsigned char row_follows = 1;
        const uint32_t pixels[2] = {0xFFFF0000u, 0xFF00FF00u};
        const int fd = atoi(getenv("KANVO_RUN_FD"));
        if (write(fd, &record, sizeof record) != (ssize_t)sizeof record || write(fd, &row_follows, 1) != 1 ||
            write(fd, pixels, sizeof pixels) != (ssize_t)sizeof pixels) {
            return 3;
        }
    }
    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    if (strcmp(mode, "environment") == 0) {
        printf("KANVO_RUN_FD %s\n", getenv("KANVO_RUN_FD") ? "visible" : "gone");
        fflush(stdout);
    }
    KANVO_logging(0); /* no text window repaints between ticks: ten events a second */
    KANVO_animate(KANVO_ANIMATE_RUN);
    draw(events);
    do {
        kind = KANVO_await_event(&x, &y, &key);
        draw(++events);
        if (events == 2 && strcmp(mode, "fork") == 0) {
            FILE *pid_file;
            if (fork() == 0) exit(0);
            pid_t sleeper = fork();
            if (sleeper == 0) {
                for (;;) pause();
            }
            pid_file = fopen(argv[2], "w");
            fprintf(pid_file, "%d\n", (int)sleeper);
            fclose(pid_file);
        }
        if (events == 3 && strcmp(mode, "hang") == 0) {
            for (;;) sleep(1);
        }
        if (events == 3 && strcmp(mode, "crash") == 0) {
            signal(SIGSEGV, SIG_DFL); /* a sanitizer's handler would turn it into an exit */
            raise(SIGSEGV);
        }
        if (events == 3 && strcmp(mode, "abort") == 0) abort();
    } while (kind != KANVO_QUIT || strcmp(mode, "ignore-quit") == 0 || strcmp(mode, "fork") == 0);
    KANVO_close();
    return status;
}
