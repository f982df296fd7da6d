// Software drawing contexts: shapes, lines and block copies painted into a Bitmap by
// whole row spans, with the pixel choices of the platform the pictures were made on.
// Every shape is clipped before it is stepped, so off-bitmap parts cost nothing.
#include "platform/dc.h"
#include "platform/stamps.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <optional>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KANVO_X86_64 1
#include <cpuid.h>
#include <immintrin.h>
#else
#define KANVO_X86_64 0
#endif

namespace platform {
namespace {

using Wide = __int128;

// Ellipses up to this size follow the platform's incremental algorithm exactly; larger
// ones (far beyond any window) are computed directly from the equation.
constexpr int64_t kExactEllipseLimit = 1 << 16;
// Largest ellipse painted by solid_ellipse; the raster test compares its pixels with
// fill plus outline at sizes sampled up to this one.
constexpr int64_t kSolidEllipseLimit = 512;
// The memory of an ellipse's outline is kept for the next one up to this many points
// (an ellipse as large as a window has a few thousand).
constexpr size_t kKeptOutlinePoints = 16384;
// Most cap rows a wide-pen ellipse outline may paint before it is drawn as a band.
constexpr uint64_t kWideOutlineBudget = 3000000;

bool fits_64(Wide v) { return v >= INT64_MIN && v <= INT64_MAX; }

int64_t floor_div(Wide a, Wide b) {  // b > 0
    // 128-bit division is a slow library call; coordinates near the bitmap never need it.
    if (fits_64(a) && fits_64(b)) {
        int64_t n = int64_t(a), d = int64_t(b), q = n / d;
        return (n % d != 0 && n < 0) ? q - 1 : q;
    }
    Wide q = a / b;
    if ((a % b != 0) && (a < 0)) --q;
    return int64_t(q);
}

// ---- spans ----------------------------------------------------------------------------

// Runs of pixels are written with the widest stores the processor has, chosen once at
// run time so that one build runs on any x86-64. A call through glibc's wmemset costs
// more than a short run of a small shape takes, and it hands runs over 2 KB (rows of 512
// pixels and more) to rep stos, whose start-up costs more than such a row takes.
// Runs of whole surfaces do go to rep stos where the processor has fast string stores:
// they write whole cache lines past the store port, faster than any vector loop.
constexpr size_t kLongRun = 16384;
// Rows of a whole-width band painted upwards: enough for a long run on a window-sized
// bitmap, few enough to stay in cache for the band above.
constexpr int64_t kUpwardBand = 32;

void write_run_portable(Pixel *p, size_t count, Pixel color) {
    if constexpr (sizeof(wchar_t) == sizeof(Pixel)) {
        std::wmemset(reinterpret_cast<wchar_t *>(p), static_cast<wchar_t>(color), count);
    } else {
        for (size_t i = 0; i < count; ++i) p[i] = color;
    }
}

#if KANVO_X86_64
bool fast_string_stores = false;

void write_long_run(Pixel *p, size_t count, Pixel color) {
    asm volatile("rep stosl" : "+D"(p), "+c"(count) : "a"(color) : "memory");
}

// The vector writers take runs of at least 8 pixels; the last store overlaps the one
// before it rather than finishing pixel by pixel.
void write_run_sse2(Pixel *p, size_t count, Pixel color) {
    if (count >= kLongRun && fast_string_stores) return write_long_run(p, count, color);
    const __m128i v = _mm_set1_epi32(int(color));
    Pixel *end = p + count;
    for (; end - p >= 16; p += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 4), v);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 8), v);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 12), v);
    }
    for (; end - p >= 4; p += 4) _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(end - 4), v);
}

[[gnu::target("avx2")]] void write_run_avx2(Pixel *p, size_t count, Pixel color) {
    if (count >= kLongRun && fast_string_stores) return write_long_run(p, count, color);
    const __m256i v = _mm256_set1_epi32(int(color));
    Pixel *end = p + count;
    for (; end - p >= 32; p += 32) {
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), v);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(p + 8), v);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(p + 16), v);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(p + 24), v);
    }
    for (; end - p >= 8; p += 8) _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(end - 8), v);
}

// A whole cache line a store; a masked store ends the run.
[[gnu::target("avx512f")]] void write_run_avx512(Pixel *p, size_t count, Pixel color) {
    if (count >= kLongRun && fast_string_stores) return write_long_run(p, count, color);
    const __m512i v = _mm512_set1_epi32(int(color));
    Pixel *end = p + count;
    if (count >= 64) {
        // Aligned stores from the first line boundary on: none is split across two lines.
        _mm512_storeu_si512(p, v);
        p = reinterpret_cast<Pixel *>((reinterpret_cast<uintptr_t>(p) + 64) & ~uintptr_t(63));
        for (; end - p >= 64; p += 64) {
            _mm512_store_si512(p, v);
            _mm512_store_si512(p + 16, v);
            _mm512_store_si512(p + 32, v);
            _mm512_store_si512(p + 48, v);
        }
    }
    for (; end - p >= 16; p += 16) _mm512_storeu_si512(p, v);
    if (end > p) _mm512_mask_storeu_epi32(p, __mmask16((1u << (end - p)) - 1), v);
}
#endif

using RunWriter = void (*)(Pixel *p, size_t count, Pixel color);

RunWriter run_writer_for(int bytes) {
    switch (bytes) {
    case 4: return write_run_portable;
#if KANVO_X86_64
    case 16: return write_run_sse2;
    case 32: return __builtin_cpu_supports("avx2") ? write_run_avx2 : nullptr;
    case 64: return __builtin_cpu_supports("avx512f") ? write_run_avx512 : nullptr;
#endif
    default: return nullptr;
    }
}

int widest_store() {
#if KANVO_X86_64
    __builtin_cpu_init();
    unsigned eax, ebx, ecx, edx;
    // Leaf 7, EBX bit 9: enhanced rep movsb/stosb.
    fast_string_stores = __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ebx & (1u << 9));
    for (int bytes : {64, 32, 16})
        if (run_writer_for(bytes)) return bytes;
#endif
    return 4;
}

