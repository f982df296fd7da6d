// Software bitmaps: 32-bit pixels in memory, the target of every drawing context.
// Pixels are 0xFFRRGGBB, the layout a desktop image of 32-bit RGB uses directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

using Pixel = uint32_t;

constexpr Pixel rgb(uint8_t r, uint8_t g, uint8_t b) {
    return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}
constexpr uint8_t red_of(Pixel p) { return uint8_t(p >> 16); }
constexpr uint8_t green_of(Pixel p) { return uint8_t(p >> 8); }
constexpr uint8_t blue_of(Pixel p) { return uint8_t(p); }

constexpr Pixel kBlack = rgb(0, 0, 0);
constexpr Pixel kWhite = rgb(255, 255, 255);

class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height, Pixel fill = kWhite);

    int width() const { return width_; }
    int height() const { return height_; }
    Pixel *row(int y) { return pixels_.data() + size_t(y) * size_t(width_); }
    const Pixel *row(int y) const { return pixels_.data() + size_t(y) * size_t(width_); }
    Pixel pixel(int x, int y) const { return row(y)[x]; }
    void set_pixel(int x, int y, Pixel p) { row(y)[x] = p; }
    const std::vector<Pixel> &pixels() const { return pixels_; }

    // New size, all pixels set to fill (a window's client area after a resize).
    void reset(int width, int height, Pixel fill = kWhite);
    void fill(Pixel p);

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Pixel> pixels_;
};

}  // namespace platform
