// Paints draw commands onto the off-screen drawing surface: library coordinates become
// pixels with the origin in force when the command is painted, and every pen, brush and
// font is made for one command and put back before it returns.
#include <algorithm>
#include <cstring>

#include "kanvo_internal.h"
#include "platform/font.h"

namespace {

using platform::Point;

// The painters run after ensure_surface.
platform::DrawingContext &surface() { return *kanvo.surface.surface_dc; }

// Computed in 64 bits: any 32-bit coordinate with any origin is exact.
int64_t pixel_x(int32_t x) { return int64_t(kanvo.windows.origin_x) + int64_t(x); }
int64_t pixel_y(int32_t y) { return int64_t(kanvo.windows.origin_y) - int64_t(y); }

// Pen and brush of the shape kinds: width 0 is a filled shape, any other width an
// outline that leaves the inside as it was.
struct ShapeTools {
    explicit ShapeTools(const DrawCommand &command) {
        platform::Pixel color = palette_pixel(command.color);
        old_pen = surface().select_pen(platform::Pen{command.width, color});
        platform::Brush brush;
        brush.hollow = command.width != 0;
        brush.color = color;
        old_brush = surface().select_brush(brush);
    }
    ~ShapeTools() {
        surface().select_pen(old_pen);
        surface().select_brush(old_brush);
    }
    ShapeTools(const ShapeTools &) = delete;
    ShapeTools &operator=(const ShapeTools &) = delete;

