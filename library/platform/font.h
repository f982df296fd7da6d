// Fonts through FreeType, with the system's lookup choosing the face for a requested name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "bitmap.h"

namespace platform {

struct FontMetrics {
    int height = 0;            // ascent + descent: the height of a line of cells
    int ascent = 0;            // baseline below the top of a cell
    int descent = 0;
    int external_leading = 0;  // extra space the face recommends between lines
};

// Blends color over count pixels, pixel i by coverage[i] (a glyph's row): each channel
// becomes (color * coverage + below * (255 - coverage)) / 255, rounded to the nearest;
// coverage 0 leaves the pixel as it was, 255 puts color. Four pixels a step where the
// processor has vectors.
void blend_coverage(Pixel *target, const uint8_t *coverage, int64_t count, Pixel color);

// The characters of a run of text: UTF-8 when the whole run is valid UTF-8, otherwise one
// character per byte (Latin-1), as text was read before UTF-8, so old single-byte text
// keeps its pixels.
std::u32string decode_text(const char *text, size_t count);

class Font {
public:
    // A font for a face name (matched by the system's lookup to the best available face).
    // A negative height asks for characters of -height pixels, a positive one for cells
    // of height pixels, 0 for the default size. weight 400 is normal.
    static std::unique_ptr<Font> create(const std::string &face_name, int height, int weight = 400);

    // The stock fixed-pitch font of the text window.
    static const Font &stock_fixed();

    virtual ~Font() = default;
    virtual FontMetrics metrics() const = 0;

    // Runs are read by decode_text. Control characters have no glyph and no advance; a
    // character no face has is drawn as a box.
    // The sum of the characters' advances, in pixels.
    virtual int64_t advance(const char *text, size_t count) const = 0;
    // Blends the run's glyphs in color over what target holds, the top-left corner of the
    // run's first cell at (x, y); clipped to the target and to the cells' rows.
    virtual void draw_run(Bitmap &target, int64_t x, int64_t y, const char *text, size_t count,
                          Pixel color) const = 0;

protected:
    Font() = default;
};

}  // namespace platform
