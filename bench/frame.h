// A landscape frame as the peer benchmark paints it: the operations of a command list
// (origin, clear, fill and the shapes; the reference pictures' format), read once so that
// painting them measures the painters alone.
#pragma once

#include <string>
#include <vector>

#include "command_list.h"

struct Frame {
    std::string name;  // the file's name without folder and extension
    std::vector<ListCommand> steps;
    int shapes = 0;
    // Pixels the frame's steps cover, each step counted on its own (overdraw included):
    // what a painter that paints one step after another must write at least.
    int64_t pixel_writes = 0;
};

// Reads a command list; on a bad line returns false with "PATH:LINE: reason" in *error.
bool read_frame(const std::string &path, Frame *frame, std::string *error);

// The frames the benchmark paints by default, from the folder KANVO_FRAMES names at
// build time.
std::vector<std::string> frame_paths();
