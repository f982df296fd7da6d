// One complete frame of the landscape, painted back to front from the scene state.
#pragma once

#include "scene_sizes.h"

// Every value the frame shows, numbers by value and arrays by reference. In winter
// (tree_top_kind 5) the snow falls one step: snow_y is the only value it changes.
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
                int cloud1_x, int cloud_y, int cloud2_x);

void draw_star(int x, int y, int size, int color);

enum class IcicleKind { bug, flower };
void draw_icicles(IcicleKind kind, int x, int y);
