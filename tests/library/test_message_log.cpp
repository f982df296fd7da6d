// The message log: what it keeps, what log_printf returns, and the text window's picture
// of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/core_helpers.h"
#include "support/test_support.h"
#include "testing.h"

namespace {

using Messages = std::vector<std::string>;

int line_height() {
    const platform::FontMetrics metrics = platform::Font::stock_fixed().metrics();
    return metrics.height + metrics.external_leading;
}

platform::Bitmap composed(int width, int height) {
    platform::Bitmap picture(width, height, platform::rgb(1, 2, 3));
    compose_text_window(&picture);
    return picture;
}

// Rows [top, top + count) of a picture, as one vector of pixels.
std::vector<platform::Pixel> rows(const platform::Bitmap &picture, int top, int count) {
    const platform::Pixel *first = picture.row(top);
    return std::vector<platform::Pixel>(first, first + size_t(count) * size_t(picture.width()));
}

TEST(MessageLog, KeepsTheLast25MessagesOldestFirst) {
    EXPECT_EQ(kanvo.log.log_first, -1);
    for (int i = 1; i <= 25; ++i) log_printf("message %d\n", i);
    Messages expected;
    for (int i = 1; i <= 25; ++i) expected.push_back("message " + std::to_string(i) + "\n");
    EXPECT_EQ(log_lines(), expected);
    EXPECT_EQ(kanvo.log.log_first, kanvo.log.log_next);  // full

    log_printf("message 26\n");
    expected.erase(expected.begin());
    expected.push_back("message 26\n");
    EXPECT_EQ(log_lines(), expected);
    EXPECT_EQ(kanvo.log.log_ring[0], "message 26\n");  // took the slot of the first
    EXPECT_EQ(kanvo.log.log_first, 1);
}

TEST(MessageLog, ReturnsTheCountItKeptAndNeverOverflows) {
    EXPECT_EQ(log_printf("Clearing the graphics window\n"), 29);
    EXPECT_EQ(log_printf("%s", ""), 0);
    const std::string exact(1023, 'x');
    EXPECT_EQ(log_printf("%s", exact.c_str()), 1023);
    const std::string over(5000, 'y');
    EXPECT_EQ(log_printf("%s!", over.c_str()), 1023);
    const char *no_format = nullptr;
    EXPECT_EQ(log_printf(no_format), 0);

    const Messages stored = log_lines();
    ASSERT_EQ(stored.size(), 5u);
    EXPECT_EQ(stored[0], "Clearing the graphics window\n");
    EXPECT_EQ(stored[1], "");
    EXPECT_EQ(stored[2], exact);
    EXPECT_EQ(stored[3], std::string(1023, 'y'));  // cut, not wrapped into a second message
    EXPECT_EQ(stored[4], "");
}

TEST(TextWindowPicture, EmptyLogShowsOnlyWhite) {
    const platform::Bitmap picture = composed(200, 120);
    EXPECT_TRUE(ink_box(picture).empty());
}

TEST(TextWindowPicture, NewestMessageEndsOnTheBottomLine) {
    const int h = line_height();
    log_printf("older\n");
    log_printf("newest\n");
    const int height = 5 * h + 7;
    const platform::Bitmap picture = composed(300, height);
    const InkBox all = ink_box(picture);
    ASSERT_FALSE(all.empty());
    EXPECT_GE(all.top, height - 2 * h);  // two lines, nothing above them
    EXPECT_GE(all.left, 5);
    const InkBox bottom_line = ink_box(picture, 0, height - h, 300, height);
    const InkBox line_above = ink_box(picture, 0, height - 2 * h, 300, height - h);
    ASSERT_FALSE(bottom_line.empty());
    ASSERT_FALSE(line_above.empty());
    EXPECT_GT(bottom_line.right, line_above.right);  // "newest" is longer than "older"
}

TEST(TextWindowPicture, FinalLineFeedIsNotDrawnAndInnerOnesBreakNoLine) {
    const int h = line_height();
    log_printf("same text");
    log_printf("same text\n");
    log_printf("two\nparts");
    log_printf("twoparts");
    log_printf("%s", "");
    const int height = 6 * h;
    const platform::Bitmap picture = composed(250, height);
    // Lines from the bottom: "", "twoparts", "two\nparts", "same text\n", "same text".
    EXPECT_TRUE(ink_box(picture, 0, height - h, 250, height).empty());
    EXPECT_FALSE(ink_box(picture, 0, height - 2 * h, 250, height - h).empty());
    EXPECT_EQ(rows(picture, height - 3 * h, h), rows(picture, height - 2 * h, h));
    EXPECT_EQ(rows(picture, height - 5 * h, h), rows(picture, height - 4 * h, h));
    EXPECT_TRUE(ink_box(picture, 0, 0, 250, height - 5 * h).empty());
}

TEST(TextWindowPicture, ShortWindowShowsTheNewestLinesOfTheFullPicture) {
    const int h = line_height();
    for (int i = 1; i <= 30; ++i) log_printf("line %d of the log %s\n", i, i % 2 ? "odd" : "even");
    const int tall_height = 27 * h;
    const platform::Bitmap tall = composed(320, tall_height);
    // All 25 kept messages, the oldest at the top of the group, and nothing above it.
    for (int line = 0; line < 25; ++line)
        EXPECT_FALSE(
            ink_box(tall, 0, tall_height - (line + 1) * h, 320, tall_height - line * h).empty())
            << "line " << line << " from the bottom";
    EXPECT_TRUE(ink_box(tall, 0, 0, 320, tall_height - 25 * h).empty());

    const int short_height = 2 * h + h / 2;
    const platform::Bitmap short_picture = composed(320, short_height);
    EXPECT_EQ(rows(short_picture, 0, short_height),
              rows(tall, tall_height - short_height, short_height));

    // A window squeezed to almost nothing shows what fits and nothing breaks.
    const platform::Bitmap sliver = composed(320, 1);
    EXPECT_EQ(rows(sliver, 0, 1), rows(tall, tall_height - 1, 1));
    composed(0, 0);
}

TEST(TextWindowPicture, AppendingAsksForARepaintWhichShowsTheLog) {
    open_headless();
    ASSERT_NE(kanvo.windows.text_window, nullptr);
    paint_text_window(kanvo.windows.text_window);
    EXPECT_FALSE(kanvo.windows.text_window->needs_paint);

    log_printf("shown in the window\n");
    EXPECT_TRUE(kanvo.windows.text_window->needs_paint);
    paint_text_window(kanvo.windows.text_window);
    EXPECT_FALSE(kanvo.windows.text_window->needs_paint);
    const platform::Bitmap &client = kanvo.windows.text_window->client;
    platform::Bitmap expected(client.width(), client.height());
    compose_text_window(&expected);
    EXPECT_FALSE(ink_box(client).empty());
    EXPECT_TRUE(client.pixels() == expected.pixels());

    // A taller window shows more of the kept messages at its next paint (the sizes come
    // as the backend reports a resize).
    for (int i = 0; i < 30; ++i) log_printf("message %d\n", i);
    platform::client_resized(kanvo.windows.text_window, 400, 3 * line_height());
    paint_text_window(kanvo.windows.text_window);
    const int visible_lines = 3;
    const InkBox small = ink_box(kanvo.windows.text_window->client);
    platform::client_resized(kanvo.windows.text_window, 400, 20 * line_height());
    paint_text_window(kanvo.windows.text_window);
    const InkBox large = ink_box(kanvo.windows.text_window->client);
    EXPECT_LE(small.bottom - small.top, visible_lines * line_height());
    EXPECT_GT(large.bottom - large.top, 19 * line_height() - line_height() / 2);
}

}  // namespace
