// Drawing pictures with alpha by spans: memcpy for opaque spans, prepared lanes for the
// blended ones.
#include "alpha_picture.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Eight pixels a step where the processor has AVX2, chosen with the span stores.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KANVO_BLEND_AVX2 1
#include <immintrin.h>
#else
#define KANVO_BLEND_AVX2 0
#endif

#include "dc.h"

namespace platform {
namespace {

enum PixelClass : uint8_t { skipped, copied, blended };

PixelClass class_of(Pixel p) {
    const uint8_t a = alpha_of(p);
    return a == 0 ? skipped : a == 255 ? copied : blended;
}

// The lane formula on one channel: below * kept + added, divided by 255 and rounded.
inline uint32_t lane(uint32_t below, uint64_t added, uint64_t kept, int shift) {
    const uint32_t t = below * uint32_t((kept >> shift) & 0xFFFF) + uint32_t((added >> shift) & 0xFFFF);
    return (t + (t >> 8)) >> 8;
}

inline Pixel blend_one(Pixel below, uint64_t added, uint64_t kept) {
    return lane(below & 0xFF, added, kept, 0) | lane((below >> 8) & 0xFF, added, kept, 16) << 8 |
           lane((below >> 16) & 0xFF, added, kept, 32) << 16 | lane(below >> 24, added, kept, 48) << 24;
}

// Widens each stretch of marked pixels to a multiple of four where the row is wide
// enough, rightwards first; stretches that meet are merged and widened again.
void widen_to_groups_of_four(std::vector<uint8_t> &marked) {
    const int width = int(marked.size());
    if (width < 4) return;
    for (bool widened = true; widened;) {
        widened = false;
        for (int x = 0; x < width;) {
            if (!marked[size_t(x)]) {
                ++x;
                continue;
            }
            int end = x;
            while (end < width && marked[size_t(end)]) ++end;
            int missing = (4 - (end - x) % 4) % 4;
            int widened_end = end;
            for (; missing > 0 && widened_end < width; ++widened_end, --missing) {
                marked[size_t(widened_end)] = 1;
                widened = true;
            }
            for (int s = x - 1; missing > 0 && s >= 0; --s, --missing) {
                marked[size_t(s)] = 1;
                widened = true;
            }
            x = widened_end;
        }
    }
}

}  // namespace

uint64_t blend_added(Pixel source) {
    const uint64_t a = alpha_of(source);
    const uint64_t alpha_lane = a == 0 ? 128 : 255 * 255 + 128;
    return (blue_of(source) * a + 128) | (green_of(source) * a + 128) << 16 |
           (red_of(source) * a + 128) << 32 | alpha_lane << 48;
}

uint64_t blend_kept(Pixel source) {
    const uint64_t rest = 255 - alpha_of(source);
    const uint64_t alpha_lane = alpha_of(source) == 0 ? 255 : 0;
    return rest | rest << 16 | rest << 32 | alpha_lane << 48;
}

void blend_prepared_portable(Pixel *target, const uint64_t *added, const uint64_t *kept,
                             int64_t count) {
    for (int64_t i = 0; i < count; ++i) target[i] = blend_one(target[i], added[i], kept[i]);
}

#if defined(__SSE2__)
namespace {

// Two pixels widened to 16-bit lanes, blended, still widened.
inline __m128i blend_lanes(__m128i below, const uint64_t *added, const uint64_t *kept) {
    __m128i t = _mm_mullo_epi16(below, _mm_loadu_si128(reinterpret_cast<const __m128i *>(kept)));
    t = _mm_add_epi16(t, _mm_loadu_si128(reinterpret_cast<const __m128i *>(added)));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

// Tails, where clipping cuts a stretch or the picture is too narrow to widen it.
inline void blend_tail(Pixel *target, const uint64_t *added, const uint64_t *kept, int64_t count) {
    const __m128i zero = _mm_setzero_si128();
    for (int64_t i = 0; i < count; ++i) {
        const __m128i below = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(target[i])), zero);
        const __m128i lanes = _mm_set_epi64x(0, int64_t(added[i]));
        const __m128i weights = _mm_set_epi64x(0, int64_t(kept[i]));
        __m128i t = _mm_add_epi16(_mm_mullo_epi16(below, weights), lanes);
        t = _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
        target[i] = Pixel(_mm_cvtsi128_si32(_mm_packus_epi16(t, zero)));
    }
}

inline void blend_span(Pixel *target, const uint64_t *added, const uint64_t *kept, int64_t count) {
    const __m128i zero = _mm_setzero_si128();
    int64_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i *at = reinterpret_cast<__m128i *>(target + i);
        const __m128i below = _mm_loadu_si128(at);
        const __m128i low = blend_lanes(_mm_unpacklo_epi8(below, zero), added + i, kept + i);
        const __m128i high = blend_lanes(_mm_unpackhi_epi8(below, zero), added + i + 2, kept + i + 2);
        _mm_storeu_si128(at, _mm_packus_epi16(low, high));
    }
    blend_tail(target + i, added + i, kept + i, count - i);
}

#if KANVO_BLEND_AVX2
// Four pixels read from p, widened to 16-bit lanes, blended, still widened.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i blend_lanes_avx2(const Pixel *p,
                                                                           const uint64_t *added,
                                                                           const uint64_t *kept) {
    const __m256i below = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)));
    __m256i t = _mm256_mullo_epi16(below, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(kept)));
    t = _mm256_add_epi16(t, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(added)));
    return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
}

