// One frame of the landscape, back to front: sky, mountains, meadow, lake, flower, tree,
// boat, bugs, the winter scene with its falling snow, and the small flowers last.
#include "scene_draw.h"

#include <algorithm>

#include "figures.h"
#include "kanvo.h"
#include "random15.h"

namespace {

void draw_night_sky(const SceneState &s) {
    KANVO_rectangle(KANVO_DUSTY_PLUM, -300, -250, 300, 250, kFilled);
    for (int i = 0; i < kStarCount; i++)
        draw_star(s.star_x[i], s.star_y[i], s.star_size, s.star_color);
    draw_star(s.star_a_x, s.star_a_y, s.star_size, s.star_color);
    draw_star(s.star_b_x, s.star_b_y, s.star_b_size, s.star_b_color);
    KANVO_circle(KANVO_WHITE, s.sun_moon_x, s.sun_moon_y, 20);
    // The sky-coloured shade over part of the moon leaves a crescent.
    KANVO_oval(KANVO_DUSTY_PLUM, s.moon_shade_x, s.sun_moon_y - 20, s.moon_shade_x + 50,
               s.sun_moon_y + 20, kFilled);
}

void draw_day_sky(const SceneState &s) {
    KANVO_rectangle(KANVO_ICE_BLUE, -300, -250, 300, 250, kFilled);
    KANVO_circle(KANVO_YELLOW, s.sun_moon_x, s.sun_moon_y, 20);
    draw_cloud(s.cloud1_x, s.cloud_y);
    draw_cloud(s.cloud2_x, s.cloud_y - 20);
}

void draw_mountains_meadow_and_lake() {
    KANVO_triangle(KANVO_GRAY_20, -300, -50, 300, -50, -37, 208, kFilled);
    KANVO_triangle(KANVO_GRAY_50, -300, -50, 300, -50, -100, 187, kFilled);
    KANVO_triangle(KANVO_BROWN, -300, -50, 300, -50, 75, 166, kFilled);
    KANVO_triangle(KANVO_OLIVE, -375, -50, 100, -50, -225, 166, kFilled);
    KANVO_triangle(KANVO_FOREST_GREEN, -100, -50, 300, -50, 300, 166, kFilled);
    KANVO_rectangle(KANVO_SEA_GREEN, -300, -250, 300, -50, kFilled);
    KANVO_oval(KANVO_BLUE, -400, -50, 100, -100, kFilled);
}

void draw_tree(int tree_top_kind) {
    KANVO_rectangle(KANVO_BROWN, -250, -200, -240, -150, kFilled);
    bool green = tree_top_kind == kTreeTopFourLobes || tree_top_kind == kTreeTopGreenCrown;
    if (green)
        draw_tree_top(tree_top_kind, KANVO_FOREST_GREEN, KANVO_FOREST_GREEN,
                      KANVO_FOREST_GREEN);
    else
        draw_tree_top(tree_top_kind, KANVO_RED, KANVO_YELLOW, KANVO_BROWN);
}

// All 75 draws come before any flake is drawn; a flake below the picture is drawn there
// once and starts again at the top in the next frame.
void draw_snowfall(const int (&snow_x)[kSnowflakes], int (&snow_y)[kSnowflakes]) {
    for (int i = 0; i < kSnowflakes; i++) snow_y[i] = snow_y[i] + 1 - random15() % 10;
    for (int i = 0; i < kSnowflakes; i++) {
        KANVO_circle(KANVO_WHITE, snow_x[i], snow_y[i], 3);
        if (snow_y[i] < -250) snow_y[i] = 250;
    }
}

// The icicles, then the snow: snow_y is the only value of the scene that a frame changes.
void draw_winter(SceneState &s) {
    draw_winter_scenery();
    int bugs_shown = std::min(s.bug_count, kBugSlots);
    for (int i = 0; i < bugs_shown; i++) draw_icicles(IcicleKind::bug, s.bug_x[i], s.bug_y[i]);
    int flowers_shown = std::min(s.flower_count, kFlowerSlots);
    for (int i = 0; i < flowers_shown; i++)
        draw_icicles(IcicleKind::flower, s.flower_x[i], s.flower_y[i]);
    draw_icicles(IcicleKind::bug, s.big_bug_x, s.big_bug_y);
    draw_icicles(IcicleKind::flower, s.big_flower_x, s.big_flower_y);
    draw_snowfall(s.snow_x, s.snow_y);
}

}  // namespace

void draw_star(int x, int y, int size, int color) {
    int s = size;
    int w = int(s * 0.87);
    int h = int(s / 2.0);
    KANVO_triangle(color, x, y + s, x + w, y - h, x - w, y - h, kFilled);
    KANVO_triangle(color, x, y - s, x - w, y + h, x + w, y + h, kFilled);
}

void draw_icicles(IcicleKind kind, int x, int y) {
    if (kind == IcicleKind::bug) {
        KANVO_triangle(KANVO_ICE_BLUE, x + 7, y - 5, x + 5, y - 5, x + 6, y - 17, kFilled);
        KANVO_triangle(KANVO_ICE_BLUE, x - 6, y - 6, x - 8, y - 6, x - 7, y - 14, kFilled);
    } else {
        KANVO_triangle(KANVO_ICE_BLUE, x + 6, y - 5, x + 4, y - 5, x + 5, y - 17, kFilled);
        KANVO_triangle(KANVO_ICE_BLUE, x - 7, y - 2, x - 5, y - 3, x - 6, y - 12, kFilled);
    }
}

void draw_scene(SceneState &s) {
    if (s.daytime == 0)
        draw_night_sky(s);
    else
        draw_day_sky(s);
    draw_mountains_meadow_and_lake();
    draw_waves(s.waves_x, s.waves_y);
    draw_flower(s.big_flower_x, s.big_flower_y, s.petal_radius, s.center_radius,
                s.big_flower_petal_color, s.big_flower_center_color);
    draw_tree(s.tree_top_kind);
    draw_boat(s.boat_x, s.boat_y, s.boat_half_length, s.sail_height);
    draw_bug(s.big_bug_x, s.big_bug_y, s.bug_size);
    draw_bugs(s.bug_x, s.bug_y, s.bug_size, s.bug_count);
    if (s.tree_top_kind == kTreeTopWinter) draw_winter(s);
    draw_flowers(s.flower_x, s.flower_y, s.flower_count, s.petal_radius, s.center_radius,
                 s.flower_petal_color, s.flower_center_color);
}
