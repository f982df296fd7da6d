/* Kanvo: a small graphics-and-event library for learning to program.
 *
 * One drawing window whose drawing area is 585 by 481 pixels (x from -292 to 292, y from
 * -240 to 240, (0, 0) at the centre, y upwards), one text window that shows the library's
 * last 25 messages, 24 named colours, and one blocking call that delivers mouse, key, tick
 * and quit events. Compiles as C and as C++.
 *
 * A minimal program:
 *
 *     #include "kanvo.h"
 *     int main(void) {
 *         int x, y; char key;
 *         KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
 *         KANVO_clear();
 *         KANVO_circle(KANVO_RED, 0, 0, 50);
 *         while (KANVO_await_event(&x, &y, &key) != KANVO_QUIT) {}
 *         KANVO_close();
 *         return 0;
 *     }
 */
#ifndef KANVO_H
#define KANVO_H

#ifdef __cplusplus
extern "C" {
#endif

/* Event kinds returned by KANVO_await_event. */
#define KANVO_MOUSE 1    /* left button pressed in the drawing window: x, y */
#define KANVO_KBD 2      /* a character was typed: key */
#define KANVO_PERIODIC 3 /* one animation tick (about ten a second while running) */
#define KANVO_QUIT 4     /* the program is to end */

/* Commands for KANVO_animate. */
#define KANVO_ANIMATE_HALT 0 /* stop periodic events */
#define KANVO_ANIMATE_STEP 1 /* deliver one periodic event */
#define KANVO_ANIMATE_RUN 2  /* deliver periodic events continuously */
#define KANVO_ANIMATE_QUIT 5 /* every later wait returns KANVO_QUIT */

/* Ids of the "&Run" menu commands (the Ctrl shortcuts run commands 1 to 8). */
#define KANVO_CMD_ANIMATE 1
#define KANVO_CMD_HALT 2
#define KANVO_CMD_STEP 3
#define KANVO_CMD_LOGGING 4
#define KANVO_CMD_RECORD 5
#define KANVO_CMD_PLAYBACK 6
#define KANVO_CMD_PLAY_ONE 7
#define KANVO_CMD_QUIT 8
#define KANVO_CMD_INFO 9

/* Show modes for KANVO_open. */
#define KANVO_SHOW_HIDDEN 0
#define KANVO_SHOW_NORMAL 1

/* The palette: pass these (or 0 to 23) wherever a colour is asked for. Any other value
 * is drawn red and reported in the text window. */
#define KANVO_BLACK 0
#define KANVO_WHITE 1
#define KANVO_RED 2
#define KANVO_GREEN 3
#define KANVO_BLUE 4
#define KANVO_YELLOW 5
#define KANVO_MAGENTA 6
#define KANVO_CYAN 7
#define KANVO_PURPLE 8
#define KANVO_NAVY_BLUE 9
#define KANVO_DUSTY_PLUM 10
#define KANVO_ICE_BLUE 11
#define KANVO_TURQUOISE 12
#define KANVO_ORANGE 13
#define KANVO_BROWN 14
#define KANVO_PINK 15
#define KANVO_CHALK 16
#define KANVO_GOLD 17
#define KANVO_PEACH 18
#define KANVO_FOREST_GREEN 19
#define KANVO_SEA_GREEN 20
#define KANVO_OLIVE 21
#define KANVO_GRAY_50 22
#define KANVO_GRAY_20 23

/* Opens the drawing window "KANVO Graphics" and the text window "KANVO Text", creates
 * the drawing surface, the "&Run" menu and the 50 ms animation timer. The first three
 * arguments are the program's start values (pass 0, 0 and "" on this platform); show is
 * KANVO_SHOW_NORMAL or KANVO_SHOW_HIDDEN. Returns 1; 0 when the windows could not be
 * made (previous_instance must be 0 on this platform). Calling it again while open
 * changes nothing (it says so in the text window) and returns 1. Without a display the
 * program prints one line on standard error and exits with status 1.
 *
 * Good to know from the start:
 * - Logging is on: every drawing call writes a line to the text window until you call
 *   KANVO_logging(0) (or choose Logging in the Run menu).
 * - What you draw goes onto the drawing surface at once, but appears in the window only
 *   when your program waits for an event (KANVO_await_event). A program that draws and
 *   never waits shows nothing. */
int KANVO_open(void *instance, void *previous_instance, const char *command_line, int show);

/* Ends the use of the drawing window: drawing no longer reaches it, and a recording or a
 * playback of KANVO.SCR stops and the file is closed (a run of ticks not yet written is
 * dropped). The windows stay until the program ends. Returns 1. */
int KANVO_close(void);

/* Blocks until an event is ready and returns its kind. Always writes all three
 * out-parameters: x, y for KANVO_MOUSE (library coordinates), key for KANVO_KBD, 0 for
 * what the event does not carry; a NULL pointer is skipped. While it waits, the window
 * shows what has been drawn. Once the user quits (Ctrl+Q, the menu's Quit, the close
 * box) it returns KANVO_QUIT, also while a script is played back, and from then on
 * every time. Before KANVO_open it returns KANVO_QUIT at once. */
int KANVO_await_event(int *x, int *y, char *key);

/* KANVO_ANIMATE_HALT, _STEP, _RUN or _QUIT; other values change nothing. Returns 1, or 0
 * when the library is not open.
 * After KANVO_ANIMATE_QUIT every wait returns KANVO_QUIT, but a wait still needs
 * something to happen first: with the animation running that is the next tick; with it
 * halted, the next wait returns KANVO_QUIT only once some input arrives (a click, a key). */
int KANVO_animate(int command);

/* Non-zero switches the drawing calls' log lines on (and shows the text window), zero
 * switches them off; logging is on from KANVO_open until you switch it off. Corrections
 * of impossible values are written either way. Returns 1, or 0 when the library is not
 * open. */
int KANVO_logging(int on);

/* Drawing calls. Coordinates are library coordinates: (0, 0) is the centre of the
 * drawing window, x grows to the right, y upwards. A width of 0 fills the shape; a
 * positive width draws its outline that many pixels wide. Impossible values (a colour
 * outside 0..23, a negative width, radius or point size) are corrected and the
 * correction is written to the text window. Each returns 1 once the shape is on the
 * drawing surface. */
int KANVO_circle(int color, int x, int y, int radius);
int KANVO_triangle(int color, int x1, int y1, int x2, int y2, int x3, int y3, int width);
int KANVO_rectangle(int color, int x1, int y1, int x2, int y2, int width);
int KANVO_oval(int color, int x1, int y1, int x2, int y2, int width);
int KANVO_line(int color, int x1, int y1, int x2, int y2, int width);

/* Text whose first line sits on (x, y): its bottom-left corner. ptsize is the character
 * height in pixels, 0 to 127 (0: the default size). A line feed starts a new line.
 * The text is copied; NULL draws nothing but is logged as an empty text. */
int KANVO_text(int color, int x, int y, int ptsize, const char *text);

/* Like KANVO_text with printf formatting. Text beyond 1023 characters is cut off (a huge
 * width or precision costs no more than what shows). Returns the number of characters
 * drawn (at most 1023). */
int KANVO_printf(int color, int x, int y, int ptsize, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 5, 6)))
#endif
    ;

