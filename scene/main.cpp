// The landscape's entry and main loop: the scene state with its start values and the
// loop that applies each event and redraws.
#include "kanvo.h"
#include "landscape.h"
#include "panel.h"
#include "random15.h"
#include "rules.h"
#include "scene_draw.h"

namespace {

// A seed chosen by a tool for the next run, in place of the clock.
bool preset_seed_pending = false;
uint32_t preset_seed = 0;

void set_fixed_start_values(SceneState &s) {
    sun_moon_start(s.sun_moon_x, s.sun_moon_y);
    s.moon_shade_x = s.sun_moon_x;
    s.daytime = 0;
    s.sky_ticks = 0;
    s.sky_passes = 0;

    s.star_a_x = 100;
    s.star_a_y = 160;
    s.star_size = 3;
    s.star_color = KANVO_WHITE;
    s.star_b_x = -150;
    s.star_b_y = 170;
    s.star_b_size = 2;
    s.star_b_color = KANVO_YELLOW;

    s.cloud1_x = 150;
    s.cloud2_x = -125;
    s.cloud_y = 190;

    s.big_flower_x = 100;
    s.big_flower_y = -210;
    s.petal_radius = 8;
    s.center_radius = 2;
    s.big_flower_petal_color = KANVO_RED;
    s.big_flower_center_color = KANVO_YELLOW;
    s.flower_count = 0;
    s.flower_presses = 0;

    s.boat_x = 80;
    s.boat_y = -74;
    s.boat_half_length = 25;
    s.sail_height = 40;
    s.boat_ticks = 0;

    s.big_bug_x = s.big_flower_x + 20;
    s.big_bug_y = s.big_flower_y + 30;
    s.bug_size = 5;
    s.bug_count = 0;
    s.bug_presses = 0;

    s.tree_top_kind = 0;
    s.tree_top_presses = 0;

    s.wind_on = 0;
    s.wind_presses = 0;
    s.waves_x = -275;
    s.waves_y = -80;
    s.wave_ticks = 0;
    s.wave_phase = 0;

    s.event_kind = 0;
    s.mouse_x = 0;
    s.mouse_y = 0;
    s.key = 0;
    s.done = 0;
}

// The order of these draws fixes every random start value for a given seed.
void draw_random_start_values(SceneState &s) {
    for (int i = 0; i < kStarCount; i++) {
        s.star_x[i] = random15() % 600 - 300;
        s.star_y[i] = random15() % 100 + 145;
    }
    for (int i = 0; i < kFlowerSlots; i++) {
        s.flower_x[i] = random15() % 400 - 125;
        s.flower_y[i] = random15() % 125 - 215;
        s.flower_petal_color[i] = random15() % 24 + 1;
        s.flower_center_color[i] = random15() % 24 + 1;
    }
    for (int i = 0; i < kBugSlots; i++) {
        s.bug_x[i] = random15() % 300 - 25;
        s.bug_y[i] = random15() % 125 - 215;
    }
    for (int i = 0; i < kSnowflakes; i++) {
        s.snow_x[i] = (random15() % 300) * 2 - 300;
        s.snow_y[i] = 250 - random15() % 500;
    }
}

void animate_one_tick(SceneState &s) {
    move_sky(s.sun_moon_x, s.sun_moon_y, s.moon_shade_x, s.sky_ticks, s.sky_passes, s.daytime);
    twinkle(s.star_size, s.star_color);
    twinkle(s.star_b_size, s.star_b_color);
    bool frozen = s.tree_top_kind == kTreeTopWinter;  // winter stills all but the sky
    if (!frozen) move_bugs(s.mouse_x, s.mouse_y, s.bug_size, s.bug_x, s.bug_y);
    if (s.wind_on == 1 && !frozen) {
        move_boat(s.boat_x, s.boat_y, s.boat_ticks, s.boat_half_length, s.sail_height);
        move_waves(s.waves_x, s.wave_ticks, s.wave_phase);
        move_clouds(s.cloud1_x, s.cloud2_x);
    }
}

}  // namespace

void landscape_set_seed(uint32_t seed) {
    preset_seed = seed;
    preset_seed_pending = true;
}

void sun_moon_start(int &x, int &y) {
    x = 300;
    y = 150;
}

void start_scene(SceneState &scene) {
    set_fixed_start_values(scene);
    draw_random_start_values(scene);
}

void press_panel_on(SceneState &s) {
    press_panel(s.mouse_x, s.mouse_y, s.big_flower_petal_color, s.big_flower_center_color,
                s.tree_top_kind, s.tree_top_presses, s.wind_presses, s.wind_on,
                s.flower_petal_color, s.flower_center_color, s.flower_presses, s.flower_count,
                s.bug_presses, s.bug_count);
}

void apply_event(SceneState &scene, int event_kind) {
    switch (event_kind) {
    case KANVO_MOUSE: press_panel_on(scene); break;
    case KANVO_PERIODIC: animate_one_tick(scene); break;
    case KANVO_QUIT: scene.done = 1; break;
    default: break;  // keys change nothing
    }
}

void redraw_scene(SceneState &scene) {
    draw_scene(scene);
    draw_panel();
}

int landscape_main(void *instance, void *previous_instance, const char *command_line, int show) {
    if (preset_seed_pending) {
        random_seed(preset_seed);
        preset_seed_pending = false;
    } else {
        seed_from_clock();
    }
    KANVO_open(instance, previous_instance, command_line, show);
    KANVO_logging(0);
    KANVO_clear();
    KANVO_animate(KANVO_ANIMATE_RUN);

    SceneState scene{};
    start_scene(scene);
    redraw_scene(scene);

    while (scene.done == 0) {
        scene.event_kind = KANVO_await_event(&scene.mouse_x, &scene.mouse_y, &scene.key);
        apply_event(scene, scene.event_kind);
        redraw_scene(scene);
    }

    KANVO_close();
    return 0;
}
