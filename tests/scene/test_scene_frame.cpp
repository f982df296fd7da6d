// Whole frames of the landscape on the drawing surface: drawing calls per frame, what
// night, day and winter show, the snowfall, illegal flower colours, determinism, and
// one run of the program itself on the headless backend.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "kanvo.h"
#include "landscape.h"
#include "panel.h"
#include "random15.h"
#include "scene_draw.h"
#include "support/test_support.h"

namespace {

SceneState fresh_scene(uint32_t seed) {
    random_seed(seed);
    SceneState scene{};
    start_scene(scene);
    return scene;
}

uint64_t commands_of_redraw(SceneState &scene) {
    uint64_t before = kanvo.surface.commands_rendered;
    redraw_scene(scene);
    return kanvo.surface.commands_rendered - before;
}

uint64_t surface_hash() {
    uint64_t hash = 1469598103934665603ull;  // FNV-1a over the pixels
    for (platform::Pixel p : surface_pixels().pixels()) {
        hash ^= p;
        hash *= 1099511628211ull;
    }
    return hash;
}

platform::Pixel color(int index) { return palette_pixel(index); }

// A sky point that no star (of size up to 4) touches.
bool clear_of_stars(const SceneState &s, int x, int y) {
    auto near = [&](int sx, int sy) { return std::abs(sx - x) <= 5 && std::abs(sy - y) <= 5; };
    for (int i = 0; i < kStarCount; i++)
        if (near(s.star_x[i], s.star_y[i])) return false;
    return !near(s.star_a_x, s.star_a_y) && !near(s.star_b_x, s.star_b_y);
}

// No flake (radius 3) drawn at these positions touches (x, y).
bool clear_of_flakes(const SceneState &s, const std::vector<int> &shown_y, int x, int y) {
    for (int i = 0; i < kSnowflakes; i++)
        if (std::abs(s.snow_x[i] - x) <= 4 && std::abs(shown_y[i] - y) <= 4) return false;
    return true;
}

// Flakes there are hidden by the panel drawn after them, or lie above the surface.
bool flake_visible(int x, int y) { return y <= 240 && !(x < -190 && y > 115); }

int count_in_log(const std::string &line) {
    std::vector<std::string> lines = log_lines();
    return int(std::count(lines.begin(), lines.end(), line));
}

}  // namespace

TEST(SceneFrame, DrawingCallsPerFrameFrom133To388) {
    open_headless();
    SceneState scene = fresh_scene(1);
    uint64_t before = kanvo.surface.commands_rendered;
    draw_panel();
    ASSERT_EQ(kanvo.surface.commands_rendered - before, 10u);

    EXPECT_EQ(commands_of_redraw(scene), 133u + 10u);

    scene.daytime = 1;
    scene.tree_top_kind = kTreeTopWinter;
    scene.flower_count = 15;
    scene.bug_count = 5;
    EXPECT_EQ(commands_of_redraw(scene), 388u + 10u);

    scene.tree_top_kind = kTreeTopFallingLeaves;  // both groups of leaves, no winter
    EXPECT_EQ(commands_of_redraw(scene), 388u - 152u - 16u + 35u + 10u);  // 255 + panel
}

