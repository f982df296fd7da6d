// The drawing calls as a user sees them: the messages in the text window, in order, with
// the corrected values, and the shapes on the drawing surface. Before KANVO_open the
// origin is the surface's pixel (0, 0), so library (x, y) is pixel (x, -y) here.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "support/core_helpers.h"
#include "testing.h"

namespace {

using Messages = std::vector<std::string>;
constexpr platform::Pixel kBluePixel = platform::rgb(0, 0, 255);
constexpr platform::Pixel kRedPixel = platform::rgb(255, 0, 0);

// The surface inside its one-pixel frame.
InkBox drawn_box() { return ink_box(surface_pixels(), 1, 1, kSurfaceWidth - 1, kSurfaceHeight - 1); }

void expect_box(const InkBox &box, int left, int top, int right, int bottom) {
    EXPECT_EQ(box.left, left);
    EXPECT_EQ(box.top, top);
    EXPECT_EQ(box.right, right);
    EXPECT_EQ(box.bottom, bottom);
}

Messages messages_since(size_t count) {
    Messages all = log_lines();
    return Messages(all.begin() + ptrdiff_t(std::min(count, all.size())), all.end());
}

TEST(DrawingCalls, CircleCorrectsItsRadiusAndIsDrawnAroundItsCentre) {
    EXPECT_EQ(KANVO_clear(), 1);
    EXPECT_EQ(KANVO_circle(KANVO_BLUE, 100, -100, -5), 1);
    EXPECT_EQ(log_lines(), (Messages{"Clearing the graphics window\n",
                                           "Radius of -5 not possible, using radius 5\n",
                                           "blue circle at (100,-100), radius 5\n"}));
    expect_box(drawn_box(), 95, 95, 105, 105);
    EXPECT_EQ(surface_pixels().pixel(100, 100), kBluePixel);

    KANVO_clear();
    size_t before = log_lines().size();
    KANVO_circle(-3, 200, -200, 0);
    EXPECT_EQ(messages_since(before), (Messages{"Illegal color -3; using RED.\n",
                                                "red circle at (200,-200), radius 0\n"}));
    // The box is the centre pixel alone, which the platform's ellipse leaves (at most)
    // that pixel.
    const InkBox dot = drawn_box();
    if (!dot.empty()) expect_box(dot, 200, 200, 200, 200);
}

TEST(DrawingCalls, RectangleCornersAreSortedWhateverTheOrderGiven) {
    KANVO_rectangle(KANVO_BLUE, 110, -90, 90, -110, 0);
    const platform::Bitmap first = surface_pixels();
    KANVO_clear();
    KANVO_rectangle(KANVO_BLUE, 90, -110, 110, -90, 0);
    KANVO_rectangle(KANVO_GREEN, 300, -200, 250, -150, 2);

    const Messages expected = {
        "blue rectangle with bounding box (90,-90) to (110,-110), filled\n",
        "Clearing the graphics window\n",
        "blue rectangle with bounding box (90,-90) to (110,-110), filled\n",
        "green rectangle with bounding box (250,-150) to (300,-200) with line width 2\n",
    };
    EXPECT_EQ(log_lines(), expected);
    expect_box(ink_box(first, 1, 1, 300, 300), 90, 90, 110, 110);
    expect_box(ink_box(surface_pixels(), 1, 1, 200, 200), 90, 90, 110, 110);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(surface_pixels().pixel(x + 1, y + 1), first.pixel(x + 1, y + 1));
}

TEST(DrawingCalls, EachCallAnnouncesItsCorrectionsInItsOwnOrder) {
    KANVO_rectangle(30, 10, -10, -10, 10, -2);
    KANVO_oval(30, -10, 10, 10, -10, -2);
    KANVO_triangle(30, 1, 2, 3, 4, 5, 6, -2);
    KANVO_line(30, 1, 2, 3, 4, -2);
    KANVO_oval(KANVO_CHALK, 0, 0, 4, 4, 0);
    const Messages expected = {
        "Illegal color 30; using RED.\n",
        "Width of -2 not possible, using width 2\n",
        "red rectangle with bounding box (-10,10) to (10,-10) with line width 2\n",
        "Width of -2 not possible, using width 2\n",
        "Illegal color 30; using RED.\n",
        "red oval with bounding box (-10,10) to (10,-10), line width 2\n",
        "Illegal color 30; using RED.\n",
        "Width of -2 not possible, using width 2\n",
        "red triangle at (1,2), (3,4), (5,6)\n",
        "Width of -2 not possible, using width 2\n",
        "Illegal color 30; using RED.\n",
        "red line from (1,2) to (3,4), width 2\n",
        "chalk oval with bounding box (0,4) to (4,0), filled\n",
    };
    EXPECT_EQ(log_lines(), expected);
}

TEST(DrawingCalls, LineOfWidthZeroIsLoggedAsZeroAndDrawnOnePixelWide) {
    KANVO_clear();
    KANVO_line(KANVO_BLUE, 10, -50, 20, -50, 0);
    EXPECT_EQ(log_lines().back(), "blue line from (10,-50) to (20,-50), width 0\n");
    expect_box(drawn_box(), 10, 50, 19, 50);  // the end pixel is not painted

    KANVO_clear();
    KANVO_line(KANVO_BLUE, 100, -50, 140, -50, -3);
    const Messages tail = messages_since(log_lines().size() - 2);
    EXPECT_EQ(tail, (Messages{"Width of -3 not possible, using width 3\n",
                              "blue line from (100,-50) to (140,-50), width 3\n"}));
    const InkBox box = drawn_box();
    EXPECT_EQ(box.top, 49);
    EXPECT_EQ(box.bottom, 51);
}

TEST(DrawingCalls, LoggingOffKeepsCorrectionsButDropsDescriptions) {
    kanvo.events.logging_on = 0;
    EXPECT_EQ(KANVO_clear(), 1);
    EXPECT_TRUE(log_lines().empty());
    KANVO_rectangle(99, 50, -50, 60, -60, -1);
    KANVO_circle(KANVO_BLUE, 200, -200, 4);
    KANVO_text(KANVO_BLACK, 10, -10, -5, "x");
    EXPECT_EQ(log_lines(), (Messages{"Illegal color 99; using RED.\n",
                                           "Width of -1 not possible, using width 1\n",
                                           "ptsize of -5 not possible, using ptsize 5\n"}));
    EXPECT_EQ(surface_pixels().pixel(50, 50), kRedPixel);    // outline corner
    EXPECT_EQ(surface_pixels().pixel(55, 55), platform::kWhite);  // inside left alone
    EXPECT_EQ(surface_pixels().pixel(200, 200), kBluePixel);
}

TEST(DrawingCalls, ExtremeValuesAreCorrectedWithoutOverflow) {
    KANVO_circle(KANVO_BLUE, 300, -270, INT_MIN);
    EXPECT_EQ(log_lines(),
              (Messages{"Radius of -2147483648 not possible, using radius 2147483647\n",
                        "blue circle at (300,-270), radius 2147483647\n"}));
    EXPECT_EQ(surface_pixels().pixel(0, 0), kBluePixel);
    EXPECT_EQ(surface_pixels().pixel(kSurfaceWidth - 1, kSurfaceHeight - 1), kBluePixel);

    KANVO_line(KANVO_RED, INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MIN);
    KANVO_circle(KANVO_GREEN, INT_MIN, INT_MAX, INT_MAX);
    KANVO_rectangle(KANVO_BLACK, INT_MAX, INT_MIN, INT_MIN, INT_MAX, INT_MIN);
    const Messages tail = messages_since(2);
    EXPECT_EQ(tail,
              (Messages{"Width of -2147483648 not possible, using width 2147483647\n",
                        "red line from (-2147483648,2147483647) to (2147483647,-2147483648), "
                        "width 2147483647\n",
                        "green circle at (-2147483648,2147483647), radius 2147483647\n",
                        "Width of -2147483648 not possible, using width 2147483647\n",
                        "black rectangle with bounding box (-2147483648,2147483647) to "
                        "(2147483647,-2147483648) with line width 2147483647\n"}));
}

TEST(DrawingCalls, ClearPaintsTheSurfaceWhiteInsideABlackFrame) {
    KANVO_rectangle(KANVO_BLUE, 0, 0, 600, -539, 0);
    EXPECT_EQ(KANVO_clear(), 1);
    EXPECT_EQ(log_lines().back(), "Clearing the graphics window\n");
    EXPECT_TRUE(drawn_box().empty());
    EXPECT_EQ(surface_pixels().pixel(0, 0), platform::kBlack);
    EXPECT_EQ(surface_pixels().pixel(300, 539), platform::kBlack);
}

}  // namespace
