/* The sun's radius is one short. */
#include <stdlib.h>
#include <time.h>

#include "kanvo.h"

int main(void) {
    int xs[50], ys[50], dots = 0, ball = -250, star, x, y, kind, i;
    char key;
    srand((unsigned)time(NULL));
    star = rand() % 400 - 200;
    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    KANVO_animate(KANVO_ANIMATE_RUN);
    do {
        kind = KANVO_await_event(&x, &y, &key);
        if (kind == KANVO_PERIODIC) ball = ball >= 250 ? -250 : ball + 5;
        if (kind == KANVO_MOUSE && dots < 50) {
            xs[dots] = x;
            ys[dots] = y;
            dots++;
        }
        KANVO_clear();
        KANVO_circle(KANVO_YELLOW, 200, 170, 39);
        KANVO_rectangle(KANVO_BROWN, -150, 0, -50, -100, 0);
        KANVO_triangle(KANVO_RED, -160, 0, -40, 0, -100, 60, 0);
        KANVO_circle(KANVO_WHITE, star, 200, 6);
        KANVO_circle(KANVO_BLUE, ball, -180, 15);
        for (i = 0; i < dots; i++) KANVO_circle(KANVO_BLACK, xs[i], ys[i], 4);
    } while (kind != KANVO_QUIT);
    KANVO_close();
    return 0;
}
