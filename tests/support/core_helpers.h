// Where the non-white pixels of a picture lie, for the core library tests (the stored log
// is read with log_lines from the shared test support).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "testing.h"

struct InkBox {
    int left = 0, top = 0, right = -1, bottom = -1;  // inclusive; empty when right < left
    bool empty() const { return right < left; }
};

// The box around every pixel that is not white, within [x0, x1) x [y0, y1).
inline InkBox ink_box(const platform::Bitmap &picture, int x0, int y0, int x1, int y1) {
    InkBox box{x1, y1, -1, -1};
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (picture.pixel(x, y) != platform::kWhite) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    if (box.right < 0) box = InkBox{};
    return box;
}

inline InkBox ink_box(const platform::Bitmap &picture) {
    return ink_box(picture, 0, 0, picture.width(), picture.height());
}
