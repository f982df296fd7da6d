// Finding the pixels that differ between two frames, and copying only those: a game
// repaints its whole frame each tick but changes a few pixels, so what a window shows is
// brought up to date by comparing, which only reads, rather than by copying everything.
// Rows are compared eight pixels (32 bytes) a step, with 16-byte vectors where the
// processor has them (SSE2 on x86, SIMD in the browser).
#pragma once

#include "platform/bitmap.h"
#include "platform/window.h"

namespace platform {

// The pixels from first up to (not including) last: where two rows differ, from the first
// pixel that does to the last. Empty (first == last) when the rows are equal.
struct Span {
    int first = 0;
    int last = 0;
    bool empty() const { return first >= last; }
};

// The first column from `from` on where the count pixels at a and b differ; count when
// none does.
int first_difference(const Pixel *a, const Pixel *b, int from, int count);

// Where the count pixels at a and b differ.
Span changed_span(const Pixel *a, const Pixel *b, int count);

// Copies into `to` the pixels of `from` inside area (clipped to both bitmaps) that differ
// from its own, and returns the smallest rectangle that holds every pixel changed (right
// and bottom exclusive; empty, right <= left, when nothing did).
Rect copy_changed_pixels(Bitmap &to, const Bitmap &from, Rect area);

inline bool is_empty(const Rect &r) { return r.right <= r.left || r.bottom <= r.top; }

// The smallest rectangle holding both; an empty one adds nothing.
inline Rect united(const Rect &a, const Rect &b) {
    if (is_empty(a)) return b;
    if (is_empty(b)) return a;
    return Rect{a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
                a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom};
}

}  // namespace platform
