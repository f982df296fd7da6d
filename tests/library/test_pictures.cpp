// Colours beyond the palette, polygons, pictures from PNG files and text width, as a
// program sees them: the messages in the text window, the values returned, the pixels.
// Before KANVO_open the origin is the surface's pixel (0, 0): library (x, y) is pixel
// (x, -y).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "support/core_helpers.h"
#include "testing.h"

namespace {

using Messages = std::vector<std::string>;
using platform::Pixel;
using platform::rgb;

std::string picture_file(const std::string &name) {
    return std::string(KANVO_TEST_DATA) + "/pictures/" + name;
}

Messages messages_since(size_t count) {
    Messages all = log_lines();
    return Messages(all.begin() + ptrdiff_t(std::min(count, all.size())), all.end());
}

Pixel at(int x, int y) { return surface_pixels().pixel(x, y); }

// ---- colours ---------------------------------------------------------------------------

TEST(AnyColour, MixedColourValuesAreIllegalUntilTheProgramMixesOne) {
    const int orange = KANVO_RGB_FLAG | 0xFF8000;
    KANVO_clear();
    KANVO_circle(orange, 20, -20, 3);
    EXPECT_EQ(messages_since(1), (Messages{"Illegal color 33521664; using RED.\n",
                                           "red circle at (20,-20), radius 3\n"}));
    EXPECT_EQ(at(20, 20), rgb(255, 0, 0));

    EXPECT_EQ(KANVO_rgb(255, 128, 0), orange);
    size_t before = log_lines().size();
    KANVO_circle(orange, 20, -20, 3);
    KANVO_rectangle(KANVO_rgb(1, 2, 3), 40, -10, 50, -20, 0);
    EXPECT_EQ(messages_since(before),
              (Messages{"#FF8000 circle at (20,-20), radius 3\n",
                        "#010203 rectangle with bounding box (40,-10) to (50,-20), filled\n"}));
    EXPECT_EQ(at(20, 20), rgb(255, 128, 0));
    EXPECT_EQ(at(45, 15), rgb(1, 2, 3));

    // The palette is as it was: 24 and anything beside the mixed values stay illegal.
    before = log_lines().size();
    KANVO_line(24, 0, -30, 10, -30, 1);
    KANVO_line(0x2000000 | 0xFF8000, 0, -31, 10, -31, 1);
    KANVO_line(KANVO_GOLD, 0, -32, 10, -32, 1);
    EXPECT_EQ(messages_since(before),
              (Messages{"Illegal color 24; using RED.\n", "red line from (0,-30) to (10,-30), width 1\n",
                        "Illegal color 50298880; using RED.\n",
                        "red line from (0,-31) to (10,-31), width 1\n",
                        "gold line from (0,-32) to (10,-32), width 1\n"}));
}

TEST(AnyColour, ComponentsOutsideTheirRangeAreHeldAtTheNearestEndWithAMessage) {
    EXPECT_EQ(KANVO_rgb(-5, 300, 255), KANVO_RGB_FLAG | 0x00FFFF);
    EXPECT_EQ(KANVO_hsv(360, -1, 101), KANVO_hsv(359, 0, 100));
    EXPECT_EQ(log_lines(), (Messages{"Red of -5 not possible, using 0\n",
                                     "Green of 300 not possible, using 255\n",
                                     "Hue of 360 not possible, using 359\n",
                                     "Saturation of -1 not possible, using 0\n",
                                     "Value of 101 not possible, using 100\n"}));
}

TEST(AnyColour, HsvGivesTheColourOfEachHueRoundedToTheNearestChannelValue) {
    struct Case {
        int h, s, v, rgb;
    } cases[] = {
        {0, 100, 100, 0xFF0000},   {60, 100, 100, 0xFFFF00}, {120, 100, 100, 0x00FF00},
        {180, 100, 100, 0x00FFFF}, {240, 100, 100, 0x0000FF}, {300, 100, 100, 0xFF00FF},
        {30, 100, 100, 0xFF8000},  {210, 50, 80, 0x6699CC},  {0, 0, 50, 0x808080},
        {359, 100, 100, 0xFF0004}, {77, 33, 0, 0x000000},    {0, 0, 100, 0xFFFFFF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.h) + "," + std::to_string(c.s) + "," + std::to_string(c.v));
        // The textbook conversion, in floating point, rounded once.
        const double chroma = c.v / 100.0 * c.s / 100.0;
        const double x = chroma * (1 - std::fabs(std::fmod(c.h / 60.0, 2) - 1));
        const double m = c.v / 100.0 - chroma;
        double parts[6][3] = {{chroma, x, 0}, {x, chroma, 0}, {0, chroma, x},
                              {0, x, chroma}, {x, 0, chroma}, {chroma, 0, x}};
        const double *p = parts[c.h / 60];
        const int expected = (int(std::lround((p[0] + m) * 255)) << 16) |
                             (int(std::lround((p[1] + m) * 255)) << 8) | int(std::lround((p[2] + m) * 255));
        EXPECT_EQ(expected, c.rgb);
        EXPECT_EQ(KANVO_hsv(c.h, c.s, c.v), KANVO_RGB_FLAG | c.rgb);
    }
    EXPECT_TRUE(log_lines().empty());
}

