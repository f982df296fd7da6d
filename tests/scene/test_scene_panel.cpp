// The control panel: which clicks hit which box, and what each box's presses do over
// their whole cycles.
#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

#include "landscape.h"
#include "panel.h"
#include "random15.h"

namespace {

SceneState fresh_scene() {
    random_seed(1);
    SceneState scene{};
    start_scene(scene);
    return scene;
}

void press(SceneState &s, int x, int y) {
    s.mouse_x = x;
    s.mouse_y = y;
    press_panel_on(s);
}

// The y of a point inside box k, halfway down.
int inside_box(int k) { return 245 - 25 * k - 12; }

// What a press changed: the values of the five boxes.
std::vector<int> panel_values(const SceneState &s) {
    return {s.big_flower_petal_color, s.tree_top_kind, s.wind_on, s.flower_count, s.bug_count};
}

}  // namespace

TEST(ScenePanel, InsideIsStrictlyWithinTheOutline) {
    EXPECT_EQ(in_panel(-294, 121), 1);
    EXPECT_EQ(in_panel(-196, 244), 1);
    EXPECT_EQ(in_panel(-250, 200), 1);
    for (int y : {120, 245, 180})
        for (int x : {-295, -195}) EXPECT_EQ(in_panel(x, y), 0) << x << "," << y;
    EXPECT_EQ(in_panel(-250, 120), 0);
    EXPECT_EQ(in_panel(-250, 245), 0);
    EXPECT_EQ(in_panel(-250, 246), 0);
    EXPECT_EQ(in_panel(-296, 200), 0);
    EXPECT_EQ(in_panel(0, 0), 0);
    EXPECT_EQ(in_panel(INT_MIN, INT_MIN), 0);
    EXPECT_EQ(in_panel(INT_MAX, INT_MAX), 0);
}

TEST(ScenePanel, SharedLinesBelongToTheLowerBox) {
    // y = 221 is the lowest row of "Change Colors", y = 220 the top of "Alter Tree Tops".
    SceneState s = fresh_scene();
    press(s, -250, 221);
    EXPECT_EQ(s.big_flower_petal_color, 3);
    EXPECT_EQ(s.tree_top_presses, 0);
    press(s, -250, 220);
    EXPECT_EQ(s.tree_top_presses, 1);
    press(s, -250, 195);
    EXPECT_EQ(s.wind_presses, 1);
    press(s, -250, 170);
    EXPECT_EQ(s.flower_presses, 1);
    press(s, -250, 145);
    EXPECT_EQ(s.bug_presses, 1);
    press(s, -250, 121);
    EXPECT_EQ(s.bug_presses, 2);

    // A position outside the panel selects nothing, even where the row would be 0.
    SceneState before = s;
    for (auto [x, y] : std::vector<std::pair<int, int>>{
             {-250, 250}, {-250, 120}, {-295, 200}, {0, 0}, {-250, INT_MIN}})
        press(s, x, y);
    EXPECT_EQ(panel_values(s), panel_values(before));
    EXPECT_EQ(s.bug_presses, before.bug_presses);
}

TEST(ScenePanel, TreeTopsCycleThroughWinter) {
    SceneState s = fresh_scene();
    std::vector<int> kinds;
    for (int i = 0; i < 13; i++) {
        press(s, -250, inside_box(1));
        kinds.push_back(s.tree_top_kind);
    }
    EXPECT_EQ(kinds, (std::vector<int>{1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 0, 1}));
}

TEST(ScenePanel, WindTogglesOnOddPresses) {
    SceneState s = fresh_scene();
    std::vector<int> wind;
    for (int i = 0; i < 4; i++) {
        press(s, -250, inside_box(2));
        wind.push_back(s.wind_on);
    }
    EXPECT_EQ(wind, (std::vector<int>{1, 0, 1, 0}));
}

TEST(ScenePanel, FlowersAndBugsCountUpAndDownWithADoubleZero) {
    SceneState s = fresh_scene();
    std::vector<int> flowers;
    for (int i = 0; i < 64; i++) {
        press(s, -250, inside_box(3));
        flowers.push_back(s.flower_count);
    }
    std::vector<int> one_cycle{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 14,
                               13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0};
    for (int i = 0; i < 64; i++) ASSERT_EQ(flowers[i], one_cycle[i % 31]) << "press " << i + 1;
    EXPECT_EQ(flowers[29], 0);  // press 30
    EXPECT_EQ(flowers[30], 0);  // press 31
    EXPECT_EQ(flowers[31], 1);  // press 32

    std::vector<int> bugs;
    for (int i = 0; i < 23; i++) {
        press(s, -250, inside_box(4));
        bugs.push_back(s.bug_count);
    }
    EXPECT_EQ(bugs, (std::vector<int>{1, 2, 3, 4, 5, 4, 3, 2, 1, 0, 0, 1, 2, 3, 4, 5, 4, 3, 2, 1,
                                      0, 0, 1}));
}

TEST(ScenePanel, ChangeColorsDrawsThirtyColoursAndStepsTheBigFlower) {
    SceneState s = fresh_scene();
    random_seed(42);
    press(s, -250, inside_box(0));
    random_seed(42);
    for (int i = 0; i < kFlowerSlots; i++) {
        EXPECT_EQ(s.flower_petal_color[i], random15() % 24 + 1);
        EXPECT_EQ(s.flower_center_color[i], random15() % 24 + 1);
    }

    for (int i = 1; i < 22; i++) press(s, -250, inside_box(0));
    EXPECT_EQ(s.big_flower_petal_color, 0);  // 2 + 22 wrapped: black
    EXPECT_EQ(s.big_flower_center_color, 3);
    for (int i = 0; i < kFlowerSlots; i++) {
        EXPECT_GE(s.flower_petal_color[i], 1);
        EXPECT_LE(s.flower_petal_color[i], 24);
        EXPECT_GE(s.flower_center_color[i], 1);
        EXPECT_LE(s.flower_center_color[i], 24);
    }
}