int store_bytes = 0;  // 0 until the first run chooses
RunWriter write_run = nullptr;

void choose_run_writer() {
    store_bytes = widest_store();
    write_run = run_writer_for(store_bytes);
}

// Sets count pixels from p on. Short runs (most rows of small shapes) are written in
// place: a call costs more than their stores.
inline void fill_pixels(Pixel *p, size_t count, Pixel color) {
#if KANVO_X86_64
    if (count <= 16) {
        if (count < 4) {
            for (size_t i = 0; i < count; ++i) p[i] = color;
            return;
        }
        // Two or four stores of four pixels, overlapping in the middle.
        const __m128i v = _mm_set1_epi32(int(color));
        Pixel *end = p + count;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(end - 4), v);
        if (count > 8) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 4), v);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(end - 8), v);
        }
        return;
    }
#else
    if (count < 8) {
        for (size_t i = 0; i < count; ++i) p[i] = color;
        return;
    }
#endif
    if (!write_run) choose_run_writer();
    write_run(p, count, color);
}

// Paints [x0, x1) of row y, whatever part of it lies on the bitmap.
void fill_span(Bitmap &bitmap, int64_t y, int64_t x0, int64_t x1, Pixel color) {
    if (y < 0 || y >= bitmap.height()) return;
    x0 = std::max<int64_t>(x0, 0);
    x1 = std::min<int64_t>(x1, bitmap.width());
    if (x0 >= x1) return;
    fill_pixels(bitmap.row(int(y)) + x0, size_t(x1 - x0), color);
}

// A box's rows go down or up, whichever starts nearer the row the last large shape ended
// on (*last_row, when the caller keeps one): the surface is larger than a core's
// second-level cache, and rows just written are still there, so a box that starts
// where the sweep before it ended (the sky after the clear) writes much of itself in
// cache instead of in the level below. The pixels are the same either way.
void fill_box(Bitmap &bitmap, int64_t left, int64_t top, int64_t right, int64_t bottom,
              Pixel color, int64_t *last_row = nullptr) {
    top = std::max<int64_t>(top, 0);
    bottom = std::min<int64_t>(bottom, bitmap.height());
    left = std::max<int64_t>(left, 0);
    right = std::min<int64_t>(right, bitmap.width());
    if (top >= bottom || left >= right) return;
    const bool upwards = last_row && std::llabs(bottom - 1 - *last_row) < std::llabs(top - *last_row);
    if (last_row) *last_row = upwards ? top : bottom - 1;
    // Rows that span the whole width lie back to back: long runs of many rows, in bands
    // from the bottom up when going up.
    if (left == 0 && right == bitmap.width()) {
        const int64_t band = upwards ? kUpwardBand : bottom - top;
        for (int64_t end = bottom; end > top; end -= band) {
            const int64_t start = std::max(top, end - band);
            fill_pixels(bitmap.row(int(start)), size_t(end - start) * size_t(right), color);
        }
        return;
    }
    if (upwards) {
        for (int64_t y = bottom - 1; y >= top; --y)
            fill_pixels(bitmap.row(int(y)) + left, size_t(right - left), color);
        return;
    }
    for (int64_t y = top; y < bottom; ++y)
        fill_pixels(bitmap.row(int(y)) + left, size_t(right - left), color);
}

void plot(Bitmap &bitmap, int64_t x, int64_t y, Pixel color) {
    if (x >= 0 && y >= 0 && x < bitmap.width() && y < bitmap.height())
        bitmap.set_pixel(int(x), int(y), color);
}

// ---- polygons: the even-odd rule with each edge's x rounded up on every row -----------

// An edge met row by row from its first row on the bitmap: x is
// x_top + ceil((y - y_top) dx / dy), kept as a running quotient and remainder so that a
// row costs additions only.
class EdgeWalk {
public:
    EdgeWalk() = default;
    EdgeWalk(Point a, Point b, int64_t first_row) {
        if (a.y > b.y) std::swap(a, b);
        dy_ = b.y - a.y;
        y_begin_ = std::max(a.y, first_row);
        y_end_ = b.y;
        int64_t dx = b.x - a.x;
        x_step_ = quotient(dx, dy_);
        remainder_step_ = dx - x_step_ * dy_;
        // ceil(n / dy) = floor((n + dy - 1) / dy)
        Wide numerator = Wide(y_begin_ - a.y) * dx + dy_ - 1;
        int64_t q = quotient(numerator, dy_);
        remainder_ = int64_t(numerator - Wide(q) * dy_);
        x_ = a.x + q;
    }

    bool covers(int64_t y) const { return y >= y_begin_ && y < y_end_; }

    // floor(n / d), d > 0, without dividing where the answer is 0 or -1: an edge that
    // starts on the bitmap, and every steep edge, needs no division at all (a shape's
    // edges cost more in divisions than its small rows cost in stores).
    static int64_t quotient(Wide n, int64_t d) {
        if (n >= 0 && n < d) return 0;
        if (n < 0 && n >= -Wide(d)) return -1;
        return floor_div(n, d);
    }
    int64_t x() const { return x_; }

    void next_row() {
        x_ += x_step_;
        remainder_ += remainder_step_;
        if (remainder_ >= dy_) {
            remainder_ -= dy_;
            ++x_;
        }
    }

private:
    int64_t dy_ = 1, y_begin_ = 0, y_end_ = 0, x_ = 0, x_step_ = 0;
    int64_t remainder_ = 0, remainder_step_ = 0;
};

// Polygons of up to this many corners (triangles, wide-pen segments) keep their edges and
// crossings on the stack instead of allocating them.
constexpr int kFewCorners = 8;

