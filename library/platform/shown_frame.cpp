#include "platform/shown_frame.h"

#include <algorithm>

#include "platform/pixel_changes.h"

namespace platform {
namespace {

// 0x..RRGGBB to the bytes R, G, B, 255 in memory (little endian, as wasm and x86 are).
inline uint32_t to_rgba(Pixel pixel) {
    return 0xFF000000u | ((pixel & 0xFFu) << 16) | (pixel & 0xFF00u) | ((pixel >> 16) & 0xFFu);
}

}  // namespace

Rect ShownFrame::update(const Bitmap &frame) {
    return update(frame, Rect{0, 0, frame.width(), frame.height()});
}

Rect ShownFrame::update(const Bitmap &frame, Rect within) {
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
    const int left = std::max(within.left, 0), right = std::min(within.right, width);
    const int top = std::max(within.top, 0), bottom = std::min(within.bottom, height);
    Rect changed{width, height, 0, 0};
    for (int y = top; y < bottom; ++y) {
        const Pixel *now = frame.row(y);
        Pixel *was = shown_.data() + size_t(y) * size_t(width);
        const Span span = changed_span(now + left, was + left, right - left);
        if (span.empty()) continue;
        const int first = left + span.first, last = left + span.last;
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
    if (is_empty(changed)) return Rect{};
    return changed;
}

}  // namespace platform
