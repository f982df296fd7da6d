// The control panel: its five boxes drawn over every frame, the test whether a click
// hit it, and what each box changes in the scene state.
#include "panel.h"

#include "counters.h"
#include "kanvo.h"
#include "random15.h"

namespace {

constexpr int kBoxes = 5;
constexpr int kLeft = -295;
constexpr int kRight = -195;
constexpr int kTop = 245;
constexpr int kBoxHeight = 25;
constexpr int kBottom = kTop - kBoxes * kBoxHeight;  // 120
constexpr int kLabelX = -285;
constexpr int kLabelBaseline = 227;
constexpr int kLabelSize = 12;

const char *const kLabels[kBoxes] = {"Change Colors", "Alter Tree Tops", "Simulate Wind",
                                     "Add Flowers", "Add Bugs"};

enum Box { change_colors_box, tree_tops_box, wind_box, flowers_box, bugs_box };

// Counts run up and back down: 0, 1, ..., peak, ..., 1, 0 and 0 again, over `cycle`
// presses (a remainder above peak counts back down from cycle - 1).
int up_and_down(int presses, int cycle, int peak) {
    int d = presses % cycle;
    return d <= peak ? d : cycle - 1 - d;
}

void next_tree_top(int &tree_top_kind, int &tree_top_presses) {
    count_up(tree_top_presses, kTreeTopKinds);
    tree_top_kind = tree_top_presses % kTreeTopKinds;
}

void toggle_wind(int &wind_presses, int &wind_on) {
    count_up(wind_presses, 2);
    wind_on = wind_presses % 2;
}

void more_flowers(int &flower_presses, int &flower_count) {
    count_up(flower_presses, 31);
    flower_count = up_and_down(flower_presses, 31, kFlowerSlots);
}

void more_bugs(int &bug_presses, int &bug_count) {
    count_up(bug_presses, 11);
    bug_count = up_and_down(bug_presses, 11, kBugSlots);
}

}  // namespace

void draw_panel() {
    for (int k = 0; k < kBoxes; k++)
        KANVO_rectangle(KANVO_BLACK, kLeft, kTop - kBoxHeight * k, kRight,
                        kTop - kBoxHeight * (k + 1), kThinOutline);
    for (int k = 0; k < kBoxes; k++)
        KANVO_printf(KANVO_BLACK, kLabelX, kLabelBaseline - kBoxHeight * k, kLabelSize, "%s",
                     kLabels[k]);
}

int in_panel(int x, int y) {
    return kLeft < x && x < kRight && kBottom < y && y < kTop ? 1 : 0;
}

void change_colors(int &petal_color, int &center_color, int (&petal_colors)[kFlowerSlots],
                   int (&center_colors)[kFlowerSlots]) {
    for (int i = 0; i < kFlowerSlots; i++) {
        petal_colors[i] = random15() % 24 + 1;
        center_colors[i] = random15() % 24 + 1;
    }
    petal_color = (petal_color + 1) % 24;
    center_color = (center_color + 1) % 24;
}

void press_panel(int x, int y, int &big_flower_petal_color, int &big_flower_center_color,
                 int &tree_top_kind, int &tree_top_presses, int &wind_presses, int &wind_on,
                 int (&flower_petal_color)[kFlowerSlots],
                 int (&flower_center_color)[kFlowerSlots], int &flower_presses,
                 int &flower_count, int &bug_presses, int &bug_count) {
    // Outside the panel no box is meant (and 245 - y could overflow).
    if (!in_panel(x, y)) return;
    switch ((kTop - y) / kBoxHeight) {  // a line shared by two boxes belongs to the lower
    case change_colors_box:
        change_colors(big_flower_petal_color, big_flower_center_color, flower_petal_color,
                      flower_center_color);
        break;
    case tree_tops_box: next_tree_top(tree_top_kind, tree_top_presses); break;
    case wind_box: toggle_wind(wind_presses, wind_on); break;
    case flowers_box: more_flowers(flower_presses, flower_count); break;
    case bugs_box: more_bugs(bug_presses, bug_count); break;
    }
}
