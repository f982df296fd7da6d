/* A ball that bounces around the window, one step on every animation tick. Ctrl+H halts
 * it, Ctrl+A starts it again, Ctrl+F moves it one step at a time.
 * Shows: periodic events, the edges of the visible area, moving state between frames. */
#include "kanvo.h"

#define RADIUS 20
#define RIGHT_EDGE 292 /* the window shows x from -292 to 292 */
#define TOP_EDGE 240   /* and y from -240 to 240 */

int main(void) {
    int ball_x = -200, ball_y = 100; /* where the ball is */
    int step_x = 9, step_y = -6;     /* how far it moves on each tick */
    int bounces = 0;
    int x, y, kind;
    char key;

    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    KANVO_animate(KANVO_ANIMATE_RUN);
    do {
        kind = KANVO_await_event(&x, &y, &key);
        if (kind == KANVO_PERIODIC) {
            ball_x += step_x;
            ball_y += step_y;
            /* Turn round when the ball's edge passes a window edge. */
            if (ball_x + RADIUS > RIGHT_EDGE || ball_x - RADIUS < -RIGHT_EDGE) {
                step_x = -step_x;
                bounces++;
            }
            if (ball_y + RADIUS > TOP_EDGE || ball_y - RADIUS < -TOP_EDGE) {
                step_y = -step_y;
                bounces++;
            }
        }

        KANVO_clear();
        KANVO_rectangle(KANVO_ICE_BLUE, -RIGHT_EDGE, TOP_EDGE, RIGHT_EDGE, -TOP_EDGE, 0);
        KANVO_circle(KANVO_RED, ball_x, ball_y, RADIUS);
        KANVO_printf(KANVO_NAVY_BLUE, -280, 220, 14, "%d bounces", bounces);
    } while (kind != KANVO_QUIT);
    KANVO_close();
    return 0;
}
