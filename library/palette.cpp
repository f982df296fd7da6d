// The 24-colour palette, the colours a program mixes itself (KANVO_rgb, KANVO_hsv), and
// the check every drawing call applies to a colour before it logs or paints with it.
#include <cstdio>
#include <cstdlib>

#include "kanvo_internal.h"

const uint8_t color_table[kColorCount][3] = {
    {0, 0, 0},       {255, 255, 255}, {255, 0, 0},     {0, 255, 0},
    {0, 0, 255},     {255, 255, 0},   {255, 0, 255},   {0, 255, 255},
    {153, 0, 204},   {0, 51, 153},    {153, 102, 153}, {153, 255, 255},
    {153, 255, 204}, {255, 102, 0},   {153, 102, 51},  {255, 153, 204},
    {255, 255, 153}, {204, 153, 51},  {255, 153, 102}, {0, 102, 51},
    {51, 204, 153},  {153, 153, 51},  {128, 128, 128}, {204, 204, 204},
};

const char *const color_names[kColorCount] = {
    "black",     "white",  "red",       "green",        "blue",      "yellow",
    "magenta",   "cyan",   "purple",    "navy blue",    "dusty plum", "ice blue",
    "turquoise", "orange", "brown",     "pink",         "chalk",     "gold",
    "peach",     "forest green", "sea green", "olive",  "50% gray",  "20% gray",
};

static bool is_valid_color(int index) { return index >= 0 && index < kColorCount; }

bool is_rgb_color(int color) { return (color & ~0xFFFFFF) == KANVO_RGB_FLAG; }

int check_color(int index) {
    if (is_valid_color(index)) return index;
    if (kanvo.palette.any_color_on && is_rgb_color(index)) return index;
    log_printf("Illegal color %d; using RED.\n", index);
    return KANVO_RED;
}

ColorName color_name(int color) {
    ColorName name;
    if (is_valid_color(color))
        snprintf(name.text, sizeof name.text, "%s", color_names[color]);
    else
        snprintf(name.text, sizeof name.text, "#%06X", unsigned(color) & 0xFFFFFFu);
    return name;
}

// Commands carry checked colours; an unchecked index still paints red rather than
// reading outside the table.
platform::Pixel palette_pixel(int index) {
    if (is_rgb_color(index))
        return platform::rgb(uint8_t(index >> 16), uint8_t(index >> 8), uint8_t(index));
    if (!is_valid_color(index)) index = KANVO_RED;
    const uint8_t *c = color_table[index];
    return platform::rgb(c[0], c[1], c[2]);
}

namespace {

// A component held to [low, high], the correction announced like any other.
int clamped(const char *what, int value, int low, int high) {
    const int used = value < low ? low : value > high ? high : value;
    if (used != value) log_printf("%s of %d not possible, using %d\n", what, value, used);
    return used;
}

int mixed(int r, int g, int b) {
    kanvo.palette.any_color_on = 1;
    return KANVO_RGB_FLAG | (r << 16) | (g << 8) | b;
}

}  // namespace

int KANVO_rgb(int r, int g, int b) {
    r = clamped("Red", r, 0, 255);
    g = clamped("Green", g, 0, 255);
    b = clamped("Blue", b, 0, 255);
    return mixed(r, g, b);
}

// In whole numbers, so that every platform mixes the same colour: with s and v in percent,
// the chroma c = v s / 10000 and the second largest component x = c (60 - |h mod 120 - 60|)
// / 60 are kept as multiples of 1 / 600000 and each channel is rounded once, at the end.
int KANVO_hsv(int h, int s, int v) {
    h = clamped("Hue", h, 0, 359);
    s = clamped("Saturation", s, 0, 100);
    v = clamped("Value", v, 0, 100);
    constexpr int kScale = 600000;
    const int c = v * s * 60;
    const int x = v * s * (60 - std::abs(h % 120 - 60));
    const int m = v * 100 * 60 - c;
    int parts[3] = {0, 0, 0};  // r, g, b before m is added
    switch (h / 60) {
    case 0: parts[0] = c; parts[1] = x; break;
    case 1: parts[0] = x; parts[1] = c; break;
    case 2: parts[1] = c; parts[2] = x; break;
    case 3: parts[1] = x; parts[2] = c; break;
    case 4: parts[0] = x; parts[2] = c; break;
    default: parts[0] = c; parts[2] = x; break;
    }
    int channel[3];
    for (int i = 0; i < 3; ++i) channel[i] = (255 * (parts[i] + m) + kScale / 2) / kScale;
    return mixed(channel[0], channel[1], channel[2]);
}
