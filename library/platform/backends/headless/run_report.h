// What a program started by kanvo-run reports to it through the pipe it was given: one
// record per event wait, one when the program ends and one when it reaches its limit of
// waits, each optionally followed by the frame (what the drawing window shows), and one
// when it crashes or is stopped. Both ends
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
    shown = 4,   // the program crashed, or kanvo-run stops it (a timeout): the frame its
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
};

}  // namespace run_report

}  // namespace platform
