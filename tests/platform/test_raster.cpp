// The software surface and the renderer: every reference picture painted again with no
// differing pixel, plus what the pictures cannot show (far coordinates and huge widths,
// the dirty flag, the cleared frame, block copies, PNG files).
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "command_list.h"
#include "platform/shown_frame.h"
#include "platform/stamps.h"
#include "support/test_support.h"
#include "testing.h"

namespace fs = std::filesystem;
using platform::Bitmap;
using platform::DrawingContext;
using platform::Pixel;

namespace {

struct Difference {
    long count = 0;
    int first_x = -1, first_y = -1;
};

Difference compare(const Bitmap &a, const Bitmap &b) {
    Difference d;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) && d.count++ == 0) {
                d.first_x = x;
                d.first_y = y;
            }
    return d;
}

std::vector<fs::path> reference_cases() {
    std::vector<fs::path> cases;
    for (const auto &entry : fs::directory_iterator(fs::path(KANVO_TEST_DATA) / "reference"))
        if (entry.path().extension() == ".txt") cases.push_back(entry.path());
    std::sort(cases.begin(), cases.end());
    return cases;
}

void paint(const std::string &commands) {
    std::istringstream in(commands);
    std::string error;
    ASSERT_TRUE(paint_command_list(in, "test", &error)) << error;
}

// Pixels of the surface that are not white, as (x, y) pairs.
std::vector<std::pair<int, int>> painted_pixels() {
    std::vector<std::pair<int, int>> painted;
    for (int y = 0; y < surface_pixels().height(); ++y)
        for (int x = 0; x < surface_pixels().width(); ++x)
            if (surface_pixels().pixel(x, y) != platform::kWhite) painted.emplace_back(x, y);
    return painted;
}

bool all_pixels_are(const Bitmap &bitmap, Pixel p) {
    for (Pixel q : bitmap.pixels())
        if (q != p) return false;
    return true;
}

}  // namespace

TEST(ReferencePictures, EveryCaseIsPaintedWithoutADifferingPixel) {
    std::vector<fs::path> cases = reference_cases();
    ASSERT_GE(cases.size(), 14u);
    for (const fs::path &txt : cases) {
        SCOPED_TRACE(txt.filename().string());
        std::string error;
        ASSERT_TRUE(paint_command_file(txt.string(), &error)) << error;
        Bitmap expected;
        fs::path png = txt;
        png.replace_extension(".png");
        ASSERT_TRUE(platform::read_png(png.string(), &expected, &error)) << error;
        ASSERT_EQ(expected.width(), surface_pixels().width());
        ASSERT_EQ(expected.height(), surface_pixels().height());
        Difference d = compare(surface_pixels(), expected);
        EXPECT_EQ(d.count, 0) << "first differing pixel (" << d.first_x << ", " << d.first_y
                              << ")";
    }
}

TEST(CommandLists, BadLinesNameTheLineAndStop) {
    const char *bad[] = {"oval 1 0 1 2 3\n", "# ok\n\nline 0 0 0 0 5 5\n", "tri 24 0 1 2 3 4 5 6\n",
                         "rect 1 -1 0 0 1 1\n", "blob 1 2\n", "rect 1 0 0 0 1 1 extra\n",
                         "origin 1 99999999999\n", "fill 0 0 256\n", "clear now\n",
                         "poly 1 0 1 2 3 4\n", "poly 1 0 1 2 3 4 5 6 7\n", "poly #12345G 0 1 2 3 4 5 6\n",
                         "picture nowhere.png 0 0\n", "picture 0 0\n", "rect #FF00 0 0 0 1 1\n"};
    int expected_line[] = {1, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    for (size_t i = 0; i < sizeof bad / sizeof bad[0]; ++i) {
        std::istringstream in(bad[i]);
        std::string error;
        EXPECT_FALSE(paint_command_list(in, "case.txt", &error)) << bad[i];
        EXPECT_EQ(error.rfind("case.txt:" + std::to_string(expected_line[i]) + ": ", 0), 0u)
            << error;
    }
}

TEST(CommandLists, ColoursMayBeWrittenInHexAndStillEndALineWithAComment) {
    paint("rect #FF8000 0 0 0 1 -1 # a comment #ABCDEF\n"
          "poly #0000FF 0 10 0 20 0 20 -10\n");
    EXPECT_EQ(surface_pixels().pixel(300, 270), platform::rgb(255, 128, 0));
    EXPECT_EQ(surface_pixels().pixel(319, 271), platform::rgb(0, 0, 255));
    const auto &pixels = surface_pixels().pixels();
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), platform::rgb(255, 128, 0)), 4);
}

// A line far longer than the surface shows the same pixels as a shorter line on the
// same lattice (endpoints moved by whole periods of its slope), and costs no more.
TEST(FarCoordinates, LongLinesAreClippedWithoutChangingTheirPixels) {
    struct Case { int period_x, period_y, width; };
    for (Case c : {Case{20, 1, 1}, Case{-7, 3, 1}, Case{2, -9, 1}, Case{20, 1, 3}, Case{5, 5, 1}}) {
        SCOPED_TRACE(std::to_string(c.period_x) + "," + std::to_string(c.period_y));
        auto line = [&](long long periods) {
            std::ostringstream out;
            out << "line 0 " << c.width << ' ' << -periods * c.period_x << ' ' << -periods * c.period_y
                << ' ' << periods * c.period_x << ' ' << periods * c.period_y << '\n';
            return out.str();
        };
        paint(line(600));
        auto near = painted_pixels();
        long long far_periods = 2000000000LL / (std::abs(c.period_x) + std::abs(c.period_y));
        auto start = std::chrono::steady_clock::now();
        paint(line(far_periods));
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(painted_pixels(), near);
        EXPECT_FALSE(near.empty());
        EXPECT_LT(seconds, 0.5);
    }
}

