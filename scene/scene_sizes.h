// Lengths of the scene's fixed arrays, shared by the state, the frame and the figures.
#pragma once

constexpr int kStarCount = 10;     // the ten stars (star A and star B come on top)
constexpr int kFlowerSlots = 15;   // small flowers that "Add Flowers" can show
constexpr int kBugSlots = 5;       // small bugs that "Add Bugs" can show
constexpr int kSnowflakes = 75;    // flakes of the winter snowfall
