// Fonts: the system's lookup picks the face file for a name, FreeType renders its glyphs. Matched
// files, sized faces and rendered glyphs are cached, so a font made for every text
// command costs a few lookups, and the same text gives the same pixels on every run.
#include "font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dc.h"
#include "font_lookup.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {

namespace {

constexpr int kDefaultCellHeight = 16;  // what a height of 0 asks for
constexpr int kLargestEm = 1024;        // keeps a glyph's bitmap a bounded size
constexpr int kStockFixedEm = 13;
constexpr size_t kSizedFaceCacheLimit = 32;

// A face file as the lookup chose it, with the design-unit figures its sizes derive from.
struct FaceFile {
    std::string path;
    int index = 0;
    bool usable = false;  // false when no face could be found or loaded
    double units_per_em = 2048;
    double cell_ascent = 1638;  // design units above the baseline that a cell covers
    double cell_descent = 410;
    double line_gap = 0;
};

// One rendered character: 8-bit coverage, placed relative to the pen on the baseline.
struct Glyph {
    bool rendered = false;
    int left = 0;
    int top = 0;  // rows above the baseline
    int width = 0;
    int rows = 0;
    int advance = 0;
    std::vector<uint8_t> coverage;
};

FT_Library freetype() {
    static FT_Library library = [] {
        FT_Library created = nullptr;
        if (FT_Init_FreeType(&created) != 0) created = nullptr;
        return created;
    }();
    return library;
}

bool is_control(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

// Design-unit cell figures: the OS/2 table's Windows ascent and descent cover every glyph
// of the face; faces without it fall back to the general ascender and descender.
void read_design_metrics(FT_Face face, FaceFile &file) {
    file.units_per_em = face->units_per_EM > 0 ? face->units_per_EM : 2048;
    const double hhea_ascent = face->ascender;
    const double hhea_descent = -double(face->descender);
    const double hhea_gap = std::max(0.0, double(face->height) - hhea_ascent - hhea_descent);
    const auto *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        file.cell_ascent = os2->usWinAscent;
        file.cell_descent = os2->usWinDescent;
        const double extra = (file.cell_ascent + file.cell_descent) - (hhea_ascent + hhea_descent);
        file.line_gap = std::max(0.0, hhea_gap - extra);
    } else if (hhea_ascent + hhea_descent > 0) {
        file.cell_ascent = hhea_ascent;
        file.cell_descent = hhea_descent;
        file.line_gap = hhea_gap;
    }
}

void load_face_file(FaceFile &file) {
    FT_Face face = nullptr;
    if (!freetype() || FT_New_Face(freetype(), file.path.c_str(), file.index, &face) != 0) return;
    if (FT_IS_SCALABLE(face)) {
        read_design_metrics(face, file);
        file.usable = true;
    }
    FT_Done_Face(face);
}

FaceFile match_face_file(const std::vector<std::string> &families, int weight) {
    FaceFile file;
    const FaceLocation location = find_face_file(families, weight);
    if (location.path.empty()) return file;
    file.path = location.path;
    file.index = location.index;
    load_face_file(file);
    return file;
}

const FaceFile &face_file_for(const std::vector<std::string> &families, int weight) {
    static std::map<std::pair<std::vector<std::string>, int>, FaceFile> cache;
    auto key = std::make_pair(families, weight);
    auto found = cache.find(key);
    if (found == cache.end())
        found = cache.emplace(key, match_face_file(families, weight)).first;
    return found->second;
}

// A face at one pixel size, with its glyphs rendered on first use.
class SizedFace {
public:
    SizedFace(const FaceFile &file, int em) : em_(em) {
        compute_metrics(file);
        if (!file.usable || !freetype()) return;
        if (FT_New_Face(freetype(), file.path.c_str(), file.index, &face_) != 0) {
            face_ = nullptr;
            return;
        }
        if (FT_Set_Pixel_Sizes(face_, 0, FT_UInt(em)) != 0) {
            FT_Done_Face(face_);
            face_ = nullptr;
        }
    }
    ~SizedFace() {
        if (face_) FT_Done_Face(face_);
    }
    SizedFace(const SizedFace &) = delete;
    SizedFace &operator=(const SizedFace &) = delete;

    const FontMetrics &metrics() const { return metrics_; }

    const Glyph &glyph(char32_t c) {
        Glyph &glyph = c < 256 ? glyphs_[c] : other_glyphs_[c];
        if (!glyph.rendered) render(c, glyph);
        return glyph;
    }