/* Clears the drawing surface to white inside a one-pixel black frame. Returns 1. */
int KANVO_clear(void);

/* Writes what the drawing window shows (585 by 481 pixels, the top-left part of the
 * drawing surface) to a PNG file. The picture replaces an old file only once it is written
 * whole. Returns 1, or 0 with a message in the text window when the file cannot be written
 * (the old file is then left as it was). */
int KANVO_save_picture(const char *path);

/* ---- Any colour, pictures, polygons and text width ------------------------------ */

/* Colours mixed by KANVO_rgb and KANVO_hsv are KANVO_RGB_FLAG | 0xRRGGBB: 0x1000000 and
 * above, so they never meet the palette's 0 to 23. Log lines name them by hex, such as
 * "#FF8000 circle at (0,0), radius 50". */
#define KANVO_RGB_FLAG 0x1000000

/* A colour from red, green and blue, each 0 to 255, that every drawing call accepts where
 * it accepts a palette colour. A value outside 0..255 is held at the nearest end and the
 * correction is written to the text window. Such colour values are accepted only once the
 * program has called KANVO_rgb or KANVO_hsv; before that they are illegal colours (drawn
 * red, with a message), as any number outside the palette. Returns the colour. */
int KANVO_rgb(int r, int g, int b);

/* The same from hue h (0 to 359 degrees: 0 red, 120 green, 240 blue), saturation s and
 * value v (0 to 100 each); out-of-range values are held at the nearest end, with a
 * message. Returns the colour. */
int KANVO_hsv(int h, int s, int v);

/* A closed polygon through count corners (xs[i], ys[i]), 3 to 256 of them; width 0 fills
 * it (where the outline crosses itself, the even-odd rule leaves holes), a positive width
 * draws its outline. More than 256 corners: the first 256 are drawn, with a message;
 * fewer than 3 or a NULL array: nothing is drawn, a message says why, and it returns 0.
 * Otherwise returns 1. The arrays are only read, never kept. */
int KANVO_polygon(int color, int count, const int *xs, const int *ys, int width);

/* Reads a PNG file (any kind: colour or gray, with or without transparency, up to 4096
 * by 4096 pixels) from the current folder, or the path given; in the browser, from the
 * page's files (those built into the page, or chosen with its file picker). Returns the picture's
 * number, 1 and up, for KANVO_picture; loading the same path again returns the same
 * number without reading the file again. Returns 0, with a message in the text window
 * that names the file and the reason (missing, not a PNG file, truncated, damaged, too
 * large, or more than 256 pictures), when it cannot be loaded. */
int KANVO_load_picture(const char *path);

/* Draws a loaded picture with its centre at (x, y) (for an even width, the centre is the
 * column just right of the middle), over what is there: transparent parts of the picture
 * let it show through. Returns 1, or 0 with a message when there is no such picture. */
int KANVO_picture(int picture, int x, int y);

/* The width in pixels that KANVO_text would draw the text at ptsize (of its widest line,
 * when it has several), so that a title can be centred: KANVO_text(color, -w / 2, y,
 * ptsize, text). ptsize is corrected as KANVO_text corrects it. NULL or "" gives 0. */
int KANVO_text_width(int ptsize, const char *text);

#ifdef __cplusplus
}
#endif

#endif /* KANVO_H */
