// The landscape's fixed figures. Each is a fixed sequence of drawing calls; outlines are
// a black shape with a slightly smaller coloured one drawn over it.
#include "figures.h"

#include <algorithm>

#include "kanvo.h"

namespace {

struct Point {
    int x, y;
};
struct Segment {
    Point from, to;
    int width;
};
struct Box {
    int color;
    Point corner1, corner2;
};
struct Triangle {
    Point a, b, c;
};
struct Lobe {
    Point center;
    int radius;
    bool use_color_a;  // else color_b
};

// A black disc one unit larger beneath a coloured one.
void outlined_circle(int color, int x, int y, int radius) {
    KANVO_circle(KANVO_BLACK, x, y, radius + 1);
    KANVO_circle(color, x, y, radius);
}

void draw_crown_of_four_lobes(int color_a, int color_b, int color_c) {
    const Point centers[4] = {{-255, -140}, {-235, -140}, {-245, -130}, {-245, -150}};
    const int colors[4] = {color_b, color_b, color_a, color_c};
    // All black first: the rim shows only around the crown, not between its lobes.
    for (const Point &p : centers) KANVO_circle(KANVO_BLACK, p.x, p.y, 20);
    for (int i = 0; i < 4; i++) KANVO_circle(colors[i], centers[i].x, centers[i].y, 19);
}

void draw_full_crown(int color_a, int color_b, int color_c) {
    static constexpr Lobe kLobes[] = {
        {{-245, -160}, 9, false}, {{-261, -160}, 6, true}, {{-229, -160}, 6, true},
        {{-225, -147}, 8, false}, {{-265, -147}, 8, false}, {{-258, -135}, 7, true},
        {{-232, -135}, 7, true},  {{-245, -130}, 9, false},
    };
    KANVO_circle(color_c, -245, -145, 16);
    for (const Lobe &lobe : kLobes)
        outlined_circle(lobe.use_color_a ? color_a : color_b, lobe.center.x, lobe.center.y,
                        lobe.radius);
}

void draw_bare_branches() {
    static constexpr Segment kBranches[] = {
        {{-245, -145}, {-240, -130}, 2}, {{-240, -130}, {-227, -123}, 1},
        {{-245, -145}, {-255, -136}, 2}, {{-255, -136}, {-265, -124}, 1},
        {{-245, -150}, {-230, -146}, 2}, {{-230, -146}, {-217, -132}, 1},
        {{-245, -146}, {-222, -127}, 2}, {{-222, -127}, {-213, -130}, 1},
        {{-245, -160}, {-262, -150}, 2}, {{-262, -150}, {-277, -147}, 1},
        {{-245, -155}, {-260, -142}, 2}, {{-260, -142}, {-274, -136}, 1},
    };
    KANVO_rectangle(KANVO_BLACK, -247, -180, -243, -145, kThinOutline);
    KANVO_line(KANVO_BROWN, -245, -180, -245, -146, 3);
    for (const Segment &s : kBranches)
        KANVO_line(KANVO_BLACK, s.from.x, s.from.y, s.to.x, s.to.y, s.width);
}

constexpr int R = KANVO_RED;
constexpr int Y = KANVO_YELLOW;

constexpr Box kFirstLeaves[] = {
    {R, {-270, -205}, {-276, -202}}, {R, {-235, -200}, {-228, -197}},
    {Y, {-240, -198}, {-234, -195}}, {Y, {-260, -197}, {-253, -193}},
    {R, {-265, -200}, {-259, -197}}, {R, {-230, -195}, {-223, -192}},
    {Y, {-275, -192}, {-268, -189}}, {Y, {-227, -191}, {-220, -188}},
    {R, {-227, -123}, {-220, -120}}, {R, {-274, -136}, {-271, -143}},
};
constexpr Box kSecondLeaves[] = {
    {Y, {-277, -147}, {-280, -154}}, {Y, {-260, -143}, {-263, -150}},
    {R, {-262, -150}, {-266, -156}}, {R, {-240, -131}, {-237, -138}},
    {R, {-230, -146}, {-227, -153}}, {Y, {-222, -127}, {-225, -134}},
    {Y, {-266, -125}, {-269, -132}}, {R, {-255, -136}, {-252, -143}},
    {R, {-278, -148}, {-275, -155}}, {R, {-213, -131}, {-210, -138}},
    {Y, {-217, -133}, {-214, -140}},
};
constexpr Box kThirdLeaves[] = {
    {R, {-265, -213}, {-262, -219}}, {Y, {-226, -205}, {-223, -198}},
    {R, {-214, -198}, {-211, -192}}, {Y, {-241, -212}, {-238, -218}},
    {Y, {-272, -210}, {-278, -213}}, {R, {-248, -194}, {-245, -200}},
    {R, {-246, -201}, {-241, -207}}, {Y, {-250, -202}, {-256, -205}},
};

template <size_t N>
void draw_ovals(const Box (&ovals)[N]) {
    for (const Box &b : ovals)
        KANVO_oval(b.color, b.corner1.x, b.corner1.y, b.corner2.x, b.corner2.y, kFilled);
}

// Winter: ice over the lake's own box, and a drift of snow at the foot of the tree.
void draw_frozen_ground() {
    KANVO_oval(KANVO_ICE_BLUE, -400, -50, 100, -100, kFilled);
    KANVO_oval(KANVO_WHITE, -270, -205, -220, -190, kFilled);
}

void draw_bare_tree(int kind) {
    draw_bare_branches();
    if (kind == kTreeTopFallingLeaves || kind == kTreeTopFallenLeaves) draw_ovals(kFirstLeaves);
    if (kind == kTreeTopFallingLeaves) draw_ovals(kSecondLeaves);
    if (kind == kTreeTopFallenLeaves) draw_ovals(kThirdLeaves);
    if (kind == kTreeTopWinter) draw_frozen_ground();
}

void white_triangle(const Triangle &t) {
    KANVO_triangle(KANVO_WHITE, t.a.x, t.a.y, t.b.x, t.b.y, t.c.x, t.c.y, kFilled);
}

// Snow caps, grouped by the peak they cover; a black line is drawn between the groups.
constexpr Triangle kSnowCapsBeforeRidge[] = {
    {{-37, 208}, {-67, 180}, {25, 160}},    {{-67, 180}, {-52, 160}, {-30, 172}},
    {{-30, 172}, {-15, 155}, {10, 172}},    {{5, 165}, {17, 155}, {25, 160}},
    {{300, 170}, {178, 100}, {300, 100}},   {{200, 75}, {178, 100}, {228, 100}},
    {{228, 100}, {260, 75}, {280, 100}},    {{280, 100}, {290, 73}, {300, 100}},
    {{75, 166}, {124, 120}, {-5, 120}},     {{20, 100}, {45, 120}, {-5, 120}},
    {{45, 120}, {67, 103}, {90, 120}},      {{112, 98}, {124, 120}, {90, 120}},
    {{-100, 187}, {-159, 120}, {14, 120}},  {{-157, 123}, {-133, 112}, {-116, 120}},
    {{-116, 120}, {-96, 106}, {-74, 120}},  {{-74, 120}, {-56, 104}, {-34, 120}},
    {{-34, 120}, {-11, 108}, {10, 120}},
};
constexpr Triangle kSnowCapsAfterRidge[] = {
    {{-225, 173}, {-96, 80}, {-285, 80}},   {{-96, 80}, {-116, 65}, {-136, 80}},
    {{-136, 80}, {-156, 60}, {-176, 80}},   {{-176, 80}, {-196, 65}, {-216, 80}},
    {{-216, 80}, {-236, 60}, {-256, 80}},   {{-256, 80}, {-271, 65}, {-285, 80}},
};

void draw_snowman() {
    outlined_circle(KANVO_WHITE, 225, -175, 19);
    outlined_circle(KANVO_WHITE, 225, -155, 14);
    outlined_circle(KANVO_WHITE, 225, -140, 11);
    KANVO_circle(KANVO_BLACK, 221, -136, 1);
    KANVO_circle(KANVO_BLACK, 229, -136, 1);
    KANVO_triangle(KANVO_ORANGE, 227, -139, 225, -139, 232, -143, kFilled);
}

}  // namespace

