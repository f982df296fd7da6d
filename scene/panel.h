// The control panel: five labelled boxes in the top-left corner, and what a click on
// each of them changes in the scene state.
#pragma once

#include "scene_constants.h"

void draw_panel();
// 1 when (x, y) lies strictly inside the panel's outline, else 0.
int in_panel(int x, int y);
// The press of the box under (x, y); a position outside the panel (any int) changes
// nothing, so callers need not check in_panel first.
void press_panel(int x, int y, int &big_flower_petal_color, int &big_flower_center_color,
                 int &tree_top_kind, int &tree_top_presses, int &wind_presses, int &wind_on,
                 int (&flower_petal_color)[kFlowerSlots],
                 int (&flower_center_color)[kFlowerSlots], int &flower_presses,
                 int &flower_count, int &bug_presses, int &bug_count);
void change_colors(int &petal_color, int &center_color, int (&petal_colors)[kFlowerSlots],
                   int (&center_colors)[kFlowerSlots]);