// Any 32-bit numbers are safe and quick: huge shapes paint what falls on the surface.
TEST(FarCoordinates, HugeShapesAndWidthsPaintOnlyTheSurface) {
    auto start = std::chrono::steady_clock::now();
    paint("oval 4 0 -2147483648 2147483647 2147483647 -2147483648\n");
    EXPECT_TRUE(all_pixels_are(surface_pixels(), platform::rgb(0, 0, 255)));
    paint("line 2 2147483647 -2000000000 -2000000000 2000000000 2000000000\n");
    EXPECT_TRUE(all_pixels_are(surface_pixels(), platform::rgb(255, 0, 0)));
    paint("rect 3 2147483647 -5 5 5 -5\n");
    EXPECT_TRUE(all_pixels_are(surface_pixels(), platform::rgb(0, 255, 0)));
    paint("oval 6 2147483647 -30000 30000 30000 -30000\n");
    EXPECT_TRUE(all_pixels_are(surface_pixels(), platform::rgb(255, 0, 255)));
    paint("oval 7 60000 -30000 30000 30000 -30000\n");
    EXPECT_EQ(surface_pixels().pixel(0, 0), platform::rgb(0, 255, 255));
    EXPECT_EQ(surface_pixels().pixel(600, 539), platform::rgb(0, 255, 255));
    paint("tri 5 0 -2147483648 2147483647 2147483647 2147483647 0 -2147483648\n");
    EXPECT_EQ(surface_pixels().pixel(300, 270), platform::rgb(255, 255, 0));

    // Entirely off the surface: nothing changes.
    paint("oval 0 9 2000000000 2000000000 2147483647 1000000000\n"
          "rect 0 2147483647 -2147483648 2147483647 -2147483000 2147483000\n"
          "line 0 1 -2147483648 2147483647 2147483647 2147483647\n"
          "line 0 50 2147483647 -2147483648 2147483647 2147483647\n"
          "tri 0 7 2000000000 0 2100000000 5 2000000000 9\n");
    EXPECT_TRUE(painted_pixels().empty());

    // The whole ring of a huge outlined ellipse lies off the surface, its inside is kept.
    paint("oval 0 5 -2000000000 2000000000 2000000000 -2000000000\n");
    EXPECT_TRUE(painted_pixels().empty());
    // Origin far away too: pixel = origin + coordinate in 64 bits.
    paint("origin 2147483647 -2147483648\n"
          "rect 0 0 -2147483647 -2147483648 -2147483347 -2147483648\n");
    EXPECT_EQ(surface_pixels().pixel(0, 0), platform::kBlack);
    EXPECT_EQ(surface_pixels().pixel(300, 0), platform::kBlack);
    EXPECT_EQ(surface_pixels().pixel(301, 0), platform::kWhite);
    EXPECT_EQ(surface_pixels().pixel(0, 1), platform::kWhite);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 2.0);
}

TEST(Renderer, EveryCommandMarksTheSurfaceChangedAndIsCounted) {
    ensure_surface();
    std::string text = "Hi\nthere";
    DrawCommand commands[6];
    commands[0].kind = kind_triangle;
    commands[1].kind = kind_rectangle;
    commands[2].kind = kind_oval;
    commands[3].kind = kind_line;
    commands[3].width = 1;
    commands[4].kind = kind_text;
    commands[4].x2 = 12;
    commands[4].text = text.c_str();
    commands[5].kind = 4;  // no such kind: paints nothing, still counts
    uint64_t before = kanvo.surface.commands_rendered;
    for (const DrawCommand &c : commands) {
        kanvo.surface.surface_dirty = 0;
        render_command(c);
        EXPECT_EQ(kanvo.surface.surface_dirty, 1) << "kind " << c.kind;
    }
    EXPECT_EQ(kanvo.surface.commands_rendered, before + 6);
    kanvo.surface.surface_dirty = 0;
    clear_surface();
    EXPECT_EQ(kanvo.surface.surface_dirty, 1);
}

TEST(Renderer, DrawsBeforeOpenOnTheFullSizeSurface) {
    EXPECT_FALSE(kanvo.surface.surface_dc);
    DrawCommand dot;
    dot.kind = kind_rectangle;
    dot.color = 4;
    dot.x1 = dot.x2 = 3;
    dot.y1 = dot.y2 = 2;
    dot.x2 = 4;
    render_command(dot);
    ASSERT_NE(kanvo.surface.surface_bitmap, nullptr);
    EXPECT_EQ(surface_pixels().width(), kSurfaceWidth);
    EXPECT_EQ(surface_pixels().height(), kSurfaceHeight);
    EXPECT_EQ(kanvo.surface.surface_dc->target(), kanvo.surface.surface_bitmap.get());
    // Origin (0, 0) before the window reports its size: the box is columns 3-4, row -2.
    EXPECT_EQ(surface_pixels().pixel(3, 0), platform::kWhite);
    kanvo.windows.origin_x = 10;
    kanvo.windows.origin_y = 10;
    render_command(dot);
    EXPECT_EQ(surface_pixels().pixel(13, 8), platform::rgb(0, 0, 255));
    EXPECT_EQ(surface_pixels().pixel(14, 8), platform::rgb(0, 0, 255));
    EXPECT_EQ(surface_pixels().pixel(15, 8), platform::kWhite);
}

TEST(Renderer, ClearLeavesWhiteInsideAOnePixelBlackFrame) {
    ensure_surface();
    surface_pixels().fill(platform::rgb(1, 2, 3));
    clear_surface();
    const Bitmap &s = surface_pixels();
    for (int x = 0; x < s.width(); ++x) {
        EXPECT_EQ(s.pixel(x, 0), platform::kBlack);
        EXPECT_EQ(s.pixel(x, s.height() - 1), platform::kBlack);
    }
    for (int y = 0; y < s.height(); ++y) {
        EXPECT_EQ(s.pixel(0, y), platform::kBlack);
        EXPECT_EQ(s.pixel(s.width() - 1, y), platform::kBlack);
    }
    long white = 0;
    for (Pixel p : s.pixels()) white += p == platform::kWhite;
    EXPECT_EQ(white, long(s.width() - 2) * (s.height() - 2));
    // The context's own pen and brush are back in place.
    EXPECT_EQ(kanvo.surface.surface_dc->pen().width, 1);
    EXPECT_EQ(kanvo.surface.surface_dc->pen().color, platform::kBlack);
    EXPECT_FALSE(kanvo.surface.surface_dc->brush().hollow);
}

