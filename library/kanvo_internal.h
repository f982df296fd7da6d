// The routines the library's subsystems share; their state is in state.h. Everything runs
// on the program's single thread.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "include/kanvo.h"
#include "platform/alpha_picture.h"
#include "platform/bitmap.h"
#include "platform/dc.h"
#include "platform/window.h"
#include "state.h"

// ---- palette ----------------------------------------------------------------------
constexpr int kColorCount = 24;
extern const uint8_t color_table[kColorCount][3];
extern const char *const color_names[kColorCount];
// The colour to use for a caller's colour: itself when 0..23 (or a KANVO_rgb value once the
// program has mixed a colour), else red with a message.
int check_color(int index);
bool is_rgb_color(int color);
// The pixel of a checked colour, palette index or KANVO_rgb value.
platform::Pixel palette_pixel(int index);
// The name a log line gives a checked colour: the palette's name, or "#RRGGBB".
struct ColorName {
    char text[16] = "";
    const char *c_str() const { return text; }
};
ColorName color_name(int color);

// ---- renderer -----------------------------------------------------------------------
constexpr int kSurfaceWidth = 601;
constexpr int kSurfaceHeight = 540;

enum DrawKind : uint32_t {
    kind_triangle = 0,
    kind_rectangle = 1,
    kind_oval = 2,
    kind_line = 3,
    kind_text = 5,
    kind_polygon = 6,  // points, count and width; filled or outlined as the triangle
    kind_picture = 7,  // x2: the picture's number; (x1, y1) its centre
};

// What a drawing call hands to the renderer, after all corrections, in library
// coordinates. For text, x2 is the point size and text the caller's text (a copy owned
// by the drawing call).
struct DrawCommand {
    uint32_t kind = 0;
    int32_t color = 0;
    int32_t width = 0;
    int32_t x1 = 0, y1 = 0;
    int32_t x2 = 0, y2 = 0;
    int32_t x3 = 0, y3 = 0;
    const char *text = nullptr;
    // Polygon: count corners, xs[i], ys[i], owned by the drawing call.
    int32_t count = 0;
    const int32_t *xs = nullptr, *ys = nullptr;
};

void render_command(const DrawCommand &command);
// The width of the text's widest line in the font a text command of ptsize uses.
int text_width(int ptsize, const char *text);
// A clear waits for the next command (see render.cpp); settle_surface writes it if it is
// still waiting, and surface_pixels is the surface as the commands so far have left it.
// Whatever reads the surface, or writes it past the renderer, goes through one of them.
void clear_surface();
void settle_surface();
platform::Bitmap &surface_pixels();
// Makes the surface if it does not exist yet.
void ensure_surface();

// ---- drawing calls ------------------------------------------------------------------
// Where the outermost drawing call under way returns to (KANVO_printf draws through
// KANVO_text): a graded run names the line of the program that made the call.
extern const void *call_site;
struct CallSite {
    bool outermost;
    explicit CallSite(const void *address) : outermost(call_site == nullptr) {
        if (outermost) call_site = address;
    }
    ~CallSite() {
        if (outermost) call_site = nullptr;
    }
};
#ifdef __EMSCRIPTEN__
// Wasm has return addresses only with a costly offset table, and a page is never graded:
// any address that is not null marks the outermost call.
#define KANVO_CALL_SITE const CallSite site(&call_site)
#else
#define KANVO_CALL_SITE const CallSite site(__builtin_return_address(0))
#endif
// A drawing call's description line: to the text window while logging is on, and to the
// grader in a graded run.
void describe(const char *format, ...) __attribute__((format(printf, 1, 2)));

// ---- message log ----------------------------------------------------------------------
constexpr int kFormatBuffer = 1024;  // 1023 characters and the terminator
int log_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Formats into a buffer of kFormatBuffer bytes by the printf rules. Text beyond 1023
// characters is cut off; returns the count kept. A NULL format formats as "".
int format_text(char *buffer, const char *format, va_list args)
    __attribute__((format(printf, 2, 0)));
void paint_text_window(platform::Window *window);
// Composes the text window's client picture (the stored messages, newest on the bottom
// line) into a bitmap of the client's size.
void compose_text_window(platform::Bitmap *picture);

// ---- windows ------------------------------------------------------------------------
void post_quit();
intptr_t draw_window_procedure(platform::Window *window, uint32_t message, uintptr_t wparam,
                               intptr_t lparam);
intptr_t text_window_procedure(platform::Window *window, uint32_t message, uintptr_t wparam,
                               intptr_t lparam);
void run_command(uintptr_t id);  // the menu's and the shortcuts' commands 1 to 8
// Copies the whole surface to the drawing window (when both exist).
void copy_surface_to_window();

// ---- events -------------------------------------------------------------------------
void pump_message();

// ---- script -------------------------------------------------------------------------
void script_write_event(int kind, int x, int y, char key);
int script_read_event();
void script_close();
// Writes the counted run of periodic events, if any, as one line and resets the count.
void write_periodic_run();
// Playback and play-one off, the Playback check mark removed.
void end_playback();
// end_playback, and the file closed with the rest of a replayed run dropped.
void stop_playback_and_close();
// Recording and playback both stop, with their check marks; the file is closed. A pending
// periodic run is not written (KANVO_close).
void stop_script();
// Writes a pending periodic run of a recording straight to the file; safe in a signal
// handler. Run when the program ends while recording.
void write_periodic_run_now();
void toggle_recording();  // command 5
void toggle_playback();   // command 6
void play_one();          // command 7

// Scans the next number of a script line from *position (script.cpp's rules): false when
// the line holds none.
bool scan_script_number(const char *line, size_t *position, bool allow_sign, int *value);

// ---- input for games ------------------------------------------------------------------
// The drawing window's mouse messages beyond the left press (motion, releases, the other
// buttons, the wheel): true when message is one of them, which is then handled.
bool input_message(uint32_t message, uintptr_t wparam, intptr_t lparam);
void input_key_down(uintptr_t key);  // not for Ctrl with a letter: that is a shortcut
void input_key_up(uintptr_t key);
void input_focus_lost();
// The event wait: at its start; after each dispatch (true when the message was input the
// program did not ask for, which the wait passes over); when it returns an event.
void input_reset_pending();
bool input_take_skipped();
void input_event_returned();
// Script lines of the kinds above: true when kind has a line of its own, then written.
int input_format_line(char *line, size_t size, int kind, int x, int y);
enum class ScriptLine { played, passed_over, unknown };
// A line of a kind the program does not listen for is passed over.
ScriptLine input_read_line(const char *line);

// ---- pictures -----------------------------------------------------------------------
constexpr int kMostPictures = 256;
constexpr int kLargestPictureSide = 4096;
// A picture loaded from a PNG file: its pixels with alpha and the name it was loaded by.
struct LoadedPicture {
    std::string path;
    platform::AlphaPicture picture;
};
// Picture number (from 1) to picture; nullptr when there is none by that number.
const LoadedPicture *loaded_picture(int number);
// Loads a PNG as the next picture; returns its number, or 0 with *error (no message).
int add_picture_file(const char *path, std::string *error);
// What the drawing window shows: the surface's top-left part, as large as the client area
// (585 by 481; before KANVO_open, the size the window will have).
platform::Bitmap shown_picture();
// The same without a copy: the surface, with the size of the part the window shows.
const platform::Bitmap &shown_surface(int *width, int *height);