// ---- polygons --------------------------------------------------------------------------

const int kStarXs[] = {100, 150, 20, 180, 50};
const int kStarYs[] = {-20, -170, -80, -80, -170};

TEST(Polygons, AFilledStarHasAHoleAndAnOutlinedOneLeavesItsInside) {
    KANVO_clear();
    EXPECT_EQ(KANVO_polygon(KANVO_RED, 5, kStarXs, kStarYs, 0), 1);
    EXPECT_EQ(messages_since(1), (Messages{"red polygon of 5 corners from (100,-20), filled\n"}));
    EXPECT_EQ(at(100, 40), rgb(255, 0, 0));     // a point of the star
    EXPECT_EQ(at(100, 110), platform::kWhite);  // the middle: crossed twice
    EXPECT_EQ(ink_box(surface_pixels(), 1, 1, 600, 539).left, 20);

    KANVO_clear();
    const int blue = KANVO_rgb(0, 0, 255);
    KANVO_polygon(blue, 5, kStarXs, kStarYs, 3);
    EXPECT_EQ(log_lines().back(), "#0000FF polygon of 5 corners from (100,-20), line width 3\n");
    EXPECT_EQ(at(100, 40), platform::kWhite);
    EXPECT_EQ(at(100, 20), rgb(0, 0, 255));
}

TEST(Polygons, ThreeCornersPaintExactlyWhatTheTriangleDoes) {
    const int xs[] = {-7, 90, 31}, ys[] = {-3, -60, -130};
    for (int width : {0, 1, 4}) {
        SCOPED_TRACE(width);
        KANVO_clear();
        KANVO_triangle(KANVO_OLIVE, xs[0] + 300, ys[0], xs[1] + 300, ys[1], xs[2] + 300, ys[2], width);
        KANVO_polygon(KANVO_OLIVE, 3, xs, ys, width);
        const platform::Bitmap &s = surface_pixels();
        for (int y = 1; y < 200; ++y)
            for (int x = 1; x < 290; ++x)
                ASSERT_EQ(s.pixel(x, y), s.pixel(x + 300, y)) << x << "," << y;
    }
}