// A clear's rows wait for the commands after it (a filled box over them takes their
// place): random lists of clears, boxes of every size and place, shapes with pens and
// text must leave the pixels that painting each command in turn leaves.
TEST(Renderer, AWaitingClearEndsAsIfEveryCommandWerePaintedInTurn) {
    std::mt19937 random(20261208);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    // Mostly large boxes (a sky, a field), some tiny, reversed or off the surface.
    auto coordinate = [&](int reach) { return pick(0, 5) == 0 ? pick(-2000, 2000) : pick(-reach, reach); };
    const std::string text = "Kanvo\nrows";
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<DrawCommand> commands;
        std::vector<bool> clears;
        const int count = pick(1, 12);
        for (int i = 0; i < count; ++i) {
            DrawCommand c;
            const int kind = pick(0, 9);
            clears.push_back(kind <= 1);
            c.kind = kind <= 5 ? kind_rectangle : kind == 6 ? kind_triangle : kind == 7 ? kind_oval
                     : kind == 8 ? kind_line : kind_text;
            c.color = pick(0, 23);
            c.width = pick(0, 3) == 0 ? pick(1, 7) : 0;
            c.x1 = coordinate(320);
            c.y1 = coordinate(280);
            const bool tiny = pick(0, 6) == 0;
            c.x2 = tiny ? c.x1 + pick(-1, 1) : coordinate(320);
            c.y2 = tiny ? c.y1 + pick(-1, 1) : coordinate(280);
            c.x3 = coordinate(320);
            c.y3 = coordinate(280);
            if (c.kind == kind_text) {
                c.x2 = pick(8, 30);
                c.text = text.c_str();
            }
            commands.push_back(c);
        }
        const int origin_x = pick(0, 3) == 0 ? pick(-400, 900) : 292;
        const int origin_y = pick(0, 3) == 0 ? pick(-400, 900) : 240;
        auto paint_all = [&](bool settle_each) {
            surface_pixels().fill(platform::rgb(1, 2, 3));
            kanvo.windows.origin_x = origin_x;
            kanvo.windows.origin_y = origin_y;
            for (size_t i = 0; i < commands.size(); ++i) {
                if (clears[i])
                    clear_surface();
                else
                    render_command(commands[i]);
                if (settle_each) settle_surface();
            }
            return surface_pixels();
        };
        const Bitmap in_turn = paint_all(true);
        const Bitmap waiting = paint_all(false);
        const Difference d = compare(waiting, in_turn);
        ASSERT_EQ(d.count, 0) << "trial " << trial << ": first at " << d.first_x << "," << d.first_y;
    }
}

// Boxes in many rows split the waiting rows into more bands than are kept: all are then
// written, and the picture is the same.
TEST(Renderer, ManyWaitingBandsAreWrittenOut) {
    auto stripes = [](bool settle_each) {
        surface_pixels().fill(platform::rgb(1, 2, 3));
        kanvo.windows.origin_x = 292;
        kanvo.windows.origin_y = 240;
        clear_surface();
        for (int i = 0; i < 80; ++i) {
            DrawCommand stripe;
            stripe.kind = kind_rectangle;
            stripe.color = i % 24;
            stripe.x1 = -200 + i;
            stripe.x2 = 250 - i;
            stripe.y1 = 240 - 6 * i;
            stripe.y2 = stripe.y1 - 2;
            render_command(stripe);
            if (settle_each) settle_surface();
        }
        return surface_pixels();
    };
    const Bitmap in_turn = stripes(true);
    const Difference d = compare(stripes(false), in_turn);
    EXPECT_EQ(d.count, 0) << "first at " << d.first_x << "," << d.first_y;
    EXPECT_EQ(in_turn.pixel(300, 1), palette_pixel(0));    // the first stripe
    EXPECT_EQ(in_turn.pixel(300, 4), platform::kWhite);  // the clear between stripes
}

// Numbered pixels show exactly where each one went.
static Pixel number(int x, int y) { return 0xFF000000u | Pixel(y * 1000 + x); }

static Bitmap numbered(int w, int h) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.set_pixel(x, y, number(x, y));
    return b;
}