    // Characters this face lacks come from the fallback (same pixel size), if it has them.
    void set_fallback(std::shared_ptr<SizedFace> fallback) { fallback_ = std::move(fallback); }
    bool has(char32_t c) const { return face_ && FT_Get_Char_Index(face_, c) != 0; }

private:
    void compute_metrics(const FaceFile &file) {
        const double scale = em_ / file.units_per_em;
        metrics_.ascent = int(std::lround(file.cell_ascent * scale));
        metrics_.descent = int(std::lround(file.cell_descent * scale));
        metrics_.height = metrics_.ascent + metrics_.descent;
        metrics_.external_leading = int(std::lround(file.line_gap * scale));
    }

    // Light hinting snaps only vertically and keeps whole-pixel advances: crisp small
    // text, and the same pixels every run.
    void render(char32_t c, Glyph &glyph) {
        glyph.rendered = true;
        if (is_control(c)) return;
        if (!face_) {
            glyph.advance = (em_ + 1) / 2;  // no face: keep the layout, draw nothing
            return;
        }
        const FT_UInt index = FT_Get_Char_Index(face_, c);  // Latin-1 is Unicode's first 256
        if (index == 0 && fallback_ && fallback_->has(c)) {
            glyph = fallback_->glyph(c);
            return;
        }
        if (FT_Load_Glyph(face_, index, FT_LOAD_TARGET_LIGHT) == 0) copy_bitmap(glyph);
        // No face has it: the face's own missing-character box, or one of ours when the
        // face draws that as nothing, so a missing character is seen, never silently lost.
        if (index == 0 && (glyph.width == 0 || glyph.rows == 0)) missing_box(glyph);
    }

    void copy_bitmap(Glyph &glyph) {
        FT_GlyphSlot slot = face_->glyph;
        glyph.advance = int((slot->advance.x + 32) >> 6);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
        const FT_Bitmap &bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = int(bitmap.width);
        glyph.rows = int(bitmap.rows);
        glyph.coverage.resize(size_t(glyph.width) * size_t(glyph.rows));
        for (int row = 0; row < glyph.rows; ++row) {
            const uint8_t *source = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
            std::copy(source, source + glyph.width,
                      glyph.coverage.begin() + ptrdiff_t(row) * glyph.width);
        }
    }

    // An outlined box from the baseline to the ascent of a capital, half an em wide.
    void missing_box(Glyph &glyph) const {
        const int stroke = std::max(1, em_ / 16);
        glyph.width = std::max(3 * stroke, em_ / 2 - 2 * stroke);
        glyph.rows = std::max(3 * stroke, metrics_.ascent * 3 / 4);
        glyph.left = stroke;
        glyph.top = glyph.rows;
        glyph.advance = glyph.width + 2 * stroke;
        glyph.coverage.assign(size_t(glyph.width) * size_t(glyph.rows), 0);
        for (int row = 0; row < glyph.rows; ++row) {
            for (int column = 0; column < glyph.width; ++column) {
                const bool edge = row < stroke || row >= glyph.rows - stroke || column < stroke ||
                                  column >= glyph.width - stroke;
                if (edge) glyph.coverage[size_t(row) * size_t(glyph.width) + size_t(column)] = 255;
            }
        }
    }