TEST(Polygons, ImpossibleCornerCountsAreRefusedOrCutWithAMessage) {
    KANVO_clear();
    const platform::Bitmap cleared = surface_pixels();
    size_t before = log_lines().size();
    EXPECT_EQ(KANVO_polygon(KANVO_RED, 5, nullptr, kStarYs, 0), 0);
    EXPECT_EQ(KANVO_polygon(KANVO_RED, 5, kStarXs, nullptr, -2), 0);
    EXPECT_EQ(KANVO_polygon(KANVO_RED, 2, kStarXs, kStarYs, 0), 0);
    EXPECT_EQ(KANVO_polygon(99, -1, kStarXs, kStarYs, 0), 0);
    EXPECT_EQ(messages_since(before),
              (Messages{"Polygon without corners (a NULL array) not possible, drawing nothing\n",
                        "Width of -2 not possible, using width 2\n",
                        "Polygon without corners (a NULL array) not possible, drawing nothing\n",
                        "Polygon of 2 corners not possible, drawing nothing\n",
                        "Illegal color 99; using RED.\n",
                        "Polygon of -1 corners not possible, drawing nothing\n"}));
    EXPECT_EQ(surface_pixels().pixels(), cleared.pixels());

    // 300 corners: the first 256 are drawn (a zigzag whose later corners would reach
    // further right), and nothing past them is read.
    std::vector<int> xs(300), ys(300);
    for (int i = 0; i < 300; ++i) {
        xs[i] = i;
        ys[i] = i % 2 ? -10 : -60;
    }
    xs[255] = 0;
    ys[255] = -200;
    before = log_lines().size();
    EXPECT_EQ(KANVO_polygon(KANVO_BLACK, 300, xs.data(), ys.data(), 0), 1);
    EXPECT_EQ(messages_since(before)[0], "Polygon of 300 corners not possible, using the first 256\n");
    const InkBox box = ink_box(surface_pixels(), 1, 1, 600, 539);
    EXPECT_EQ(box.right, 254);
    EXPECT_EQ(box.bottom, 199);  // the fill leaves out the bottom corner's row
}

// ---- pictures --------------------------------------------------------------------------

// Runs check once with each vector width blending can take here (the span stores choose
// it: 16 bytes, or AVX2 from 32 on), then puts the widest back. Returns how many ran.
template <typename Check>
int in_each_blend_width(Check check) {
    const int widest = platform::span_store_bytes();
    int tried = 0;
    for (int bytes : {16, 32}) {
        if (!platform::use_span_stores(bytes)) continue;
        ++tried;
        SCOPED_TRACE("store width " + std::to_string(bytes));
        check();
    }
    platform::use_span_stores(widest);
    return tried;
}

TEST(Blending, EveryAlphaRoundsToTheNearestValueAndTheEndsAreExact) {
    for (int a = 0; a < 256; ++a)
        for (int s = 0; s < 256; s += 3)
            for (int d = 0; d < 256; ++d) {
                const Pixel got = platform::blend_over(rgb(uint8_t(d), uint8_t(255 - d), 7),
                                                       platform::argb(uint8_t(a), uint8_t(s), 200, uint8_t(s)));
                const int want = int(std::lround((s * a + d * (255 - a)) / 255.0));
                ASSERT_EQ(platform::red_of(got), want) << a << " " << s << " " << d;
                ASSERT_EQ(platform::blue_of(got),
                          int(std::lround((s * a + 7 * (255 - a)) / 255.0)));
                ASSERT_EQ(platform::green_of(got),
                          int(std::lround((200 * a + (255 - d) * (255 - a)) / 255.0)));
                ASSERT_EQ(got >> 24, 0xFFu);
            }
}

void check_prepared_lanes();

// The lanes prepared at load time, in each vector width and one by one, against the rule
// for every alpha, source and target value; a run of 263 takes the wide code's eight-pixel
// steps, its four-pixel step and a tail. Alpha 0 must leave even the target's alpha byte.
TEST(Blending, PreparedLanesGiveTheRuleForEveryValueInEveryCodePath) {
    EXPECT_GE(in_each_blend_width(check_prepared_lanes), 1);
}

void check_prepared_lanes() {
    constexpr int kCount = 263;
    std::vector<uint64_t> added(kCount), kept(kCount);
    std::vector<Pixel> below(kCount), vector_code(kCount), one_by_one(kCount);
    for (int i = 0; i < kCount; ++i) {
        const int d = i % 256;
        below[size_t(i)] = platform::argb(uint8_t(d * 7), uint8_t(d), uint8_t(255 - d), uint8_t(d ^ 0x5A));
    }
    auto rounded = [](int s, int d, int a) { return int(std::lround((s * a + d * (255 - a)) / 255.0)); };
    for (int a = 0; a < 256; ++a)
        for (int s = 0; s < 256; ++s) {
            const Pixel source = platform::argb(uint8_t(a), uint8_t(255 - s), uint8_t(s), uint8_t(s ^ 0xA5));
            std::fill(added.begin(), added.end(), platform::blend_added(source));
            std::fill(kept.begin(), kept.end(), platform::blend_kept(source));
            vector_code = below;
            one_by_one = below;
            platform::blend_prepared(vector_code.data(), added.data(), kept.data(), kCount);
            platform::blend_prepared_portable(one_by_one.data(), added.data(), kept.data(), kCount);
            for (int i = 0; i < kCount; ++i) {
                const Pixel d = below[size_t(i)];
                const Pixel want = a == 0 ? d
                                          : platform::argb(255, uint8_t(rounded(255 - s, platform::red_of(d), a)),
                                                           uint8_t(rounded(s, platform::green_of(d), a)),
                                                           uint8_t(rounded(s ^ 0xA5, platform::blue_of(d), a)));
                ASSERT_EQ(vector_code[size_t(i)], want) << "alpha " << a << " source " << s << " pixel " << i;
                ASSERT_EQ(one_by_one[size_t(i)], want) << "alpha " << a << " source " << s << " pixel " << i;
            }
        }
}

