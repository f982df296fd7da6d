// One frame of the landscape, back to front: sky, mountains, meadow, lake, flower, tree,
// boat, bugs, the winter scene with its falling snow, and the small flowers last.
#include "scene_draw.h"

#include <algorithm>

#include "figures.h"
#include "kanvo.h"
#include "random15.h"

namespace {

constexpr int kFilled = 0;
constexpr int kWinter = 5;

void draw_night_sky(int sun_moon_x, int sun_moon_y, int moon_shade_x, int star_a_x,
                    int star_a_y, int star_size, int star_color, int star_b_x, int star_b_y,
                    int star_b_size, int star_b_color, const int (&star_x)[kStarCount],
                    const int (&star_y)[kStarCount]) {
    KANVO_rectangle(KANVO_DUSTY_PLUM, -300, -250, 300, 250, kFilled);
    for (int i = 0; i < kStarCount; i++) draw_star(star_x[i], star_y[i], star_size, star_color);
    draw_star(star_a_x, star_a_y, star_size, star_color);
    draw_star(star_b_x, star_b_y, star_b_size, star_b_color);
    KANVO_circle(KANVO_WHITE, sun_moon_x, sun_moon_y, 20);
    // The sky-coloured shade over part of the moon leaves a crescent.
    KANVO_oval(KANVO_DUSTY_PLUM, moon_shade_x, sun_moon_y - 20, moon_shade_x + 50,
               sun_moon_y + 20, kFilled);
}

void draw_day_sky(int sun_x, int sun_y, int cloud1_x, int cloud_y, int cloud2_x) {
    KANVO_rectangle(KANVO_ICE_BLUE, -300, -250, 300, 250, kFilled);
    KANVO_circle(KANVO_YELLOW, sun_x, sun_y, 20);
    draw_cloud(cloud1_x, cloud_y);
    draw_cloud(cloud2_x, cloud_y - 20);
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
    if (tree_top_kind == 0 || tree_top_kind == 1)
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

void draw_winter(int big_flower_x, int big_flower_y, int big_bug_x, int big_bug_y,
                 const int (&snow_x)[kSnowflakes], int (&snow_y)[kSnowflakes],
                 const int (&flower_x)[kFlowerSlots], const int (&flower_y)[kFlowerSlots],
                 int flower_count, const int (&bug_x)[kBugSlots],
                 const int (&bug_y)[kBugSlots], int bug_count) {
    draw_winter_scenery();
    int bugs_shown = std::min(bug_count, kBugSlots);
    for (int i = 0; i < bugs_shown; i++) draw_icicles(IcicleKind::bug, bug_x[i], bug_y[i]);
    int flowers_shown = std::min(flower_count, kFlowerSlots);
    for (int i = 0; i < flowers_shown; i++)
        draw_icicles(IcicleKind::flower, flower_x[i], flower_y[i]);
    draw_icicles(IcicleKind::bug, big_bug_x, big_bug_y);
    draw_icicles(IcicleKind::flower, big_flower_x, big_flower_y);
    draw_snowfall(snow_x, snow_y);
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

void draw_scene(int sun_moon_x, int sun_moon_y, int moon_shade_x,
                int star_a_x, int star_a_y, int star_size, int star_color,
                int star_b_x, int star_b_y, int star_b_size, int star_b_color,
                int big_flower_x, int big_flower_y, int center_radius,
                int big_flower_center_color, int petal_radius, int big_flower_petal_color,
                int boat_x, int boat_y, int boat_half_length, int sail_height,
                int big_bug_x, int big_bug_y, int bug_size,
                int tree_top_kind,
                const int (&snow_x)[kSnowflakes], int (&snow_y)[kSnowflakes],
                const int (&flower_x)[kFlowerSlots], const int (&flower_y)[kFlowerSlots],
                const int (&flower_petal_color)[kFlowerSlots],
                const int (&flower_center_color)[kFlowerSlots], int flower_count,
                const int (&bug_x)[kBugSlots], const int (&bug_y)[kBugSlots], int bug_count,
                int daytime,
                const int (&star_x)[kStarCount], const int (&star_y)[kStarCount],
                int waves_x, int waves_y,
                int cloud1_x, int cloud_y, int cloud2_x) {
    if (daytime == 0)
        draw_night_sky(sun_moon_x, sun_moon_y, moon_shade_x, star_a_x, star_a_y, star_size,
                       star_color, star_b_x, star_b_y, star_b_size, star_b_color, star_x,
                       star_y);
    else
        draw_day_sky(sun_moon_x, sun_moon_y, cloud1_x, cloud_y, cloud2_x);
    draw_mountains_meadow_and_lake();
    draw_waves(waves_x, waves_y);
    draw_flower(big_flower_x, big_flower_y, petal_radius, center_radius, big_flower_petal_color,
                big_flower_center_color);
    draw_tree(tree_top_kind);
    draw_boat(boat_x, boat_y, boat_half_length, sail_height);
    draw_bug(big_bug_x, big_bug_y, bug_size);
    draw_bugs(bug_x, bug_y, bug_size, bug_count);
    if (tree_top_kind == kWinter)
        draw_winter(big_flower_x, big_flower_y, big_bug_x, big_bug_y, snow_x, snow_y, flower_x,
                    flower_y, flower_count, bug_x, bug_y, bug_count);
    draw_flowers(flower_x, flower_y, flower_count, petal_radius, center_radius,
                 flower_petal_color, flower_center_color);
}
