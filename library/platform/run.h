// Runs driven by kanvo-run: a program started by it finds out from its environment, when
// the first window is made, and then runs on the headless backend with virtual time while
// the driver (backends/headless/headless_run.cpp) follows its waits and frames. In a
// normal run these calls do nothing.
#pragma once

#include <cstddef>
#include <memory>

#include "bitmap.h"

namespace platform {

class Backend;
struct Window;

// The headless backend under the driver when kanvo-run started this program; nullptr
// (and nothing changed) otherwise.
std::unique_ptr<Backend> make_run_backend();

// The program's drawing surface and the window that shows its top-left part: the driver
// hands out what the window would show.
void run_shows(const Bitmap *surface, Window *draw_window);

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

}  // namespace platform