TEST(SceneFrame, NightShowsStarsAndCrescentMoonDayShowsSunAndClouds) {
    open_headless();
    SceneState scene = fresh_scene(2);
    redraw_scene(scene);

    int sky_x = 0, sky_y = 235;
    while (!clear_of_stars(scene, sky_x, sky_y)) sky_x += 11;
    EXPECT_EQ(surface_pixel(sky_x, sky_y), color(KANVO_DUSTY_PLUM));
    EXPECT_EQ(surface_pixel(290, 165), color(KANVO_WHITE));  // the moon above mountain 5
    EXPECT_EQ(surface_pixel(scene.star_a_x, scene.star_a_y), color(KANVO_WHITE));
    EXPECT_EQ(surface_pixel(scene.star_b_x, scene.star_b_y), color(KANVO_YELLOW));
    ASSERT_TRUE(clear_of_stars(scene, -37, 200));
    EXPECT_EQ(surface_pixel(-37, 200), color(KANVO_GRAY_20));
    EXPECT_EQ(surface_pixel(290, 100), color(KANVO_FOREST_GREEN));
    EXPECT_EQ(surface_pixel(0, -200), color(KANVO_SEA_GREEN));
    EXPECT_EQ(surface_pixel(-100, -97), color(KANVO_BLUE));
    EXPECT_EQ(surface_pixel(-245, -140), color(KANVO_FOREST_GREEN));  // tree top kind 0
    EXPECT_EQ(surface_pixel(-245, -190), color(KANVO_BROWN));         // trunk
    EXPECT_EQ(surface_pixel(90, -60), color(KANVO_YELLOW));           // sail
    EXPECT_EQ(surface_pixel(80, -76), color(KANVO_BLACK));            // hull
    EXPECT_EQ(surface_pixel(104, -210), color(KANVO_RED));            // big flower's petals
    EXPECT_EQ(surface_pixel(100, -210), color(KANVO_YELLOW));         // and its centre
    EXPECT_EQ(surface_pixel(117, -180), color(KANVO_MAGENTA));        // big bug's left wing
    EXPECT_EQ(surface_pixel(150, 190), color(KANVO_DUSTY_PLUM));      // no cloud at night

    // The panel lies over the frame: black outlines (the left edge lies beyond the client
    // area), labels inside the boxes.
    EXPECT_EQ(surface_pixel(-195, 200), color(KANVO_BLACK));
    EXPECT_EQ(surface_pixel(-250, 220), color(KANVO_BLACK));
    int label_pixels = 0;
    for (int x = -294; x < -195; x++)
        for (int y = 221; y < 245; y++) label_pixels += surface_pixel(x, y) != color(KANVO_DUSTY_PLUM);
    EXPECT_GT(label_pixels, 30);

    // High in the sky the shade turns the moon into a crescent lit on the left.
    scene.sun_moon_x = 0;
    scene.sun_moon_y = 200;
    scene.moon_shade_x = 0;
    redraw_scene(scene);
    EXPECT_EQ(surface_pixel(-10, 200), color(KANVO_WHITE));
    EXPECT_EQ(surface_pixel(10, 200), color(KANVO_DUSTY_PLUM));

    scene.daytime = 1;
    redraw_scene(scene);
    EXPECT_EQ(surface_pixel(sky_x, sky_y), color(KANVO_ICE_BLUE));
    EXPECT_EQ(surface_pixel(-10, 200), color(KANVO_YELLOW));  // the sun, whole
    EXPECT_EQ(surface_pixel(10, 200), color(KANVO_YELLOW));
    EXPECT_EQ(surface_pixel(150, 190), color(KANVO_WHITE));   // cloud 1
    EXPECT_EQ(surface_pixel(170, 190), color(KANVO_WHITE));   // inner arcs painted over
    EXPECT_EQ(surface_pixel(-125, 170), color(KANVO_WHITE));  // cloud 2
    EXPECT_EQ(surface_pixel(scene.star_a_x, scene.star_a_y), color(KANVO_ICE_BLUE));
}

TEST(SceneFrame, FlowerColour24IsDrawnRedWithTheIllegalColourMessage) {
    open_headless();
    KANVO_logging(0);  // as the program does
    SceneState scene = fresh_scene(3);
    scene.flower_count = 1;
    scene.flower_petal_color[0] = 24;
    scene.flower_center_color[0] = 24;
    redraw_scene(scene);
    EXPECT_EQ(count_in_log("Illegal color 24; using RED.\n"), 2);
    EXPECT_EQ(surface_pixel(scene.flower_x[0] + 5, scene.flower_y[0]), color(KANVO_RED));
    EXPECT_EQ(surface_pixel(scene.flower_x[0], scene.flower_y[0]), color(KANVO_RED));
    // Logging is off in the program, so no description lines were written.
    for (const std::string &line : log_lines()) EXPECT_EQ(line.find("circle at"), std::string::npos);
}