void fill_polygon(Bitmap &bitmap, const Point *points, int count, Pixel color) {
    if (count < 3) return;
    int64_t y_min = points[0].y, y_max = points[0].y;
    for (int i = 0; i < count; ++i) {
        y_min = std::min(y_min, points[i].y);
        y_max = std::max(y_max, points[i].y);
    }
    int64_t first = std::max<int64_t>(y_min, 0);
    int64_t last = std::min<int64_t>(y_max, bitmap.height());
    if (first >= last) return;
    EdgeWalk few_edges[kFewCorners];
    int64_t few_xs[kFewCorners];
    std::vector<EdgeWalk> many_edges;
    std::vector<int64_t> many_xs;
    EdgeWalk *edges = few_edges;
    int64_t *xs = few_xs;
    if (count > kFewCorners) {
        many_edges.resize(size_t(count));
        many_xs.resize(size_t(count));
        edges = many_edges.data();
        xs = many_xs.data();
    }
    int edge_count = 0;
    for (int i = 0; i < count; ++i) {
        const Point &a = points[i], &b = points[(i + 1) % count];
        if (a.y != b.y && std::max(a.y, b.y) > first) edges[edge_count++] = EdgeWalk(a, b, first);
    }
    for (int64_t y = first; y < last; ++y) {
        int crossings = 0;
        for (int i = 0; i < edge_count; ++i) {
            EdgeWalk &e = edges[i];
            if (!e.covers(y)) continue;
            xs[crossings++] = e.x();
            e.next_row();
        }
        if (crossings == 2) {
            if (xs[0] > xs[1]) std::swap(xs[0], xs[1]);
        } else {
            std::sort(xs, xs + crossings);
        }
        for (int i = 0; i + 1 < crossings; i += 2) fill_span(bitmap, y, xs[i], xs[i + 1], color);
    }
}

// A triangle by the same rule: every row between its top and bottom corner is crossed by
// exactly two edges, the long one from top to bottom and one of the two short ones, so
// the span lies between their x values. Kept in registers: the general path's list of
// crossings is stored and read back on every row, and each read waits for the row's
// pixel writes before it.
void fill_triangle(Bitmap &bitmap, const Point *points, Pixel color, int64_t *last_row) {
    Point top = points[0], middle = points[1], bottom = points[2];
    if (middle.y < top.y) std::swap(middle, top);
    if (bottom.y < middle.y) std::swap(bottom, middle);
    if (middle.y < top.y) std::swap(middle, top);
    int64_t first = std::max<int64_t>(top.y, 0);
    int64_t last = std::min<int64_t>(bottom.y, bitmap.height());
    if (first >= last) return;
    EdgeWalk long_edge(top, bottom, first);
    int64_t y = first;
    const int64_t width = bitmap.width();
    Pixel *const pixels = bitmap.row(0);
    // The edges are walked in copies local to the loop: edges whose address escapes would
    // be stored and reloaded around every call that writes a row.
    auto paint_rows = [&](EdgeWalk short_edge, int64_t end) {
        EdgeWalk edge = long_edge;
        Pixel *row = pixels + y * width;
        for (; y < end; ++y, row += width) {
            int64_t x0 = edge.x(), x1 = short_edge.x();
            if (x0 > x1) std::swap(x0, x1);
            x0 = std::max<int64_t>(x0, 0);
            x1 = std::min<int64_t>(x1, width);
            if (x0 < x1) fill_pixels(row + x0, size_t(x1 - x0), color);
            edge.next_row();
            short_edge.next_row();
        }
        long_edge = edge;
    };
    if (middle.y > first) {
        EdgeWalk upper(top, middle, first);
        paint_rows(upper, std::min(middle.y, last));
    }
    if (y < last) {
        EdgeWalk lower(middle, bottom, y);
        paint_rows(lower, last);
    }
    *last_row = last - 1;
}

// ---- elliptic regions ------------------------------------------------------------------

// The platform's steps along the first quadrant of a width by height ellipse's outline,
// as offsets in its box, from the rightmost point upwards.
class QuadrantSteps {
public:
    QuadrantSteps(int64_t width, int64_t height)
        : half_width_(width / 2), asq_(8 * (width - 1) * (width - 1)),
          bsq_(8 * (height - 1) * (height - 1)) {
        const int64_t a = width - 1, b = height - 1;
        dx_ = 4 * b * b * (1 - a);
        dy_ = 4 * a * a * (1 + (b % 2));
        err_ = dx_ + dy_ + a * a * (b % 2);
        p_ = {a, height / 2};
    }

    bool done() const { return p_.x < half_width_; }
    const Point &point() const { return p_; }

    void next() {
        int64_t e2 = 2 * err_;
        if (e2 >= dx_) {
            --p_.x;
            err_ += dx_ += bsq_;
        }
        if (e2 <= dy_) {
            ++p_.y;
            err_ += dy_ += asq_;
        }
    }

private:
    int64_t half_width_, asq_, bsq_, dx_, dy_, err_;
    Point p_;
};

// Calls row(y, inset) once for each row of the quadrant's steps, y counted from the box's
// top, at the row's first and so outermost step: the span of row y, and of its mirror
// image height - 1 - y, lies inset pixels in from each side of the box.
template <typename Row>
void for_each_quadrant_row(int64_t width, int64_t height, Row row) {
    int64_t last_row = -1;
    for (QuadrantSteps steps(width, height); !steps.done(); steps.next()) {
        const Point &p = steps.point();
        if (p.y == last_row) continue;
        last_row = p.y;
        row(p.y, width - 1 - p.x);
    }
}

// The rows of an ellipse inscribed in a width by height box: for row i, the inset of its
// span from each side. Small ellipses take the platform's incremental steps; huge ones
// the exact equation, row by row on demand.
class EllipseRows {
public:
    EllipseRows(int64_t width, int64_t height) : width_(width), height_(height) {
        if (width < 2 || height < 2) return;  // no rows: callers paint these as boxes
        if (width <= kExactEllipseLimit && height <= kExactEllipseLimit) step_rows();
    }
    static constexpr int64_t kEmptyRow = -1;

    // The row's inset from each side, or kEmptyRow.
    int64_t inset(int64_t row) const {
        if (stepped_) return rows()[row];
        return equation_inset(row);
    }

private:
    // Small ellipses (a wide pen's round ends) keep their rows in place, not on the heap.
    static constexpr int64_t kFewRows = 32;
    const int64_t *rows() const { return height_ <= kFewRows ? few_rows_ : many_rows_.data(); }

