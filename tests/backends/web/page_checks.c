/* A page for the browser tests: draws, then waits, like every Kanvo program. Typing 's'
 * saves the picture as picture.png; typing 'b' keeps the program busy for 1.5 seconds
 * before it waits again, which the page must report. */
#include <time.h>

#include "kanvo.h"

static double seconds_now(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

static void keep_busy(double seconds) {
    double end = seconds_now() + seconds;
    while (seconds_now() < end) {
    }
}

static void draw_frame(int events, char last_key) {
    KANVO_clear();
    KANVO_rectangle(KANVO_ICE_BLUE, -299, 270, 299, -270, 0);
    KANVO_circle(KANVO_RED, 0, 0, 50);
    KANVO_printf(KANVO_BLACK, -280, 220, 16, "%d events, last key '%c'", events,
                 last_key ? last_key : ' ');
}

int main(void) {
    int x, y, kind, events = 0;
    char key = 0, last_key = 0;
    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    draw_frame(events, last_key);
    do {
        kind = KANVO_await_event(&x, &y, &key);
        ++events;
        if (kind == KANVO_KBD) {
            last_key = key;
            if (key == 's') KANVO_save_picture("picture.png");
            if (key == 'b') keep_busy(1.5);
        }
        draw_frame(events, last_key);
    } while (kind != KANVO_QUIT);
    KANVO_close();
    return 0;
}
