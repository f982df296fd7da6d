/* Compiled as C: the public header must be usable from a C program. Links a few calls
 * so that their C linkage is checked too; running it draws nothing. */
#include "kanvo.h"

int main(int argc, char **argv) {
    (void)argv;
    if (argc > 99) { /* never taken: the calls only have to link */
        int x, y;
        char key;
        KANVO_open(0, 0, "", KANVO_SHOW_HIDDEN);
        KANVO_circle(KANVO_RED, 0, 0, 10);
        KANVO_printf(KANVO_BLACK, 0, 0, 12, "%d", KANVO_QUIT);
        KANVO_await_event(&x, &y, &key);
        KANVO_save_picture("x.png");
        {
            const int xs[3] = {0, 10, 0}, ys[3] = {0, 0, 10};
            KANVO_polygon(KANVO_rgb(1, 2, 3), 3, xs, ys, 0);
            KANVO_picture(KANVO_load_picture("x.png"), 0, 0);
            KANVO_text(KANVO_hsv(0, 100, 100), -KANVO_text_width(12, "x") / 2, 0, 12, "x");
        }
        KANVO_close();
    }
    return 0;
}