void draw_tree_top(int kind, int color_a, int color_b, int color_c) {
    switch (kind) {
    case kTreeTopFourLobes: draw_crown_of_four_lobes(color_a, color_b, color_c); break;
    case kTreeTopGreenCrown:
    case kTreeTopAutumnCrown: draw_full_crown(color_a, color_b, color_c); break;
    case kTreeTopFallingLeaves:
    case kTreeTopFallenLeaves:
    case kTreeTopWinter: draw_bare_tree(kind); break;
    default: break;
    }
}

void draw_cloud(int x, int y) {
    const Point puffs[9] = {{x, y},           {x + 20, y + 10}, {x + 40, y + 5},
                            {x + 60, y + 15}, {x - 10, y - 15}, {x + 10, y - 20},
                            {x + 30, y - 15}, {x + 50, y - 13}, {x + 70, y}};
    for (const Point &p : puffs) outlined_circle(KANVO_WHITE, p.x, p.y, 19);
    // Paint over the black arcs that the later puffs left inside the cloud.
    KANVO_circle(KANVO_WHITE, x + 20, y, 19);
    KANVO_circle(KANVO_WHITE, x + 50, y, 19);
}

void draw_boat(int x, int y, int half_length, int sail_height) {
    int h = sail_height;
    KANVO_rectangle(KANVO_BLACK, x - half_length, y, x + half_length, y - 4, kFilled);
    KANVO_triangle(KANVO_YELLOW, x, y, x, y + h, x + h, y + (2 * h) / 3, kFilled);
}

