// The copy of a window's client area that a backend last handed to the screen, kept as
// RGBA bytes. A browser canvas takes RGBA; a game repaints its whole frame each tick but
// changes a few pixels, so only the rectangle that differs is converted and sent on.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/bitmap.h"
#include "platform/window.h"

namespace platform {

class ShownFrame {
public:
    // Brings the copy up to date with frame and returns the rectangle that changed (right
    // and bottom exclusive; empty when nothing did). The whole frame after a size change
    // or forget(). Only the pixels inside within are compared: the caller knows that
    // nothing outside it changed since the last update.
    Rect update(const Bitmap &frame);
    Rect update(const Bitmap &frame, Rect within);
    // The screen no longer holds the copy (its canvas was made again).
    void forget() { valid_ = false; }

    int width() const { return width_; }
    int height() const { return height_; }
    // R, G, B, 255 a pixel, rows top to bottom: the layout of a canvas's ImageData.
    const uint8_t *rgba() const { return reinterpret_cast<const uint8_t *>(rgba_.data()); }

private:
    int width_ = 0;
    int height_ = 0;
    bool valid_ = false;
    std::vector<Pixel> shown_;   // the frame as it was, to compare against
    std::vector<uint32_t> rgba_; // the same pixels in the screen's byte order
};

}  // namespace platform