    // Rows the steps never reach (those of very flat or narrow ellipses) stay empty.
    void step_rows() {
        if (height_ > kFewRows) many_rows_.resize(size_t(height_));
        int64_t *insets = const_cast<int64_t *>(rows());
        std::fill(insets, insets + height_, kEmptyRow);
        for_each_quadrant_row(width_, height_, [&](int64_t y, int64_t inset) {
            if (y < height_) insets[y] = inset;
        });
        for (int64_t i = 0; i < height_ / 2; ++i) insets[i] = insets[height_ - 1 - i];
        stepped_ = true;
    }

    // Smallest inset whose pixel centre lies inside the ellipse inscribed in the box.
    int64_t equation_inset(int64_t row) const {
        long double a = width_ / 2.0L, b = height_ / 2.0L;
        long double v = (row + 0.5L - b) / b;
        long double inside = 1 - v * v;
        if (inside <= 0) return kEmptyRow;
        long double half = a * std::sqrt(inside);
        int64_t inset = int64_t(std::ceil(a - half - 0.5L));
        if (inset * 2 >= width_) return kEmptyRow;
        return std::max<int64_t>(inset, 0);
    }

    int64_t width_, height_;
    bool stepped_ = false;
    int64_t few_rows_[kFewRows];
    std::vector<int64_t> many_rows_;
};

// The region of an ellipse in the box [left, right) x [top, bottom), as the platform
// builds it (which leaves out the box's last column and row).
class EllipticRegion {
public:
    EllipticRegion(int64_t left, int64_t top, int64_t right, int64_t bottom)
        : left_(left), top_(top), right_(right - 1), bottom_(bottom - 1),
          width_(right_ - left_), height_(bottom_ - top_),
          rows_(width_, height_) {}

    // Paints the region moved by (ox, oy).
    void paint(Bitmap &bitmap, int64_t ox, int64_t oy, Pixel color) const {
        int64_t first = std::max<int64_t>(top_, -oy);
        int64_t last = std::min<int64_t>(bottom_, bitmap.height() - oy);
        int64_t x0, x1;
        for (int64_t y = first; y < last; ++y)
            if (row_span(y, &x0, &x1)) fill_span(bitmap, y + oy, x0 + ox, x1 + ox, color);
    }

    // The span [*x0, *x1) of row y, if the region has one there.
    bool row_span(int64_t y, int64_t *x0, int64_t *x1) const {
        if (y < top_ || y >= bottom_ || width_ <= 0) return false;
        if (width_ < 2 || height_ < 2) {
            *x0 = left_;
            *x1 = right_;
            return true;
        }
        int64_t inset = rows_.inset(y - top_);
        if (inset == EllipseRows::kEmptyRow) return false;
        *x0 = left_ + inset;
        *x1 = right_ - inset;
        return true;
    }

    int64_t top() const { return top_; }
    int64_t bottom() const { return bottom_; }

private:
    int64_t left_, top_, right_, bottom_, width_, height_;
    EllipseRows rows_;
};

// ---- one-pixel lines -----------------------------------------------------------------

// A line from a to b, b excluded, with the platform's choice of pixels: steps along the
// major axis, the minor coordinate rounded, ties broken by octant. Each pixel is found in
// closed form, so only the part on the bitmap is stepped.
class ThinLine {
public:
    ThinLine(Point a, Point b) : a_(a) {
        int64_t dx = b.x - a.x, dy = b.y - a.y;
        adx_ = std::llabs(dx);
        ady_ = std::llabs(dy);
        int octant = octant_number(dx, dy);
        bias_ = (octant == 3 || octant == 5 || octant == 6 || octant == 8) ? 1 : 0;
        x_major_ = octant == 1 || octant == 4 || octant == 5 || octant == 8;
        sx_ = dx < 0 ? -1 : 1;
        sy_ = dy < 0 ? -1 : 1;
        major_ = x_major_ ? adx_ : ady_;
        minor_ = x_major_ ? ady_ : adx_;
    }

    void paint(Bitmap &bitmap, Pixel color) const {
        if (major_ == 0) return;
        int64_t first = 0, last = major_;  // steps [first, last)
        if (!inside(bitmap) && !clip(bitmap, &first, &last)) return;
        if (minor_ == 0 && x_major_)
            paint_row(bitmap, first, last, color);
        else if (major_ < kSteppingLimit)
            paint_stepped(bitmap, first, last, color);
        else
            for (int64_t k = first; k < last; ++k) plot(bitmap, x_at(k), y_at(k), color);
    }

    static int octant_number(int64_t dx, int64_t dy) {
        if (dy > 0) {
            if (dx > 0) return dx > dy ? 1 : 2;
            return -dx > dy ? 4 : 3;
        }
        if (dx < 0) return -dx > -dy ? 5 : 6;
        return dx > -dy ? 8 : 7;
    }

private:
    // Longer lines step in closed form, pixel by pixel: the running sums below would
    // overflow. Only the part on the bitmap is stepped either way.
    static constexpr int64_t kSteppingLimit = int64_t(1) << 60;

    // Whether every pixel lies on the bitmap: they all lie in the box of the two ends.
    bool inside(const Bitmap &bitmap) const {
        auto on = [](int64_t v, int64_t size) { return v >= 0 && v < size; };
        int64_t bx = a_.x + sx_ * adx_, by = a_.y + sy_ * ady_;
        return on(a_.x, bitmap.width()) && on(bx, bitmap.width()) &&
               on(a_.y, bitmap.height()) && on(by, bitmap.height());
    }

    // A horizontal line is one span.
    void paint_row(Bitmap &bitmap, int64_t first, int64_t last, Pixel color) const {
        int64_t x0 = x_at(first), x1 = x_at(last - 1);
        fill_span(bitmap, a_.y, std::min(x0, x1), std::max(x0, x1) + 1, color);
    }

