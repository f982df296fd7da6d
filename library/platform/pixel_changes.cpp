#include "platform/pixel_changes.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace platform {
namespace {

// Whether the eight pixels at a and b are all equal.
inline bool same8(const Pixel *a, const Pixel *b) {
#if defined(__SSE2__)
    const __m128i d0 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(a)),
                                     _mm_loadu_si128(reinterpret_cast<const __m128i *>(b)));
    const __m128i d1 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(a + 4)),
                                     _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + 4)));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(d0, d1), _mm_setzero_si128())) == 0xFFFF;
#elif defined(__wasm_simd128__)
    const v128_t d0 = wasm_v128_xor(wasm_v128_load(a), wasm_v128_load(b));
    const v128_t d1 = wasm_v128_xor(wasm_v128_load(a + 4), wasm_v128_load(b + 4));
    return !wasm_v128_any_true(wasm_v128_or(d0, d1));
#else
    uint64_t x[4], y[4];
    std::memcpy(x, a, sizeof x);
    std::memcpy(y, b, sizeof y);
    return ((x[0] ^ y[0]) | (x[1] ^ y[1]) | (x[2] ^ y[2]) | (x[3] ^ y[3])) == 0;
#endif
}

}  // namespace

int first_difference(const Pixel *a, const Pixel *b, int from, int count) {
    int x = from;
    while (x + 8 <= count && same8(a + x, b + x)) x += 8;
    while (x < count && a[x] == b[x]) ++x;
    return x;
}

Span changed_span(const Pixel *a, const Pixel *b, int count) {
    const int first = first_difference(a, b, 0, count);
    if (first == count) return Span{count, count};
    // From the end: the last pixel that differs is at or after first.
    int last = count;
    while (last - 8 > first && same8(a + last - 8, b + last - 8)) last -= 8;
    while (a[last - 1] == b[last - 1]) --last;
    return Span{first, last};
}

Rect copy_changed_pixels(Bitmap &to, const Bitmap &from, Rect area) {
    const int left = std::max(area.left, 0);
    const int top = std::max(area.top, 0);
    const int right = std::min({area.right, to.width(), from.width()});
    const int bottom = std::min({area.bottom, to.height(), from.height()});
    Rect changed{right, bottom, left, top};
    for (int y = top; y < bottom; ++y) {
        const Pixel *source = from.row(y) + left;
        Pixel *target = to.row(y) + left;
        const Span span = changed_span(source, target, right - left);
        if (span.empty()) continue;
        std::memcpy(target + span.first, source + span.first,
                    size_t(span.last - span.first) * sizeof(Pixel));
        changed.left = std::min(changed.left, left + span.first);
        changed.right = std::max(changed.right, left + span.last);
        changed.top = std::min(changed.top, y);
        changed.bottom = y + 1;
    }
    if (is_empty(changed)) return Rect{};
    return changed;
}

}  // namespace platform
