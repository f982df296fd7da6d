/* A first Kanvo program, in C: draws a small picture, writes each event it receives into
 * it and rolls a ball along on every periodic event. Click or type in the window, use the
 * Run menu (Ctrl+A animates, Ctrl+H halts); Ctrl+Q or the close box ends it. */
#include <stdio.h>

#include "kanvo.h"

#define BALL_RADIUS 18

/* What the last event was, in words, for the picture. */
static void describe_event(char *text, size_t size, int kind, int x, int y, char key) {
    switch (kind) {
    case KANVO_MOUSE:
        snprintf(text, size, "mouse at (%d, %d)", x, y);
        break;
    case KANVO_KBD:
        if (key >= 32 && key < 127)
            snprintf(text, size, "key '%c'", key);
        else
            snprintf(text, size, "key code %d", (int)(unsigned char)key);
        break;
    case KANVO_PERIODIC:
        snprintf(text, size, "tick");
        break;
    default:
        snprintf(text, size, "quit");
        break;
    }
}

static void draw_landscape(void) {
    KANVO_rectangle(KANVO_ICE_BLUE, -299, 270, 299, -60, 0);
    KANVO_rectangle(KANVO_FOREST_GREEN, -299, -60, 299, -270, 0);
    KANVO_circle(KANVO_GOLD, 220, 170, 40);
    KANVO_triangle(KANVO_GRAY_50, -280, -60, -150, 120, -20, -60, 0);
    KANVO_triangle(KANVO_CHALK, -185, 70, -150, 120, -115, 70, 0);
    /* A house: walls with an outline, a roof, a door and a window. */
    KANVO_rectangle(KANVO_PEACH, 40, 20, 160, -80, 3);
    KANVO_triangle(KANVO_BROWN, 30, 20, 100, 80, 170, 20, 0);
    KANVO_rectangle(KANVO_BROWN, 85, -30, 115, -80, 0);
    KANVO_oval(KANVO_CYAN, 125, 0, 150, -20, 2);
    KANVO_line(KANVO_BLACK, -299, -170, 299, -170, 2);
}

static void draw_frame(int ball_x, int mark_x, int mark_y, const char *last, int ticks) {
    KANVO_clear();
    draw_landscape();
    KANVO_circle(KANVO_RED, ball_x, -170 + BALL_RADIUS, BALL_RADIUS);
    KANVO_circle(KANVO_MAGENTA, mark_x, mark_y, 4);
    KANVO_text(KANVO_NAVY_BLUE, -280, 220, 24, "Hello from Kanvo!");
    KANVO_printf(KANVO_BLACK, -280, 190, 16, "last event: %s", last);
    KANVO_printf(KANVO_BLACK, -280, -200, 14, "%d ticks - Ctrl+A animates, Ctrl+H halts", ticks);
}

int main(void) {
    int x = 0, y = 0, kind;
    char key = 0;
    int ball_x = -260, step = 6, ticks = 0, mark_x = 0, mark_y = 0;
    char last[64] = "none yet";

    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    /* The first frame's drawing calls show up in the text window; later frames stay quiet. */
    draw_frame(ball_x, mark_x, mark_y, last, ticks);
    KANVO_logging(0);
    KANVO_animate(KANVO_ANIMATE_RUN);

    do {
        kind = KANVO_await_event(&x, &y, &key);
        describe_event(last, sizeof last, kind, x, y, key);
        if (kind == KANVO_MOUSE) {
            mark_x = x;
            mark_y = y;
        } else if (kind == KANVO_PERIODIC) {
            ++ticks;
            ball_x += step;
            if (ball_x > 280 || ball_x < -280) step = -step;
        }
        draw_frame(ball_x, mark_x, mark_y, last, ticks);
    } while (kind != KANVO_QUIT);

    KANVO_close();
    return 0;
}
