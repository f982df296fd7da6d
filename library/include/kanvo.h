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

/* ---- Input for games (opt in with KANVO_listen) ---------------------------------------
 * A program that never calls KANVO_listen gets only the four events above. */

/* Kinds for KANVO_listen, combined with |. */
#define KANVO_LISTEN_KEYS 1    /* KANVO_KEY_DOWN and KANVO_KEY_UP */
#define KANVO_LISTEN_MOTION 2  /* KANVO_MOUSE_MOVE */
#define KANVO_LISTEN_BUTTONS 4 /* KANVO_MOUSE for every button, and KANVO_MOUSE_UP */
#define KANVO_LISTEN_WHEEL 8   /* KANVO_WHEEL */

/* Event kinds returned only when listened for. */
#define KANVO_KEY_DOWN 5   /* a key went down (again on auto-repeat): KANVO_event_key() */
#define KANVO_KEY_UP 6     /* a key went up: KANVO_event_key() */
#define KANVO_MOUSE_MOVE 7 /* the pointer moved over the drawing area: x, y */
#define KANVO_MOUSE_UP 8   /* a button was released: x, y, KANVO_event_button() */
#define KANVO_WHEEL 9      /* the wheel turned over the drawing area: x, y, KANVO_event_wheel() */

/* Buttons, as KANVO_event_button() gives them. */
#define KANVO_BUTTON_LEFT 1
#define KANVO_BUTTON_RIGHT 2
#define KANVO_BUTTON_MIDDLE 3

/* Key codes, as KANVO_event_key() gives them and KANVO_key_down() takes them. Letters are
 * 'A' to 'Z' (upper case, with or without Shift) and digits '0' to '9', whatever the
 * keyboard layout prints on them. */
#define KANVO_KEY_BACKSPACE 8
#define KANVO_KEY_TAB 9
#define KANVO_KEY_ENTER 13
#define KANVO_KEY_SHIFT 16
#define KANVO_KEY_CONTROL 17
#define KANVO_KEY_ALT 18
#define KANVO_KEY_ESCAPE 27
#define KANVO_KEY_SPACE 32
#define KANVO_KEY_PAGE_UP 33
#define KANVO_KEY_PAGE_DOWN 34
#define KANVO_KEY_END 35
#define KANVO_KEY_HOME 36
/* The arrows. KANVO_KEY_UP and KANVO_KEY_DOWN name the events, so the arrows up and down
 * are KANVO_KEY_ARROW_UP and _DOWN; left and right have both names. */
#define KANVO_KEY_LEFT 37
#define KANVO_KEY_ARROW_LEFT 37
#define KANVO_KEY_ARROW_UP 38
#define KANVO_KEY_RIGHT 39
#define KANVO_KEY_ARROW_RIGHT 39
#define KANVO_KEY_ARROW_DOWN 40
#define KANVO_KEY_DELETE 46
#define KANVO_KEY_F1 112
#define KANVO_KEY_F2 113
#define KANVO_KEY_F3 114
#define KANVO_KEY_F4 115
#define KANVO_KEY_F5 116
#define KANVO_KEY_F6 117
#define KANVO_KEY_F7 118
#define KANVO_KEY_F8 119
#define KANVO_KEY_F9 120
#define KANVO_KEY_F10 121
#define KANVO_KEY_F11 122
#define KANVO_KEY_F12 123

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
 * every time. Before KANVO_open it returns KANVO_QUIT at once.
 *
 * Keys: key is a char holding the typed character's code. Letters, digits and
 * punctuation give their ASCII codes ('a' is 97); Enter gives 13 ('\r'), Backspace 8
 * ('\b'), Tab 9 ('\t') and Escape 27. Accented letters give their Latin-1 code (e is
 * 233 with an acute accent), which is negative where char is signed (-23): use
 * (unsigned char)key for 0 to 255. Characters beyond Latin-1 (the euro sign), Delete,
 * the arrows, Home, End, Page Up/Down, the function keys, and Shift, Ctrl and Alt alone
 * give no KANVO_KBD event; KANVO_listen delivers those keys. Ctrl with a letter is a
 * Run-menu shortcut, never a key event. */
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

/* From now on the wait also returns the kinds named by kinds, any of KANVO_LISTEN_KEYS,
 * _MOTION, _BUTTONS and _WHEEL joined with |; 0 returns to the four usual events. Keys
 * still type characters: a key that types one gives KANVO_KEY_DOWN, then KANVO_KBD. Ctrl
 * with a letter stays a Run-menu shortcut and gives no key event. Moves are merged: one
 * KANVO_MOUSE_MOVE waits at most, with the newest position. Returns 1, or 0 when the
 * library is not open. */
int KANVO_listen(int kinds);

/* What the event the last wait returned carries besides x and y: the key code of a
 * KANVO_KEY_DOWN or KANVO_KEY_UP, the button (KANVO_BUTTON_LEFT, _RIGHT, _MIDDLE) of a
 * KANVO_MOUSE or KANVO_MOUSE_UP, the steps of a KANVO_WHEEL (positive when turned away
 * from you). 0 for events that do not carry it. */
int KANVO_event_key(void);
int KANVO_event_button(void);
int KANVO_event_wheel(void);

/* 1 while the key with this code is held, else 0 (needs KANVO_LISTEN_KEYS). Follows the
 * key events the wait returns, so it asks nothing and consumes nothing. When the window
 * loses the keyboard (Alt+Tab, say), every held key is released with a KANVO_KEY_UP. */
int KANVO_key_down(int code);

/* The pointer's last position over the drawing area, as the returned events told it
 * (x or y may be NULL). Returns the buttons held (needs KANVO_LISTEN_BUTTONS): 1 left,
 * 2 right, 4 middle, added together; a lost focus releases them like the keys. */
int KANVO_mouse(int *x, int *y);

/* Periodic events at a steady rate: per_second of them each second (1 to 100) while the
 * animation runs, whatever else arrives. 0 returns to the usual rhythm (about ten a
 * second, slower or faster with other input). Returns 1; 0 with a message in the text
 * window for a rate outside 0 to 100, or when the library is not open. */
int KANVO_tick_rate(int per_second);

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
 * The text is copied; NULL draws nothing but is logged as an empty text.
 * Text is UTF-8: save your source file as UTF-8 and "caf\xc3\xa9" (written as café) and the
 * euro sign draw as they read. Latin, Greek and Cyrillic letters, punctuation and
 * currency signs are in every build; a character no font has is drawn as a box. Text
 * that is not valid UTF-8 is read one byte per character (Latin-1), as in older
 * programs. The text window shows log lines the same way. */
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
