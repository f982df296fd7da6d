// Constants shared by the scene's state, its frame, its figures and its panel: the
// lengths of the fixed arrays, the kinds of tree top and the width arguments in use.
#pragma once

constexpr int kStarCount = 10;     // the ten stars (star A and star B come on top)
constexpr int kFlowerSlots = 15;   // small flowers that "Add Flowers" can show
constexpr int kBugSlots = 5;       // small bugs that "Add Bugs" can show
constexpr int kSnowflakes = 75;    // flakes of the winter snowfall

// The kinds of tree top (tree_top_kind), in the order "Alter Tree Tops" steps through.
constexpr int kTreeTopFourLobes = 0;      // green crown of four lobes
constexpr int kTreeTopGreenCrown = 1;     // full crown in green
constexpr int kTreeTopAutumnCrown = 2;    // full crown in red, yellow and brown
constexpr int kTreeTopFallingLeaves = 3;  // bare branches, leaves on them and below
constexpr int kTreeTopFallenLeaves = 4;   // bare branches, leaves on the ground
constexpr int kTreeTopWinter = 5;         // bare tree in the winter scene: the scene freezes
constexpr int kTreeTopKinds = 6;

// Width arguments of the shape calls: 0 fills the shape, a positive width outlines it.
constexpr int kFilled = 0;
constexpr int kThinOutline = 1;
