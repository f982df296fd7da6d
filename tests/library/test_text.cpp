// Text as the user sees it: the point-size corrections and log lines of KANVO_text and
// KANVO_printf, where the lines land on the surface, and the fonts behind them.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/font.h"
#include "support/core_helpers.h"
#include "testing.h"

namespace {

using Messages = std::vector<std::string>;

// The line height the renderer lays text out with: the drawing font's cell height.
int text_line_height(int ptsize) {
    return platform::Font::create("KANVO-font", -ptsize)->metrics().height;
}

InkBox drawn_box() { return ink_box(surface_pixels(), 1, 1, kSurfaceWidth - 1, kSurfaceHeight - 1); }

TEST(TextCall, PointSizeIsCorrectedNegationFirstThenTheLimit) {
    KANVO_text(KANVO_BLACK, 1, 2, 127, "a");
    KANVO_text(KANVO_BLACK, 1, 2, 128, "b");
    KANVO_text(40, 1, 2, -200, "c");
    KANVO_text(KANVO_BLACK, 1, 2, INT_MIN, "d");
    KANVO_text(KANVO_BLACK, 1, 2, 0, "e");
    const Messages expected = {
        "black text at (1,2), \"a\"\n",
        "ptsize of 128 not possible, using ptsize 127\n",
        "black text at (1,2), \"b\"\n",
        "ptsize of -200 not possible, using ptsize 200\n",
        "ptsize of 200 not possible, using ptsize 127\n",
        "Illegal color 40; using RED.\n",
        "red text at (1,2), \"c\"\n",
        "ptsize of -2147483648 not possible, using ptsize 2147483647\n",
        "ptsize of 2147483647 not possible, using ptsize 127\n",
        "black text at (1,2), \"d\"\n",
        "black text at (1,2), \"e\"\n",
    };
    EXPECT_EQ(log_lines(), expected);
}

TEST(TextCall, CorrectedSizeIsTheSizeDrawn) {
    KANVO_clear();
    KANVO_text(KANVO_BLUE, 20, -300, -200, "Wg");
    const platform::Bitmap corrected = surface_pixels();
    KANVO_clear();
    KANVO_text(KANVO_BLUE, 20, -300, 127, "Wg");
    EXPECT_FALSE(drawn_box().empty());
    EXPECT_TRUE(corrected.pixels() == surface_pixels().pixels());
}

TEST(TextCall, PrintfFormatsCutsAtTheBufferAndReturnsWhatItDrew) {
    EXPECT_EQ(KANVO_printf(KANVO_BLACK, 5, -6, 12, "Add Bugs"), 8);
    EXPECT_EQ(KANVO_printf(KANVO_BLUE, 5, -6, 12, "%d flowers, %s", 15, "bugs"), 16);
    const std::string long_text(3000, 'z');
    EXPECT_EQ(KANVO_printf(KANVO_BLACK, 0, 0, 12, "%s", long_text.c_str()), 1023);
    const char *no_format = nullptr;
    EXPECT_EQ(KANVO_printf(KANVO_BLACK, 0, 0, 12, no_format), 0);
    EXPECT_EQ(KANVO_text(KANVO_BLACK, 3, 4, 12, nullptr), 1);

    const Messages logged = log_lines();
    ASSERT_EQ(logged.size(), 5u);
    EXPECT_EQ(logged[0], "black text at (5,-6), \"Add Bugs\"\n");
    EXPECT_EQ(logged[1], "blue text at (5,-6), \"15 flowers, bugs\"\n");
    EXPECT_EQ(logged[2].size(), 1023u);  // the description line itself is cut too
    EXPECT_EQ(logged[2].compare(0, 24, "black text at (0,0), \"zz"), 0);
    EXPECT_EQ(logged[3], "black text at (0,0), \"\"\n");
    EXPECT_EQ(logged[4], "black text at (3,4), \"\"\n");
}

TEST(TextCall, PrintfDrawsWhatTextDraws) {
    KANVO_clear();
    KANVO_text(KANVO_NAVY_BLUE, 40, -100, 12, "Add 3 Bugs");
    const platform::Bitmap direct = surface_pixels();
    KANVO_clear();
    KANVO_printf(KANVO_NAVY_BLUE, 40, -100, 12, "Add %d %s", 3, "Bugs");
    EXPECT_FALSE(drawn_box().empty());
    EXPECT_TRUE(direct.pixels() == surface_pixels().pixels());
}

TEST(TextOnSurface, OneLineLiesEntirelyAboveTheAnchorRow) {
    KANVO_clear();
    KANVO_text(KANVO_BLACK, 50, -200, 20, "Hello, gypsy jig!");
    const int h = text_line_height(20);
    const InkBox box = drawn_box();
    ASSERT_FALSE(box.empty());
    EXPECT_GE(box.top, 200 - h);
    EXPECT_LE(box.bottom, 199);
    EXPECT_GE(box.left, 50);
    EXPECT_GT(box.bottom, 200 - h / 2);  // the descenders reach well down the cell
}

TEST(TextOnSurface, LineFeedStartsTheNextLineOnTheAnchorRow) {
    const int h = text_line_height(16);
    KANVO_clear();
    KANVO_text(KANVO_PURPLE, 30, -150, 16, "First\nSecond line\n");
    EXPECT_EQ(log_lines().back(), "purple text at (30,-150), \"First\nSecond line\n\"\n");
    const platform::Bitmap two_lines = surface_pixels();
    const InkBox box = drawn_box();
    EXPECT_GE(box.top, 150 - h);
    EXPECT_LE(box.bottom, 150 + h - 1);
    EXPECT_FALSE(ink_box(two_lines, 1, 150, 599, 150 + h).empty());

    // The same picture as the two lines drawn one by one, the second a line lower.
    KANVO_clear();
    KANVO_text(KANVO_PURPLE, 30, -150, 16, "First");
    KANVO_text(KANVO_PURPLE, 30, -150 - h, 16, "Second line");
    EXPECT_TRUE(two_lines.pixels() == surface_pixels().pixels());
}

TEST(TextOnSurface, GlyphsAreBlendedOverWhatIsThere) {
    KANVO_clear();
    KANVO_rectangle(KANVO_YELLOW, 10, -10, 400, -120, 0);
    KANVO_text(KANVO_BLUE, 20, -100, 60, "LT");
    bool full_colour_seen = false;
    for (int y = 11; y < 100; ++y)
        for (int x = 11; x < 400; ++x) {
            const platform::Pixel p = surface_pixels().pixel(x, y);
            // Yellow over which blue is blended: red and green fall together, blue rises.
            ASSERT_EQ(platform::red_of(p), platform::green_of(p)) << x << "," << y;
            ASSERT_EQ(int(platform::red_of(p)) + platform::blue_of(p), 255) << x << "," << y;
            full_colour_seen |= p == platform::rgb(0, 0, 255);
        }
    EXPECT_TRUE(full_colour_seen);
}

// A glyph's row is blended four pixels a step: every colour, coverage and pixel below,
// channel by channel, must give what the rule gives one pixel at a time, coverage 0 must
// leave the pixel whole (its alpha too) and 255 put the colour, and a row of any length
// must end where it should.
TEST(TextOnSurface, BlendingFourPixelsAStepKeepsTheRule) {
    auto rule = [](unsigned over, unsigned under, unsigned c) { return (over * c + under * (255 - c) + 127) / 255; };
    std::vector<platform::Pixel> row(256 * 256 + 3);
    std::vector<uint8_t> coverage(row.size());
    for (unsigned over = 0; over < 256; ++over) {
        const platform::Pixel color = platform::rgb(uint8_t(over), uint8_t(255 - over), uint8_t(over * 7));
        for (size_t i = 0; i < row.size(); ++i) {
            const unsigned under = unsigned(i % 256);
            row[i] = platform::rgb(uint8_t(under), uint8_t(under * 13), uint8_t(255 - under)) & 0x7FFFFFFFu;
            coverage[i] = uint8_t(i / 256);
        }
        const std::vector<platform::Pixel> before = row;
        platform::blend_coverage(row.data(), coverage.data(), int64_t(row.size()), color);
        for (size_t i = 0; i < row.size(); ++i) {
            const platform::Pixel below = before[i], got = row[i];
            const unsigned c = coverage[i];
            platform::Pixel want = c == 0 ? below : c == 255 ? color
                : platform::rgb(uint8_t(rule(platform::red_of(color), platform::red_of(below), c)),
                                uint8_t(rule(platform::green_of(color), platform::green_of(below), c)),
                                uint8_t(rule(platform::blue_of(color), platform::blue_of(below), c)));
            ASSERT_EQ(got, want) << "colour " << std::hex << color << " over " << below << std::dec
                                 << " at coverage " << c << ", pixel " << i;
        }
    }
}

TEST(Fonts, SizesAndMetricsFollowTheRequest) {
    const auto characters = platform::Font::create("KANVO-font", -20);
    const platform::FontMetrics m = characters->metrics();
    EXPECT_EQ(m.height, m.ascent + m.descent);
    EXPECT_GE(m.height, 20);
    EXPECT_LE(m.height, 26);

    const auto cells = platform::Font::create("KANVO-font", 30);
    EXPECT_NEAR(cells->metrics().height, 30, 1);

    const int default_height = platform::Font::create("KANVO-font", 0)->metrics().height;
    EXPECT_GE(default_height, 10);
    EXPECT_LE(default_height, 24);

    // Absurd requests give bounded fonts, not huge allocations.
    EXPECT_LE(platform::Font::create("KANVO-font", INT_MIN)->metrics().height, 2048);
    EXPECT_LE(platform::Font::create("KANVO-font", INT_MAX)->metrics().height, 8192);
}

TEST(Fonts, StockFixedFontIsFixedPitchAndControlCharactersTakeNoSpace) {
    const platform::Font &fixed = platform::Font::stock_fixed();
    EXPECT_GT(fixed.advance("i", 1), 0);
    EXPECT_EQ(fixed.advance("iiii", 4), fixed.advance("WWWW", 4));
    EXPECT_EQ(fixed.advance("ab\ncd", 5), fixed.advance("abcd", 4));
    EXPECT_GT(fixed.advance("\xe9\xe8", 2), 0);  // Latin-1 accented letters
    EXPECT_GT(fixed.metrics().height, 8);
    EXPECT_LT(fixed.metrics().height, 24);
}

TEST(Fonts, ContextTextExtentAndOpaqueCells) {
    platform::Bitmap picture(200, 60, platform::rgb(0, 255, 0));
    platform::DrawingContext dc(&picture);
    const auto font = platform::Font::create("KANVO-font", -14);
    dc.select_font(font.get());
    const platform::Size extent = dc.text_extent("Ab", 2);
    EXPECT_EQ(extent.height, font->metrics().height);
    EXPECT_EQ(extent.width, font->advance("Ab", 2));

    // Opaque mode (the context's default) fills the run's cells in the background colour.
    dc.text_out(10, 20, "Ab", 2);
    EXPECT_EQ(picture.pixel(10, 20), platform::kWhite);
    EXPECT_EQ(picture.pixel(10 + extent.width - 1, 20 + extent.height - 1), platform::kWhite);
    EXPECT_EQ(picture.pixel(10 + extent.width, 20), platform::rgb(0, 255, 0));
    EXPECT_EQ(picture.pixel(10, 20 + extent.height), platform::rgb(0, 255, 0));

    // Runs far outside the bitmap are clipped, not walked pixel by pixel.
    dc.text_out(INT64_C(-5000000000), INT64_C(5000000000), "far", 3);
    dc.text_out(-3, -5, "edge", 4);
}

// The surface after one text call on a cleared picture.
platform::Bitmap drawn_text(const char *text) {
    KANVO_clear();
    KANVO_text(KANVO_BLACK, 20, -100, 24, text);  // the origin is (0, 0) until the library opens
    return surface_pixels();
}

TEST(TextEncoding, Utf8IsDecodedAndSingleByteTextDrawsAsBefore) {
    // "café" saved as UTF-8 and as Latin-1 draw the same four letters.
    const platform::Bitmap utf8 = drawn_text("caf\xc3\xa9");
    EXPECT_TRUE(utf8.pixels() == drawn_text("caf\xe9").pixels());
    // Old single-byte text keeps one character per byte: "\xc3\xa9" beside a stray
    // Latin-1 byte is the three letters it always was.
    EXPECT_TRUE(drawn_text("\xc3\xa9\xe8").pixels() != utf8.pixels());

    const auto font = platform::Font::create("KANVO-font", -24);
    EXPECT_EQ(platform::decode_text("caf\xc3\xa9", 5), U"caf\u00e9");
    EXPECT_EQ(platform::decode_text("\xc3\xa9\xe8", 3), U"\u00c3\u00a9\u00e8");
    // Overlong forms, surrogates and cut sequences are not UTF-8.
    EXPECT_EQ(platform::decode_text("\xc0\xaf", 2), U"\u00c0\u00af");
    EXPECT_EQ(platform::decode_text("\xed\xa0\x80", 3), U"\u00ed\u00a0\u0080");
    EXPECT_EQ(platform::decode_text("\xe2\x82", 2), U"\u00e2\u0082");
    EXPECT_EQ(platform::decode_text("\xf0\x9f\x98\x80!", 5), U"\U0001F600!");

    // The euro sign is one character with a glyph, not three bytes of which one vanishes.
    const platform::Bitmap euro = drawn_text("\xe2\x82\xac");
    EXPECT_FALSE(ink_box(euro, 1, 1, kSurfaceWidth - 1, kSurfaceHeight - 1).empty());
    EXPECT_EQ(font->advance("\xe2\x82\xac", 3), font->advance("\xe2\x82\xac\xe2\x82\xac", 6) / 2);
    EXPECT_LT(font->advance("\xe2\x82\xac", 3), font->advance("\xe2\x82\xac", 2) + font->advance("\xac", 1));
}

TEST(TextEncoding, GreekCyrillicAndMissingCharactersAllShow) {
    const auto font = platform::Font::create("KANVO-font", -24);
    // Greek, Cyrillic, Latin Extended-A: each letter has a width and some ink.
    for (const char *letter : {"\xce\xa9", "\xd0\x96", "\xc5\x81", "\xe2\x80\x94"}) {
        EXPECT_GT(font->advance(letter, std::strlen(letter)), 0) << letter;
        EXPECT_FALSE(ink_box(drawn_text(letter), 1, 1, kSurfaceWidth - 1, kSurfaceHeight - 1).empty())
            << letter;
    }
    // A private-use character no face has is drawn as a box, never as nothing; two of
    // them are twice as wide as one.
    const char *missing = "\xef\x80\x80";  // U+F000
    const platform::Bitmap box = drawn_text(missing);
    const InkBox ink = ink_box(box, 1, 1, kSurfaceWidth - 1, kSurfaceHeight - 1);
    ASSERT_FALSE(ink.empty());
    EXPECT_GE(ink.right - ink.left, 4);
    EXPECT_GE(ink.bottom - ink.top, 6);
    EXPECT_EQ(font->advance("\xef\x80\x80\xef\x80\x80", 6), 2 * font->advance(missing, 3));
    // The text window's fixed font reads text the same way.
    const platform::Font &fixed = platform::Font::stock_fixed();
    EXPECT_EQ(fixed.advance("caf\xc3\xa9", 5), fixed.advance("cafe", 4));
    EXPECT_EQ(fixed.advance("caf\xe9", 4), fixed.advance("cafe", 4));
}

}  // namespace
