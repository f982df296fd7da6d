// Seam: kanvo-run's protocol, the one room both of its ends share. A program started by
// kanvo-run finds out from its environment, when the first window is made, and then runs
// on the headless backend with virtual time while the run driver follows its waits and
// frames and reports them through a pipe (the records below) to tools/kanvo_run.cpp.
// Filled by run_client.cpp (systems that hand a pipe down by inheritance) or
// run_client_win32.cpp (Windows: every program runs on its own). In a normal run the
// program-side calls do nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/bitmap.h"

namespace platform {

class Backend;
struct Window;

// ---- the program's side (called by the library) ----------------------------------------

// The headless backend under the run driver when kanvo-run started this program; nullptr
// (and nothing changed) otherwise.
std::unique_ptr<Backend> make_run_backend();

// The program's drawing surface and the window that shows its top-left part: the run
// driver hands out what the window would show, calling settle (when given) before it
// reads the surface, so that drawing the library keeps waiting is written first.
void run_shows(const Bitmap *surface, Window *draw_window, void (*settle)());

// The program starts a wait, having handled a periodic event or another (or none yet);
// script_playing says whether script playback still delivers events. Returns the script
// that the library should start playing now, or nullptr.
const char *run_wait_starts(bool after_periodic_event, bool script_playing);

// Graded runs (kanvo-grade) record every drawing call: true while one is being recorded.
bool run_records_calls();

// A drawing call's description line, made by the code that returns to caller.
void run_records_call(const char *line, size_t length, const void *caller);

// Playback ended at this line of the script, unplayed (not a script line, or a last line
// without its line feed): the driver tells the user.
void run_script_line_unplayed(int line);

// ---- the pipe: what the program reports to kanvo-run ------------------------------------
// One record per event wait, one when the program ends and one when it reaches its limit
// of waits, each optionally followed by the frame (what the drawing window shows), and one
// when it crashes or is stopped. Both
// ends are built from the same tree and run on the same machine, so records are sent as
// they lie in memory.
namespace run_report {

constexpr uint32_t kMagic = 0x4B52554Eu;  // "KRUN"

enum Kind : uint32_t {
    wait = 1,    // the program starts a wait; the frame it drew for the event before
    ended = 2,   // the program is ending (or exits): the last frame it drew
    limit = 3,   // the program started one wait more than its limit and is stopped
    call = 4,    // graded runs only: a drawing call; a CallRecord and its line follow
    shown = 5,   // the program crashed, or kanvo-run stops it (a timeout): the frame its
                 // drawing window showed last, before the crash
};

// Frames are never larger than this on a side; a reader refuses anything larger.
constexpr uint32_t kMaxSide = 4096;

struct Record {
    uint32_t magic = kMagic;
    uint32_t kind = wait;
    uint64_t frame = 0;     // the frame's number: 0 before the first event, n after the n-th
    int64_t time_ms = 0;    // virtual time when the frame went on screen
    uint32_t width = 0;     // pixels that follow: width x height of 0xFFRRGGBB, rows top
    uint32_t height = 0;    // to bottom; 0 x 0 when the record carries no frame
    uint32_t unplayed_line = 0;  // the script line playback could not play, or 0
    // On kanvo-run's pipe, 1 when only the rows that changed since the frame before (of
    // the same size) follow, after a byte per row: 1 for a row that follows, 0 for one as
    // it was. 0 when every row follows, as it always does on the grading pipe.
    uint32_t changed_rows = 0;
};

// A drawing call in a graded run (KANVO_RUN_GRADE_FD), sent on the grading pipe with a
// Record of kind call (frame: the waits started before it, no pixels) ahead of it. The
// description line (length bytes, no terminator) is the text window's, written whether or
// not logging is on; the caller is the address the call returns to, relative to the load
// base of the object holding it, so that the executable's debug information resolves it.
struct CallRecord {
    uint64_t caller = 0;
    uint32_t in_program = 0;  // 1 when the caller lies in the main executable
    uint32_t length = 0;      // at most kMaxLine
};

constexpr uint32_t kMaxLine = 4096;

}  // namespace run_report

}  // namespace platform