[[gnu::target("avx2")]] inline void blend_span_avx2(Pixel *target, const uint64_t *added,
                                                    const uint64_t *kept, int64_t count) {
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i low = blend_lanes_avx2(target + i, added + i, kept + i);
        const __m256i high = blend_lanes_avx2(target + i + 4, added + i + 4, kept + i + 4);
        // The pack works within 128-bit halves: pixels come out 0 1 4 5 2 3 6 7.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(low, high), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(target + i), packed);
    }
    if (i + 4 <= count) {
        const __m256i lanes = blend_lanes_avx2(target + i, added + i, kept + i);
        const __m128i packed =
            _mm_packus_epi16(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(target + i), packed);
        i += 4;
    }
    blend_tail(target + i, added + i, kept + i, count - i);
}
#endif

}  // namespace
#else
namespace {

inline void blend_span(Pixel *target, const uint64_t *added, const uint64_t *kept, int64_t count) {
    for (int64_t i = 0; i < count; ++i) target[i] = blend_one(target[i], added[i], kept[i]);
}

}  // namespace
#endif

void blend_prepared(Pixel *target, const uint64_t *added, const uint64_t *kept, int64_t count) {
#if KANVO_BLEND_AVX2
    if (span_store_bytes() >= 32) return blend_span_avx2(target, added, kept, count);
#endif
    blend_span(target, added, kept, count);
}

AlphaPicture::AlphaPicture(Bitmap pixels) : pixels_(std::move(pixels)) {
    const int width = pixels_.width();
    row_start_.reserve(size_t(pixels_.height()) + 1);
    std::vector<uint8_t> marked(size_t(width > 0 ? width : 0));
    for (int y = 0; y < pixels_.height(); ++y) {
        row_start_.push_back(spans_.size());
        const Pixel *row = pixels_.row(y);
        for (int x = 0; x < width; ++x) marked[size_t(x)] = class_of(row[x]) == blended;
        widen_to_groups_of_four(marked);
        auto class_at = [&](int x) { return marked[size_t(x)] ? blended : class_of(row[x]); };
        int x = 0;
        while (x < width) {
            const PixelClass kind = class_at(x);
            int end = x + 1;
            while (end < width && class_at(end) == kind) ++end;
            if (kind == copied) {
                spans_.push_back(Span{x, end - x, -1});
            } else if (kind == blended) {
                spans_.push_back(Span{x, end - x, int64_t(added_.size())});
                for (int i = x; i < end; ++i) {
                    added_.push_back(blend_added(row[i]));
                    kept_.push_back(blend_kept(row[i]));
                }
            }
            x = end;
        }
    }
    row_start_.push_back(spans_.size());
}

namespace {

// What one drawing needs: the picture's spans and lanes, and the part that lands.
struct Placement {
    const Bitmap *pixels;
    const AlphaPicture::Span *spans;
    const size_t *row_start;
    const uint64_t *added, *kept;
    Bitmap *target;
    int64_t left, top, first_row, last_row, first_column, last_column;
    bool whole_rows;
};

template <typename Blend>
inline void draw_rows(const Placement &at, Blend blend) {
    // Held in locals: the stores below could otherwise alias the placement.
    const AlphaPicture::Span *spans = at.spans;
    const size_t *row_start = at.row_start;
    const uint64_t *added = at.added, *kept = at.kept;
    const int64_t first_column = at.first_column, last_column = at.last_column;
    const bool whole_rows = at.whole_rows;
    for (int64_t y = at.first_row; y < at.last_row; ++y) {
        const Pixel *source = at.pixels->row(int(y));
        Pixel *row = at.target->row(int(at.top + y));
        const int64_t left = at.left;
        const AlphaPicture::Span *end_of_row = spans + row_start[size_t(y) + 1];
        for (const AlphaPicture::Span *span = spans + row_start[size_t(y)]; span != end_of_row; ++span) {
            int64_t start = span->start, end = start + span->length;
            if (!whole_rows) {
                start = std::max(start, first_column);
                end = std::min(end, last_column);
                if (start >= end) continue;
            }
            if (span->blend < 0) {
                std::memcpy(row + (left + start), source + start, size_t(end - start) * sizeof(Pixel));
            } else {
                const int64_t lanes = span->blend + (start - span->start);
                blend(row + (left + start), added + lanes, kept + lanes, end - start);
            }
        }
    }
}

[[gnu::flatten]] void draw_rows_narrow(const Placement &at) { draw_rows(at, blend_span); }

#if KANVO_BLEND_AVX2
// Flattened: the row loop and the kernel become one function in AVX2 code.
[[gnu::target("avx2"), gnu::flatten]] void draw_rows_avx2(const Placement &at) {
    draw_rows(at, [](Pixel *target, const uint64_t *added, const uint64_t *kept, int64_t count)
                      __attribute__((target("avx2"))) {
                          blend_span_avx2(target, added, kept, count);
                      });
}
#endif

}  // namespace

void AlphaPicture::draw(Bitmap &target, int64_t left, int64_t top) const {
    // Rows and columns of the picture that land on the target, in 64 bits so that any
    // position is safe.
    Placement at{&pixels_, spans_.data(), row_start_.data(), added_.data(), kept_.data(), &target, left, top,
                 std::max<int64_t>(0, -top), std::min<int64_t>(height(), int64_t(target.height()) - top),
                 std::max<int64_t>(0, -left), std::min<int64_t>(width(), int64_t(target.width()) - left),
                 false};
    if (at.first_row >= at.last_row || at.first_column >= at.last_column) return;
    // Most pictures land whole across: their spans need no clipping.
    at.whole_rows = at.first_column == 0 && at.last_column == width();
#if KANVO_BLEND_AVX2
    if (span_store_bytes() >= 32) return draw_rows_avx2(at);
#endif
    draw_rows_narrow(at);
}

void DrawingContext::draw_picture(const AlphaPicture &picture, int64_t left, int64_t top) {
    picture.draw(*target_, left, top);
    changed();
}

}  // namespace platform
