// The animation rules that advance the scene by one periodic event.
#pragma once

#include "scene_constants.h"

void move_sky(int &sun_moon_x, int &sun_moon_y, int &moon_shade_x, int &sky_ticks,
              int &sky_passes, int &daytime);
void twinkle(int &size, int &color);
void move_bugs(int &mouse_x, int &mouse_y, int &bug_size, int (&bug_x)[kBugSlots],
               int (&bug_y)[kBugSlots]);
void move_boat(int &boat_x, int &boat_y, int &boat_ticks, int &boat_half_length,
               int &sail_height);
void move_waves(int &waves_x, int &wave_ticks, int &wave_phase);
void move_clouds(int &cloud1_x, int &cloud2_x);
