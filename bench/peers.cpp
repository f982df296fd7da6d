// The painters of the peer benchmark. Each turns a frame's commands into its own calls
// by Kanvo's pixel rules: a box covers both given corners, filled shapes have a one-pixel
// outline in their colour, outlines and lines are centred on the pixels they join, wide
// pens have round ends and joins, triangles fill by the even-odd rule.
#include "peers.h"

#include <cairo.h>

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace {

constexpr int kStartOriginX = 300;  // the command lists' start value
constexpr int kStartOriginY = 270;

// A shape command in surface pixels, with the origin in force.
struct PixelShape {
    PixelShape(const DrawCommand &c, int ox, int oy) : kind(c.kind), width(c.width) {
        color = palette_pixel(c.color);
        int64_t xs[3] = {c.x1, c.x2, c.x3}, ys[3] = {c.y1, c.y2, c.y3};
        for (int i = 0; i < 3; ++i) {
            x[i] = int(ox + xs[i]);
            y[i] = int(oy - ys[i]);
        }
    }
    // The box of a rectangle or oval, both corners included.
    int left() const { return x[0]; }
    int top() const { return y[0]; }
    int last_column() const { return x[1]; }
    int last_row() const { return y[1]; }
    bool filled() const { return width == 0; }

    uint32_t kind;
    int width;
    platform::Pixel color;
    int x[3], y[3];
};

// A peer painter: follows the list's origin and hands each step to the peer's own calls,
// with the shapes already in surface pixels.
class PeerPainter : public Painter {
public:
    void reset() override {
        fill(platform::kWhite);
        ox_ = kStartOriginX;
        oy_ = kStartOriginY;
    }
    void paint(const Frame &frame) override {
        for (const ListCommand &step : frame.steps) {
            switch (step.kind) {
            case ListCommand::origin:
                ox_ = step.origin_x;
                oy_ = step.origin_y;
                break;
            case ListCommand::clear: clear(); break;
            case ListCommand::fill: fill(step.fill_color); break;
            case ListCommand::shape: shape(PixelShape(step.command, ox_, oy_)); break;
            }
        }
    }

protected:
    // A fresh drawing surface: white with a black one-pixel frame.
    virtual void clear() = 0;
    virtual void fill(platform::Pixel color) = 0;
    virtual void shape(const PixelShape &s) = 0;

private:
    int ox_ = kStartOriginX, oy_ = kStartOriginY;
};

// ---- Kanvo -------------------------------------------------------------------------

class KanvoPainter : public Painter {
public:
    const char *name() const override { return "kanvo"; }
    void reset() override {
        ensure_surface();
        surface_pixels().fill(platform::kWhite);
        kanvo.windows.origin_x = kStartOriginX;
        kanvo.windows.origin_y = kStartOriginY;
    }
    void paint(const Frame &frame) override {
        for (const ListCommand &step : frame.steps) paint_list_command(step);
        settle_surface();  // the frame is whole, as a wait would show it
    }
    platform::Bitmap picture() override { return surface_pixels(); }
};

// ---- cairo -------------------------------------------------------------------------

class CairoPainter : public PeerPainter {
public:
    CairoPainter()
        : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSurfaceWidth, kSurfaceHeight)),
          cr_(cairo_create(surface_)) {
        cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
        cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    }
    ~CairoPainter() override {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    const char *name() const override { return "cairo"; }
    platform::Bitmap picture() override {
        cairo_surface_flush(surface_);
        platform::Bitmap out(kSurfaceWidth, kSurfaceHeight);
        const unsigned char *data = cairo_image_surface_get_data(surface_);
        const int stride = cairo_image_surface_get_stride(surface_);
        for (int y = 0; y < kSurfaceHeight; ++y)
            std::memcpy(out.row(y), data + size_t(y) * size_t(stride), kSurfaceWidth * 4);
        return out;
    }

private:
    void set_color(platform::Pixel p) {
        cairo_set_source_rgb(cr_, platform::red_of(p) / 255.0, platform::green_of(p) / 255.0,
                             platform::blue_of(p) / 255.0);
    }

    void fill(platform::Pixel color) override {
        set_color(color);
        cairo_paint(cr_);
    }

    void clear() override {
        fill(platform::kWhite);
        set_color(platform::kBlack);
        cairo_set_line_width(cr_, 1);
        cairo_rectangle(cr_, 0.5, 0.5, kSurfaceWidth - 1, kSurfaceHeight - 1);
        cairo_stroke(cr_);
    }

    // Paths run through pixel centres.
    static double centre(int v) { return v + 0.5; }

    void ellipse_path(const PixelShape &s) {
        // Four Bézier quarters: no scaling, so a flat box stays a valid path.
        const double k = 0.5522847498;
        double cx = (centre(s.left()) + centre(s.last_column())) / 2;
        double cy = (centre(s.top()) + centre(s.last_row())) / 2;
        double rx = (s.last_column() - s.left()) / 2.0, ry = (s.last_row() - s.top()) / 2.0;
        cairo_move_to(cr_, cx + rx, cy);
        cairo_curve_to(cr_, cx + rx, cy + k * ry, cx + k * rx, cy + ry, cx, cy + ry);
        cairo_curve_to(cr_, cx - k * rx, cy + ry, cx - rx, cy + k * ry, cx - rx, cy);
        cairo_curve_to(cr_, cx - rx, cy - k * ry, cx - k * rx, cy - ry, cx, cy - ry);
        cairo_curve_to(cr_, cx + k * rx, cy - ry, cx + rx, cy - k * ry, cx + rx, cy);
        cairo_close_path(cr_);
    }

    void shape(const PixelShape &s) override {
        set_color(s.color);
        const int pen = std::max(s.width, 1);
        cairo_set_line_width(cr_, pen);
        cairo_set_line_cap(cr_, pen > 1 ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
        switch (s.kind) {
        case kind_triangle:
            cairo_move_to(cr_, centre(s.x[0]), centre(s.y[0]));
            cairo_line_to(cr_, centre(s.x[1]), centre(s.y[1]));
            cairo_line_to(cr_, centre(s.x[2]), centre(s.y[2]));
            cairo_close_path(cr_);
            break;
        case kind_rectangle:
            cairo_rectangle(cr_, centre(s.left()), centre(s.top()), s.last_column() - s.left(),
                            s.last_row() - s.top());
            break;
        case kind_oval: ellipse_path(s); break;
        case kind_line:
            cairo_move_to(cr_, centre(s.x[0]), centre(s.y[0]));
            cairo_line_to(cr_, centre(s.x[1]), centre(s.y[1]));
            cairo_stroke(cr_);
            return;
        default: return;
        }
        if (s.filled()) cairo_fill_preserve(cr_);
        cairo_stroke(cr_);
    }

    cairo_surface_t *surface_;
    cairo_t *cr_;
};

// ---- QPainter ------------------------------------------------------------------------

class QtPainter : public PeerPainter {
public:
    explicit QtPainter(bool with_pen)
        : with_pen_(with_pen), image_(kSurfaceWidth, kSurfaceHeight, QImage::Format_RGB32),
          painter_(&image_) {
        painter_.setRenderHint(QPainter::Antialiasing, false);
    }
    const char *name() const override { return with_pen_ ? "qpainter_pen_brush" : "qpainter_brush"; }
    platform::Bitmap picture() override {
        platform::Bitmap out(kSurfaceWidth, kSurfaceHeight);
        for (int y = 0; y < kSurfaceHeight; ++y)
            std::memcpy(out.row(y), image_.constScanLine(y), kSurfaceWidth * 4);
        return out;
    }

private:
    void fill(platform::Pixel color) override { painter_.fillRect(image_.rect(), QColor::fromRgb(color)); }

    void clear() override {
        fill(platform::kWhite);
        painter_.setPen(QPen(QColor(0, 0, 0), 1));
        painter_.setBrush(Qt::NoBrush);
        painter_.drawRect(QRect(0, 0, kSurfaceWidth - 1, kSurfaceHeight - 1));
    }

    void shape(const PixelShape &s) override {
        const QColor color = QColor::fromRgb(s.color);
        // A filled shape without a pen covers the whole box; with a one-pixel pen the
        // outline adds the last column and row.
        const bool brush_only = s.filled() && !with_pen_ && s.kind != kind_line;
        const int box_extra = brush_only ? 1 : 0;
        if (brush_only) {
            painter_.setPen(Qt::NoPen);
        } else {
            const int pen = std::max(s.width, 1);
            painter_.setPen(QPen(color, pen, Qt::SolidLine, pen > 1 ? Qt::RoundCap : Qt::FlatCap,
                                 Qt::RoundJoin));
        }
        if (s.filled())
            painter_.setBrush(color);
        else
            painter_.setBrush(Qt::NoBrush);
        switch (s.kind) {
        case kind_triangle: {
            const QPoint corners[3] = {{s.x[0], s.y[0]}, {s.x[1], s.y[1]}, {s.x[2], s.y[2]}};
            painter_.drawPolygon(corners, 3, Qt::OddEvenFill);
            break;
        }
        case kind_rectangle:
            painter_.drawRect(QRect(s.left(), s.top(), s.last_column() - s.left() + box_extra,
                                    s.last_row() - s.top() + box_extra));
            break;
        case kind_oval:
            painter_.drawEllipse(QRect(s.left(), s.top(), s.last_column() - s.left() + box_extra,
                                       s.last_row() - s.top() + box_extra));
            break;
        case kind_line: painter_.drawLine(QPoint(s.x[0], s.y[0]), QPoint(s.x[1], s.y[1])); break;
        default: break;
        }
    }

    bool with_pen_;
    QImage image_;
    QPainter painter_;
};

// ---- the floor -------------------------------------------------------------------------

class FloorPainter : public Painter {
public:
    explicit FloorPainter(bool own_pixels)
        : own_pixels_(own_pixels), picture_(kSurfaceWidth, kSurfaceHeight) {}
    const char *name() const override { return own_pixels_ ? "pixel_writes" : "floor"; }
    void reset() override { picture_.fill(platform::kWhite); }
    // One store per pixel, in a colour that changes every time so nothing is skipped.
    void paint(const Frame &frame) override {
        constexpr int64_t surface = int64_t(kSurfaceWidth) * kSurfaceHeight;
        int64_t left = own_pixels_ ? frame.pixel_writes : surface;
        while (left > 0) {
            int64_t run = std::min(left, surface);
            write(size_t(run));
            left -= run;
        }
    }
    platform::Bitmap picture() override { return picture_; }

private:
    void write(size_t count) {
        static_assert(sizeof(wchar_t) == sizeof(platform::Pixel), "wmemset writes pixels");
        ++color_;
        std::wmemset(reinterpret_cast<wchar_t *>(picture_.row(0)), wchar_t(color_), count);
    }

    bool own_pixels_;
    platform::Bitmap picture_;
    platform::Pixel color_ = platform::kWhite;
};

}  // namespace

