/* Written differently: the scene in a function of its own in another file, the dots in a
 * struct, the ball moved by a modulo. The same calls, in the same order. */
#include <stdlib.h>
#include <time.h>

#include "kanvo.h"
#include "scene.h"

int main(void) {
    struct scene scene = {0};
    int x, y, kind;
    char key;
    srand((unsigned)time(NULL));
    scene.star = rand() % 400 - 200;
    scene.ball = -250;
    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    KANVO_animate(KANVO_ANIMATE_RUN);
    for (;;) {
        kind = KANVO_await_event(&x, &y, &key);
        switch (kind) {
        case KANVO_PERIODIC:
            scene.ball = (scene.ball + 255) % 505 - 250;
            break;
        case KANVO_MOUSE:
            if (scene.dots < MAX_DOTS) {
                scene.at[scene.dots].x = x;
                scene.at[scene.dots].y = y;
                scene.dots++;
            }
            break;
        }
        draw_scene(&scene);
        if (kind == KANVO_QUIT) break;
    }
    KANVO_close();
    return 0;
}
