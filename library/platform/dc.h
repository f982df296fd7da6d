// Drawing contexts: draw into a Bitmap with the pen, brush, font and text settings
// selected into the context, following the pixel rules the library's pictures rely on:
// boxes exclude their right column and bottom row, a line excludes its end pixel,
// polygons fill by the even-odd rule, pens wider than one pixel are round-capped
// geometric pens centred on the path, everything clips to the bitmap.
//
// Coordinates are 64-bit so that any 32-bit library coordinate plus an origin is exact;
// shapes far off the bitmap cost no more than the part that is on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "bitmap.h"

namespace platform {

class Font;
class AlphaPicture;
class StampCache;
struct Stamp;
enum class StampShape : uint8_t;

struct Point {
    int64_t x = 0;
    int64_t y = 0;
};

struct Size {
    int width = 0;
    int height = 0;
};

// A solid pen. Widths 0 and 1 draw one pixel wide.
struct Pen {
    int width = 1;
    Pixel color = kBlack;
};

// A solid brush, or the hollow brush that leaves the inside of a shape untouched.
struct Brush {
    bool hollow = false;
    Pixel color = kWhite;
};

enum class BackgroundMode { opaque, transparent };

// Spans are written with the widest stores the processor has (4, 16, 32 or 64 bytes),
// chosen at the first span; pictures' blending follows the choice (AVX2 from 32 bytes).
// use_span_stores picks another width, for tests and measurements; it returns false,
// changing nothing, if the processor lacks it.
int span_store_bytes();
bool use_span_stores(int bytes);

class DrawingContext {
public:
    // Defaults: one-pixel black pen, white solid brush, the stock fixed-pitch font,
    // black text, opaque background in white, current position (0, 0).
    explicit DrawingContext(Bitmap *target);
    ~DrawingContext();

    Bitmap *target() const { return target_; }

    // Each select returns the object it replaces, so callers can put it back. Pens and
    // brushes are chosen for every shape, so their selects are inline.
    Pen select_pen(const Pen &pen) {
        Pen old = pen_;
        pen_ = pen;
        if (pen_.width < 0) pen_.width = 1;
        return old;
    }
    Brush select_brush(const Brush &brush) {
        Brush old = brush_;
        brush_ = brush;
        return old;
    }
    const Font *select_font(const Font *font);  // nullptr selects the stock fixed font
    Pixel set_text_color(Pixel color);
    BackgroundMode set_background_mode(BackgroundMode mode);
    BackgroundMode background_mode() const { return background_mode_; }
    Pixel background_color() const { return background_color_; }
    const Pen &pen() const { return pen_; }
    const Brush &brush() const { return brush_; }
    const Font &font() const;

    // Shapes: outline with the pen, inside with the brush.
    void polygon(const Point *points, int count);
    void rectangle(int64_t left, int64_t top, int64_t right, int64_t bottom);
    void ellipse(int64_t left, int64_t top, int64_t right, int64_t bottom);
    void move_to(int64_t x, int64_t y);
    void line_to(int64_t x, int64_t y);  // moves the current position to (x, y)

    // Fills the box, right column and bottom row excluded, without the pen.
    void fill_rect(int64_t left, int64_t top, int64_t right, int64_t bottom, Pixel color);

    // Text in the selected font, the run's top-left corner at (x, y). Glyphs are blended
    // in the text colour; in opaque mode the run's cells are first filled with the
    // background colour.
    void text_out(int64_t x, int64_t y, const char *text, size_t count);
    Size text_extent(const char *text, size_t count) const;

    // Draws a picture with alpha over what is there, its top-left pixel at (left, top),
    // clipped to the bitmap (alpha_picture.h has the blending rule).
    void draw_picture(const AlphaPicture &picture, int64_t left, int64_t top);

    // Moves the whole content by (dx, dy); what is uncovered keeps its old pixels.
    void scroll(int dx, int dy);

    // Copies a w by h block from source (sx, sy) to (dx, dy) here, clipped to both.
    void copy_bits(int64_t dx, int64_t dy, int width, int height, const DrawingContext &source,
                   int64_t sx, int64_t sy);

    // Small filled triangles whose outline has the brush's colour, and lines of pens up
    // to 21 pixels wide, are kept as stamps once they are painted a second time
    // (stamps.h); keep_stamps(false) paints every shape afresh, for tests and
    // measurements.
    void keep_stamps(bool keep) { keep_stamps_ = keep; }

    // Called after every operation that changed the pixels (a window's context uses it
    // to have the new picture shown).
    std::function<void()> on_change;

private:
    void changed() {
        if (on_change) on_change();
    }
    template <typename Paint>
    const Stamp *stamp_of(StampShape shape, int pen_width, const Point &anchor, const Point *others,
                          int count, Paint paint);

    Bitmap *target_;
    Pen pen_;
    Brush brush_;
    const Font *font_ = nullptr;
    Pixel text_color_ = kBlack;
    Pixel background_color_ = kWhite;
    BackgroundMode background_mode_ = BackgroundMode::opaque;
    Point position_;
    int64_t last_row_ = 0;  // where the last large fill ended: the next starts near it
    std::vector<Point> outline_points_;  // an ellipse's outline, kept for the next one
    bool keep_stamps_ = true;
    std::unique_ptr<StampCache> stamps_;  // made at the first shape that may be stamped
};

}  // namespace platform
