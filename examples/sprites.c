/* Sprites: a picture from a PNG file glides to wherever you click, over stripes of mixed
 * colours and a star, under a centred title.
 * Shows: KANVO_load_picture and KANVO_picture, colours of your own (KANVO_hsv), a
 * polygon, and KANVO_text_width to centre text. Run it in the folder that holds
 * sprite.png (the build puts a copy beside the program). */
#include "kanvo.h"

#define STRIPES 24

int main(void) {
    /* A star: ten corners, by turns 100 and 40 pixels from its middle, from the top. */
    int star_xs[10] = {0, -24, -95, -38, -59, 0, 59, 38, 95, 24};
    int star_ys[10] = {100, 32, 31, -12, -81, -40, -81, -12, 31, 32};
    int stripe_colors[STRIPES];
    int x, y, kind, i, ball;
    int ball_x = -180, ball_y = -120, target_x = -180, target_y = -120;
    char key;
    const char *title = "Click anywhere: the ball follows";

    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    ball = KANVO_load_picture("sprite.png"); /* 0 if missing: the text window says why */
    for (i = 0; i < STRIPES; i++) stripe_colors[i] = KANVO_hsv(i * 360 / STRIPES, 45, 100);
    KANVO_animate(KANVO_ANIMATE_RUN);
    do {
        kind = KANVO_await_event(&x, &y, &key);
        if (kind == KANVO_MOUSE) {
            target_x = x;
            target_y = y;
        } else if (kind == KANVO_PERIODIC) {
            /* A quarter of the way there each tick: fast at first, gently at the end. */
            ball_x += (target_x - ball_x) / 4;
            ball_y += (target_y - ball_y) / 4;
            if (target_x - ball_x > -4 && target_x - ball_x < 4) ball_x = target_x;
            if (target_y - ball_y > -4 && target_y - ball_y < 4) ball_y = target_y;
        }

        KANVO_clear();
        for (i = 0; i < STRIPES; i++) /* 25 pixels each, from the left edge across */
            KANVO_rectangle(stripe_colors[i], -292 + i * 25, 240, -292 + i * 25 + 24, -240, 0);
        KANVO_polygon(KANVO_rgb(255, 215, 0), 10, star_xs, star_ys, 0);
        KANVO_polygon(KANVO_rgb(150, 90, 0), 10, star_xs, star_ys, 3);
        KANVO_rectangle(KANVO_WHITE, -292, 240, 292, 196, 0);
        KANVO_text(KANVO_NAVY_BLUE, -KANVO_text_width(24, title) / 2, 206, 24, title);
        if (ball)
            KANVO_picture(ball, ball_x, ball_y);
        else
            KANVO_circle(KANVO_RED, ball_x, ball_y, 20);
    } while (kind != KANVO_QUIT);
    KANVO_close();
    return 0;
}