// Drawn at every position around and across a small target, clipped on each side, a
// picture must give what copying, skipping and blending pixel by pixel gives. The rows
// mix stretches of every kind and length 1 to 6, one row is all partly transparent and
// one picture is narrower than the vector code's four pixels.
void check_pictures_drawn_anywhere();

TEST(Blending, PicturesDrawnAnywhereMatchThePixelByPixelRule) {
    EXPECT_GE(in_each_blend_width(check_pictures_drawn_anywhere), 1);
}

void check_pictures_drawn_anywhere() {
    const std::vector<std::vector<int>> shapes = {
        {0, 128, 255, 255, 1, 254, 0, 0, 77, 77, 77, 255, 255, 255, 255, 255, 3, 0, 200},
        {200, 201, 202, 203, 204, 205, 206, 207, 208, 209, 210, 211, 212, 213, 214, 215, 216, 217, 218},
        {255, 0, 255, 0, 90, 0, 90, 90, 255, 255, 0, 0, 0, 0, 0, 0, 9, 255, 255},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const int width : {19, 3}) {
        platform::Bitmap pixels(width, int(shapes.size()));
        for (int y = 0; y < pixels.height(); ++y)
            for (int x = 0; x < width; ++x)
                pixels.set_pixel(x, y, platform::argb(uint8_t(shapes[size_t(y)][size_t(x)]), uint8_t(13 * x + y),
                                                      uint8_t(250 - 9 * x), uint8_t(40 * y + x)));
        const platform::AlphaPicture picture(pixels);
        platform::Bitmap target(23, 7);
        for (int y = 0; y < target.height(); ++y)
            for (int x = 0; x < target.width(); ++x)
                target.set_pixel(x, y, platform::argb(uint8_t(x * 11), uint8_t(x * 10 + y), uint8_t(200 - y * 20),
                                                      uint8_t(x * y)));
        const platform::Bitmap below = target;
        for (int top = -pixels.height() - 1; top <= target.height() + 1; ++top)
            for (int left = -width - 1; left <= target.width() + 1; ++left) {
                platform::Bitmap got = below;
                picture.draw(got, left, top);
                for (int y = 0; y < target.height(); ++y)
                    for (int x = 0; x < target.width(); ++x) {
                        Pixel want = below.pixel(x, y);
                        const int px = x - left, py = y - top;
                        if (px >= 0 && px < width && py >= 0 && py < pixels.height()) {
                            const Pixel source = pixels.pixel(px, py);
                            const int a = platform::alpha_of(source);
                            if (a == 255) want = source;
                            else if (a > 0) want = platform::blend_over(want, source);
                        }
                        ASSERT_EQ(got.pixel(x, y), want)
                            << "width " << width << " at (" << left << ", " << top << "), pixel (" << x << ", " << y << ")";
                    }
            }
    }
}

