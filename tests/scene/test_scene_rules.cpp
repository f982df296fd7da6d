// The landscape's generator and animation rules: their sequences, periods, wraps and
// ranges, and which rules a periodic event runs in winter and without wind.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "kanvo.h"
#include "landscape.h"
#include "random15.h"
#include "rules.h"

namespace {

std::vector<int> first_values(uint32_t seed, int n) {
    random_seed(seed);
    std::vector<int> values;
    for (int i = 0; i < n; i++) values.push_back(random15());
    return values;
}

struct Sky {
    int x = 0, y = 0, shade = 0, ticks = 0, passes = 0, daytime = 0;
    void start() {
        sun_moon_start(x, y);
        shade = x;
    }
    void tick() { move_sky(x, y, shade, ticks, passes, daytime); }
};

struct Boat {
    int x = 80, y = -74, ticks = 0, half_length = 25, sail = 40;
    void tick() { move_boat(x, y, ticks, half_length, sail); }
};

SceneState started_scene(uint32_t seed) {
    random_seed(seed);
    SceneState scene{};
    start_scene(scene);
    return scene;
}

}  // namespace

TEST(SceneGenerator, KnownSequencesAndRange) {
    EXPECT_EQ(first_values(1, 5), (std::vector<int>{41, 18467, 6334, 26500, 19169}));
    EXPECT_EQ(first_values(0, 3), (std::vector<int>{38, 7719, 21238}));
    // The state wraps modulo 2^32 without leaving 0..32767.
    random_seed(0xFFFFFFFFu);
    for (int i = 0; i < 100000; i++) {
        int v = random15();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}

TEST(SceneStart, FixedValuesAndRandomValuesInDrawOrder) {
    SceneState scene = started_scene(1);
    int next_after_start = random15();
    EXPECT_EQ(scene.sun_moon_x, 300);
    EXPECT_EQ(scene.sun_moon_y, 150);
    EXPECT_EQ(scene.moon_shade_x, 300);
    EXPECT_EQ(scene.daytime, 0);
    EXPECT_EQ(scene.big_bug_x, 120);
    EXPECT_EQ(scene.big_bug_y, -180);
    EXPECT_EQ(scene.flower_count, 0);
    EXPECT_EQ(scene.bug_count, 0);
    EXPECT_EQ(scene.wind_on, 0);
    EXPECT_EQ(scene.tree_top_kind, 0);

    // Stars come first: 41 % 600 - 300 and 18467 % 100 + 145.
    EXPECT_EQ(scene.star_x[0], 41 % 600 - 300);
    EXPECT_EQ(scene.star_y[0], 18467 % 100 + 145);
    EXPECT_EQ(scene.star_x[1], 6334 % 600 - 300);

    // Then 60 flower draws, 10 bug draws and 150 snow draws: 240 in all.
    random_seed(1);
    for (int i = 0; i < 2 * kStarCount; i++) random15();
    EXPECT_EQ(scene.flower_x[0], random15() % 400 - 125);
    EXPECT_EQ(scene.flower_y[0], random15() % 125 - 215);
    for (int i = 0; i < kSnowflakes; i++) {
        EXPECT_EQ(scene.snow_x[i] % 2, 0);
        EXPECT_GE(scene.snow_x[i], -300);
        EXPECT_LE(scene.snow_x[i], 298);
        EXPECT_GE(scene.snow_y[i], -249);
        EXPECT_LE(scene.snow_y[i], 250);
    }
    random_seed(1);
    for (int i = 0; i < 20 + 60 + 10 + 150; i++) random15();
    EXPECT_EQ(random15(), next_after_start);
}

TEST(SceneSky, FirstNightThenPassesOf662Ticks) {
    Sky sky;
    sky.start();
    int highest = sky.y;
    for (int t = 1; t <= 630; t++) {
        sky.tick();
        highest = std::max(highest, sky.y);
    }
    EXPECT_EQ(highest, 225);
    EXPECT_EQ(sky.x, -330);
    EXPECT_EQ(sky.y, 142);
    EXPECT_EQ(sky.daytime, 0);
    sky.tick();  // tick 631
    EXPECT_EQ(sky.x, 331);
    EXPECT_EQ(sky.y, 145);
    EXPECT_EQ(sky.shade, 327);
    EXPECT_EQ(sky.daytime, 1);
    EXPECT_EQ(sky.passes, 1);

    for (int pass = 2; pass <= 4; pass++) {
        highest = sky.y;
        for (int t = 1; t < 662; t++) {
            sky.tick();
            ASSERT_EQ(sky.daytime, (pass - 1) % 2) << "switched early in pass " << pass;
            highest = std::max(highest, sky.y);
        }
        sky.tick();
        EXPECT_EQ(highest, 228);
        EXPECT_EQ(sky.x, 331);
        EXPECT_EQ(sky.y, 145);
        EXPECT_EQ(sky.daytime, pass % 2);
    }
}

TEST(SceneSky, ArchStepsWithTruncatedRemainderAndShadeLag) {
    Sky sky;
    sky.x = -4;
    sky.y = 100;
    sky.tick();  // to -5: -5 % 4 is -1, so it sinks
    EXPECT_EQ(sky.y, 99);
    sky.x = -2;
    sky.tick();  // to -3: -3 % 4 is -3, no step
    EXPECT_EQ(sky.y, 99);
    sky.x = 2;
    sky.tick();  // to 1: rises
    EXPECT_EQ(sky.y, 100);
    sky.x = -329;
    sky.tick();  // to -330: no step, no jump
    EXPECT_EQ(sky.x, -330);
    EXPECT_EQ(sky.y, 100);

    // The shade follows the disc except on every 25th tick.
    Sky lag;
    lag.start();
    for (int t = 1; t <= 24; t++) lag.tick();
    EXPECT_EQ(lag.x - lag.shade, 0);
    lag.tick();
    EXPECT_EQ(lag.x - lag.shade, -1);
    for (int t = 26; t <= 50; t++) lag.tick();
    EXPECT_EQ(lag.x - lag.shade, -2);
}

TEST(SceneSky, CountersNearTheLargestIntegerKeepTheirRhythm) {
    // sky_ticks at INT_MAX (INT_MAX % 25 is 22): the shade moves, and the tick after
    // continues with the residue 23, then 24 keeps the shade still.
    Sky sky;
    sky.x = 100;
    sky.shade = 100;
    sky.ticks = INT_MAX;
    sky.tick();
    EXPECT_EQ(sky.shade, 99);
    EXPECT_EQ(sky.ticks % 25, 23);
    sky.tick();
    EXPECT_EQ(sky.shade, 98);
    sky.tick();
    EXPECT_EQ(sky.shade, 98);  // residue 24 before the step

    Boat boat;
    boat.ticks = INT_MAX;  // the next tick has the residue 0 (2^31 % 4)
    boat.tick();
    EXPECT_EQ(boat.ticks % 4, 0);
    EXPECT_GE(boat.ticks, 0);

    int wave_x = -275, wave_ticks = INT_MAX, wave_phase = INT_MAX % 16;
    move_waves(wave_x, wave_ticks, wave_phase);
    EXPECT_EQ(wave_phase, 0);  // 2^31 % 16
}

TEST(SceneBoat, LapOf93TicksWithDoubleLegCorners) {
    Boat boat;
    struct Stop {
        int tick, x, y;
    };
    const Stop stops[] = {{23, -81, -51}, {24, -95, -51}, {46, -249, -73}, {47, -249, -75},
                          {69, -95, -97}, {70, -81, -97}, {93, 80, -74}};
    int next = 0;
    int min_half = 99, max_half = 0, min_sail = 99, max_sail = 0;
    for (int t = 1; t <= 93; t++) {
        boat.tick();
        min_half = std::min(min_half, boat.half_length);
        max_half = std::max(max_half, boat.half_length);
        min_sail = std::min(min_sail, boat.sail);
        max_sail = std::max(max_sail, boat.sail);
        if (next < 7 && stops[next].tick == t) {
            EXPECT_EQ(boat.x, stops[next].x) << "tick " << t;
            EXPECT_EQ(boat.y, stops[next].y) << "tick " << t;
            next++;
        }
    }
    EXPECT_EQ(boat.half_length, 25);
    EXPECT_EQ(boat.sail, 40);
    EXPECT_GE(min_half, 19);
    EXPECT_LE(max_half, 31);
    EXPECT_GE(min_sail, 28);
    EXPECT_LE(max_sail, 52);

    // The size steps fall elsewhere in later laps; everything repeats after four laps.
    std::vector<std::vector<int>> lap_one;
    Boat again;
    for (int t = 1; t <= 93; t++) {
        again.tick();
        lap_one.push_back({again.x, again.y, again.half_length, again.sail});
    }
    bool second_lap_differs = false;
    for (int t = 1; t <= 93; t++) {
        again.tick();
        std::vector<int> now{again.x, again.y, again.half_length, again.sail};
        if (now != lap_one[t - 1]) second_lap_differs = true;
    }
    EXPECT_TRUE(second_lap_differs);
    for (int t = 1; t <= 2 * 93; t++) again.tick();
    for (int t = 1; t <= 93; t++) {
        again.tick();
        std::vector<int> now{again.x, again.y, again.half_length, again.sail};
        ASSERT_EQ(now, lap_one[t - 1]) << "tick " << t << " of the fifth lap";
    }
}

TEST(SceneWaves, PeriodOf16WithinTheirRange) {
    int x = -275, ticks = 0, phase = 0;
    std::vector<int> first_period;
    for (int t = 1; t <= 16; t++) {
        move_waves(x, ticks, phase);
        first_period.push_back(x);
    }
    EXPECT_EQ(first_period[7], -259);
    EXPECT_EQ(first_period[15], -275);
    for (int round = 0; round < 10; round++)
        for (int t = 0; t < 16; t++) {
            move_waves(x, ticks, phase);
            ASSERT_EQ(x, first_period[t]);
            ASSERT_GE(x, -275);
            ASSERT_LE(x, -259);
            ASSERT_EQ(phase, ticks % 16);
        }
}

TEST(SceneClouds, WrapOnFirstPassThenEvery361Moves) {
    int c1 = 150, c2 = -125;
    std::vector<int> wraps1, wraps2;
    for (int move = 1; move <= 1200; move++) {
        int before1 = c1, before2 = c2;
        move_clouds(c1, c2);
        if (c1 > before1) wraps1.push_back(move);
        if (c2 > before2) wraps2.push_back(move);
        ASSERT_GE(c1, -400);
        ASSERT_GE(c2, -400);
    }
    EXPECT_EQ(wraps1, (std::vector<int>{276, 637, 998}));
    EXPECT_EQ(wraps2, (std::vector<int>{138, 499, 860}));

    int a = -398, b = -398;
    move_clouds(a, b);
    EXPECT_EQ(a, -400);  // not yet put back
    move_clouds(a, b);
    EXPECT_EQ(a, 320);
}

TEST(SceneStars, TwinkleStaysInItsRangesAndReachesBothEnds) {
    random_seed(7);
    int sizes[5] = {}, colors[25] = {};
    for (int i = 0; i < 5000; i++) {
        int size = 0, color = 0;
        twinkle(size, color);
        ASSERT_GE(size, 1);
        ASSERT_LE(size, 4);
        ASSERT_GE(color, 0);
        ASSERT_LE(color, 23);
        sizes[size]++;
        colors[color]++;
    }
    for (int s = 1; s <= 4; s++) EXPECT_GT(sizes[s], 0);
    for (int c = 0; c <= 23; c++) EXPECT_GT(colors[c], 0);
}

TEST(SceneBugs, JitterBySmallStepsAndSizeFiveToNine) {
    random_seed(3);
    int mouse_x = 0, mouse_y = 0, size = 5;
    int xs[kBugSlots] = {0, 10, 20, 30, 40}, ys[kBugSlots] = {0, -10, -20, -30, -40};
    bool sizes_seen[10] = {};
    for (int t = 0; t < 400; t++) {
        int old_x[kBugSlots], old_y[kBugSlots];
        std::copy(xs, xs + kBugSlots, old_x);
        std::copy(ys, ys + kBugSlots, old_y);
        int old_mx = mouse_x, old_my = mouse_y;
        move_bugs(mouse_x, mouse_y, size, xs, ys);
        for (int i = 0; i < kBugSlots; i++) {
            ASSERT_LE(std::abs(xs[i] - old_x[i]), 1);
            ASSERT_LE(std::abs(ys[i] - old_y[i]), 1);
        }
        ASSERT_LE(std::abs(mouse_x - old_mx), 1);
        ASSERT_LE(std::abs(mouse_y - old_my), 1);
        ASSERT_GE(size, 5);
        ASSERT_LE(size, 9);
        sizes_seen[size] = true;
    }
    for (int s = 5; s <= 9; s++) EXPECT_TRUE(sizes_seen[s]);

    // Thirteen draws per call: a second generator run skips exactly that many.
    random_seed(11);
    move_bugs(mouse_x, mouse_y, size, xs, ys);
    int after = random15();
    random_seed(11);
    for (int i = 0; i < 13; i++) random15();
    EXPECT_EQ(random15(), after);

    // A position far outside the picture (a script can report any) never overflows.
    mouse_x = INT_MAX;
    mouse_y = INT_MIN;
    for (int t = 0; t < 20; t++) move_bugs(mouse_x, mouse_y, size, xs, ys);
    EXPECT_GT(mouse_x, 1000000);
    EXPECT_LT(mouse_y, -1000000);
}

TEST(SceneLoop, PeriodicEventsFollowWindAndWinter) {
    SceneState scene = started_scene(5);
    auto tick = [&scene] { apply_event(scene, KANVO_PERIODIC); };

    // Wind off: sky, stars and bugs move; boat, waves and clouds stand.
    SceneState before = scene;
    for (int t = 0; t < 30; t++) tick();
    EXPECT_NE(scene.sun_moon_x, before.sun_moon_x);
    EXPECT_EQ(scene.boat_x, before.boat_x);
    EXPECT_EQ(scene.boat_ticks, 0);
    EXPECT_EQ(scene.waves_x, before.waves_x);
    EXPECT_EQ(scene.wave_ticks, 0);
    EXPECT_EQ(scene.cloud1_x, before.cloud1_x);
    EXPECT_EQ(scene.cloud2_x, before.cloud2_x);
    EXPECT_NE(std::vector<int>(scene.bug_x, scene.bug_x + kBugSlots),
              std::vector<int>(before.bug_x, before.bug_x + kBugSlots));

    // Wind on: all of them move.
    scene.wind_on = 1;
    tick();
    EXPECT_EQ(scene.boat_ticks, 1);
    EXPECT_EQ(scene.wave_ticks, 1);
    EXPECT_EQ(scene.cloud1_x, before.cloud1_x - 2);

    // Winter, wind on: only the sky and the stars go on.
    scene.tree_top_kind = kTreeTopWinter;
    SceneState frozen = scene;
    random_seed(99);
    for (int t = 0; t < 40; t++) tick();
    EXPECT_NE(scene.sun_moon_x, frozen.sun_moon_x);
    EXPECT_EQ(scene.sky_ticks, frozen.sky_ticks + 40);
    EXPECT_EQ(scene.boat_x, frozen.boat_x);
    EXPECT_EQ(scene.boat_ticks, frozen.boat_ticks);
    EXPECT_EQ(scene.waves_x, frozen.waves_x);
    EXPECT_EQ(scene.cloud1_x, frozen.cloud1_x);
    EXPECT_EQ(scene.bug_size, frozen.bug_size);
    for (int i = 0; i < kBugSlots; i++) {
        EXPECT_EQ(scene.bug_x[i], frozen.bug_x[i]);
        EXPECT_EQ(scene.bug_y[i], frozen.bug_y[i]);
    }
    // Two twinkles, four draws per tick and nothing else.
    int next = random15();
    random_seed(99);
    for (int i = 0; i < 40 * 4; i++) random15();
    EXPECT_EQ(random15(), next);

    // Keys, clicks outside the panel and quit change nothing of the rules' state.
    SceneState still = scene;
    apply_event(scene, KANVO_KBD);
    scene.mouse_x = 0;
    scene.mouse_y = 0;
    apply_event(scene, KANVO_MOUSE);
    EXPECT_EQ(scene.sun_moon_x, still.sun_moon_x);
    EXPECT_EQ(scene.tree_top_presses, still.tree_top_presses);
    EXPECT_EQ(scene.done, 0);
    apply_event(scene, KANVO_QUIT);
    EXPECT_EQ(scene.done, 1);
}