    // Steps [first, last), all on the bitmap, keeping the minor coordinate's rounding as
    // a running remainder instead of dividing for every pixel: minor_steps(k) is the
    // quotient of (2 k minor + major - 1 + bias) by 2 major.
    void paint_stepped(Bitmap &bitmap, int64_t first, int64_t last, Pixel color) const {
        const int64_t divisor = 2 * major_, growth = 2 * minor_;
        const int64_t stride = bitmap.width();
        // From the start point (the usual case: the line lies on the bitmap) no minor step
        // has been taken yet, and the quotients below need no wide division.
        int64_t remainder = major_ - 1 + bias_;
        int64_t at = a_.y * stride + a_.x;
        if (first != 0) {
            Wide start = Wide(2) * first * minor_ + major_ - 1 + bias_;
            remainder = int64_t(start - Wide(minor_steps(first)) * divisor);
            at = y_at(first) * stride + x_at(first);
        }
        const int64_t major_move = x_major_ ? sx_ : sy_ * stride;
        const int64_t minor_move = x_major_ ? sy_ * stride : sx_;
        Pixel *pixels = bitmap.row(0);
        for (int64_t k = first; k < last; ++k) {
            pixels[at] = color;
            at += major_move;
            remainder += growth;
            if (remainder >= divisor) {  // growth <= divisor: at most one minor step
                remainder -= divisor;
                at += minor_move;
            }
        }
    }

    int64_t minor_steps(int64_t k) const {
        if (minor_ == 0) return 0;
        return floor_div(Wide(2) * k * minor_ + major_ - 1 + bias_, Wide(2) * major_);
    }
    int64_t x_at(int64_t k) const { return a_.x + sx_ * (x_major_ ? k : minor_steps(k)); }
    int64_t y_at(int64_t k) const { return a_.y + sy_ * (x_major_ ? minor_steps(k) : k); }

    // Narrows [first, last) to the steps whose pixel coordinate along one axis stays in
    // [0, size). position(k) moves monotonically with k in direction sign.
    template <typename Position>
    static void clip_axis(Position position, int sign, int64_t size, int64_t *first, int64_t *last) {
        // first step with position inside, then first step past the far side
        auto first_where = [&](auto pred) {
            int64_t lo = *first, hi = *last;
            while (lo < hi) {
                int64_t mid = lo + (hi - lo) / 2;
                if (pred(position(mid))) hi = mid; else lo = mid + 1;
            }
            return lo;
        };
        int64_t enter, leave;
        if (sign > 0) {
            enter = first_where([](int64_t p) { return p >= 0; });
            leave = first_where([size](int64_t p) { return p >= size; });
        } else {
            enter = first_where([size](int64_t p) { return p < size; });
            leave = first_where([](int64_t p) { return p < 0; });
        }
        *first = enter;
        *last = std::max(enter, leave);
    }

    bool clip(const Bitmap &bitmap, int64_t *first, int64_t *last) const {
        clip_axis([this](int64_t k) { return x_at(k); }, sx_, bitmap.width(), first, last);
        if (*first >= *last) return false;
        clip_axis([this](int64_t k) { return y_at(k); }, sy_, bitmap.height(), first, last);
        return *first < *last;
    }

    Point a_;
    int64_t adx_, ady_, major_, minor_;
    int bias_;
    bool x_major_;
    int sx_, sy_;
};

// Kept out of line so that the neighbour test below stays small enough to inline.
[[gnu::noinline]] void thin_line(Bitmap &bitmap, const Point &a, const Point &b, Pixel color) {
    ThinLine(a, b).paint(bitmap, color);
}

// A line to a neighbouring pixel (most of an ellipse's outline) paints just its start.
inline void thin_segment(Bitmap &bitmap, const Point &a, const Point &b, Pixel color) {
    int64_t dx = b.x - a.x, dy = b.y - a.y;
    if (dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1) {
        if (dx != 0 || dy != 0) plot(bitmap, a.x, a.y, color);
        return;
    }
    thin_line(bitmap, a, b, color);
}

void thin_polyline(Bitmap &bitmap, const Point *points, int count, bool close, Pixel color) {
    for (int i = 0; i + 1 < count; ++i) thin_segment(bitmap, points[i], points[i + 1], color);
    if (close && count > 1) thin_segment(bitmap, points[count - 1], points[0], color);
}

// ---- wide pens: segments as polygons, round caps and joins ----------------------------

int64_t round_half_up(double v) { return int64_t(std::floor(v + 0.5)); }

// The round cap of a pen width wide: the disc painted at every point of a wide outline.
EllipticRegion cap_region(int64_t width) {
    return EllipticRegion(-(width / 2), -(width / 2), (width + 1) / 2 + 1, (width + 1) / 2 + 1);
}

// The caps of narrow pens (the lines of a picture are mostly a few pixels wide) as rows
// stepped once, not again for every line.
struct CapRow {
    int64_t dy, x0, x1;  // [x0, x1) of row dy, both from the cap's point
};
constexpr int64_t kTabledCap = 16;

const std::vector<CapRow> &tabled_cap(int64_t width) {  // 2 <= width <= kTabledCap
    static const std::vector<std::vector<CapRow>> table = [] {
        std::vector<std::vector<CapRow>> caps(size_t(kTabledCap) + 1);
        for (int64_t w = 2; w <= kTabledCap; ++w) {
            EllipticRegion cap = cap_region(w);
            int64_t x0, x1;
            for (int64_t y = cap.top(); y < cap.bottom(); ++y)
                if (cap.row_span(y, &x0, &x1)) caps[size_t(w)].push_back({y, x0, x1});
        }
        return caps;
    }();
    return table[size_t(width)];
}

class WidePen {
public:
    WidePen(int64_t width, Pixel color) : width_(width), color_(color) {
        if (width <= kTabledCap)
            tabled_cap_ = &tabled_cap(width);
        else
            cap_.emplace(cap_region(width));
    }

    void polyline(Bitmap &bitmap, const Point *points, int count, bool close) const {
        while (count > 2 && same(points[0], points[1])) {
            ++points;
            --count;
        }
        while (count > 2 && same(points[count - 1], points[count - 2])) --count;
        if (count < 2) return;
        int segments = close ? count : count - 1;
        for (int i = 0; i < segments; ++i) {
            const Point &a = points[i], &b = points[(i + 1) % count];
            segment(bitmap, a, b);
        }
        // Round ends and round joins are the same disc, so every point gets one.
        for (int i = 0; i < count; ++i) round_cap(bitmap, points[i]);
    }

private:
    static bool same(const Point &a, const Point &b) { return a.x == b.x && a.y == b.y; }