    int em_;
    FT_Face face_ = nullptr;
    FontMetrics metrics_;
    std::array<Glyph, 256> glyphs_;
    std::unordered_map<char32_t, Glyph> other_glyphs_;
    std::shared_ptr<SizedFace> fallback_;
};

std::shared_ptr<SizedFace> sized_face(const FaceFile &file, int em, const FaceFile *fallback = nullptr) {
    using Key = std::tuple<std::string, int, int>;
    static std::map<Key, std::shared_ptr<SizedFace>> cache;
    const Key key(file.path, file.index, em);
    auto found = cache.find(key);
    if (found != cache.end()) return found->second;
    if (cache.size() >= kSizedFaceCacheLimit) {
        // Drop the sizes no live font uses.
        for (auto it = cache.begin(); it != cache.end();)
            it = it->second.use_count() == 1 ? cache.erase(it) : std::next(it);
    }
    auto face = std::make_shared<SizedFace>(file, em);
    if (fallback && fallback->usable && fallback->path != file.path)
        face->set_fallback(sized_face(*fallback, em));
    cache.emplace(key, face);
    return face;
}

int em_for_height(const FaceFile &file, int height) {
    int em;
    if (height < 0) {
        em = height < -kLargestEm ? kLargestEm : -height;
    } else {
        const int cell = height == 0 ? kDefaultCellHeight : std::min(height, 4 * kLargestEm);
        em = int(std::lround(cell * file.units_per_em / (file.cell_ascent + file.cell_descent)));
    }
    return std::clamp(em, 1, kLargestEm);
}

uint8_t blend_channel(uint8_t under, uint8_t over, unsigned coverage) {
    return uint8_t((over * coverage + under * (255u - coverage) + 127u) / 255u);
}

Pixel blend(Pixel under, Pixel over, unsigned coverage) {
    if (coverage == 255) return over;
    return rgb(blend_channel(red_of(under), red_of(over), coverage),
               blend_channel(green_of(under), green_of(over), coverage),
               blend_channel(blue_of(under), blue_of(over), coverage));
}

// Blends one glyph whose bitmap's top-left lies at (x, y), within rows [clip_top, clip_bottom).
void blend_glyph(Bitmap &target, const Glyph &glyph, int64_t x, int64_t y, int64_t clip_top,
                 int64_t clip_bottom, Pixel color) {
    const int64_t top = std::max({y, clip_top, int64_t(0)});
    const int64_t bottom = std::min({y + glyph.rows, clip_bottom, int64_t(target.height())});
    const int64_t left = std::max(x, int64_t(0));
    const int64_t right = std::min(x + glyph.width, int64_t(target.width()));
    if (left >= right) return;
    for (int64_t row = top; row < bottom; ++row) {
        const uint8_t *coverage = glyph.coverage.data() + (row - y) * glyph.width + (left - x);
        blend_coverage(target.row(int(row)) + left, coverage, right - left, color);
    }
}

class FreeTypeFont final : public Font {
public:
    explicit FreeTypeFont(std::shared_ptr<SizedFace> face) : face_(std::move(face)) {}

    FontMetrics metrics() const override { return face_->metrics(); }

    int64_t advance(const char *text, size_t count) const override {
        int64_t total = 0;
        if (!text) return 0;
        for (char32_t c : decode_text(text, count)) total += face_->glyph(c).advance;
        return total;
    }

    void draw_run(Bitmap &target, int64_t x, int64_t y, const char *text, size_t count,
                  Pixel color) const override {
        if (!text) return;
        const FontMetrics &cell = face_->metrics();
        const int64_t baseline = y + cell.ascent;
        const int64_t cell_bottom = y + cell.height;
        if (cell_bottom <= 0 || y >= target.height()) return;
        int64_t pen = x;
        const std::u32string characters = decode_text(text, count);
        for (size_t i = 0; i < characters.size() && pen < target.width(); ++i) {
            const Glyph &glyph = face_->glyph(characters[i]);
            if (glyph.width > 0 && glyph.rows > 0)
                blend_glyph(target, glyph, pen + glyph.left, baseline - glyph.top, y, cell_bottom,
                            color);
            pen += glyph.advance;
        }
    }

private:
    std::shared_ptr<SizedFace> face_;
};

// Characters the chosen face lacks are taken from DejaVu Sans, the widest-reaching face
// every build carries, before they fall to the missing-character box.
std::unique_ptr<Font> font_from(const std::vector<std::string> &families, int height, int weight) {
    const FaceFile &file = face_file_for(families, weight);
    const FaceFile &fallback = face_file_for({"DejaVu Sans"}, 400);
    return std::make_unique<FreeTypeFont>(sized_face(file, em_for_height(file, height), &fallback));
}

}  // namespace

