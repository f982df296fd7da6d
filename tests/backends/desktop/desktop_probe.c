/* The program scripts/test-desktop.sh runs on a real X server: it paints the whole
 * drawing window magenta, so a screenshot shows exactly the client area, and prints each
 * click in library coordinates, "click X Y", for the script to compare. */
#include <stdio.h>

#include "kanvo.h"

int main(void) {
    int x, y, kind;
    char key;
    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    KANVO_rectangle(KANVO_MAGENTA, -1000, 1000, 1000, -1000, 0);
    printf("ready\n");
    fflush(stdout);
    while ((kind = KANVO_await_event(&x, &y, &key)) != KANVO_QUIT) {
        if (kind == KANVO_MOUSE) {
            printf("click %d %d\n", x, y);
            fflush(stdout);
        }
    }
    KANVO_close();
    return 0;
}
