/* Catch the dot: a round lasts 120 ticks (about 12 seconds); click the orange dot before
 * it jumps away. Type a letter to start a round: the letter picks where the dot goes, so
 * the same letter and the same clicks always give the same round.
 *
 * That is what makes a round worth recording. Press Ctrl+R (Run menu, Record Script)
 * before typing the letter, play the round, press Ctrl+R again when it is over: the
 * library has written every event to KANVO.SCR. Ctrl+P (Playback Script) feeds those
 * events back to the program, which replays the round exactly as it was played.
 * Shows: all four kinds of event, a small random number generator of the program's own,
 * and why a program whose picture depends only on its events can be replayed. */
#include "kanvo.h"

#define ROUND_TICKS 120
#define JUMP_TICKS 12 /* the dot moves on after this many ticks */
#define DOT_RADIUS 25
#define MAX_MARKS 100

static unsigned int seed;

/* A number from low to high, the same sequence for the same seed on every machine. */
static int random_between(int low, int high) {
    seed = seed * 1103515245u + 12345u;
    return low + (int)((seed >> 16) % (unsigned int)(high - low + 1));
}

static int dot_x, dot_y, dot_age;
static int ticks_left = 0, hits = 0, misses = 0;
static int mark_x[MAX_MARKS], mark_y[MAX_MARKS], mark_hit[MAX_MARKS], marks = 0;

static void move_dot(void) {
    dot_x = random_between(-260, 260);
    dot_y = random_between(-200, 170);
    dot_age = 0;
}

static void start_round(char letter) {
    seed = (unsigned char)letter;
    ticks_left = ROUND_TICKS;
    hits = misses = marks = 0;
    move_dot();
    KANVO_animate(KANVO_ANIMATE_RUN);
}

static void click(int x, int y) {
    const int dx = x - dot_x, dy = y - dot_y;
    const int hit = dx * dx + dy * dy <= DOT_RADIUS * DOT_RADIUS;
    if (hit) hits++; else misses++;
    if (marks < MAX_MARKS) {
        mark_x[marks] = x;
        mark_y[marks] = y;
        mark_hit[marks] = hit;
        marks++;
    }
    if (hit) move_dot();
}

static void tick(void) {
    ticks_left--;
    if (++dot_age == JUMP_TICKS) move_dot();
}

static void draw(void) {
    int i;
    KANVO_clear();
    KANVO_rectangle(KANVO_SEA_GREEN, -292, 185, 292, -240, 0);
    if (ticks_left > 0) KANVO_circle(KANVO_ORANGE, dot_x, dot_y, DOT_RADIUS);
    for (i = 0; i < marks; i++)
        KANVO_circle(mark_hit[i] ? KANVO_YELLOW : KANVO_BLACK, mark_x[i], mark_y[i], 4);
    KANVO_printf(KANVO_BLACK, -280, 215, 14, "Hits: %d   Misses: %d", hits, misses);
    if (ticks_left > 0) /* the time left, as a bar that shrinks */
        KANVO_rectangle(KANVO_RED, -280, 200, -280 + ticks_left * 4, 192, 0);
    else
        KANVO_text(KANVO_NAVY_BLUE, -120, 215, 14,
                   "Type a letter for a round (Ctrl+R first records it)");
}

int main(void) {
    int x, y, kind;
    char key;

    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    draw();
    do {
        kind = KANVO_await_event(&x, &y, &key);
        if (kind == KANVO_KBD && key >= 'a' && key <= 'z') {
            start_round(key);
        } else if (ticks_left > 0 && kind == KANVO_MOUSE) {
            click(x, y);
        } else if (ticks_left > 0 && kind == KANVO_PERIODIC) {
            tick();
            if (ticks_left == 0) KANVO_animate(KANVO_ANIMATE_HALT);
        }
        draw();
    } while (kind != KANVO_QUIT);
    KANVO_close();
    return 0;
}
