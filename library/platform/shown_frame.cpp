#include "platform/shown_frame.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

// 0x..RRGGBB to the bytes R, G, B, 255 in memory (little endian, as wasm and x86 are).
inline uint32_t to_rgba(Pixel pixel) {
    return 0xFF000000u | ((pixel & 0xFFu) << 16) | (pixel & 0xFF00u) | ((pixel >> 16) & 0xFFu);
}

// The first column where the rows differ, width when none does. Most rows of a game's
// frame are unchanged, so they are compared eight bytes at a time, four pixels a step.
int first_difference(const Pixel *now, const Pixel *was, int width) {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        uint64_t a[2], b[2];
        std::memcpy(a, now + x, sizeof a);
        std::memcpy(b, was + x, sizeof b);
        if (((a[0] ^ b[0]) | (a[1] ^ b[1])) != 0) break;
    }
    while (x < width && now[x] == was[x]) ++x;
    return x;
}

}  // namespace

Rect ShownFrame::update(const Bitmap &frame) {
    const int width = frame.width(), height = frame.height();
    const size_t count = size_t(width) * size_t(height);
    if (!valid_ || width != width_ || height != height_) {
        width_ = width;
        height_ = height;
        shown_ = frame.pixels();
        rgba_.resize(count);
        std::transform(shown_.begin(), shown_.end(), rgba_.begin(), to_rgba);
        valid_ = true;
        return Rect{0, 0, width, height};
    }
    Rect changed{width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        const Pixel *now = frame.row(y);
        Pixel *was = shown_.data() + size_t(y) * size_t(width);
        const int first = first_difference(now, was, width);
        if (first == width) continue;
        int last = width;
        while (now[last - 1] == was[last - 1]) --last;
        uint32_t *out = rgba_.data() + size_t(y) * size_t(width);
        for (int x = first; x < last; ++x) {
            was[x] = now[x];
            out[x] = to_rgba(now[x]);
        }
        changed.left = std::min(changed.left, first);
        changed.right = std::max(changed.right, last);
        changed.top = std::min(changed.top, y);
        changed.bottom = y + 1;
    }
    if (changed.bottom == 0) return Rect{};
    return changed;
}

}  // namespace platform