void draw_bug(int x, int y, int size) {
    int s = size;
    KANVO_triangle(KANVO_MAGENTA, x, y, x - s, y + s, x - s, y - s, kFilled);
    KANVO_triangle(KANVO_MAGENTA, x, y, x + s, y + s, x + s, y - s, kFilled);
    KANVO_line(KANVO_BLACK, x, y, x - 3, y + 7, 2);
    KANVO_line(KANVO_BLACK, x, y, x + 3, y + 7, 2);
}

void draw_bugs(const int (&xs)[kBugSlots], const int (&ys)[kBugSlots], int size, int count) {
    int shown = std::min(count, kBugSlots);
    for (int i = 0; i < shown; i++) draw_bug(xs[i], ys[i], size);
}

void draw_flower(int x, int y, int petal_radius, int center_radius, int petal_color,
                 int center_color) {
    int p = petal_radius;
    KANVO_circle(petal_color, x, y, p);
    KANVO_circle(center_color, x, y, center_radius);
    KANVO_line(KANVO_FOREST_GREEN, x, y - p, x, y - p - 15, 2);
    KANVO_line(KANVO_FOREST_GREEN, x, y - p - 10, x + 5, y - p - 3, 2);
}

void draw_flowers(const int (&xs)[kFlowerSlots], const int (&ys)[kFlowerSlots], int count,
                  int petal_radius, int center_radius, const int (&petal_colors)[kFlowerSlots],
                  const int (&center_colors)[kFlowerSlots]) {
    int shown = std::min(count, kFlowerSlots);
    for (int i = 0; i < shown; i++)
        draw_flower(xs[i], ys[i], petal_radius, center_radius, petal_colors[i],
                    center_colors[i]);
}

void draw_waves(int x, int y) {
    struct Row {
        int dy, first_offset, offset_limit;
    };
    static constexpr Row kRows[] = {{0, 0, 232}, {12, -16, 297}, {24, 2, 255}};
    constexpr int kStep = 21;
    for (const Row &row : kRows) {
        int v = y + row.dy;
        for (int o = row.first_offset; o < row.offset_limit; o += kStep) {
            int u = x + o;
            // Black one unit lower first: a thin edge shows along the lower side.
            KANVO_oval(KANVO_BLACK, u, v - 1, u + 20, v - 13, kFilled);
            KANVO_oval(KANVO_BLUE, u, v, u + 20, v - 12, kFilled);
        }
    }
}

void draw_winter_scenery() {
    for (const Triangle &t : kSnowCapsBeforeRidge) white_triangle(t);
    KANVO_line(KANVO_BLACK, -20, 111, 7, 127, 1);
    for (const Triangle &t : kSnowCapsAfterRidge) white_triangle(t);
    draw_snowman();
}
