// The 24-colour palette and the check every drawing call applies to a colour index
// before it logs or paints with it.
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

int check_color(int index) {
    if (is_valid_color(index)) return index;
    log_printf("Illegal color %d; using RED.\n", index);
    return KANVO_RED;
}

// Commands carry checked indices; an unchecked one still paints red rather than reading
// outside the table.
platform::Pixel palette_pixel(int index) {
    if (!is_valid_color(index)) index = KANVO_RED;
    const uint8_t *c = color_table[index];
    return platform::rgb(c[0], c[1], c[2]);
}