    platform::Pen old_pen;
    platform::Brush old_brush;
};

void paint_triangle(const DrawCommand &c) {
    ShapeTools tools(c);
    Point corners[3] = {{pixel_x(c.x1), pixel_y(c.y1)},
                        {pixel_x(c.x2), pixel_y(c.y2)},
                        {pixel_x(c.x3), pixel_y(c.y3)}};
    surface().polygon(corners, 3);
}

// A box command's corners in pixels, right column and bottom row excluded: the +1 makes
// the box cover both given corners, as the platform leaves out its right column and
// bottom row.
struct PixelBox {
    int64_t left, top, right, bottom;
};

PixelBox box_pixels(const DrawCommand &c) {
    return PixelBox{pixel_x(c.x1), pixel_y(c.y1), pixel_x(c.x2) + 1, pixel_y(c.y2) + 1};
}

void paint_box(const DrawCommand &c) {
    ShapeTools tools(c);
    const PixelBox b = box_pixels(c);
    if (c.kind == kind_rectangle)
        surface().rectangle(b.left, b.top, b.right, b.bottom);
    else
        surface().ellipse(b.left, b.top, b.right, b.bottom);
}

void paint_line(const DrawCommand &c) {
    platform::Pen old = surface().select_pen(platform::Pen{c.width, palette_pixel(c.color)});
    surface().move_to(pixel_x(c.x1), pixel_y(c.y1));
    surface().line_to(pixel_x(c.x2), pixel_y(c.y2));
    surface().select_pen(old);
}

// Up to 256 corners, as the drawing call allows.
void paint_polygon(const DrawCommand &c) {
    if (!c.xs || !c.ys || c.count < 3) return;
    Point corners[256];
    const int count = c.count < 256 ? c.count : 256;
    for (int i = 0; i < count; ++i) corners[i] = {pixel_x(c.xs[i]), pixel_y(c.ys[i])};
    ShapeTools tools(c);
    surface().polygon(corners, count);
}

// The picture's centre pixel is its column width / 2 and row height / 2.
void paint_picture(const DrawCommand &c) {
    const LoadedPicture *loaded = loaded_picture(c.x2);
    if (!loaded) return;
    const platform::AlphaPicture &picture = loaded->picture;
    surface().draw_picture(picture, pixel_x(c.x1) - picture.width() / 2,
                           pixel_y(c.y1) - picture.height() / 2);
}

std::unique_ptr<platform::Font> text_font(int ptsize) {
    return platform::Font::create("KANVO-font", -ptsize, 400);
}

// Lines split at line feeds; the anchor is the bottom-left corner of the first line, and
// each further line lies one line height (of the whole text) below the one before.
void paint_text(const DrawCommand &c) {
    if (!c.text) return;
    platform::Pixel old_color = surface().set_text_color(palette_pixel(c.color));
    platform::BackgroundMode old_mode =
        surface().set_background_mode(platform::BackgroundMode::transparent);
    std::unique_ptr<platform::Font> font = text_font(c.x2);
    const platform::Font *old_font = surface().select_font(font.get());

    const char *text = c.text;
    size_t n = strlen(text);
    int64_t line_height = surface().text_extent(text, n).height;
    int64_t k = -1;
    size_t start = 0;
    for (;;) {
        size_t count = strcspn(text + start, "\n");
        surface().text_out(pixel_x(c.x1), pixel_y(c.y1) + k * line_height, text + start, count);
        ++k;
        if (start + count >= n) break;
        start += count + 1;
    }

    surface().set_background_mode(old_mode);
    surface().select_font(old_font);
    surface().set_text_color(old_color);
}

// ---- the waiting clear ---------------------------------------------------------------
// A clear is not written at once: its rows wait, and a filled box that covers what a
// waiting row holds takes its place in the row instead of being painted over it. The
// first command that paints elsewhere in a waiting row, and anything that reads the
// surface, has the row written first. A frame that starts with a clear, a sky and a
// field so writes those pixels once instead of three times, and every pixel ends as it
// would if each command had been painted in turn.

using WaitingBand = SurfaceState::WaitingBand;

// Past this many bands (boxes in many rows) everything waiting is written.
constexpr size_t kMostBands = 32;

// The pixels a command paints over whole in one colour, when it is a filled box of at
// least two pixels each way (smaller ones are drawn as outlines), clipped to the surface.
bool covers_box(const DrawCommand &c, PixelBox *box) {
    if (c.kind != kind_rectangle || c.width != 0) return false;
    auto [left, top, right, bottom] = box_pixels(c);
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (right - left < 2 || bottom - top < 2) return false;
    box->left = std::clamp<int64_t>(left, 0, kSurfaceWidth);
    box->right = std::clamp<int64_t>(right, 0, kSurfaceWidth);
    box->top = std::clamp<int64_t>(top, 0, kSurfaceHeight);
    box->bottom = std::clamp<int64_t>(bottom, 0, kSurfaceHeight);
    return true;
}

// The rows a command can paint in: its corners' rows and, around them, room for its pen
// (round caps reach half a pen's width). Text and pictures may paint anywhere.
void rows_touched(const DrawCommand &c, int64_t *first, int64_t *end) {
    int64_t low = INT64_MAX, high = INT64_MIN;
    auto take = [&](int32_t y) {
        low = std::min(low, pixel_y(y));
        high = std::max(high, pixel_y(y));
    };
    switch (c.kind) {
    case kind_triangle: take(c.y3); [[fallthrough]];
    case kind_rectangle:
    case kind_oval:
    case kind_line: take(c.y1); take(c.y2); break;
    case kind_polygon:
        if (c.ys)
            for (int i = 0; i < std::min(c.count, 256); ++i) take(c.ys[i]);
        break;
    default: break;
    }
    if (low > high) {
        *first = 0;
        *end = kSurfaceHeight;
        return;
    }
    const int64_t room = int64_t(std::max(c.width, 0)) + 2;
    *first = std::clamp<int64_t>(low - room, 0, kSurfaceHeight);
    *end = std::clamp<int64_t>(high + 1 + room, 0, kSurfaceHeight);
}

// Rows top to bottom (top < bottom) of a band: the clear's pixels around [left, right)
// and the band's colour inside.
void write_waiting_band(int top, int bottom, const WaitingBand &band) {
    const SurfaceState &s = kanvo.surface;
    platform::DrawingContext &dc = surface();
    const int last_x = kSurfaceWidth - 1, last_y = kSurfaceHeight - 1;
    auto clear_part = [&](int left, int right) {
        if (left >= right) return;
        dc.fill_rect(left, top, right, bottom, s.clear_inside);
        if (top == 0) dc.fill_rect(left, 0, right, 1, s.clear_edge);
        if (bottom == kSurfaceHeight) dc.fill_rect(left, last_y, right, kSurfaceHeight, s.clear_edge);
        if (left == 0) dc.fill_rect(0, top, 1, bottom, s.clear_edge);
        if (right == kSurfaceWidth) dc.fill_rect(last_x, top, kSurfaceWidth, bottom, s.clear_edge);
    };
    if (band.left >= band.right) {
        clear_part(0, kSurfaceWidth);
        return;
    }
    clear_part(0, band.left);
    dc.fill_rect(band.left, top, band.right, bottom, band.color);
    clear_part(band.right, kSurfaceWidth);
}

// Adds rows [top, bottom) holding what band holds to the list being made, joined to the
// band before when that holds the same.
void keep_band(int top, int bottom, const WaitingBand &band) {
    if (top >= bottom) return;
    std::vector<WaitingBand> &next = kanvo.surface.spare_bands;
    if (!next.empty()) {
        WaitingBand &last = next.back();
        if (last.bottom == top && last.left == band.left && last.right == band.right &&
            last.color == band.color) {
            last.bottom = bottom;
            return;
        }
    }
    next.push_back(WaitingBand{top, bottom, band.left, band.right, band.color});
}

void keep_new_bands() {
    SurfaceState &s = kanvo.surface;
    std::swap(s.waiting_bands, s.spare_bands);
    s.spare_bands.clear();
}

bool rows_waiting() { return !kanvo.surface.waiting_bands.empty(); }

// Writes the waiting rows in [first, end).
void write_waiting_rows(int64_t first, int64_t end) {
    SurfaceState &s = kanvo.surface;
    bool touched = false;
    for (const WaitingBand &band : s.waiting_bands) touched |= band.top < end && band.bottom > first;
    if (!touched) return;
    for (const WaitingBand &band : s.waiting_bands) {
        const int top = int(std::max<int64_t>(band.top, first));
        const int bottom = int(std::min<int64_t>(band.bottom, end));
        if (top >= bottom) {
            keep_band(band.top, band.bottom, band);
            continue;
        }
        write_waiting_band(top, bottom, band);
        keep_band(band.top, top, band);
        keep_band(bottom, band.bottom, band);
    }
    keep_new_bands();
}

// A filled box over waiting rows: a band whose box it covers takes the box's colour in
// the box's rows and goes on waiting; the box is painted into the other rows.
void paint_box_over_waiting_rows(const PixelBox &box, platform::Pixel color) {
    SurfaceState &s = kanvo.surface;
    if (box.left >= box.right || box.top >= box.bottom) return;  // wholly off the surface
    const WaitingBand covered{0, 0, int(box.left), int(box.right), color};
    int paint_from = int(box.top);  // the box's rows above are done
    for (const WaitingBand &band : s.waiting_bands) {
        const int top = std::max(band.top, int(box.top));
        const int bottom = std::min(band.bottom, int(box.bottom));
        if (top >= bottom) {
            keep_band(band.top, band.bottom, band);
            continue;
        }
        keep_band(band.top, top, band);
        if (band.left >= band.right || (box.left <= band.left && box.right >= band.right)) {
            if (paint_from < top) surface().fill_rect(box.left, paint_from, box.right, top, color);
            keep_band(top, bottom, covered);
            paint_from = bottom;
        } else {
            write_waiting_band(top, bottom, band);
        }
        keep_band(bottom, band.bottom, band);
    }
    if (paint_from < box.bottom) surface().fill_rect(box.left, paint_from, box.right, box.bottom, color);
    keep_new_bands();
    if (s.waiting_bands.size() > kMostBands) write_waiting_rows(0, kSurfaceHeight);
}

}  // namespace