TEST(SceneFrame, WinterFreezesTheLakeAndLetsSnowFallOncePerFrame) {
    open_headless();
    SceneState scene = fresh_scene(4);
    scene.tree_top_kind = kTreeTopWinter;
    scene.flower_count = 0;

    // Put flake 0 where this frame's fall takes it to -251: drawn there, then reset.
    random_seed(77);
    int fall0 = 1 - random15() % 10;
    scene.snow_y[0] = -251 - fall0;
    std::vector<int> expected(scene.snow_y, scene.snow_y + kSnowflakes);
    random_seed(77);
    for (int &y : expected) y = y + 1 - random15() % 10;
    random_seed(77);
    redraw_scene(scene);
    for (int i = 0; i < kSnowflakes; i++) {
        int shown = expected[i];
        if (i == 0) {
            EXPECT_EQ(shown, -251);
            EXPECT_EQ(scene.snow_y[0], 250);
        } else {
            EXPECT_EQ(scene.snow_y[i], shown < -250 ? 250 : shown);
        }
        if (flake_visible(scene.snow_x[i], shown)) {
            EXPECT_EQ(surface_pixel(scene.snow_x[i], shown), color(KANVO_WHITE)) << "flake " << i;
        }
    }

    struct Spot {
        int x, y, color;
    };
    const Spot winter_spots[] = {
        {225, -175, KANVO_WHITE},     // the snowman's body
        {221, -136, KANVO_BLACK},     // an eye
        {-100, -97, KANVO_ICE_BLUE},  // ice over the lake
        {-260, -86, KANVO_ICE_BLUE},  // and over the waves
        {105, -220, KANVO_ICE_BLUE},  // the big flower's icicle
        {-37, 205, KANVO_WHITE},      // a snow cap
    };
    int spots_checked = 0;
    for (const Spot &spot : winter_spots) {
        if (!clear_of_flakes(scene, expected, spot.x, spot.y)) continue;
        EXPECT_EQ(surface_pixel(spot.x, spot.y), color(spot.color)) << spot.x << "," << spot.y;
        spots_checked++;
    }
    EXPECT_GE(spots_checked, 4);

    // Every event redraws, so the snow falls on keys and stray clicks too.
    for (int kind : {KANVO_KBD, KANVO_MOUSE, KANVO_PERIODIC}) {
        std::vector<int> before(scene.snow_y, scene.snow_y + kSnowflakes);
        scene.mouse_x = 0;
        scene.mouse_y = 0;
        apply_event(scene, kind);
        redraw_scene(scene);
        EXPECT_NE(std::vector<int>(scene.snow_y, scene.snow_y + kSnowflakes), before)
            << "event kind " << kind;
    }

    // Out of winter the snow stands still and is not drawn.
    scene.tree_top_kind = kTreeTopFourLobes;
    std::vector<int> before(scene.snow_y, scene.snow_y + kSnowflakes);
    redraw_scene(scene);
    EXPECT_EQ(std::vector<int>(scene.snow_y, scene.snow_y + kSnowflakes), before);
    EXPECT_EQ(surface_pixel(-100, -97), color(KANVO_BLUE));
}

TEST(SceneFrame, SameSeedAndEventsGiveTheSamePictures) {
    open_headless();
    auto run = [](uint32_t seed) {
        KANVO_clear();  // as at start-up: the frame leaves the surface's margins alone
        SceneState scene = fresh_scene(seed);
        std::vector<uint64_t> hashes;
        auto event = [&](int kind, int x = 0, int y = 0) {
            scene.mouse_x = x;
            scene.mouse_y = y;
            apply_event(scene, kind);
            redraw_scene(scene);
            hashes.push_back(surface_hash());
        };
        redraw_scene(scene);
        hashes.push_back(surface_hash());
        const int presses[][2] = {{-250, 190}, {-250, 160}, {-250, 160}, {-250, 130},
                                  {-250, 230}, {-250, 210}, {-250, 210}, {-250, 210},
                                  {-250, 210}, {-250, 210}};
        for (const auto &p : presses) {
            event(KANVO_PERIODIC);
            event(KANVO_MOUSE, p[0], p[1]);
            event(KANVO_KBD);
        }
        for (int t = 0; t < 20; t++) event(KANVO_PERIODIC);
        event(KANVO_QUIT);
        return hashes;
    };
    std::vector<uint64_t> first = run(2024);
    EXPECT_EQ(run(2024), first);
    EXPECT_NE(run(2025), first);
    EXPECT_NE(first.front(), first.back());
}

TEST(SceneProgram, RunsOnTheHeadlessBackendUntilTheCloseBox) {
    platform::HeadlessBackend &headless = use_headless();
    headless.set_quiet_limit_ms(0);  // the first wait finds the headless before any tick
    landscape_set_seed(9);

    int stage = 0;
    bool first_frame_at_night = false, winter_shown = false, panel_shown = false;
    // Client pixel of a library point (the origin is the client area's centre).
    auto click_at = [&](int x, int y) {
        const WindowState &w = kanvo.windows;
        headless.click(w.draw_window, w.origin_x + x, w.origin_y - y);
    };
    headless.set_idle_hook([&]() -> bool {
        if (stage == 0) {
            first_frame_at_night = surface_pixel(290, 165) == color(KANVO_WHITE) &&
                                   surface_pixel(-245, -140) == color(KANVO_FOREST_GREEN);
            headless.set_quiet_limit_ms(1000);  // about ten ticks between the later steps
            for (int i = 0; i < 5; i++) click_at(-250, 210);  // "Alter Tree Tops" to winter
        } else if (stage == 1) {
            winter_shown = surface_pixel(225, -175) == color(KANVO_WHITE);
            panel_shown = surface_pixel(-195, 200) == color(KANVO_BLACK);
            headless.close_box(kanvo.windows.draw_window);
        } else {
            return false;
        }
        stage++;
        return true;
    });

    EXPECT_EQ(landscape_main(nullptr, nullptr, "", KANVO_SHOW_NORMAL), 0);
    EXPECT_EQ(stage, 2);
    EXPECT_TRUE(first_frame_at_night);
    EXPECT_TRUE(winter_shown);
    EXPECT_TRUE(panel_shown);
    // The frame drawn after the quit event stays on the surface.
    EXPECT_EQ(surface_pixel(225, -175), color(KANVO_WHITE));
}