TEST(Pictures, AlphaStepsZeroOneTwoFiftyFourAndTwoFiftyFiveOverAColour) {
    const int picture = KANVO_load_picture(picture_file("alpha_steps.png").c_str());
    ASSERT_EQ(picture, 1);
    KANVO_clear();
    KANVO_rectangle(KANVO_NAVY_BLUE, 0, 0, 20, -20, 0);  // (0, 51, 153)
    // 4 by 2, centred on (10, -10): its top-left pixel is (8, 9).
    EXPECT_EQ(KANVO_picture(picture, 10, -10), 1);
    auto blended = [](int s, int d, int a) { return uint8_t(std::lround((s * a + d * (255 - a)) / 255.0)); };
    EXPECT_EQ(at(8, 9), rgb(0, 51, 153));                                            // alpha 0
    EXPECT_EQ(at(9, 9), rgb(blended(255, 0, 1), blended(128, 51, 1), blended(0, 153, 1)));  // 1
    EXPECT_EQ(at(9, 9), rgb(1, 51, 152));
    EXPECT_EQ(at(10, 9), rgb(blended(255, 0, 254), blended(128, 51, 254), blended(0, 153, 254)));
    EXPECT_EQ(at(10, 9), rgb(254, 128, 1));
    EXPECT_EQ(at(11, 9), rgb(255, 128, 0));                                          // 255
    EXPECT_EQ(at(8, 10), rgb(0, blended(200, 51, 128), blended(100, 153, 128)));    // 128
    EXPECT_EQ(at(10, 10), rgb(0, 200, 100));
    EXPECT_EQ(at(11, 10), rgb(0, 51, 153));
    EXPECT_EQ(at(12, 9), rgb(0, 51, 153));  // right of the picture
}

