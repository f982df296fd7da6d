// Overflow-safe steps for the scene's counters and wandering positions, so that years of
// animation or absurd event positions never overflow a signed integer.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>

// Adds one. The counter is only ever read modulo `period`; instead of passing INT_MAX it
// continues at the smallest non-negative value with the residue INT_MAX + 1 would have.
inline void count_up(int &counter, int period) {
    if (counter == INT_MAX)
        counter = int((int64_t(INT_MAX) + 1) % period);
    else
        counter += 1;
}

// Farthest a wandering position may stray from the centre: far outside the picture, far
// inside the range in which a figure's coordinates (position +- a few units) still fit.
constexpr int kFarthestPosition = 1 << 24;

// Moves a position by a small step, held within +-kFarthestPosition.
inline void nudge(int &position, int step) {
    int64_t moved = int64_t(position) + step;
    position = int(std::clamp<int64_t>(moved, -kFarthestPosition, kFarthestPosition));
}
