/* The program every consumer project builds: opens Kanvo, draws, writes what the window
 * shows to the file named by its argument and ends. Runs under QT_QPA_PLATFORM=offscreen. */
#include <stdio.h>

#include "kanvo.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: consumer PICTURE.png\n");
        return 2;
    }
    if (!KANVO_open(0, 0, "", KANVO_SHOW_HIDDEN)) return 1;
    KANVO_logging(0);
    KANVO_clear();
    KANVO_circle(KANVO_RED, 0, 0, 40);
    if (!KANVO_save_picture(argv[1])) return 1;
    KANVO_close();
    return 0;
}