TEST(Pictures, EveryColourTypeLoadsWithItsTransparency) {
    struct Case {
        const char *file;
        std::vector<Pixel> pixels;
    } cases[] = {
        {"gray.png", {0xFF000000, 0xFF808080, 0xFFFFFFFF}},
        {"gray_alpha.png", {0xFF000000, 0x80808080, 0x00FFFFFF}},
        {"rgb16.png", {0xFFFF0000, 0xFF00FF00, 0xFF0000FF}},
        {"palette_trns.png", {0xFFFF0000, 0x0000FF00, 0xFF0000FF}},
        {"gray1.png", {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFF000000,
                       0xFF000000, 0xFF000000}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const int number = KANVO_load_picture(picture_file(c.file).c_str());
        ASSERT_GT(number, 0) << log_lines().back();
        const platform::Bitmap &pixels = loaded_picture(number)->picture.pixels();
        EXPECT_EQ(pixels.pixels(), c.pixels);
    }
    EXPECT_TRUE(log_lines().empty());
}

TEST(Pictures, AFileThatCannotBeAPictureIsNamedWithTheReason) {
    ScratchDirectory scratch;
    const std::string missing = scratch.path("nowhere.png");
    const struct {
        std::string path, message;
    } cases[] = {
        {missing, "Cannot load picture " + missing + ": No such file or directory\n"},
        {picture_file("not_a_png.png"), "Cannot load picture " + picture_file("not_a_png.png") + ": not a PNG file\n"},
        {picture_file("truncated.png"), "Cannot load picture " + picture_file("truncated.png") + ": the file is truncated\n"},
        {picture_file("too_wide.png"), "Cannot load picture " + picture_file("too_wide.png") +
                                           ": too large (5000x40 pixels, at most 4096x4096)\n"},
        {scratch.path(), "Cannot load picture " + scratch.path() + ": a folder, not a PNG file\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        size_t before = log_lines().size();
        EXPECT_EQ(KANVO_load_picture(c.path.c_str()), 0);
        EXPECT_EQ(messages_since(before), Messages{c.message});
    }
    size_t before = log_lines().size();
    EXPECT_EQ(KANVO_load_picture(picture_file("bad_checksum.png").c_str()), 0);
    EXPECT_EQ(messages_since(before).at(0).rfind("Cannot load picture " + picture_file("bad_checksum.png") + ": damaged (", 0), 0u);
    EXPECT_EQ(KANVO_load_picture(nullptr), 0);
    EXPECT_EQ(KANVO_load_picture(""), 0);
    EXPECT_EQ(log_lines().back(), "Cannot load picture: no file name given\n");
    EXPECT_TRUE(kanvo.pictures.pictures.empty());
}

TEST(Pictures, NumbersAreKeptPerPathAndTheTwoHundredFiftySeventhIsRefused) {
    ScratchDirectory scratch;
    const std::string gray = picture_file("gray.png");
    EXPECT_EQ(KANVO_load_picture(gray.c_str()), 1);
    EXPECT_EQ(KANVO_load_picture(gray.c_str()), 1);
    for (int i = 2; i <= 257; ++i) {
        const std::string copy = scratch.path("p" + std::to_string(i) + ".png");
        std::filesystem::copy_file(gray, copy);
        const int number = KANVO_load_picture(copy.c_str());
        if (i <= 256) ASSERT_EQ(number, i);
        else EXPECT_EQ(number, 0);
    }
    EXPECT_EQ(log_lines().back(), "Cannot load picture " + scratch.path("p257.png") +
                                      ": already 256 pictures loaded, the most a program may have\n");
    EXPECT_EQ(KANVO_load_picture(gray.c_str()), 1);
}

TEST(Pictures, DrawnCentredLoggedClippedAndRefusedWhenUnknown) {
    const std::string disc = picture_file("soft_disc.png");
    const int picture = KANVO_load_picture(disc.c_str());
    KANVO_clear();
    size_t before = log_lines().size();
    EXPECT_EQ(KANVO_picture(picture, 100, -100), 1);
    EXPECT_EQ(messages_since(before), Messages{"picture 1 (" + disc + ", 24x24) at (100,-100)\n"});
    // 24 by 24 centred on pixel (100, 100): columns and rows 88 to 111; the opaque yellow
    // corner is its top-left 6 by 6.
    EXPECT_EQ(at(88, 88), rgb(255, 255, 0));
    EXPECT_EQ(at(93, 93), rgb(255, 255, 0));
    EXPECT_EQ(at(100, 100), rgb(0, 60, 255));
    const InkBox box = ink_box(surface_pixels(), 1, 1, 600, 539);
    EXPECT_EQ(box.left, 88);
    EXPECT_EQ(box.top, 88);
    EXPECT_LE(box.right, 111);
    EXPECT_LE(box.bottom, 111);

    // Across every edge and far away: clipped, nothing else touched.
    KANVO_logging(0);
    for (int x : {0, 600, INT32_MIN, INT32_MAX})
        for (int y : {0, -539, INT32_MIN, INT32_MAX}) EXPECT_EQ(KANVO_picture(picture, x, y), 1);
    EXPECT_EQ(at(0, 0), rgb(0, 60, 255));

    before = log_lines().size();
    EXPECT_EQ(KANVO_picture(0, 0, 0), 0);
    EXPECT_EQ(KANVO_picture(2, 0, 0), 0);
    EXPECT_EQ(messages_since(before),
              (Messages{"Picture 0 not possible: no picture loaded by that number\n",
                        "Picture 2 not possible: no picture loaded by that number\n"}));
}

// ---- text width ------------------------------------------------------------------------

TEST(TextWidth, MeasuresWhatTheTextDrawsAndItsWidestLine) {
    KANVO_clear();
    KANVO_logging(0);
    const int width = KANVO_text_width(40, "Kanvo!");
    ASSERT_GT(width, 60);
    KANVO_text(KANVO_BLACK, 50, -100, 40, "Kanvo!");
    const InkBox ink = ink_box(surface_pixels(), 1, 1, 600, 539);
    // The ink lies within the advance, up to a pixel of overhang, and fills most of it.
    EXPECT_GE(ink.left, 50 - 1);
    EXPECT_LE(ink.right, 50 + width);
    EXPECT_GE(ink.right, 50 + width - 8);

    EXPECT_EQ(KANVO_text_width(40, "Kan\nKanvo!\nvo"), width);
    EXPECT_EQ(KANVO_text_width(40, "\n\nKanvo!\n"), width);
    EXPECT_GT(KANVO_text_width(80, "Kanvo!"), width);
    EXPECT_EQ(KANVO_text_width(40, ""), 0);
    EXPECT_EQ(KANVO_text_width(40, nullptr), 0);
    EXPECT_EQ(KANVO_text_width(-40, "Kanvo!"), width);
    EXPECT_EQ(log_lines().back(), "ptsize of -40 not possible, using ptsize 40\n");
}

}  // namespace
