// What a program started by kanvo-run reports to it through the pipe it was given: one
// record per event wait, one when the program ends and one when it reaches its limit of
// waits, each optionally followed by the frame (what the drawing window shows). Both ends
// are built from the same tree and run on the same machine, so records are sent as they
// lie in memory.
#pragma once

#include <cstdint>

namespace platform {

namespace run_report {

constexpr uint32_t kMagic = 0x4B52554Eu;  // "KRUN"

enum Kind : uint32_t {
    wait = 1,    // the program starts a wait; the frame it drew for the event before
    ended = 2,   // the program is ending (or exits): the last frame it drew
    limit = 3,   // the program started one wait more than its limit and is stopped
    call = 4,    // graded runs only: a drawing call; a CallRecord and its line follow
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
    uint32_t reserved = 0;
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
