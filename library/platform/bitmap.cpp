// Software bitmaps: a block of 32-bit pixels that drawing contexts paint into.
// A bad size (negative) gives an empty bitmap rather than a huge allocation.
#include "platform/bitmap.h"

#include <algorithm>

namespace platform {

static int non_negative(int value) { return value < 0 ? 0 : value; }

Bitmap::Bitmap(int width, int height, Pixel fill) { reset(width, height, fill); }

void Bitmap::reset(int width, int height, Pixel fill) {
    width_ = non_negative(width);
    height_ = non_negative(height);
    if (width_ == 0 || height_ == 0) width_ = height_ = 0;
    pixels_.assign(size_t(width_) * size_t(height_), fill);
}

void Bitmap::fill(Pixel p) { std::fill(pixels_.begin(), pixels_.end(), p); }

}  // namespace platform
