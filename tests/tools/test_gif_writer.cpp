// The GIF writer: the colours exact while they fit, one palette for every frame, frames
// that hold only what changed, delays on a clock of ten frames a second, and no file left
// behind when writing fails.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "gif_writer.h"
#include "support/gif_frames.h"
#include "support/test_support.h"

namespace {

using platform::Bitmap;
using platform::rgb;

class GifWriterTest : public ::testing::Test {
protected:
    std::string path(const std::string &name) const { return directory_.path(name); }

    size_t files_left() const {
        size_t count = 0;
        for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(directory_.path())) ++count;
        return count;
    }

    DecodedGif decode(const std::string &file) {
        DecodedGif gif;
        std::string reason;
        EXPECT_TRUE(decode_gif(file, &gif, &reason)) << reason;
        return gif;
    }

    ScratchDirectory directory_;
};

void fill(Bitmap &picture, int left, int top, int right, int bottom, platform::Pixel colour) {
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) picture.set_pixel(x, y, colour);
    }
}

TEST_F(GifWriterTest, FramesDecodeToTheirPixelsAndHoldOnlyWhatChanged) {
    Bitmap first(60, 40, rgb(255, 255, 255));
    fill(first, 5, 5, 15, 15, rgb(255, 0, 0));
    Bitmap second = first;
    fill(second, 5, 5, 15, 15, rgb(255, 255, 255));
    fill(second, 30, 20, 40, 30, rgb(255, 0, 0));
    Bitmap late_colour = second;
    late_colour.set_pixel(50, 3, rgb(0, 51, 153));  // a colour first seen in the last frame

    GifWriter writer;
    std::string reason;
    ASSERT_TRUE(writer.open(path("a.gif"), &reason)) << reason;
    ASSERT_TRUE(writer.add_frame(first, 0, &reason)) << reason;
    ASSERT_TRUE(writer.add_frame(second, 100, &reason)) << reason;
    ASSERT_TRUE(writer.add_frame(second, 250, &reason)) << reason;
    ASSERT_TRUE(writer.add_frame(late_colour, 260, &reason)) << reason;
    ASSERT_TRUE(writer.finish(&reason)) << reason;
    EXPECT_EQ(writer.approximated_colours(), 0);
    EXPECT_EQ(files_left(), 1u) << "no temporary stays";

    DecodedGif gif = decode(path("a.gif"));
    ASSERT_EQ(gif.frames.size(), 4u);
    EXPECT_TRUE(gif.frames[0].pixels() == first.pixels());
    EXPECT_TRUE(gif.frames[1].pixels() == second.pixels());
    EXPECT_TRUE(gif.frames[2].pixels() == second.pixels());
    EXPECT_TRUE(gif.frames[3].pixels() == late_colour.pixels());
    EXPECT_TRUE(gif.loops);

    auto rect = [](const GifImage &image) {
        return std::vector<int>{image.left, image.top, image.width, image.height};
    };
    EXPECT_EQ(rect(gif.images[0]), (std::vector<int>{0, 0, 60, 40}));
    EXPECT_EQ(rect(gif.images[1]), (std::vector<int>{5, 5, 35, 25})) << "the box both squares span";
    EXPECT_EQ(rect(gif.images[2]), (std::vector<int>{0, 0, 1, 1})) << "nothing changed";
    EXPECT_EQ(rect(gif.images[3]), (std::vector<int>{50, 3, 1, 1}));
    EXPECT_FALSE(gif.images[0].transparent);
    EXPECT_TRUE(gif.images[1].transparent);

    // 100 ms is one tenth; 150 ms rounds to two; 10 ms still stands one; the last one.
    std::vector<int> delays;
    for (const GifImage &image : gif.images) delays.push_back(image.delay_cs);
    EXPECT_EQ(delays, (std::vector<int>{10, 20, 10, 10}));
}

TEST_F(GifWriterTest, MoreThan256ColoursKeepTheMostUsedExactlyAndTheRestNearest) {
    // A large blue area, a red ramp of 256 shades and 44 greens, one pixel each.
    Bitmap picture(300, 10, rgb(0, 0, 255));
    for (int x = 0; x < 256; ++x) picture.set_pixel(x, 9, rgb(uint8_t(x), 0, 0));
    for (int x = 256; x < 300; ++x) picture.set_pixel(x, 9, rgb(0, uint8_t(x - 100), 0));
    GifWriter writer;
    std::string reason;
    ASSERT_TRUE(writer.open(path("many.gif"), &reason)) << reason;
    ASSERT_TRUE(writer.add_frame(picture, 0, &reason)) << reason;
    Bitmap changed = picture;
    fill(changed, 100, 2, 120, 6, rgb(0, 0, 0));
    ASSERT_TRUE(writer.add_frame(changed, 100, &reason)) << reason;
    ASSERT_TRUE(writer.finish(&reason)) << reason;
    EXPECT_EQ(writer.approximated_colours(), 301 - 255);

    DecodedGif gif = decode(path("many.gif"));
    ASSERT_EQ(gif.frames.size(), 2u);
    const Bitmap &shown = gif.frames[1];
    EXPECT_EQ(shown.pixel(0, 0), rgb(0, 0, 255)) << "the most used colour is exact";
    EXPECT_EQ(shown.pixel(110, 4), rgb(0, 0, 0));
    int exact = 0;
    for (int x = 0; x < 300; ++x) {
        const platform::Pixel original = changed.pixel(x, 9), decoded = shown.pixel(x, 9);
        exact += original == decoded;
        // Every stand-in is a colour of the picture, close to the one it replaces.
        const int red_gap = std::abs(int(platform::red_of(original)) - int(platform::red_of(decoded)));
        const int green_gap = std::abs(int(platform::green_of(original)) - int(platform::green_of(decoded)));
        EXPECT_LE(red_gap + green_gap, 160) << "x " << x;
    }
    EXPECT_EQ(exact, 300 - 46);
    EXPECT_FALSE(gif.images[0].transparent);
    EXPECT_TRUE(gif.images[1].transparent) << "the last index stays free for unchanged pixels";
}

