// The landscape program: its entry, the scene state that the main routine owns, and the
// steps of its main loop, open to tools and tests that drive the scene.
#pragma once

#include <cstdint>

#include "scene_constants.h"

// The whole scene state. One record, owned by landscape_main; the rules and the panel
// receive references to the fields they change, draw_scene the whole record.
struct SceneState {
    // sky
    int sun_moon_x, sun_moon_y, moon_shade_x, daytime, sky_ticks, sky_passes;
    // stars
    int star_x[kStarCount], star_y[kStarCount];
    int star_a_x, star_a_y, star_size, star_color;
    int star_b_x, star_b_y, star_b_size, star_b_color;
    // clouds
    int cloud1_x, cloud2_x, cloud_y;
    // flowers
    int big_flower_x, big_flower_y, petal_radius, center_radius;
    int big_flower_petal_color, big_flower_center_color;
    int flower_x[kFlowerSlots], flower_y[kFlowerSlots];
    int flower_petal_color[kFlowerSlots], flower_center_color[kFlowerSlots];
    int flower_count, flower_presses;
    // boat
    int boat_x, boat_y, boat_half_length, sail_height, boat_ticks;
    // bugs
    int big_bug_x, big_bug_y, bug_size;
    int bug_x[kBugSlots], bug_y[kBugSlots];
    int bug_count, bug_presses;
    // tree, winter and snow
    int tree_top_kind, tree_top_presses;
    int snow_x[kSnowflakes], snow_y[kSnowflakes];
    // wind and waves
    int wind_on, wind_presses, waves_x, waves_y, wave_ticks, wave_phase;
    // the last event
    int event_kind, mouse_x, mouse_y;
    char key;
    int done;
};

// The program's entry: opens the library with the four start values, runs the scene
// until the quit event, closes the library and returns 0.
int landscape_main(void *instance, void *previous_instance, const char *command_line, int show);

// Makes the next landscape_main seed its generator with `seed` instead of the clock
// (replays and tests need a known sequence).
void landscape_set_seed(uint32_t seed);

void sun_moon_start(int &x, int &y);

// Start values: the fixed ones, then the random ones in their fixed order of draws.
void start_scene(SceneState &scene);
// A click at (mouse_x, mouse_y): the panel box under it, if any, takes the press.
void press_panel_on(SceneState &scene);
// What one event of the given kind does to the state (mouse_x and mouse_y hold its
// position): a panel press, the animation rules, or the end of the loop.
void apply_event(SceneState &scene, int event_kind);
// The whole frame, then the panel over it.
void redraw_scene(SceneState &scene);
