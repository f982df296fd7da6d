// The fixed figures of the landscape, each a fixed sequence of drawing calls placed by
// the frame: tree tops, cloud, boat, bug, flower, waves and the winter scenery.
#pragma once

#include "scene_constants.h"

void draw_tree_top(int kind, int color_a, int color_b, int color_c);
void draw_cloud(int x, int y);
void draw_boat(int x, int y, int half_length, int sail_height);
void draw_bug(int x, int y, int size);
void draw_bugs(const int (&xs)[kBugSlots], const int (&ys)[kBugSlots], int size, int count);
void draw_flower(int x, int y, int petal_radius, int center_radius, int petal_color,
                 int center_color);
void draw_flowers(const int (&xs)[kFlowerSlots], const int (&ys)[kFlowerSlots], int count,
                  int petal_radius, int center_radius, const int (&petal_colors)[kFlowerSlots],
                  const int (&center_colors)[kFlowerSlots]);
void draw_waves(int x, int y);
void draw_winter_scenery();