std::unique_ptr<Painter> make_kanvo_painter() { return std::make_unique<KanvoPainter>(); }
std::unique_ptr<Painter> make_cairo_painter() { return std::make_unique<CairoPainter>(); }
std::unique_ptr<Painter> make_qt_painter(bool with_pen) { return std::make_unique<QtPainter>(with_pen); }
std::unique_ptr<Painter> make_floor_painter() { return std::make_unique<FloorPainter>(false); }
std::unique_ptr<Painter> make_pixel_writes_painter() { return std::make_unique<FloorPainter>(true); }

bool is_floor(const Painter &painter) { return dynamic_cast<const FloorPainter *>(&painter) != nullptr; }

int64_t count_pixel_writes(const Frame &frame) {
    constexpr platform::Pixel kUnused = 0x00123456;  // no palette colour has a zero alpha byte
    KanvoPainter kanvo;
    kanvo.reset();
    int64_t total = 0;
    for (const ListCommand &step : frame.steps) {
        if (step.kind == ListCommand::origin) {
            paint_list_command(step);
            continue;
        }
        surface_pixels().fill(kUnused);
        paint_list_command(step);
        for (int y = 0; y < kSurfaceHeight; ++y) {
            const platform::Pixel *row = surface_pixels().row(y);
            total += kSurfaceWidth - std::count(row, row + kSurfaceWidth, kUnused);
        }
    }
    return total;
}

std::vector<std::unique_ptr<Painter>> all_painters() {
    std::vector<std::unique_ptr<Painter>> painters;
    painters.push_back(make_kanvo_painter());
    painters.push_back(make_cairo_painter());
    painters.push_back(make_qt_painter(true));
    painters.push_back(make_qt_painter(false));
    painters.push_back(make_floor_painter());
    painters.push_back(make_pixel_writes_painter());
    return painters;
}