    void round_cap(Bitmap &bitmap, const Point &p) const {
        if (!near_bitmap(bitmap, p)) return;
        if (tabled_cap_) {
            for (const CapRow &row : *tabled_cap_) fill_span(bitmap, p.y + row.dy, p.x + row.x0, p.x + row.x1, color_);
            return;
        }
        cap_->paint(bitmap, p.x, p.y, color_);
    }

    bool near_bitmap(const Bitmap &bitmap, const Point &p) const {
        return box_near_bitmap(bitmap, p, p);
    }

    // Whether anything painted for the box between a and b widened by the pen can reach
    // the bitmap.
    bool box_near_bitmap(const Bitmap &bitmap, const Point &a, const Point &b) const {
        int64_t reach = width_ + 2;
        return std::max(a.x, b.x) > -reach && std::max(a.y, b.y) > -reach &&
               std::min(a.x, b.x) < bitmap.width() + reach &&
               std::min(a.y, b.y) < bitmap.height() + reach;
    }

    void segment(Bitmap &bitmap, const Point &a, const Point &b) const {
        int64_t dx = b.x - a.x, dy = b.y - a.y;
        if ((dx == 0 && dy == 0) || !box_near_bitmap(bitmap, a, b)) return;
        if (dy == 0) {
            int64_t top = a.y - width_ / 2;
            fill_box(bitmap, std::min(a.x, b.x), top, std::max(a.x, b.x), top + width_, color_);
            return;
        }
        if (dx == 0) {
            int64_t left = a.x - width_ / 2;
            fill_box(bitmap, left, std::min(a.y, b.y), left + width_, std::max(a.y, b.y), color_);
            return;
        }
        double length = std::hypot(double(dx), double(dy));
        double width_x = double(width_) * double(std::llabs(dy)) / length;
        double width_y = double(width_) * double(std::llabs(dx)) / length;
        Point narrow{round_half_up(width_x / 2), round_half_up(width_y / 2)};
        Point wide{round_half_up((width_x + 1) / 2), round_half_up((width_y + 1) / 2)};
        if (dx < 0) {
            wide.y = -wide.y;
            narrow.y = -narrow.y;
        }
        if (dy < 0) {
            std::swap(narrow, wide);
            wide.x = -wide.x;
            narrow.x = -narrow.x;
        }
        Point corners[4] = {
            {a.x - narrow.x, a.y + narrow.y},
            {a.x + wide.x, a.y - wide.y},
            {b.x + wide.x, b.y - wide.y},
            {b.x - narrow.x, b.y + narrow.y},
        };
        fill_polygon(bitmap, corners, 4, color_);
    }

    int64_t width_;
    Pixel color_;
    const std::vector<CapRow> *tabled_cap_ = nullptr;
    std::optional<EllipticRegion> cap_;  // wider pens'
};

void pen_polyline(Bitmap &bitmap, const Pen &pen, const Point *points, int count, bool close) {
    if (pen.width <= 1)
        thin_polyline(bitmap, points, count, close, pen.color);
    else
        WidePen(pen.width, pen.color).polyline(bitmap, points, count, close);
}

// ---- ellipse outlines ------------------------------------------------------------------

// Appends the outline points of the first quadrant of a width by height ellipse to
// points, as offsets in its box, from the rightmost point upwards.
void first_quadrant(int64_t width, int64_t height, std::vector<Point> *points) {
    for (QuadrantSteps steps(width, height); !steps.done(); steps.next())
        points->push_back(steps.point());
}

// A filled ellipse whose one-pixel outline has the brush's colour: the fill never
// reaches past the outline and each row of the two together is one run, from the
// outline's leftmost to its rightmost point. The steps meet each row of the quadrant
// first at its rightmost point; the row's mirror image below shares the span.
// The raster test compares it pixel for pixel with fill plus outline: every size up to
// 11, a sample up to 70 at three places, and a sparse grid up to kSolidEllipseLimit.
void solid_ellipse(Bitmap &bitmap, int64_t left, int64_t top, int64_t width, int64_t height,
                   Pixel color) {
    if (left >= 0 && top >= 0 && left + width <= bitmap.width() &&
        top + height <= bitmap.height()) {
        // Wholly on the bitmap (nearly always): no row needs clipping.
        Pixel *first_row = bitmap.row(int(top)) + left;
        const size_t stride = size_t(bitmap.width());
        for_each_quadrant_row(width, height, [&](int64_t y, int64_t inset) {
            const int64_t count = width - 2 * inset;  // at least 1, by the steps' end
            if (count <= 0) return;
            Pixel *lower = first_row + size_t(height - 1 - y) * stride + inset;
            fill_pixels(lower, size_t(count), color);
            if (height - 1 - y != y) fill_pixels(first_row + size_t(y) * stride + inset, size_t(count), color);
        });
        return;
    }
    for_each_quadrant_row(width, height, [&](int64_t y, int64_t inset) {
        int64_t x0 = left + inset, x1 = left + width - inset;
        fill_span(bitmap, top + height - 1 - y, x0, x1, color);
        if (height - 1 - y != y) fill_span(bitmap, top + y, x0, x1, color);
    });
}

// Mirrors the first count points of outline into the places [count, end] in reverse
// order, end counting back from 2 count - 1 by one when the middle point is shared.
// Each mirrored point is written after its source is read, so this works in place.
template <typename Mirror>
void append_mirror(std::vector<Point> *outline, bool shares_middle, Mirror mirror) {
    size_t count = outline->size();
    size_t end = 2 * count - 1 - (shares_middle ? 1 : 0);
    outline->resize(end + 1);
    Point *points = outline->data();
    for (size_t i = 0; i < count; ++i) points[end - i] = mirror(points[i]);
}

