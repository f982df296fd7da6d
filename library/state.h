// The library's whole mutable state, in one record with one part per subsystem. Each part
// is owned by the file named above it: that file keeps the part's rules, and other files
// touch the part only where its comment says. One instance per program, used on the
// program's single thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/dc.h"
#include "platform/window.h"

struct DrawCommand;
struct LoadedPicture;

constexpr int kLogSize = 25;
constexpr int kNoEvent = -1;

// render.cpp: the off-screen drawing surface. The renderer paints into surface_dc, whose
// bitmap is surface_bitmap (created by KANVO_open, or on first use by the renderer so that
// the drawing calls work before KANVO_open too). The event wait and the drawing window's
// paint clear surface_dirty once the window shows the surface.
struct SurfaceState {
    std::unique_ptr<platform::Bitmap> surface_bitmap;
    std::unique_ptr<platform::DrawingContext> surface_dc;
    int surface_dirty = 1;
    // Rows not written since a clear (see render.cpp), in bands of like rows from the top
    // down: each holds the clear's pixels and, in [left, right), the colour of the filled
    // boxes that covered it since. spare_bands is the list being made anew.
    struct WaitingBand {
        int top = 0, bottom = 0;
        int left = 0, right = 0;
        platform::Pixel color = 0;
    };
    std::vector<WaitingBand> waiting_bands, spare_bands;
    platform::Pixel clear_inside = 0, clear_edge = 0;
    // Commands painted since the program started (frames are measured by it).
    uint64_t commands_rendered = 0;
    // Told of every command just before it is painted (a tool that records the drawing of
    // a frame, such as the benchmark's frame maker). nullptr for none.
    void (*render_observer)(const DrawCommand &command) = nullptr;
};

// message_log.cpp: the last kLogSize messages, oldest first from log_first.
struct LogState {
    std::string log_ring[kLogSize];
    int log_first = -1;  // slot of the oldest message, -1 while empty
    int log_next = 0;    // slot the next message takes
};

// windows.cpp: the two windows, the drawing window's context and menu, the origin (the
// middle of the drawing window's client area) and the Ctrl key as the window procedures
// saw it.
struct WindowState {
    platform::Window *draw_window = nullptr;
    platform::Window *text_window = nullptr;
    std::unique_ptr<platform::DrawingContext> window_dc;
    platform::Menu *run_menu = nullptr;
    int origin_x = 0, origin_y = 0;
    int ctrl_down = 0;
    // The library has posted the quit message (Quit, Ctrl+Q, the drawing window destroyed).
    int quit_posted = 0;
    void *program_instance = nullptr;
};

// events.cpp: the event being formed for KANVO_await_event and the animation controls.
// The window procedures (windows.cpp) and the script reader (script.cpp) set the pending
// event; the Run menu's commands and the script commands start and stop the animation.
struct EventState {
    int pending_kind = kNoEvent, pending_x = 0, pending_y = 0;
    char pending_key = 0;
    int animation_running = 0, step_pending = 0, tick_pending = 0, quit_requested = 0;
    int logging_on = 1;
    // Told at the start of every wait, once the program has handled the event before it
    // (pending_kind still holds that event's kind): lets a tool that drives a program, such
    // as the replay tool, follow its frames. nullptr for none.
    void (*wait_observer)() = nullptr;
};

// script.cpp: recording to and playing back the script file. The event wait ends playback
// when the program quits and starts it under kanvo-run.
struct ScriptState {
    int recording_on = 0, playback_on = 0, play_one_pending = 0, periodic_run = 0;
    FILE *script_file = nullptr;
    const char *script_name = "KANVO.SCR";
    // Where a recording keeps the file it is about to empty: script_name with ".bak",
    // set when recording starts (the last word at a signal may not allocate).
    std::string script_backup;
    // Where the open script file lies, resolved when it was opened, so that a program that
    // changes its directory while recording is not taken for one whose file was removed.
    std::string script_path;
    // Lines read from the open script file, and the number of the last line that playback
    // could not play (an unrecognised line, or a last line without its line feed); 0 for
    // none.
    int script_line_number = 0;
    int unplayed_script_line = 0;
};

// input.cpp: the input a program asked for with KANVO_listen, the fields of the new event
// kinds (set beside the pending event by the window procedures and the script reader, reset
// by the event wait), the held keys, buttons and pointer as the returned events told them,
// and the tick rate. The event wait asks input.cpp about skipped messages and returned
// events.
struct InputState {
    int listening = 0;  // KANVO_LISTEN_* bits
    int tick_rate = 0;  // periodic events a second; 0: the 50 ms timer's rhythm
    int pending_code = 0, pending_button = 0, pending_wheel = 0;
    // The message just dispatched was input the program did not ask for: the wait passes
    // over it as if it had never come, so that its events and rhythm stay the usual ones.
    int message_skipped = 0;
    int wheel_rest = 0;  // wheel movement short of a whole step, in 1/120 steps
    unsigned char keys_held[256] = {};
    int buttons_held = 0;  // bits 1 left, 2 right, 4 middle
    int mouse_x = 0, mouse_y = 0;
};

// palette.cpp: colours beyond the palette exist for a program only once it has asked for
// one (KANVO_rgb, KANVO_hsv); until then their values are illegal like any other.
struct PaletteState {
    int any_color_on = 0;
};

// pictures.cpp: the pictures loaded from PNG files, numbered from 1 in loading order.
struct PictureState {
    std::vector<std::unique_ptr<LoadedPicture>> pictures;
};

struct LibraryState {
    SurfaceState surface;
    LogState log;
    WindowState windows;
    EventState events;
    ScriptState script;
    InputState input;
    PaletteState palette;
    PictureState pictures;
};

extern LibraryState kanvo;

// Returns the library to its state at program start: an open script file is closed, the
// surface and the log are dropped, and the windows are forgotten (the platform keeps its
// own state; a test that opens again gets new windows beside the old ones).
void reset_library_state();
