// Decodes an animated GIF with giflib into the pictures a viewer shows frame by frame, for
// the tests of the GIF writer, kanvo-run and kanvo-replay.
#pragma once

#include <string>
#include <vector>

#include "testing.h"

struct GifImage {
    int left = 0, top = 0, width = 0, height = 0;  // the rectangle the frame holds
    int delay_cs = 0;
    bool transparent = false;  // the frame leaves its unchanged pixels transparent
};

struct DecodedGif {
    std::vector<platform::Bitmap> frames;  // what the viewer shows after each frame
    std::vector<GifImage> images;
    bool loops = false;  // the animation repeats
};

// False, with a reason, when the file is no GIF giflib can read or uses what the writer
// never writes (a disposal other than "leave in place", local colour tables).
bool decode_gif(const std::string &path, DecodedGif *gif, std::string *error);
