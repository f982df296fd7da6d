// Pictures with an alpha channel (sprites loaded from PNG files), drawn over a bitmap by
// the source-over rule. Each row is kept as spans of opaque, partly transparent and
// transparent pixels, so that drawing copies the opaque spans whole, skips the
// transparent ones and blends only the rest, from lanes prepared when loading.
#pragma once

#include <cstdint>
#include <vector>

#include "bitmap.h"

namespace platform {

// Pixels with straight (not premultiplied) alpha: 0xAARRGGBB.
constexpr Pixel argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}
constexpr uint8_t alpha_of(Pixel p) { return uint8_t(p >> 24); }

// Source over, channel by channel: (source * alpha + below * (255 - alpha)) / 255,
// rounded to the nearest integer (the quotient is never halfway between two). Alpha 0
// leaves the pixel below as it was, alpha 255 puts the source's colour exactly. The
// result is opaque.
inline Pixel blend_over(Pixel below, Pixel source) {
    const uint32_t a = alpha_of(source), rest = 255 - a;
    // Red and blue side by side in 16-bit lanes, green alone: no lane exceeds 65535.
    uint32_t rb = (source & 0xFF00FFu) * a + (below & 0xFF00FFu) * rest + 0x800080u;
    uint32_t g = (source & 0xFF00u) * a + (below & 0xFF00u) * rest + 0x8000u;
    rb = ((rb + ((rb >> 8) & 0xFF00FFu)) >> 8) & 0xFF00FFu;
    g = ((g + ((g >> 8) & 0xFF00u)) >> 8) & 0xFF00u;
    return 0xFF000000u | rb | g;
}

// A pixel of a picture made ready for blending when the picture is loaded: four 16-bit
// lanes, blue, green, red, alpha from the low end, so that a lane's result is
// ((t + (t >> 8)) >> 8) with t = below * kept + added, the rounded quotient above.
// Colour lanes add source * alpha + 128 and keep 255 - alpha; the alpha lane gives 255,
// or keeps the pixel below's alpha where the source's is 0, which leaves that pixel
// exactly as it was. Opaque and transparent pixels can thus share a blended stretch.
// No lane's t passes 65153, so 16 bits hold every step.
uint64_t blend_added(Pixel source);
uint64_t blend_kept(Pixel source);

// target[i] from the prepared lanes of count pixels; in the widest vector code the span
// stores use (use_span_stores in dc.h picks it), one pixel at a time in
// blend_prepared_portable.
void blend_prepared(Pixel *target, const uint64_t *added, const uint64_t *kept, int64_t count);
void blend_prepared_portable(Pixel *target, const uint64_t *added, const uint64_t *kept,
                             int64_t count);

class AlphaPicture {
public:
    AlphaPicture() = default;
    // Takes the pixels (0xAARRGGBB) and finds each row's spans.
    explicit AlphaPicture(Bitmap pixels);

    int width() const { return pixels_.width(); }
    int height() const { return pixels_.height(); }
    const Bitmap &pixels() const { return pixels_; }

    // Draws the picture with its top-left pixel at (left, top) of target, clipped to it.
    void draw(Bitmap &target, int64_t left, int64_t top) const;

    // Opaque stretches are copied; partly transparent pixels are blended in stretches
    // widened to whole groups of four where the row allows, taking in neighbours that
    // blend to what copying or skipping them gives; transparent stretches are left out.
    struct Span {
        int start = 0, length = 0;
        int64_t blend = -1;  // -1: copy; else the first pixel's lanes in added_ and kept_
    };

private:
    Bitmap pixels_;
    std::vector<Span> spans_;          // the rows' spans, row after row
    std::vector<size_t> row_start_;    // row y's spans are [row_start_[y], row_start_[y + 1])
    std::vector<uint64_t> added_, kept_;  // blended pixels' lanes, span after span
};

}  // namespace platform
