// The GIF writer: the colours exact while they fit, one palette for every frame, frames
// that hold only what changed, delays on a clock of ten frames a second, and no file left
// behind when writing fails.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <random>

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

// Writes frames a tenth of a second apart and decodes the GIF: exactly these pixels, frame
// by frame. Returns the decoded GIF.
DecodedGif round_trip(const std::string &file, const std::vector<Bitmap> &frames) {
    GifWriter writer;
    std::string reason;
    EXPECT_TRUE(writer.open(file, &reason)) << reason;
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_TRUE(writer.add_frame(frames[i], int64_t(i) * 100, &reason)) << reason;
    EXPECT_TRUE(writer.finish(&reason)) << reason;
    EXPECT_EQ(writer.approximated_colours(), 0) << file;
    DecodedGif gif;
    EXPECT_TRUE(decode_gif(file, &gif, &reason)) << file << ": " << reason;
    EXPECT_EQ(gif.frames.size(), frames.size()) << file;
    for (size_t i = 0; i < std::min(gif.frames.size(), frames.size()); ++i) {
        const std::vector<platform::Pixel> &want = frames[i].pixels(), &got = gif.frames[i].pixels();
        const auto differ = std::mismatch(want.begin(), want.end(), got.begin(), got.end());
        if (differ.first != want.end()) {
            const size_t at = size_t(differ.first - want.begin());
            ADD_FAILURE() << file << ": frame " << i << " first differs at (" << at % size_t(frames[i].width())
                          << ", " << at / size_t(frames[i].width()) << ")";
        }
    }
    return gif;
}

std::vector<platform::Pixel> some_colours(std::mt19937 &random, size_t count) {
    std::vector<platform::Pixel> colours;
    for (size_t i = 0; i < count; ++i) {
        colours.push_back(rgb(uint8_t(random()), uint8_t(random()), uint8_t(random())));
    }
    return colours;
}

void noise(Bitmap &frame, int left, int top, int right, int bottom, const std::vector<platform::Pixel> &colours,
           std::mt19937 &random) {
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) frame.set_pixel(x, y, colours[random() % colours.size()]);
    }
}

// Processor time a window-sized frame takes when every pixel changes (noise in 40
// colours): what the cheaper frames are measured against.
double seconds_a_frame_changing_whole(const std::string &file) {
    std::mt19937 random(5);
    const std::vector<platform::Pixel> colours = some_colours(random, 40);
    Bitmap frame(585, 481);
    GifWriter gif;
    std::string reason;
    if (!gif.open(file, &reason)) return 0;
    const std::clock_t start = std::clock();
    constexpr int kFrames = 10;
    for (int i = 0; i < kFrames; ++i) {
        noise(frame, 0, 0, 585, 481, colours, random);
        gif.add_frame(frame, i * 100, &reason);
    }
    gif.finish(&reason);
    return double(std::clock() - start) / CLOCKS_PER_SEC / kFrames;
}

