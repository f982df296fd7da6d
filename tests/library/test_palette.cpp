// The palette's values and names, and the colour check that every drawing call relies on.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "support/core_helpers.h"
#include "testing.h"

namespace {

TEST(Palette, ValidIndicesPassSilentlyWithTheirNamesAndValues) {
    for (int index = 0; index < kColorCount; ++index) EXPECT_EQ(check_color(index), index);
    EXPECT_TRUE(log_lines().empty());

    struct Entry {
        int index;
        const char *name;
        platform::Pixel pixel;
    };
    for (const Entry &e : {Entry{0, "black", platform::rgb(0, 0, 0)},
                           Entry{9, "navy blue", platform::rgb(0, 51, 153)},
                           Entry{10, "dusty plum", platform::rgb(153, 102, 153)},
                           Entry{19, "forest green", platform::rgb(0, 102, 51)},
                           Entry{22, "50% gray", platform::rgb(128, 128, 128)},
                           Entry{23, "20% gray", platform::rgb(204, 204, 204)}}) {
        EXPECT_STREQ(color_names[e.index], e.name);
        EXPECT_EQ(palette_pixel(e.index), e.pixel) << e.name;
    }
}

TEST(Palette, IllegalIndicesBecomeRedWithAMessageEachTime) {
    EXPECT_EQ(check_color(24), KANVO_RED);
    EXPECT_EQ(check_color(-1), KANVO_RED);
    EXPECT_EQ(check_color(INT_MIN), KANVO_RED);
    EXPECT_EQ(check_color(24), KANVO_RED);
    const std::vector<std::string> expected = {
        "Illegal color 24; using RED.\n",
        "Illegal color -1; using RED.\n",
        "Illegal color -2147483648; using RED.\n",
        "Illegal color 24; using RED.\n",
    };
    EXPECT_EQ(log_lines(), expected);
    EXPECT_EQ(palette_pixel(24), platform::rgb(255, 0, 0));
}

TEST(Palette, ColourCheckIsNotSilencedByLoggingOff) {
    kanvo.events.logging_on = 0;
    KANVO_circle(24, 100, -100, 3);
    ASSERT_EQ(log_lines(), std::vector<std::string>{"Illegal color 24; using RED.\n"});
    EXPECT_EQ(surface_pixels().pixel(100, 100), platform::rgb(255, 0, 0));
}

}  // namespace