TEST_F(GifWriterTest, ExactlyTwoHundredFiftySixColoursStayExact) {
    Bitmap picture(256, 4);
    for (int x = 0; x < 256; ++x) fill(picture, x, 0, x + 1, 4, rgb(uint8_t(x), uint8_t(255 - x), 7));
    Bitmap changed = picture;
    fill(changed, 10, 1, 20, 3, rgb(200, 55, 7));
    GifWriter writer;
    std::string reason;
    ASSERT_TRUE(writer.open(path("full.gif"), &reason)) << reason;
    ASSERT_TRUE(writer.add_frame(picture, 0, &reason)) << reason;
    ASSERT_TRUE(writer.add_frame(changed, 100, &reason)) << reason;
    ASSERT_TRUE(writer.finish(&reason)) << reason;
    EXPECT_EQ(writer.approximated_colours(), 0);
    DecodedGif gif = decode(path("full.gif"));
    ASSERT_EQ(gif.frames.size(), 2u);
    EXPECT_TRUE(gif.frames[0].pixels() == picture.pixels());
    EXPECT_TRUE(gif.frames[1].pixels() == changed.pixels());
    EXPECT_FALSE(gif.images[1].transparent) << "no index is left over for transparency";
}

TEST_F(GifWriterTest, FailuresSayWhyAndLeaveNoFileBehind) {
    std::string reason;
    {
        GifWriter writer;
        EXPECT_FALSE(writer.open(path("no/such/dir/x.gif"), &reason));
        EXPECT_FALSE(reason.empty());
        EXPECT_FALSE(writer.is_open());
        EXPECT_FALSE(writer.add_frame(Bitmap(4, 4), 0, &reason));
    }
    {
        GifWriter writer;
        ASSERT_TRUE(writer.open(path("sizes.gif"), &reason)) << reason;
        ASSERT_TRUE(writer.add_frame(Bitmap(4, 4), 0, &reason));
        EXPECT_FALSE(writer.add_frame(Bitmap(5, 4), 100, &reason));
        EXPECT_EQ(reason, "a frame of another size than the first");
        EXPECT_FALSE(writer.add_frame(Bitmap(), 100, &reason));
    }  // never finished
    {
        GifWriter writer;
        ASSERT_TRUE(writer.open(path("empty.gif"), &reason)) << reason;
        EXPECT_FALSE(writer.finish(&reason));
        EXPECT_EQ(reason, "no frames");
    }
    EXPECT_EQ(files_left(), 0u);
}

}  // namespace

namespace {

TEST_F(GifWriterTest, AFrameCostsWhatChangedInIt) {
    // 500 window-sized frames in which a small square moves: a few milliseconds of
    // processor time each when whole frames are kept and encoded, far less when only the
    // changed rectangle is.
    Bitmap frame(585, 481, rgb(0, 51, 153));
    fill(frame, 0, 0, 585, 100, rgb(255, 255, 255));
    GifWriter gif;
    std::string reason;
    ASSERT_TRUE(gif.open(path("moving.gif"), &reason)) << reason;
    const std::clock_t start = std::clock();
    for (int i = 0; i < 500; ++i) {
        fill(frame, 100 + i % 300, 200, 108 + i % 300, 208, rgb(255, 0, 0));
        ASSERT_TRUE(gif.add_frame(frame, i * 100, &reason)) << reason;
        fill(frame, 100 + i % 300, 200, 108 + i % 300, 208, rgb(0, 51, 153));
    }
    ASSERT_TRUE(gif.finish(&reason)) << reason;
    const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
    EXPECT_LT(seconds, 0.25) << "processor time for 500 frames";
    DecodedGif decoded = decode(path("moving.gif"));
    ASSERT_EQ(decoded.frames.size(), 500u);
    EXPECT_EQ(decoded.frames[499].pixel(100 + 499 % 300, 200), rgb(255, 0, 0));
    EXPECT_EQ(decoded.frames[499].pixel(99 + 499 % 300, 200), rgb(0, 51, 153));
}

}  // namespace
