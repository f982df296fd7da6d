// The animation rules applied on every periodic event: the sky's day and night, the
// stars' twinkle, the bugs' jitter, and with the wind the boat, the waves and the clouds.
#include "rules.h"

#include "counters.h"
#include "figures.h"
#include "random15.h"

namespace {

// The disc jumps back to the right once it has passed this x on the left.
constexpr int kSkyLeftEnd = -330;

// -1, 0 or +1.
int jitter() { return random15() % 3 - 1; }

// Applies one leg of the boat's course: a step of (dx, dy); on every fourth tick the boat
// also grows (sign +1) or shrinks (sign -1) with its distance.
void sail_leg(int &boat_x, int &boat_y, int boat_ticks, int &boat_half_length,
              int &sail_height, int dx, int dy, int size_sign) {
    boat_x += dx;
    boat_y += dy;
    if (boat_ticks % 4 == 3) {
        boat_half_length += size_sign;
        sail_height += 2 * size_sign;
    }
}

}  // namespace

void move_sky(int &sun_moon_x, int &sun_moon_y, int &moon_shade_x, int &sky_ticks,
              int &sky_passes, int &daytime) {
    sun_moon_x -= 1;
    // The shade lags one more unit every 25th tick: the crescent grows through the night.
    if (sky_ticks % 25 != 24) moon_shade_x -= 1;
    if (sun_moon_x < kSkyLeftEnd) {
        sun_moon_x = -sun_moon_x;
        moon_shade_x = sun_moon_x - 4;
        sun_moon_y = 145;
        count_up(sky_passes, 2);
        daytime = sky_passes % 2;
    }
    // A flat arch: up one on every fourth x right of the middle, down one left of it.
    int quarter_step = sun_moon_x % 4;
    if (quarter_step == 1 || quarter_step == -1) {
        if (sun_moon_x > 0)
            sun_moon_y += 1;
        else
            sun_moon_y -= 1;
    }
    count_up(sky_ticks, 25);
}

void twinkle(int &size, int &color) {
    size = random15() % 4 + 1;
    color = random15() % 24;
}

void move_bugs(int &mouse_x, int &mouse_y, int &bug_size, int (&bug_x)[kBugSlots],
               int (&bug_y)[kBugSlots]) {
    for (int i = 0; i < kBugSlots; i++) {
        nudge(bug_x[i], jitter());
        nudge(bug_y[i], jitter());
    }
    nudge(mouse_x, jitter());
    nudge(mouse_y, jitter());
    bug_size = (random15() % 10) / 2 + 5;
    draw_bug(mouse_x, mouse_y, bug_size);
}

void move_boat(int &boat_x, int &boat_y, int &boat_ticks, int &boat_half_length,
               int &sail_height) {
    count_up(boat_ticks, 4);
    // Each leg sees what the legs before it left, so at a corner two legs act at once.
    if (-88 < boat_x && boat_x <= 80 && boat_y >= -74)
        sail_leg(boat_x, boat_y, boat_ticks, boat_half_length, sail_height, -7, +1, -1);
    if (-256 < boat_x && boat_x <= -88 && boat_y > -74)
        sail_leg(boat_x, boat_y, boat_ticks, boat_half_length, sail_height, -7, -1, +1);
    if (-256 <= boat_x && boat_x < -88 && boat_y <= -74)
        sail_leg(boat_x, boat_y, boat_ticks, boat_half_length, sail_height, +7, -1, +1);
    if (-88 <= boat_x && boat_x < 80 && boat_y < -74)
        sail_leg(boat_x, boat_y, boat_ticks, boat_half_length, sail_height, +7, +1, -1);
}

void move_waves(int &waves_x, int &wave_ticks, int &wave_phase) {
    if (wave_phase < 8)
        waves_x += 2;
    else
        waves_x -= 2;
    count_up(wave_ticks, 16);
    wave_phase = wave_ticks % 16;
}

void move_clouds(int &cloud1_x, int &cloud2_x) {
    cloud1_x -= 2;
    cloud2_x -= 2;
    if (cloud1_x < -400) cloud1_x = 320;
    if (cloud2_x < -400) cloud2_x = 320;
}