TEST_F(GifWriterTest, EveryFrameDecodesToExactlyWhatWentIn) {
    std::mt19937 random(7);
    const std::vector<platform::Pixel> colours = some_colours(random, 200);

    // A few scattered pixels in a large frame: long transparent runs between them, some
    // ending a row and starting the next.
    std::vector<Bitmap> frames{Bitmap(301, 200, rgb(10, 20, 30))};
    for (int i = 0; i < 30; ++i) {
        Bitmap frame = frames.back();
        for (int k = 0; k < 40; ++k) frame.set_pixel(int(random() % 301), int(random() % 200), colours[random() % 200]);
        const int y = int(random() % 199);
        frame.set_pixel(300, y, colours[size_t(i)]);
        frame.set_pixel(0, y + 1, colours[size_t(i) + 1]);
        frames.push_back(frame);
    }
    round_trip(path("scattered.gif"), frames);

    // The same column changing in every row: one pattern over and over.
    frames.assign(1, Bitmap(64, 300, rgb(255, 255, 255)));
    for (int i = 0; i < 12; ++i) {
        Bitmap frame = frames.back();
        fill(frame, 5, 0, 6, 300, i % 2 ? rgb(255, 0, 0) : rgb(0, 0, 255));
        frames.push_back(frame);
    }
    round_trip(path("column.gif"), frames);

    // Noise fills the code table many times over, whole frames and parts of them.
    frames.assign(1, Bitmap(257, 190));
    noise(frames[0], 0, 0, 257, 190, std::vector<platform::Pixel>(colours.begin(), colours.begin() + 150), random);
    for (int i = 0; i < 5; ++i) {
        Bitmap frame = frames.back();
        const int left = i * 40, top = i * 30;
        noise(frame, left, top, std::min(257, left + 60 + i * 30), 190, colours, random);
        frames.push_back(frame);
    }
    round_trip(path("noise.gif"), frames);

    // One colour; a single pixel; one row; one column; the whole window changing.
    round_trip(path("one.gif"), std::vector<Bitmap>(5, Bitmap(50, 20, rgb(1, 2, 3))));
    frames.clear();
    for (const platform::Pixel colour : {rgb(9, 9, 9), rgb(9, 9, 9), rgb(200, 0, 0), rgb(0, 200, 0), rgb(9, 9, 9)}) {
        frames.push_back(Bitmap(1, 1, colour));
    }
    round_trip(path("pixel.gif"), frames);
    for (const auto &[width, height] : {std::pair{1, 37}, std::pair{37, 1}}) {
        frames.assign(1, Bitmap(width, height, rgb(0, 0, 0)));
        for (int i = 0; i < 6; ++i) {
            Bitmap frame = frames.back();
            noise(frame, 0, 0, width, height, std::vector<platform::Pixel>(colours.begin(), colours.begin() + 3), random);
            frames.push_back(frame);
        }
        round_trip(path("line" + std::to_string(width) + ".gif"), frames);
    }
    frames.clear();
    for (int i = 0; i < 4; ++i) {
        Bitmap frame(585, 481);
        for (int y = 0; y < 481; ++y) {
            for (int x = 0; x < 585; ++x) frame.set_pixel(x, y, colours[size_t((x / 3 + y * (i + 1) + i * 17) % 200)]);
        }
        frames.push_back(frame);
    }
    round_trip(path("window.gif"), frames);
}

TEST_F(GifWriterTest, TwoHundredFiftySixColoursOfNoiseLeaveNoIndexForTransparency) {
    std::vector<platform::Pixel> colours;
    for (int i = 0; i < 256; ++i) colours.push_back(rgb(uint8_t(i), uint8_t(i * 7), uint8_t(255 - i)));
    std::mt19937 random(11);
    std::vector<Bitmap> frames{Bitmap(256, 20)};
    for (int x = 0; x < 256; ++x) frames[0].set_pixel(x, 0, colours[size_t(x)]);
    noise(frames[0], 0, 1, 256, 20, colours, random);
    for (int i = 0; i < 4; ++i) {
        Bitmap frame = frames.back();
        noise(frame, 30 + i * 20, 3 + i, 90 + i * 30, 12 + i, colours, random);
        frames.push_back(frame);
    }
    const DecodedGif gif = round_trip(path("all256.gif"), frames);
    ASSERT_EQ(gif.images.size(), frames.size());
    EXPECT_FALSE(gif.images[2].transparent);
}

