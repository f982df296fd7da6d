/* Click to draw: each click adds a point, and the points are joined by lines into one
 * drawing, a small dot on each. Type c to start again, a digit 1 to 9 for a thicker pen.
 * Shows: mouse events, keeping points in arrays, redrawing everything each time. */
#include "kanvo.h"

#define MAX_POINTS 200

int main(void) {
    int xs[MAX_POINTS], ys[MAX_POINTS];
    int count = 0, pen = 2;
    int x, y, kind, i;
    char key;

    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0); /* keep the text window for messages; Ctrl+L shows every call */
    do {
        kind = KANVO_await_event(&x, &y, &key);
        if (kind == KANVO_MOUSE && count < MAX_POINTS) {
            xs[count] = x;
            ys[count] = y;
            count++;
        } else if (kind == KANVO_KBD && key == 'c') {
            count = 0;
        } else if (kind == KANVO_KBD && key >= '1' && key <= '9') {
            pen = key - '0';
        }

        KANVO_clear();
        for (i = 1; i < count; i++)
            KANVO_line(KANVO_NAVY_BLUE, xs[i - 1], ys[i - 1], xs[i], ys[i], pen);
        for (i = 0; i < count; i++) KANVO_circle(KANVO_ORANGE, xs[i], ys[i], 4);
        KANVO_printf(KANVO_BLACK, -280, 220, 14, "%d points, pen %d - click to draw, c clears",
                     count, pen);
    } while (kind != KANVO_QUIT);
    KANVO_close();
    return 0;
}
