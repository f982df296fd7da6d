// One complete frame of the landscape, painted back to front from the scene state.
#pragma once

#include "landscape.h"

// Draws every value of the scene and changes only one: in winter the snow falls one
// step, so snow_y moves. Nothing else in the record is written.
void draw_scene(SceneState &scene);

void draw_star(int x, int y, int size, int color);

enum class IcicleKind { bug, flower };
void draw_icicles(IcicleKind kind, int x, int y);