// The closed outline of an ellipse in the box [left, right) x [top, bottom),
// counter-clockwise from the right end of the middle row, in *outline (whose memory is
// kept from one ellipse to the next).
void ellipse_outline(int64_t left, int64_t top, int64_t right, int64_t bottom, std::vector<Point> *outline) {
    int64_t width = right - left, height = bottom - top;
    outline->clear();
    outline->reserve(size_t(2 * (width + height) + 8));
    first_quadrant(width, height, outline);
    for (Point &p : *outline) {
        p.x = right - width + p.x;
        p.y = top + height - 1 - p.y;
    }
    append_mirror(outline, width % 2 != 0, [&](Point p) { return Point{left + right - 1 - p.x, p.y}; });
    append_mirror(outline, height % 2 != 0, [&](Point p) { return Point{p.x, top + bottom - 1 - p.y}; });
}

// Outline of an ellipse too large for the platform's stepping: the band of the pen's
// width around the equation's edge, row by row.
void huge_ellipse_outline(Bitmap &bitmap, int64_t left, int64_t top, int64_t right,
                          int64_t bottom, const Pen &pen) {
    int64_t w = std::max(pen.width, 1);
    int64_t out = w / 2, in = (w + 1) / 2;
    EllipticRegion outer(left - out, top - out, right + out + 1, bottom + out + 1);
    EllipticRegion inner(left + in, top + in, right - in + 1, bottom - in + 1);
    int64_t first = std::max<int64_t>(outer.top(), 0);
    int64_t last = std::min<int64_t>(outer.bottom(), bitmap.height());
    for (int64_t y = first; y < last; ++y) {
        int64_t o_left, o_right, i_left, i_right;
        if (!outer.row_span(y, &o_left, &o_right)) continue;
        if (!inner.row_span(y, &i_left, &i_right) || i_left >= i_right) {
            fill_span(bitmap, y, o_left, o_right, pen.color);
        } else {
            fill_span(bitmap, y, o_left, i_left, pen.color);
            fill_span(bitmap, y, i_right, o_right, pen.color);
        }
    }
}

// A wide pen paints a round cap at every outline point; with very wide pens on long
// outlines that is too much work, and the band of the pen's width is painted instead.
bool wide_outline_affordable(size_t points, int pen_width, int bitmap_height) {
    if (pen_width <= 1) return true;
    uint64_t rows_per_cap = uint64_t(std::min<int64_t>(int64_t(pen_width) + 2, bitmap_height));
    return uint64_t(points) * rows_per_cap <= kWideOutlineBudget;
}

// ---- stamps ----------------------------------------------------------------------------

// Anchors this far from the bitmap are painted afresh: a stamp's runs are added to them.
constexpr int64_t kFarthestAnchor = int64_t(1) << 40;

bool near_enough_to_stamp(const Point &anchor) {
    return std::llabs(anchor.x) < kFarthestAnchor && std::llabs(anchor.y) < kFarthestAnchor;
}

// Writes a stamp's runs in color with its anchor at (x, y).
void paint_stamp(Bitmap &bitmap, const Stamp &stamp, int64_t x, int64_t y, Pixel color) {
    if (stamp.runs.empty()) return;  // a triangle of three equal corners paints nothing
    const int64_t width = bitmap.width();
    if (x + stamp.left >= 0 && y + stamp.top >= 0 && x + stamp.right <= width &&
        y + stamp.bottom <= bitmap.height()) {
        // Wholly on the bitmap, and so is the anchor: its own pixel is one of the runs'.
        Pixel *anchor = bitmap.row(int(y)) + x;
        for (const StampRun &run : stamp.runs)
            fill_pixels(anchor + run.dy * width + run.x0, size_t(run.x1 - run.x0), color);
        return;
    }
    for (const StampRun &run : stamp.runs) fill_span(bitmap, y + run.dy, x + run.x0, x + run.x1, color);
}

}  // namespace

int span_store_bytes() {
    if (!write_run) choose_run_writer();
    return store_bytes;
}

bool use_span_stores(int bytes) {
    if (!write_run) choose_run_writer();  // finds out about fast string stores too
    RunWriter writer = run_writer_for(bytes);
    if (!writer) return false;
    write_run = writer;
    store_bytes = bytes;
    return true;
}

// ---- the context -----------------------------------------------------------------------

DrawingContext::DrawingContext(Bitmap *target) : target_(target) {}
DrawingContext::~DrawingContext() = default;

// The stamp of a shape, when it is small and repeated; nullptr paints it afresh.
template <typename Paint>
const Stamp *DrawingContext::stamp_of(StampShape shape, int pen_width, const Point &anchor,
                                      const Point *others, int count, Paint paint) {
    if (!keep_stamps_ || !near_enough_to_stamp(anchor)) return nullptr;
    int64_t offsets[4];
    for (int i = 0; i < count; ++i) {
        offsets[2 * i] = others[i].x - anchor.x;
        offsets[2 * i + 1] = others[i].y - anchor.y;
    }
    const uint64_t key = StampCache::key(shape, pen_width, offsets, 2 * count);
    if (!key) return nullptr;
    if (!stamps_) stamps_ = std::make_unique<StampCache>();
    return stamps_->find(key, [&](Bitmap &scratch, int64_t x, int64_t y) {
        Point moved[3];
        moved[0] = {x, y};
        for (int i = 0; i < count; ++i) moved[i + 1] = {others[i].x - anchor.x + x, others[i].y - anchor.y + y};
        paint(scratch, moved);
    });
}

const Font *DrawingContext::select_font(const Font *font) {
    const Font *old = font_;
    font_ = font;
    return old;
}

Pixel DrawingContext::set_text_color(Pixel color) {
    Pixel old = text_color_;
    text_color_ = color;
    return old;
}

BackgroundMode DrawingContext::set_background_mode(BackgroundMode mode) {
    BackgroundMode old = background_mode_;
    background_mode_ = mode;
    return old;
}

void DrawingContext::polygon(const Point *points, int count) {
    if (!points || count < 2) return;
    if (count == 3 && !brush_.hollow && pen_.width <= 1 && pen_.color == brush_.color) {
        const Stamp *stamp = stamp_of(StampShape::solid_triangle, 1, points[0], points + 1, 2,
                                      [](Bitmap &scratch, const Point *corners) {
                                          int64_t unused;
                                          fill_triangle(scratch, corners, StampCache::kInk, &unused);
                                          thin_polyline(scratch, corners, 3, true, StampCache::kInk);
                                      });
        if (stamp) {
            paint_stamp(*target_, *stamp, points[0].x, points[0].y, brush_.color);
            changed();
            return;
        }
    }
    if (!brush_.hollow) {
        if (count == 3)
            fill_triangle(*target_, points, brush_.color, &last_row_);
        else
            fill_polygon(*target_, points, count, brush_.color);
    }
    pen_polyline(*target_, pen_, points, count, true);
    changed();
}

