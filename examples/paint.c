/* A paint program: drag with the left button to paint, hold the right button to rub out,
 * turn the wheel for a thinner or thicker pen. Type c to start on a clean page.
 * Shows: listening for motion, buttons and the wheel (KANVO_listen), the button of an
 * event (KANVO_event_button), the wheel's steps (KANVO_event_wheel), the buttons held
 * (KANVO_mouse). The picture is not drawn again on every event: it stays, and each
 * move adds to it. */
#include "kanvo.h"

#define TOP_EDGE 240
#define BAR_BOTTOM 215 /* the pen's bar at the top */

static void draw_bar(int pen) {
    KANVO_rectangle(KANVO_CHALK, -292, TOP_EDGE, 292, BAR_BOTTOM, 0);
    KANVO_printf(KANVO_BLACK, -285, BAR_BOTTOM + 7, 13,
                 "pen %d - left: paint, right: rub out, wheel: pen size, c: clean page", pen);
    KANVO_circle(KANVO_PURPLE, 270, (TOP_EDGE + BAR_BOTTOM) / 2, pen / 2 + 1);
}

int main(void) {
    int pen = 6;
    int last_x, last_y;
    int x, y, kind, held;
    char key;

    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    KANVO_listen(KANVO_LISTEN_MOTION | KANVO_LISTEN_BUTTONS | KANVO_LISTEN_WHEEL);
    KANVO_clear();
    draw_bar(pen);
    do {
        KANVO_mouse(&last_x, &last_y); /* where the pointer was before this event */
        kind = KANVO_await_event(&x, &y, &key);
        held = KANVO_mouse(0, 0);
        if (kind == KANVO_WHEEL) {
            pen += 2 * KANVO_event_wheel();
            if (pen < 2) pen = 2;
            if (pen > 40) pen = 40;
        }
        if (kind == KANVO_KBD && key == 'c') KANVO_clear();
        if (kind == KANVO_MOUSE) {
            last_x = x; /* a press starts a new stroke */
            last_y = y;
        }
        if ((kind == KANVO_MOUSE || kind == KANVO_MOUSE_MOVE) && y < BAR_BOTTOM) {
            /* A line from where the pointer was; a wide pen has round ends, so strokes join. */
            if (held & 1) KANVO_line(KANVO_PURPLE, last_x, last_y, x, y, pen);
            else if (held & 2) KANVO_line(KANVO_WHITE, last_x, last_y, x, y, pen * 3);
        }
        draw_bar(pen);
    } while (kind != KANVO_QUIT);
    KANVO_close();
    return 0;
}
