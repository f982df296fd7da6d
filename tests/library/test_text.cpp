// Text as the user sees it: the point-size corrections and log lines of KANVO_text and
// KANVO_printf, where the lines land on the surface, and the fonts behind them.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "support/core_helpers.h"
#include "testing.h"

namespace {

using Messages = std::vector<std::string>;

// The line height the renderer lays text out with: the drawing font's cell height.
int text_line_height(int ptsize) {
    return platform::Font::create("KANVO-font", -ptsize)->metrics().height;
}

InkBox drawn_box() { return ink_box(*kanvo.surface.surface_bitmap, 1, 1, kSurfaceWidth - 1, kSurfaceHeight - 1); }

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
    const platform::Bitmap corrected = *kanvo.surface.surface_bitmap;
    KANVO_clear();
    KANVO_text(KANVO_BLUE, 20, -300, 127, "Wg");
    EXPECT_FALSE(drawn_box().empty());
    EXPECT_TRUE(corrected.pixels() == kanvo.surface.surface_bitmap->pixels());
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
    const platform::Bitmap direct = *kanvo.surface.surface_bitmap;
    KANVO_clear();
    KANVO_printf(KANVO_NAVY_BLUE, 40, -100, 12, "Add %d %s", 3, "Bugs");
    EXPECT_FALSE(drawn_box().empty());
    EXPECT_TRUE(direct.pixels() == kanvo.surface.surface_bitmap->pixels());
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
    const platform::Bitmap two_lines = *kanvo.surface.surface_bitmap;
    const InkBox box = drawn_box();
    EXPECT_GE(box.top, 150 - h);
    EXPECT_LE(box.bottom, 150 + h - 1);
    EXPECT_FALSE(ink_box(two_lines, 1, 150, 599, 150 + h).empty());

    // The same picture as the two lines drawn one by one, the second a line lower.
    KANVO_clear();
    KANVO_text(KANVO_PURPLE, 30, -150, 16, "First");
    KANVO_text(KANVO_PURPLE, 30, -150 - h, 16, "Second line");
    EXPECT_TRUE(two_lines.pixels() == kanvo.surface.surface_bitmap->pixels());
}

TEST(TextOnSurface, GlyphsAreBlendedOverWhatIsThere) {
    KANVO_clear();
    KANVO_rectangle(KANVO_YELLOW, 10, -10, 400, -120, 0);
    KANVO_text(KANVO_BLUE, 20, -100, 60, "LT");
    bool full_colour_seen = false;
    for (int y = 11; y < 100; ++y)
        for (int x = 11; x < 400; ++x) {
            const platform::Pixel p = kanvo.surface.surface_bitmap->pixel(x, y);
            // Yellow over which blue is blended: red and green fall together, blue rises.
            ASSERT_EQ(platform::red_of(p), platform::green_of(p)) << x << "," << y;
            ASSERT_EQ(int(platform::red_of(p)) + platform::blue_of(p), 255) << x << "," << y;
            full_colour_seen |= p == platform::rgb(0, 0, 255);
        }
    EXPECT_TRUE(full_colour_seen);
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

}  // namespace