void DrawingContext::rectangle(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (left == right || top == bottom) return;
    --right;  // the outline runs through the last included column and row
    --bottom;
    // A one-pixel outline in the brush's colour closes the inside: together they cover
    // the whole box (from two pixels across; smaller outlines leave pixels out).
    if (!brush_.hollow && pen_.width <= 1 && pen_.color == brush_.color && left < right &&
        top < bottom) {
        fill_box(*target_, left, top, right + 1, bottom + 1, brush_.color, &last_row_);
        changed();
        return;
    }
    if (!brush_.hollow) {
        // A one-pixel outline covers the box's border ring whole, so the brush may paint
        // the whole box under it: a box as wide as the bitmap (the clear) is then one run.
        if (pen_.width <= 1) {
            if (left < right && top < bottom)
                fill_box(*target_, left, top, right + 1, bottom + 1, brush_.color, &last_row_);
        } else {
            fill_box(*target_, left, top, right, bottom, brush_.color, &last_row_);
        }
    }
    Point corners[4] = {{right, top}, {left, top}, {left, bottom}, {right, bottom}};
    pen_polyline(*target_, pen_, corners, 4, true);
    changed();
}

void DrawingContext::ellipse(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (left == right || top == bottom) return;
    int64_t width = right - left, height = bottom - top;
    if (width <= 2 || height <= 2) {
        rectangle(left, top, right, bottom);
        return;
    }
    if (!brush_.hollow && pen_.width <= 1 && pen_.color == brush_.color &&
        width <= kSolidEllipseLimit && height <= kSolidEllipseLimit) {
        solid_ellipse(*target_, left, top, width, height, brush_.color);
        changed();
        return;
    }
    if (!brush_.hollow) EllipticRegion(left, top, right + 1, bottom + 1).paint(*target_, 0, 0, brush_.color);
    std::vector<Point> &outline = outline_points_;
    outline.clear();
    if (width <= kExactEllipseLimit && height <= kExactEllipseLimit)
        ellipse_outline(left, top, right, bottom, &outline);
    if (!outline.empty() && wide_outline_affordable(outline.size(), pen_.width, target_->height()))
        pen_polyline(*target_, pen_, outline.data(), int(outline.size()), true);
    else
        huge_ellipse_outline(*target_, left, top, right, bottom, pen_);
    if (outline.capacity() > kKeptOutlinePoints) outline = std::vector<Point>();
    changed();
}

void DrawingContext::move_to(int64_t x, int64_t y) { position_ = {x, y}; }

void DrawingContext::line_to(int64_t x, int64_t y) {
    Point line[2] = {position_, {x, y}};
    if (pen_.width > 1) {
        const int width = pen_.width;
        const Stamp *stamp = stamp_of(StampShape::wide_line, width, line[0], line + 1, 1,
                                      [width](Bitmap &scratch, const Point *ends) {
                                          WidePen(width, StampCache::kInk).polyline(scratch, ends, 2, false);
                                      });
        if (stamp) {
            paint_stamp(*target_, *stamp, line[0].x, line[0].y, pen_.color);
            position_ = {x, y};
            changed();
            return;
        }
    }
    pen_polyline(*target_, pen_, line, 2, false);
    position_ = {x, y};
    changed();
}

void DrawingContext::fill_rect(int64_t left, int64_t top, int64_t right, int64_t bottom,
                               Pixel color) {
    fill_box(*target_, left, top, right, bottom, color, &last_row_);
    changed();
}

void DrawingContext::scroll(int dx, int dy) {
    Bitmap &b = *target_;
    int64_t w = b.width(), h = b.height();
    if (std::llabs(dx) >= w || std::llabs(dy) >= h || (dx == 0 && dy == 0)) return;
    int64_t width = w - std::llabs(dx);
    int64_t src_x = dx < 0 ? -int64_t(dx) : 0, dst_x = dx > 0 ? dx : 0;
    // Rows move in the order that never reads a row already overwritten.
    auto move_row = [&](int64_t y) {
        std::memmove(b.row(int(y)) + dst_x, b.row(int(y - dy)) + src_x, size_t(width) * sizeof(Pixel));
    };
    if (dy > 0) {
        for (int64_t y = h - 1; y >= dy; --y) move_row(y);
    } else {
        for (int64_t y = 0; y < h + dy; ++y) move_row(y);
    }
    changed();
}

void DrawingContext::copy_bits(int64_t dx, int64_t dy, int width, int height,
                               const DrawingContext &source, int64_t sx, int64_t sy) {
    const Bitmap &from = *source.target_;
    Bitmap &to = *target_;
    int64_t w = width, h = height;
    // Trim the block so that both rectangles lie inside their bitmaps.
    auto trim_start = [&](int64_t *a, int64_t *b, int64_t *len) {
        int64_t cut = std::max<int64_t>({0, -*a, -*b});
        *a += cut;
        *b += cut;
        *len -= cut;
    };
    trim_start(&dx, &sx, &w);
    trim_start(&dy, &sy, &h);
    w = std::min({w, int64_t(to.width()) - dx, int64_t(from.width()) - sx});
    h = std::min({h, int64_t(to.height()) - dy, int64_t(from.height()) - sy});
    if (w <= 0 || h <= 0) return;
    bool same = &from == &to;
    // Overlapping copies within one bitmap go bottom-up when moving down.
    bool backwards = same && dy > sy;
    for (int64_t i = 0; i < h; ++i) {
        int64_t r = backwards ? h - 1 - i : i;
        const Pixel *src = from.row(int(sy + r)) + sx;
        Pixel *dst = to.row(int(dy + r)) + dx;
        std::memmove(dst, src, size_t(w) * sizeof(Pixel));
    }
    changed();
}

}  // namespace platform
