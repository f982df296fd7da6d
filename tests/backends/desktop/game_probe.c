/* The program scripts/test-desktop.sh sends real keys, buttons, motion and wheel turns to:
 * with the argument "listen" it asks for every kind of input, without it for none, and it
 * prints every event it gets (the periodic ones aside) with what the state calls say right
 * after it, one line each, for the script to compare. */
#include <stdio.h>
#include <string.h>

#include "kanvo.h"

int main(int argc, char **argv) {
    int x, y, kind, mx, my, buttons;
    char key;
    int listen = argc > 1 && strcmp(argv[1], "listen") == 0;
    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    KANVO_rectangle(KANVO_MAGENTA, -1000, 1000, 1000, -1000, 0);
    if (listen)
        KANVO_listen(KANVO_LISTEN_KEYS | KANVO_LISTEN_MOTION | KANVO_LISTEN_BUTTONS |
                     KANVO_LISTEN_WHEEL);
    printf("ready\n");
    fflush(stdout);
    while ((kind = KANVO_await_event(&x, &y, &key)) != KANVO_QUIT) {
        buttons = KANVO_mouse(&mx, &my);
        switch (kind) {
        case KANVO_PERIODIC: continue;
        case KANVO_KBD: printf("kbd %d\n", (unsigned char)key); break;
        case KANVO_MOUSE: printf("mouse %d %d button %d held %d\n", x, y, KANVO_event_button(), buttons); break;
        case KANVO_KEY_DOWN:
        case KANVO_KEY_UP:
            printf("key%s %d held %d\n", kind == KANVO_KEY_DOWN ? "down" : "up", KANVO_event_key(),
                   KANVO_key_down(KANVO_event_key()));
            break;
        case KANVO_MOUSE_MOVE: printf("move %d %d\n", x, y); break;
        case KANVO_MOUSE_UP: printf("up %d %d button %d held %d\n", x, y, KANVO_event_button(), buttons); break;
        case KANVO_WHEEL: printf("wheel %d at %d %d\n", KANVO_event_wheel(), x, y); break;
        default: printf("kind %d\n", kind); break;
        }
        fflush(stdout);
    }
    KANVO_close();
    return 0;
}
