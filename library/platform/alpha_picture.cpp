// Drawing pictures with alpha by runs: memcpy for opaque runs, the blend for the rest.
#include "alpha_picture.h"

#include <algorithm>
#include <cstring>

#include "dc.h"

namespace platform {
namespace {

uint8_t run_kind_of(Pixel p) {
    const uint8_t a = alpha_of(p);
    return a == 0 ? 0 : a == 255 ? 1 : 2;
}

// Kept apart, on plain arrays, so that the compiler turns it into vector code.
void blend_run(Pixel *__restrict target, const Pixel *__restrict source, int64_t count) {
    for (int64_t x = 0; x < count; ++x) target[x] = blend_over(target[x], source[x]);
}

}  // namespace

AlphaPicture::AlphaPicture(Bitmap pixels) : pixels_(std::move(pixels)) {
    row_start_.reserve(size_t(pixels_.height()) + 1);
    for (int y = 0; y < pixels_.height(); ++y) {
        row_start_.push_back(runs_.size());
        const Pixel *row = pixels_.row(y);
        int x = 0;
        while (x < pixels_.width()) {
            const uint8_t kind = run_kind_of(row[x]);
            int end = x + 1;
            while (end < pixels_.width() && run_kind_of(row[end]) == kind) ++end;
            if (kind != transparent) runs_.push_back(Run{x, end - x, RunKind(kind)});
            x = end;
        }
    }
    row_start_.push_back(runs_.size());
}

void AlphaPicture::draw(Bitmap &target, int64_t left, int64_t top) const {
    // Rows and columns of the picture that land on the target, in 64 bits so that any
    // position is safe.
    const int64_t first_row = std::max<int64_t>(0, -top);
    const int64_t last_row = std::min<int64_t>(height(), int64_t(target.height()) - top);
    const int64_t first_column = std::max<int64_t>(0, -left);
    const int64_t last_column = std::min<int64_t>(width(), int64_t(target.width()) - left);
    if (first_row >= last_row || first_column >= last_column) return;
    for (int64_t y = first_row; y < last_row; ++y) {
        const Pixel *source = pixels_.row(int(y));
        Pixel *row = target.row(int(top + y));
        for (size_t i = row_start_[size_t(y)]; i < row_start_[size_t(y) + 1]; ++i) {
            const Run &run = runs_[i];
            const int64_t start = std::max<int64_t>(run.start, first_column);
            const int64_t end = std::min<int64_t>(int64_t(run.start) + run.length, last_column);
            if (start >= end) continue;
            if (run.kind == opaque) {
                std::memcpy(row + (left + start), source + start, size_t(end - start) * sizeof(Pixel));
            } else if (end - start >= 8) {
                blend_run(row + (left + start), source + start, end - start);
            } else {
                // The soft edge of a sprite: a few pixels, not worth the vector loop's setup.
                for (int64_t x = start; x < end; ++x)
                    row[left + x] = blend_over(row[left + x], source[x]);
            }
        }
    }
}

void DrawingContext::draw_picture(const AlphaPicture &picture, int64_t left, int64_t top) {
    picture.draw(*target_, left, top);
    changed();
}

}  // namespace platform