#if defined(__SSE2__)
namespace {

// Four pixels: each channel widened to 16 bits, t = color * c + below * (255 - c) + 128,
// and (t + (t >> 8)) >> 8, which is t's quotient by 255 rounded as blend rounds it (the
// test compares every colour, coverage and pixel below). Coverage 0 keeps the pixel,
// 255 puts color, as blend does, whatever their alpha.
inline __m128i blend_four(__m128i below, uint32_t four_coverages, __m128i color) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i c16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(four_coverages)), zero);
    const __m128i c32 = _mm_unpacklo_epi16(c16, zero);
    const __m128i c_pairs = _mm_unpacklo_epi16(c16, c16);  // c0 c0 c1 c1 c2 c2 c3 c3
    const __m128i c_low = _mm_unpacklo_epi32(c_pairs, c_pairs), c_high = _mm_unpackhi_epi32(c_pairs, c_pairs);
    const __m128i over = _mm_unpacklo_epi8(color, zero);
    const __m128i full = _mm_set1_epi16(255), half = _mm_set1_epi16(128);
    auto lanes = [&](__m128i under, __m128i c) {
        __m128i t = _mm_add_epi16(_mm_mullo_epi16(over, c), _mm_mullo_epi16(under, _mm_sub_epi16(full, c)));
        t = _mm_add_epi16(t, half);
        return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
    };
    __m128i mixed = _mm_packus_epi16(lanes(_mm_unpacklo_epi8(below, zero), c_low),
                                     lanes(_mm_unpackhi_epi8(below, zero), c_high));
    mixed = _mm_or_si128(mixed, _mm_set1_epi32(int(0xFF000000u)));
    const __m128i kept = _mm_cmpeq_epi32(c32, zero), put = _mm_cmpeq_epi32(c32, _mm_set1_epi32(255));
    mixed = _mm_or_si128(_mm_and_si128(put, color), _mm_andnot_si128(put, mixed));
    return _mm_or_si128(_mm_and_si128(kept, below), _mm_andnot_si128(kept, mixed));
}

}  // namespace
#endif

void blend_coverage(Pixel *target, const uint8_t *coverage, int64_t count, Pixel color) {
    int64_t i = 0;
#if defined(__SSE2__)
    const __m128i colors = _mm_set1_epi32(int(color));
    for (; i + 4 <= count; i += 4) {
        uint32_t four;
        std::memcpy(&four, coverage + i, 4);
        if (four == 0) continue;  // most of a glyph's box
        __m128i *at = reinterpret_cast<__m128i *>(target + i);
        _mm_storeu_si128(at, blend_four(_mm_loadu_si128(at), four, colors));
    }
#endif
    for (; i < count; ++i)
        if (coverage[i]) target[i] = blend(target[i], color, coverage[i]);
}

std::u32string decode_text(const char *text, size_t count) {
    std::u32string characters;
    characters.reserve(count);
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    // Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
    for (size_t i = 0; i < count;) {
        const unsigned char lead = bytes[i];
        size_t length = 0;
        char32_t c = 0, least = 0;
        if (lead < 0x80) {
            characters.push_back(lead);
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, c = lead & 0x1F, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, c = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, c = lead & 0x07, least = 0x10000;
        }
        bool valid = length > 0 && count - i >= length;
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (bytes[i + k] & 0xC0) == 0x80;
            c = (c << 6) | (bytes[i + k] & 0x3F);
        }
        if (!valid || c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            // Not UTF-8: one character per byte, as Latin-1 reads them.
            characters.assign(bytes, bytes + count);
            return characters;
        }
        characters.push_back(c);
        i += length;
    }
    return characters;
}

std::unique_ptr<Font> Font::create(const std::string &face_name, int height, int weight) {
    // A name no system has falls back to a sans face with the widths of the common
    // default sans faces, so labels fit the boxes drawn around them.
    return font_from({face_name, "Liberation Sans", "DejaVu Sans"}, height, weight);
}

const Font &Font::stock_fixed() {
    static const std::unique_ptr<Font> fixed =
        font_from({"DejaVu Sans Mono", "monospace"}, -kStockFixedEm, 400);
    return *fixed;
}

// ---- the drawing context's text operations ------------------------------------------

const Font &DrawingContext::font() const { return font_ ? *font_ : Font::stock_fixed(); }

void DrawingContext::text_out(int64_t x, int64_t y, const char *text, size_t count) {
    if (!target_ || !text) return;
    const Font &run_font = font();
    if (background_mode_ == BackgroundMode::opaque) {
        const int64_t width = run_font.advance(text, count);
        fill_rect(x, y, x + width, y + run_font.metrics().height, background_color_);
    }
    run_font.draw_run(*target_, x, y, text, count, text_color_);
    changed();
}

Size DrawingContext::text_extent(const char *text, size_t count) const {
    const Font &run_font = font();
    const int64_t width = text ? run_font.advance(text, count) : 0;
    return Size{int(std::min<int64_t>(width, INT32_MAX)), run_font.metrics().height};
}

}  // namespace platform
