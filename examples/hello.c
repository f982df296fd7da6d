/* A first Kanvo program: every click leaves a red circle where you clicked, and the
 * animation ticks are counted in the corner. It has the shape of every Kanvo program:
 * wait for an event, change what the program keeps, draw the whole picture again.
 * Ctrl+Q or the close box ends it. */
#include "kanvo.h"

#define MAX_POINTS 100

int main(void) {
    int xs[MAX_POINTS], ys[MAX_POINTS], count = 0, ticks = 0;
    int x, y, kind, i;
    char key;

    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);                 /* Ctrl+L lists every drawing call in the text window */
    KANVO_animate(KANVO_ANIMATE_RUN); /* a KANVO_PERIODIC event about ten times a second */
    do {
        kind = KANVO_await_event(&x, &y, &key); /* waits until something happens */
        if (kind == KANVO_MOUSE && count < MAX_POINTS) {
            xs[count] = x; /* (0, 0) is the centre, y goes up */
            ys[count] = y;
            count++;
        } else if (kind == KANVO_PERIODIC) {
            ticks++;
        }
        /* The whole picture, every time, from what the program keeps. */
        KANVO_clear();
        for (i = 0; i < count; i++) KANVO_circle(KANVO_RED, xs[i], ys[i], 20);
        KANVO_printf(KANVO_BLACK, -280, 220, 14, "%d clicks, %d ticks", count, ticks);
    } while (kind != KANVO_QUIT);
    KANVO_close();
    return 0;
}
