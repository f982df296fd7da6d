/* A clock drawn with ovals and lines. It runs fast, one minute per animation tick, from
 * ten past ten, so the hands visibly move. Shows: ovals and lines of several widths, and
 * placing points round a circle with sin and cos (link the maths library, m). */
#include <math.h>

#include "kanvo.h"

#define RADIUS 180

/* The point at distance length from the centre, in the direction of a clock hand showing
 * fraction (0 to 1) of a full turn: 0 points up, 0.25 to the right. */
static void hand_point(double fraction, int length, int *x, int *y) {
    const double angle = fraction * 2.0 * 3.14159265358979;
    *x = (int)lround(length * sin(angle));
    *y = (int)lround(length * cos(angle));
}

static void draw_clock(int minutes) {
    int i, x1, y1, x2, y2;
    KANVO_clear();
    KANVO_oval(KANVO_NAVY_BLUE, -RADIUS - 12, RADIUS + 12, RADIUS + 12, -RADIUS - 12, 0);
    KANVO_oval(KANVO_CHALK, -RADIUS, RADIUS, RADIUS, -RADIUS, 0);
    for (i = 0; i < 60; i++) { /* a mark for every minute, longer ones for the hours */
        hand_point(i / 60.0, RADIUS - (i % 5 == 0 ? 22 : 10), &x1, &y1);
        hand_point(i / 60.0, RADIUS - 3, &x2, &y2);
        KANVO_line(KANVO_BLACK, x1, y1, x2, y2, i % 5 == 0 ? 4 : 1);
    }
    hand_point((minutes % 720) / 720.0, RADIUS / 2, &x1, &y1); /* hours: 12 h a turn */
    KANVO_line(KANVO_BLACK, 0, 0, x1, y1, 9);
    hand_point((minutes % 60) / 60.0, RADIUS - 30, &x2, &y2); /* minutes: 1 h a turn */
    KANVO_line(KANVO_BROWN, 0, 0, x2, y2, 5);
    KANVO_circle(KANVO_RED, 0, 0, 8);
    KANVO_printf(KANVO_BLACK, -280, 220, 14, "%02d:%02d", (minutes / 60 + 11) % 12 + 1,
                 minutes % 60);
}

int main(void) {
    int minutes = 10 * 60 + 10; /* minutes since midnight */
    int x, y, kind;
    char key;

    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    KANVO_animate(KANVO_ANIMATE_RUN);
    draw_clock(minutes);
    do {
        kind = KANVO_await_event(&x, &y, &key);
        if (kind == KANVO_PERIODIC) minutes = (minutes + 1) % (24 * 60);
        draw_clock(minutes);
    } while (kind != KANVO_QUIT);
    KANVO_close();
    return 0;
}