void ensure_surface() {
    SurfaceState &s = kanvo.surface;
    if (!s.surface_bitmap)
        s.surface_bitmap = std::make_unique<platform::Bitmap>(kSurfaceWidth, kSurfaceHeight);
    if (!s.surface_dc)
        s.surface_dc = std::make_unique<platform::DrawingContext>(s.surface_bitmap.get());
}

void render_command(const DrawCommand &command) {
    ensure_surface();
    if (kanvo.surface.render_observer) kanvo.surface.render_observer(command);
    if (rows_waiting()) {
        PixelBox box;
        if (covers_box(command, &box)) {
            paint_box_over_waiting_rows(box, palette_pixel(command.color));
            ++kanvo.surface.commands_rendered;
            kanvo.surface.surface_dirty = 1;
            return;
        }
        int64_t first, end;
        rows_touched(command, &first, &end);
        write_waiting_rows(first, end);
    }
    switch (command.kind) {
    case kind_triangle: paint_triangle(command); break;
    case kind_rectangle:
    case kind_oval: paint_box(command); break;
    case kind_line: paint_line(command); break;
    case kind_text: paint_text(command); break;
    case kind_polygon: paint_polygon(command); break;
    case kind_picture: paint_picture(command); break;
    default: break;
    }
    ++kanvo.surface.commands_rendered;
    kanvo.surface.surface_dirty = 1;
}

int text_width(int ptsize, const char *text) {
    ensure_surface();  // for its context's fonts; the pixels are not read
    std::unique_ptr<platform::Font> font = text_font(ptsize);
    const platform::Font *old_font = surface().select_font(font.get());
    int widest = 0;
    for (const char *line = text;;) {
        const size_t count = strcspn(line, "\n");
        widest = std::max(widest, surface().text_extent(line, count).width);
        if (line[count] == '\0') break;
        line += count + 1;
    }
    surface().select_font(old_font);
    return widest;
}

// A clear is white inside, with the context's own one-pixel black pen around the edge;
// its rows wait (see above) unless the pen is wider, which the rows cannot hold.
void clear_surface() {
    ensure_surface();
    SurfaceState &s = kanvo.surface;
    s.surface_dirty = 1;
    s.waiting_bands.clear();
    platform::DrawingContext &dc = surface();
    if (dc.pen().width > 1) {
        platform::Brush white;
        white.color = palette_pixel(KANVO_WHITE);
        platform::Brush old = dc.select_brush(white);
        dc.rectangle(0, 0, kSurfaceWidth, kSurfaceHeight);
        dc.select_brush(old);
        return;
    }
    s.waiting_bands.push_back(WaitingBand{0, kSurfaceHeight, 0, 0, 0});
    s.clear_inside = palette_pixel(KANVO_WHITE);
    s.clear_edge = dc.pen().color;
}

void settle_surface() {
    if (rows_waiting()) write_waiting_rows(0, kSurfaceHeight);
}

platform::Bitmap &surface_pixels() {
    ensure_surface();
    settle_surface();
    return *kanvo.surface.surface_bitmap;
}
