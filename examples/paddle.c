/* A paddle game: keep the ball up with the paddle, which moves while an arrow key is held.
 * Every ball you return scores a point; a ball that falls past the paddle costs one of three
 * lives. Space starts again once the game is over.
 * Shows: listening for keys (KANVO_listen), asking whether a key is held (KANVO_key_down),
 * a steady frame rate (KANVO_tick_rate). */
#include "kanvo.h"

#define RIGHT_EDGE 292 /* the window shows x from -292 to 292 */
#define TOP_EDGE 240   /* and y from -240 to 240 */
#define PADDLE_Y -200  /* the paddle's top edge */
#define PADDLE_HALF 45 /* half the paddle's width */
#define PADDLE_STEP 10 /* how far it moves on each tick while an arrow is held */
#define RADIUS 8
#ifndef TICKS_PER_SECOND
#define TICKS_PER_SECOND 30 /* frames a second, whatever else happens */
#endif

int main(void) {
    int paddle_x = 0;
    int ball_x = 0, ball_y = 150, step_x = 5, step_y = -6;
    int score = 0, lives = 3;
    int x, y, kind;
    char key;

    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    KANVO_listen(KANVO_LISTEN_KEYS);
    KANVO_tick_rate(TICKS_PER_SECOND);
    KANVO_animate(KANVO_ANIMATE_RUN);
    do {
        kind = KANVO_await_event(&x, &y, &key);
        if (kind == KANVO_KEY_DOWN && KANVO_event_key() == KANVO_KEY_SPACE && lives == 0) {
            score = 0;
            lives = 3;
        }
        if (kind == KANVO_PERIODIC && lives > 0) {
            /* The paddle moves for as long as an arrow is held down. */
            if (KANVO_key_down(KANVO_KEY_LEFT)) paddle_x -= PADDLE_STEP;
            if (KANVO_key_down(KANVO_KEY_RIGHT)) paddle_x += PADDLE_STEP;
            if (paddle_x < -RIGHT_EDGE + PADDLE_HALF) paddle_x = -RIGHT_EDGE + PADDLE_HALF;
            if (paddle_x > RIGHT_EDGE - PADDLE_HALF) paddle_x = RIGHT_EDGE - PADDLE_HALF;

            ball_x += step_x;
            ball_y += step_y;
            if (ball_x + RADIUS > RIGHT_EDGE || ball_x - RADIUS < -RIGHT_EDGE) step_x = -step_x;
            if (ball_y + RADIUS > TOP_EDGE) step_y = -step_y;
            /* Falling onto the paddle: back up, and a point. */
            if (step_y < 0 && ball_y - RADIUS <= PADDLE_Y && ball_y - RADIUS > PADDLE_Y + step_y &&
                ball_x >= paddle_x - PADDLE_HALF && ball_x <= paddle_x + PADDLE_HALF) {
                step_y = -step_y;
                score++;
            }
            /* Past the paddle: a life lost, and a new ball from the top. */
            if (ball_y < -TOP_EDGE) {
                lives--;
                ball_x = 0;
                ball_y = 150;
            }
        }

        KANVO_clear();
        KANVO_rectangle(KANVO_NAVY_BLUE, -RIGHT_EDGE, TOP_EDGE, RIGHT_EDGE, -TOP_EDGE, 0);
        KANVO_rectangle(KANVO_GOLD, paddle_x - PADDLE_HALF, PADDLE_Y, paddle_x + PADDLE_HALF,
                        PADDLE_Y - 12, 0);
        KANVO_circle(KANVO_WHITE, ball_x, ball_y, RADIUS);
        KANVO_printf(KANVO_WHITE, -280, 220, 14, "score %d   lives %d", score, lives);
        if (lives == 0)
            KANVO_text(KANVO_YELLOW, -110, 0, 20, "Game over - Space to play again");
    } while (kind != KANVO_QUIT);
    KANVO_close();
    return 0;
}