TEST(BlockCopies, CopyBitsClipsToBothBitmaps) {
    Bitmap source = numbered(10, 8), target(6, 5, platform::kWhite);
    DrawingContext from(&source), to(&target);
    int changes = 0;
    to.on_change = [&] { ++changes; };

    to.copy_bits(-2, 1, INT_MAX, INT_MAX, from, 3, -1);  // cut at every side
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            bool copied = y >= 2 && x + 5 < 10 && y - 2 < 8;
            Pixel expected = copied ? number(x + 5, y - 2) : platform::kWhite;
            EXPECT_EQ(target.pixel(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(changes, 1);

    // Nothing overlaps: nothing changes, whatever the numbers.
    Bitmap before = target;
    to.copy_bits(INT64_MAX - 5, 0, 4, 4, from, 0, 0);
    to.copy_bits(0, 0, 4, 4, from, INT64_MIN + 1, 0);
    to.copy_bits(0, 0, -3, INT_MIN, from, 0, 0);
    to.copy_bits(-4000000000LL, -4000000000LL, INT_MAX, INT_MAX, from, 0, 0);
    EXPECT_EQ(compare(target, before).count, 0);

    // Copying within one bitmap onto an overlapping place moves the block intact.
    Bitmap self = numbered(8, 8);
    DrawingContext dc(&self);
    dc.copy_bits(1, 2, 6, 5, dc, 0, 0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(self.pixel(x + 1, y + 2), number(x, y));
}

TEST(BlockCopies, ScrollMovesTheContentAndKeepsTheUncoveredPixels) {
    Bitmap b = numbered(7, 6);
    DrawingContext dc(&b);
    dc.scroll(2, -3);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x) {
            Pixel expected = (x >= 2 && y < 3) ? number(x - 2, y + 3) : number(x, y);
            EXPECT_EQ(b.pixel(x, y), expected) << x << "," << y;
        }
    Bitmap before = b;
    dc.scroll(7, 0);
    dc.scroll(0, -6);
    dc.scroll(INT_MIN, INT_MAX);
    EXPECT_EQ(compare(b, before).count, 0);
    dc.scroll(-1, 1);
    EXPECT_EQ(b.pixel(0, 1), before.pixel(1, 0));
    EXPECT_EQ(b.pixel(5, 5), before.pixel(6, 4));
}

TEST(PngFiles, PicturesSurviveARoundTripAndBadFilesAreRefused) {
    ScratchDirectory scratch;
    Bitmap picture = numbered(37, 21);
    std::string path = scratch.path("round.png"), error;
    ASSERT_TRUE(platform::write_png(path, picture, &error)) << error;
    Bitmap back;
    ASSERT_TRUE(platform::read_png(path, &back, &error)) << error;
    EXPECT_EQ(back.width(), 37);
    EXPECT_EQ(back.height(), 21);
    EXPECT_EQ(compare(back, picture).count, 0);

    // Cut short, garbage, missing: false with a reason, the bitmap as it was.
    std::ifstream whole(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    std::string cut = scratch.path("cut.png"), junk = scratch.path("junk.png");
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::ofstream(junk, std::ios::binary) << "not a picture at all";
    for (const std::string &bad : {cut, junk, scratch.path("missing.png")}) {
        Bitmap kept(2, 2, platform::kBlack);
        error.clear();
        EXPECT_FALSE(platform::read_png(bad, &kept, &error)) << bad;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(all_pixels_are(kept, platform::kBlack));
    }
    EXPECT_FALSE(platform::write_png("/nonexistent-dir/x.png", picture, &error));
    EXPECT_EQ(error, "No such file or directory");
}

std::string file_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Names in a directory, to see that no temporary file is left behind.
std::vector<std::string> names_in(const std::string &directory) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

#ifndef _WIN32  // needs a file size limit, modes and links
// The disk fills up halfway through the picture (a file size limit stands in for it):
// the old file stays whole, and the reason is the system's, once.
TEST(PngFiles, FailedWriteLeavesTheOldFileWhole) {
    ScratchDirectory scratch;
    const std::string path = scratch.path("picture.png");
    std::ofstream(path) << "the old picture";
    EXPECT_EXIT(
        {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit {};
            limit.rlim_cur = limit.rlim_max = 2000;
            setrlimit(RLIMIT_FSIZE, &limit);
            std::string error;
            const bool written = platform::write_png(path, numbered(601, 540), &error);
            std::fprintf(stderr, "[%s]", error.c_str());
            std::exit(written ? 0 : 3);
        },
        testing::ExitedWithCode(3), "^\\[File too large\\]$");
    EXPECT_EQ(file_bytes(path), "the old picture");
    EXPECT_EQ(names_in(scratch.path()), std::vector<std::string>{"picture.png"});

    // Written whole, it replaces the old file, keeping its mode, and through a link the
    // file the link leads to.
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(symlink(path.c_str(), scratch.path("link.png").c_str()), 0);
    std::string error;
    ASSERT_TRUE(platform::write_png(scratch.path("link.png"), numbered(30, 20), &error)) << error;
    Bitmap back;
    ASSERT_TRUE(platform::read_png(path, &back, &error)) << error;
    EXPECT_EQ(compare(back, numbered(30, 20)).count, 0);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(names_in(scratch.path()), (std::vector<std::string>{"link.png", "picture.png"}));
}
#endif

// A filled shape whose one-pixel pen has the brush's colour takes a shortcut (one span
// per row); it must paint exactly what the pen's outline and the brush's inside paint
// when their colours differ, once the outline's colour is read as the inside's. Every
// small size is tried at three places, inside and over the picture's edges; larger ones,
// up to the biggest ellipse the shortcut takes, sparsely at one place.
TEST(FilledShapes, MatchingPenShortcutPaintsWhatOutlinePlusInsidePaint) {
    const Pixel pen = platform::rgb(255, 0, 0), inside = platform::rgb(0, 0, 255);
    struct Shape {
        bool ellipse;
        int64_t left, top;
        int w, h;
    };
    auto paint = [&](const Shape &s, Pixel pen_color, int picture_width, int picture_height) {
        Bitmap picture(picture_width, picture_height);
        DrawingContext dc(&picture);
        dc.select_pen({1, pen_color});
        dc.select_brush({false, inside});
        if (s.ellipse)
            dc.ellipse(s.left, s.top, s.left + s.w, s.top + s.h);
        else
            dc.rectangle(s.left, s.top, s.left + s.w, s.top + s.h);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (picture.pixel(x, y) == pen) picture.set_pixel(x, y, inside);
        return picture;
    };
    auto shortcut_matches = [&](const Shape &s, int picture_width,
                                int picture_height) -> testing::AssertionResult {
        if (paint(s, inside, picture_width, picture_height).pixels() ==
            paint(s, pen, picture_width, picture_height).pixels())
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << (s.ellipse ? "ellipse " : "rectangle ") << s.w
                                           << "x" << s.h << " at " << s.left << "," << s.top;
    };
    for (bool ellipse : {false, true}) {
        for (int w = 1; w <= 70; w += (w < 12 ? 1 : 5)) {
            for (int h = 1; h <= 70; h += (h < 12 ? 1 : 7)) {
                for (auto [left, top] : {std::pair<int64_t, int64_t>{10, 8}, {-w / 2, -h / 3},
                                         {120 - w / 2, 90 - h / 2}})
                    ASSERT_TRUE(shortcut_matches({ellipse, left, top, w, h}, 120, 90));
            }
        }
    }
    std::vector<int> large;
    for (int size = 70; size < 512; size += 37) large.push_back(size);
    large.push_back(512);
    for (int w : large)
        for (int h : large) ASSERT_TRUE(shortcut_matches({true, 5, 4, w, h}, 520, 520));
}

// The command-line tool the README offers for checking the renderer by hand.
TEST(RenderTool, WritesTheReferencePictureAndRefusesWhatItCannotPaint) {
    ScratchDirectory scratch;
    const std::string reference = std::string(KANVO_TEST_DATA) + "/reference/triangles_filled";
    auto run = [&](const std::string &arguments) {
        return run_program(KANVO_RENDER, arguments + " 2>" + kNullDevice);
    };

    ASSERT_EQ(run(reference + ".txt " + scratch.path("out.png")), 0);
    Bitmap painted, expected;
    ASSERT_TRUE(platform::read_png(scratch.path("out.png"), &painted));
    ASSERT_TRUE(platform::read_png(reference + ".png", &expected));
    EXPECT_EQ(compare(painted, expected).count, 0);

    EXPECT_EQ(run(""), 2) << "usage";
    std::ofstream(scratch.path("bad.txt")) << "rect 1 0 0 0 0 0\noval 99 0 1 2 3 4\n";
    EXPECT_EQ(run(scratch.path("bad.txt") + " " + scratch.path("bad.png")), 1);
    EXPECT_EQ(run(reference + ".txt " + scratch.path("no/such/dir/out.png")), 1);
}

#ifndef _WIN32  // needs fopencookie, /dev/zero and a POSIX shell
// Reads a few lines, then fails as a disk would.
ssize_t failing_read(void *cookie, char *buffer, size_t size) {
    auto *left = static_cast<std::string *>(cookie);
    if (left->empty()) {
        errno = EIO;
        return -1;
    }
    const size_t n = std::min(size, left->size());
    std::memcpy(buffer, left->data(), n);
    left->erase(0, n);
    return ssize_t(n);
}

TEST(RenderTool, ReadErrorInTheMiddleIsAnErrorNotTheEnd) {
    std::string text = "clear\nrect 1 0 0 0 10 10\n";
    cookie_io_functions_t functions{failing_read, nullptr, nullptr, nullptr};
    FILE *file = fopencookie(&text, "r", functions);
    ASSERT_NE(file, nullptr);
    std::string error;
    EXPECT_FALSE(paint_command_stream(file, "case.txt", &error));
    EXPECT_EQ(error, "case.txt:3: read error: Input/output error");
    std::fclose(file);
}

TEST(RenderTool, UnusableInputIsRefusedClearly) {
    ScratchDirectory scratch;
    const std::string tool = std::string(KANVO_BINARY_DIR) + "/tools/kanvo-render";
    std::string errors;
    auto run = [&](const std::string &input, const std::string &text = "") {
        if (!text.empty()) std::ofstream(scratch.path("in.txt"), std::ios::binary) << text;
        const std::string err = scratch.path("err.txt");
        const std::string command = tool + " " + input + " " + scratch.path("out.png") + " 2>" + err;
        const int status = std::system(command.c_str());
        errors = file_bytes(err);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string list = scratch.path("in.txt");

    EXPECT_EQ(run("/dev/zero"), 1) << "a line that never ends is refused, memory stays small";
    EXPECT_EQ(errors, "kanvo-render: /dev/zero:1: line longer than 4096 characters\n");
    EXPECT_EQ(run(scratch.path()), 1);
    EXPECT_EQ(errors, "kanvo-render: " + scratch.path() + " is a directory, not a command list\n");
    EXPECT_EQ(run(list, "clear\nline 0 1 0 0 2147483648 5\n"), 1);
    EXPECT_EQ(errors, "kanvo-render: " + list + ":2: 2147483648 is out of range\n");
    EXPECT_EQ(run(list, "fill 0 0 256\n"), 1);
    EXPECT_EQ(errors, "kanvo-render: " + list + ":1: 256 is out of range\n");
    EXPECT_EQ(run(list, "\x1b]0;owned\x07\x01\xff 1 2\n"), 1);
    EXPECT_EQ(errors, "kanvo-render: " + list + ":1: unknown command '\\x1B]0;owned\\x07\\x01\\xFF'\n");
    EXPECT_EQ(run(list, std::string(100, 'z') + "\n"), 1);
    EXPECT_EQ(errors, "kanvo-render: " + list + ":1: unknown command '" + std::string(32, 'z') + "...'\n");

    // A comment after a command is a comment.
    EXPECT_EQ(run(list, "clear # start white\nrect 2 0 -10 10 10 -10 # a red square\n"), 0) << errors;
    Bitmap painted;
    ASSERT_TRUE(platform::read_png(scratch.path("out.png"), &painted));
    EXPECT_EQ(painted.pixel(300, 270), platform::rgb(255, 0, 0));

    // The disk fills up: the old picture stays, the reason is given once.
    const std::string limited = "sh -c 'trap \"\" XFSZ; ulimit -f 2; exec " + tool + " " + list + " " +
                                scratch.path("out.png") + "' 2>" + scratch.path("err.txt");
    std::ofstream(list) << file_bytes(std::string(KANVO_TEST_DATA) + "/reference/triangles_filled.txt");
    const std::string before = file_bytes(scratch.path("out.png"));
    const int status = std::system(limited.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    EXPECT_EQ(file_bytes(scratch.path("err.txt")),
              "kanvo-render: cannot write " + scratch.path("out.png") + ": File too large\n");
    EXPECT_EQ(file_bytes(scratch.path("out.png")), before);
}
#endif

// Triangles fill by their own path; a polygon of four corners, the last one repeated, has
// the same edges and takes the general path. Random small triangles (the landscape's
// stars, icicles and petals), flat and pointed ones, over every edge of the picture, and
// a few large ones must paint the same pixels both ways, with an outline of another
// colour and with one of the brush's (then fill and outline are written together).
TEST(FilledShapes, TrianglesPaintWhatTheGeneralPolygonPaints) {
    const Pixel inside = platform::rgb(0, 0, 255);
    std::mt19937 random(14);
    auto coordinate = [&](int spread) { return int64_t(random() % (2 * spread + 1)) - spread; };
    Pixel outline = platform::kWhite;
    auto fill = [&](const platform::Point *corners, int count) {
        Bitmap picture(64, 48);
        DrawingContext dc(&picture);
        dc.select_pen({1, outline});
        dc.select_brush({false, inside});
        dc.polygon(corners, count);
        return picture;
    };
    for (int i = 0; i < 40000; ++i) {
        outline = i < 20000 ? platform::kWhite : inside;
        const int spread = i % 20000 < 19000 ? 12 : 200;
        const int64_t cx = coordinate(40) + 32, cy = coordinate(30) + 24;
        platform::Point corners[4];
        for (int k = 0; k < 3; ++k) corners[k] = {cx + coordinate(spread), cy + coordinate(spread)};
        if (i % 5 == 0) corners[2].y = corners[1].y;  // a flat top or bottom
        corners[3] = corners[2];
        Bitmap fast = fill(corners, 3), general = fill(corners, 4);
        Difference d = compare(fast, general);
        ASSERT_EQ(d.count, 0) << "triangle (" << corners[0].x << "," << corners[0].y << ") ("
                              << corners[1].x << "," << corners[1].y << ") (" << corners[2].x
                              << "," << corners[2].y << "), outline "
                              << (outline == inside ? "as the brush" : "white") << ", first at ("
                              << d.first_x << ", "
                              << d.first_y << ")";
    }
}

// A context keeps small repeated shapes as stamps; a shape painted from its stamp must
// paint what it paints afresh, wherever it lies: over every edge of the picture, far off
// it, at the largest offsets a stamp takes and just past them, shrunk to a point, with
// every pen width up to the widest stamped and beyond. Shapes come from a pool larger than the cache, so slots
// are given up and built again while the picture is painted.
TEST(Stamps, RepeatedShapesPaintWhatFreshShapesPaint) {
    std::mt19937 random(23);
    auto pick = [&](int low, int high) { return int64_t(low) + int64_t(random() % uint32_t(high - low + 1)); };
    struct Shape {
        bool triangle;
        int pen;
        platform::Point offsets[2];
    };
    std::vector<Shape> pool;
    for (int i = 0; i < 1500; ++i) {
        const int spread = i % 10 == 0 ? 66 : 8;
        Shape shape{i % 2 == 0, int(pick(2, 23)), {{pick(-spread, spread), pick(-spread, spread)},
                                                    {pick(-spread, spread), pick(-spread, spread)}}};
        if (i % 50 == 1) shape.offsets[0] = {63, -63};
        if (i < 4) shape.offsets[0] = shape.offsets[1] = {0, 0};  // a point: all corners, both ends
        pool.push_back(shape);
    }
    Bitmap stamped(160, 120, platform::kWhite), fresh(160, 120, platform::kWhite);
    DrawingContext with_stamps(&stamped), without(&fresh);
    without.keep_stamps(false);
    auto paint = [](DrawingContext &dc, const Shape &shape, platform::Point at, Pixel color) {
        if (shape.triangle) {
            dc.select_pen({1, color});
            dc.select_brush({false, color});
            const platform::Point corners[3] = {at, {at.x + shape.offsets[0].x, at.y + shape.offsets[0].y},
                                                {at.x + shape.offsets[1].x, at.y + shape.offsets[1].y}};
            dc.polygon(corners, 3);
        } else {
            dc.select_pen({shape.pen, color});
            dc.move_to(at.x, at.y);
            dc.line_to(at.x + shape.offsets[0].x, at.y + shape.offsets[0].y);
        }
    };
    for (int i = 0; i < 60000; ++i) {
        const Shape &shape = pool[size_t(i % 7 == 0 ? pick(0, 1499) : pick(0, 29))];
        platform::Point at{pick(-30, 190), pick(-30, 150)};
        if (i % 997 == 0) at = {int64_t(1) << 40, -(int64_t(1) << 39)};
        const Pixel color = platform::rgb(uint8_t(i), uint8_t(i >> 8), uint8_t(i >> 16));
        paint(with_stamps, shape, at, color);
        paint(without, shape, at, color);
        if (i % 1000 == 999 || i < 200) {
            const Difference d = compare(stamped, fresh);
            ASSERT_EQ(d.count, 0) << "after shape " << i << (shape.triangle ? ", a triangle" : ", a line")
                                  << " at " << at.x << "," << at.y << ": first at (" << d.first_x << ", "
                                  << d.first_y << ")";
        }
    }
}

// The cache notes a shape at its first sighting and builds its stamp at the second; a
// stamp in use keeps its slot against a few sightings of another shape with the same slot.
TEST(Stamps, AStampIsBuiltAtTheSecondSightingAndKeptWhileInUse) {
    platform::StampCache cache;
    int painted = 0;
    auto square = [&](Bitmap &scratch, int64_t x, int64_t y) {
        ++painted;
        for (int64_t row = y - 1; row <= y + 2; ++row)
            for (int64_t column = x - 2; column < x + 3; ++column)
                scratch.set_pixel(int(column), int(row), platform::StampCache::kInk);
    };
    const int64_t offsets[2] = {3, 2};
    const uint64_t key = platform::StampCache::key(platform::StampShape::solid_triangle, 1, offsets, 2);
    ASSERT_NE(key, 0u);
    EXPECT_EQ(cache.find(key, square), nullptr);
    const platform::Stamp *stamp = cache.find(key, square);
    ASSERT_NE(stamp, nullptr);
    EXPECT_EQ(painted, 1);
    ASSERT_EQ(stamp->runs.size(), 4u);
    EXPECT_EQ(stamp->runs[0].dy, -1);
    EXPECT_EQ(stamp->runs[0].x0, -2);
    EXPECT_EQ(stamp->runs[0].x1, 3);
    EXPECT_EQ(stamp->top, -1);
    EXPECT_EQ(stamp->bottom, 3);
    EXPECT_EQ(cache.find(key, square), stamp);
    EXPECT_EQ(painted, 1);

    const int64_t too_far[2] = {64, 0};
    EXPECT_EQ(platform::StampCache::key(platform::StampShape::solid_triangle, 1, too_far, 2), 0u);
    EXPECT_EQ(platform::StampCache::key(platform::StampShape::wide_line, 22, offsets, 2), 0u);

    // A shape with the same slot: one sighting of it takes the slot of a stamp not yet
    // used (so the stamp is gone at the next look).
    auto shares_slot = [&](uint64_t other) {
        platform::StampCache probe;
        probe.find(key, square);
        probe.find(key, square);
        probe.find(other, square);
        return probe.find(key, square) == nullptr;
    };
    uint64_t rival = 0;
    for (int64_t dx = -60; dx <= 60 && !rival; ++dx) {
        for (int64_t dy = -60; dy <= 60 && !rival; ++dy) {
            const int64_t other[2] = {dx, dy};
            const uint64_t candidate = platform::StampCache::key(platform::StampShape::wide_line, 2, other, 2);
            if (shares_slot(candidate)) rival = candidate;
        }
    }
    ASSERT_NE(rival, 0u);
    // The stamp has been used twice more by now: as many sightings of the rival go by.
    EXPECT_EQ(cache.find(key, square), stamp);
    EXPECT_EQ(cache.find(rival, square), nullptr);
    EXPECT_EQ(cache.find(rival, square), nullptr);
    EXPECT_EQ(cache.find(key, square), stamp);
    EXPECT_EQ(cache.find(rival, square), nullptr);  // the stamp's last use goes
    EXPECT_EQ(cache.find(rival, square), nullptr);  // the rival is noted
    EXPECT_NE(cache.find(rival, square), nullptr);  // and built
    EXPECT_EQ(cache.find(key, square), nullptr);
}

// Every store width the processor has writes exactly the run it is given: all lengths
// around the widths' steps at every offset within a cache line, with the pixels on
// either side kept, boxes as wide as the bitmap and nearly so, and every reference
// picture.
TEST(Spans, EveryStoreWidthWritesExactlyItsRuns) {
    const int widest = platform::span_store_bytes();
    EXPECT_TRUE(platform::use_span_stores(4));
    EXPECT_TRUE(platform::use_span_stores(widest));
    EXPECT_FALSE(platform::use_span_stores(8));
    int tried = 0;
    for (int bytes : {4, 16, 32, 64}) {
        if (!platform::use_span_stores(bytes)) continue;
        ++tried;
        SCOPED_TRACE(bytes);
        Bitmap picture(300, 4, platform::kBlack);
        DrawingContext dc(&picture);
        const Pixel color = platform::rgb(1, 2, 3);
        for (int start = 0; start < 17; ++start)
            for (int count = 0; count < 140; ++count) {
                dc.fill_rect(0, 1, 300, 2, platform::kBlack);
                dc.fill_rect(start, 1, start + count, 2, color);
                for (int x = 0; x < 300; ++x)
                    ASSERT_EQ(picture.pixel(x, 1), x >= start && x < start + count ? color : platform::kBlack)
                        << "run of " << count << " from " << start << ", pixel " << x;
            }
        // Whole rows, one long run, and a box one pixel narrower on either side.
        Bitmap surface(601, 540, platform::kBlack);
        DrawingContext sdc(&surface);
        sdc.fill_rect(0, 0, 601, 540, color);
        EXPECT_TRUE(all_pixels_are(surface, color));
        sdc.fill_rect(1, 0, 600, 540, platform::kWhite);
        for (int y = 0; y < 540; ++y) {
            ASSERT_EQ(surface.pixel(0, y), color);
            ASSERT_EQ(surface.pixel(1, y), platform::kWhite);
            ASSERT_EQ(surface.pixel(599, y), platform::kWhite);
            ASSERT_EQ(surface.pixel(600, y), color);
        }
        // After a fill at the bottom the next box goes up, whole-width ones in bands.
        const Pixel other = platform::rgb(4, 5, 6);
        sdc.fill_rect(10, 530, 20, 540, platform::kBlack);
        sdc.fill_rect(0, 3, 601, 539, other);
        for (int y = 0; y < 540; ++y)
            for (int x : {0, 1, 300, 600})
                ASSERT_EQ(surface.pixel(x, y), y < 3 || y == 539 ? (x == 0 || x == 600 ? color : platform::kWhite) : other)
                    << x << "," << y;
        for (const fs::path &txt : reference_cases()) {
            std::string error;
            ASSERT_TRUE(paint_command_file(txt.string(), &error)) << error;
            Bitmap expected;
            fs::path png = txt;
            ASSERT_TRUE(platform::read_png(png.replace_extension(".png").string(), &expected, &error));
            EXPECT_EQ(compare(surface_pixels(), expected).count, 0) << txt.filename().string();
        }
    }
    EXPECT_GE(tried, 2);
    platform::use_span_stores(widest);
}

// Rows are compared in blocks of eight pixels: a difference in any lane of a block, in
// the scalar rest, or at either end must be found, and the span must be exact.
TEST(PixelChanges, TheChangedSpanIsExactWhereverTheRowsDiffer) {
    for (const int count : {0, 1, 7, 8, 9, 15, 16, 17, 31, 585}) {
        std::vector<Pixel> a(size_t(count) + 1, 0x00336699u), b = a;
        const platform::Span none = platform::changed_span(a.data(), b.data(), count);
        EXPECT_TRUE(none.empty()) << count;
        for (int first = 0; first < count; ++first) {
            for (const int last : {first, (first + count - 1) / 2, count - 1}) {
                if (last < first) continue;
                b = a;
                b[size_t(first)] ^= 0x00010000u;
                b[size_t(last)] ^= 0x00000001u;
                b[size_t(count)] ^= 0xFFu;  // past the end: never looked at
                const platform::Span span = platform::changed_span(a.data(), b.data(), count);
                ASSERT_EQ(span.first, first) << count << " " << first << " " << last;
                ASSERT_EQ(span.last, last + 1) << count << " " << first << " " << last;
            }
        }
    }
}

// Copying what changed leaves the target equal to the source inside the area and untouched
// outside it, and reports the smallest rectangle around the pixels it wrote.
TEST(PixelChanges, CopyingWhatChangedWritesOnlyThoseAndSaysWhere) {
    std::mt19937 random{11};
    for (const int width : {1, 9, 585}) {
        const int height = width == 585 ? 481 : 6;
        Bitmap from(width, height, 0x123456), to(width, height, 0x123456);
        for (int round = 0; round < 30; ++round) {
            const platform::Rect area = round % 3 == 0
                ? platform::Rect{0, 0, width, height}
                : platform::Rect{int(random() % unsigned(width)), int(random() % unsigned(height)),
                                 width, height};
            for (int i = 0; i < round % 6; ++i) {
                const int x = int(random() % unsigned(width)), y = int(random() % unsigned(height));
                from.set_pixel(x, y, from.pixel(x, y) + 0x010101u * unsigned(i + 1));
            }
            // Changes outside earlier rounds' areas are still waiting to be taken.
            int left = width, top = height, right = 0, bottom = 0;
            for (int y = area.top; y < height; ++y)
                for (int x = area.left; x < width; ++x)
                    if (from.pixel(x, y) != to.pixel(x, y)) {
                        left = std::min(left, x), right = std::max(right, x + 1);
                        top = std::min(top, y), bottom = std::max(bottom, y + 1);
                    }
            const Bitmap before = to;
            const platform::Rect r = platform::copy_changed_pixels(to, from, area);
            if (right == 0) {
                EXPECT_TRUE(platform::is_empty(r)) << "round " << round;
            } else {
                EXPECT_EQ(r.left, left) << "round " << round;
                EXPECT_EQ(r.top, top) << "round " << round;
                EXPECT_EQ(r.right, right) << "round " << round;
                EXPECT_EQ(r.bottom, bottom) << "round " << round;
            }
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const bool inside = x >= area.left && y >= area.top;
                    ASSERT_EQ(to.pixel(x, y), inside ? from.pixel(x, y) : before.pixel(x, y))
                        << x << "," << y << " round " << round;
                }
        }
    }
    // Bitmaps of different sizes share their top-left block; areas past either are cut.
    Bitmap small(3, 2, 0xFF0000), large(8, 5, 0x00FF00);
    const platform::Rect r = platform::copy_changed_pixels(large, small, platform::Rect{-4, -4, 100, 100});
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 3);
    EXPECT_EQ(r.bottom, 2);
    EXPECT_EQ(large.pixel(2, 1), 0xFF0000u);
    EXPECT_EQ(large.pixel(3, 1), 0x00FF00u);
    EXPECT_EQ(large.pixel(2, 2), 0x00FF00u);
}

// The browser's canvas receives only the rectangle each present reports: a canvas kept that
// way must hold every frame exactly, whatever changed and wherever.
TEST(ShownFrames, ACanvasSentOnlyTheChangedRectangleHoldsEveryFrame) {
    for (const int width : {1, 7, 585}) {
        const int height = width == 585 ? 481 : 5;
        Bitmap frame(width, height, 0x123456);
        platform::ShownFrame shown;
        std::vector<uint8_t> canvas(size_t(width) * size_t(height) * 4, 0);
        auto send = [&](const platform::Rect &r) {
            for (int y = r.top; y < r.bottom; ++y)
                std::memcpy(&canvas[(size_t(y) * size_t(width) + size_t(r.left)) * 4],
                            shown.rgba() + (size_t(y) * size_t(width) + size_t(r.left)) * 4,
                            size_t(r.right - r.left) * 4);
        };
        auto expect_canvas_holds_frame = [&] {
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const Pixel p = frame.pixel(x, y);
                    const uint8_t *c = &canvas[(size_t(y) * size_t(width) + size_t(x)) * 4];
                    ASSERT_EQ(c[0], (p >> 16) & 0xFF) << x << "," << y;
                    ASSERT_EQ(c[1], (p >> 8) & 0xFF) << x << "," << y;
                    ASSERT_EQ(c[2], p & 0xFF) << x << "," << y;
                    ASSERT_EQ(c[3], 255);
                }
        };
        platform::Rect r = shown.update(frame);
        EXPECT_EQ(r.right - r.left, width);
        EXPECT_EQ(r.bottom - r.top, height);
        send(r);
        expect_canvas_holds_frame();

        std::mt19937 random{unsigned(width)};
        for (int round = 0; round < 40; ++round) {
            // A few pixels anywhere, the corners and edges among them; some rounds none.
            int left = width, top = height, right = 0, bottom = 0;
            const int edits = round % 5;
            for (int i = 0; i < edits; ++i) {
                int x = int(random() % unsigned(width));
                int y = int(random() % unsigned(height));
                if (round % 7 == 1) x = i % 2 ? width - 1 : 0;
                if (round % 7 == 2) y = i % 2 ? height - 1 : 0;
                const Pixel old = frame.pixel(x, y);
                frame.set_pixel(x, y, (old + 0x010203u * unsigned(i + 1)) & 0xFFFFFFu);
                left = std::min(left, x), right = std::max(right, x + 1);
                top = std::min(top, y), bottom = std::max(bottom, y + 1);
            }
            r = shown.update(frame);
            if (edits == 0) {
                EXPECT_TRUE(r.right <= r.left || r.bottom <= r.top) << "round " << round;
            } else {  // exactly the pixels that changed: a game's frame sends a few bytes
                EXPECT_EQ(r.left, left) << "round " << round;
                EXPECT_EQ(r.top, top) << "round " << round;
                EXPECT_EQ(r.right, right) << "round " << round;
                EXPECT_EQ(r.bottom, bottom) << "round " << round;
            }
            send(r);
            expect_canvas_holds_frame();
        }

        // A frame repainted whole with the same pixels sends nothing; a made-again canvas
        // (blank) and a new size get everything.
        Bitmap same = frame;
        r = shown.update(same);
        EXPECT_TRUE(r.right <= r.left || r.bottom <= r.top);
        shown.forget();
        std::fill(canvas.begin(), canvas.end(), 0);
        r = shown.update(frame);
        send(r);
        expect_canvas_holds_frame();
        frame.reset(width + 1, height, 0xABCDEF);
        r = shown.update(frame);
        EXPECT_EQ(r.right, width + 1);
        EXPECT_EQ(r.bottom, height);
        EXPECT_EQ(shown.rgba()[0], 0xAB);
        EXPECT_EQ(shown.rgba()[2], 0xEF);
    }
}

// Told where the frame may have changed, the copy compares only there: a change outside
// is neither reported nor taken until an update that covers it.
TEST(ShownFrames, OnlyThePartSaidToHaveChangedIsCompared) {
    Bitmap frame(40, 30, 0x101010);
    platform::ShownFrame shown;
    shown.update(frame);
    frame.set_pixel(5, 5, 0x202020);
    frame.set_pixel(30, 20, 0x303030);
    platform::Rect r = shown.update(frame, platform::Rect{0, 0, 10, 10});
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 5);
    EXPECT_EQ(r.right, 6);
    EXPECT_EQ(r.bottom, 6);
    EXPECT_EQ(shown.rgba()[(20 * 40 + 30) * 4], 0x10);  // outside: still the old pixel
    EXPECT_TRUE(platform::is_empty(shown.update(frame, platform::Rect{})));
    // An area past the frame's edges is cut to them.
    r = shown.update(frame, platform::Rect{-5, 15, 1000, 1000});
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 31);
    EXPECT_EQ(r.bottom, 21);
    EXPECT_EQ(shown.rgba()[(20 * 40 + 30) * 4], 0x30);
    // A frame of a new size is taken whole, whatever the area.
    frame.reset(41, 30, 0x404040);
    r = shown.update(frame, platform::Rect{0, 0, 1, 1});
    EXPECT_EQ(r.right, 41);
    EXPECT_EQ(r.bottom, 30);
}
