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

// The +1 makes the box cover both given corners: the platform leaves out its right
// column and bottom row.
void paint_box(const DrawCommand &c) {
    ShapeTools tools(c);
    int64_t left = pixel_x(c.x1), top = pixel_y(c.y1);
    int64_t right = pixel_x(c.x2) + 1, bottom = pixel_y(c.y2) + 1;
    if (c.kind == kind_rectangle)
        surface().rectangle(left, top, right, bottom);
    else
        surface().ellipse(left, top, right, bottom);
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
    ensure_surface();
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

// White inside, with the context's own one-pixel black pen around the edge.
void clear_surface() {
    ensure_surface();
    platform::Brush white;
    white.color = palette_pixel(KANVO_WHITE);
    platform::Brush old = kanvo.surface.surface_dc->select_brush(white);
    kanvo.surface.surface_dc->rectangle(0, 0, kSurfaceWidth, kSurfaceHeight);
    kanvo.surface.surface_dc->select_brush(old);
    kanvo.surface.surface_dirty = 1;
}