TEST_F(GifWriterTest, BeyondTheColoursThatFitEveryColourKeepsOneStandIn) {
    // 600 colours in noise: the stand-ins must not leave a changed pixel showing what was
    // there before, even where the old and the new colour share a stand-in.
    std::mt19937 random(5);
    const std::vector<platform::Pixel> colours = some_colours(random, 600);
    std::vector<Bitmap> frames{Bitmap(120, 90, rgb(0, 0, 0))};
    for (int i = 0; i < 8; ++i) {
        Bitmap frame = frames.back();
        noise(frame, i * 10, i * 5, 120 - i * 7, 90 - i * 3, colours, random);
        frames.push_back(frame);
    }
    GifWriter writer;
    std::string reason;
    ASSERT_TRUE(writer.open(path("many.gif"), &reason)) << reason;
    for (size_t i = 0; i < frames.size(); ++i) ASSERT_TRUE(writer.add_frame(frames[i], int64_t(i) * 100, &reason));
    ASSERT_TRUE(writer.finish(&reason)) << reason;
    EXPECT_GT(writer.approximated_colours(), 300);
    DecodedGif gif = decode(path("many.gif"));
    ASSERT_EQ(gif.frames.size(), frames.size());
    std::map<platform::Pixel, platform::Pixel> stand_in;
    size_t exact = 0, pixels = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        for (size_t p = 0; p < frames[i].pixels().size(); ++p) {
            const platform::Pixel original = frames[i].pixels()[p], shown = gif.frames[i].pixels()[p];
            const auto [kept, fresh] = stand_in.emplace(original, shown);
            if (!fresh && kept->second != shown) {
                FAIL() << "frame " << i << " pixel " << p << " shows another stand-in than before";
            }
            exact += original == shown;
            ++pixels;
        }
    }
    EXPECT_EQ(stand_in.at(rgb(0, 0, 0)), rgb(0, 0, 0)) << "the most used colour is exact";
    EXPECT_GT(exact, pixels / 3);
}

TEST_F(GifWriterTest, ScatteredChangesCostTheirPixelsNotTheirRectangle) {
    // 500 window-sized frames in which 300 pixels change all over the frame, as twinkling
    // stars and waves do: the changed rectangle is nearly the whole frame every time, and
    // yet a frame costs a small part of one that changes whole.
    const double whole = seconds_a_frame_changing_whole(path("whole.gif"));
    Bitmap frame(585, 481, rgb(0, 51, 153));
    std::mt19937 random(3);
    const std::vector<platform::Pixel> colours = some_colours(random, 40);
    GifWriter gif;
    std::string reason;
    ASSERT_TRUE(gif.open(path("stars.gif"), &reason)) << reason;
    std::clock_t spent = 0;
    for (int i = 0; i < 500; ++i) {
        for (int k = 0; k < 300; ++k) frame.set_pixel(int(random() % 585), int(random() % 481), colours[random() % 40]);
        const std::clock_t start = std::clock();
        ASSERT_TRUE(gif.add_frame(frame, i * 100, &reason)) << reason;
        spent += std::clock() - start;
    }
    const std::clock_t start = std::clock();
    ASSERT_TRUE(gif.finish(&reason)) << reason;
    spent += std::clock() - start;
    EXPECT_LT(double(spent) / CLOCKS_PER_SEC / 500, whole / 5) << "a frame of scattered changes against one changing whole";
    DecodedGif decoded = decode(path("stars.gif"));
    ASSERT_EQ(decoded.frames.size(), 500u);
    EXPECT_TRUE(decoded.frames.back().pixels() == frame.pixels());
    EXPECT_GT(decoded.images.back().width * decoded.images.back().height, 585 * 481 / 2);
}

TEST_F(GifWriterTest, AFrameCostsWhatChangedInIt) {
    // 500 window-sized frames in which a small square moves: each costs a small part of
    // what a frame that changes whole costs (the same build, the same machine, so the
    // comparison holds under sanitizers and load alike).
    const double whole = seconds_a_frame_changing_whole(path("whole.gif"));
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
    const double a_frame = double(std::clock() - start) / CLOCKS_PER_SEC / 500;
    EXPECT_LT(a_frame, whole / 10) << "a frame with a moving square against one changing whole";
    DecodedGif decoded = decode(path("moving.gif"));
    ASSERT_EQ(decoded.frames.size(), 500u);
    EXPECT_EQ(decoded.frames[499].pixel(100 + 499 % 300, 200), rgb(255, 0, 0));
    EXPECT_EQ(decoded.frames[499].pixel(99 + 499 % 300, 200), rgb(0, 51, 153));
}

}  // namespace
