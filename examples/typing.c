/* Type into the window: letters appear on a line, Backspace takes the last one back and
 * Enter starts a new line. Shows: key events, building text in a char array, KANVO_text
 * with line feeds. */
#include <string.h>

#include "kanvo.h"

#define MAX_TEXT 400

int main(void) {
    char text[MAX_TEXT + 1] = "";
    size_t length = 0;
    int x, y, kind;
    char key;

    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    do {
        kind = KANVO_await_event(&x, &y, &key);
        if (kind == KANVO_KBD) {
            if (key == '\b') { /* Backspace */
                if (length > 0) text[--length] = '\0';
            } else if (key == '\r' && length < MAX_TEXT) { /* Enter: a new line */
                text[length++] = '\n';
                text[length] = '\0';
            } else if (key >= ' ' && key <= '~' && length < MAX_TEXT) {
                text[length++] = key;
                text[length] = '\0';
            }
        }

        KANVO_clear();
        KANVO_text(KANVO_GRAY_50, -280, 215, 14, "Type something (Backspace, Enter work too):");
        KANVO_rectangle(KANVO_CHALK, -285, 200, 285, -230, 0);
        /* The first line sits on y = 170; each line feed starts the next one below. */
        KANVO_text(KANVO_NAVY_BLUE, -275, 170, 20, text);
        KANVO_printf(KANVO_GRAY_50, 150, -225, 12, "%d characters", (int)strlen(text));
    } while (kind != KANVO_QUIT);
    KANVO_close();
    return 0;
}
