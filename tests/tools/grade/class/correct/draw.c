#include "kanvo.h"
#include "scene.h"

static void house(int left, int width) {
    KANVO_rectangle(KANVO_BROWN, left + width, -100, left, 0, 0);
    KANVO_triangle(KANVO_RED, left - 10, 0, left + width + 10, 0, left + width / 2, 60, 0);
}

void draw_scene(const struct scene *scene) {
    int i;
    KANVO_clear();
    KANVO_circle(KANVO_YELLOW, 200, 170, 40);
    house(-150, 100);
    KANVO_circle(KANVO_WHITE, scene->star, 200, 6);
    KANVO_circle(KANVO_BLUE, scene->ball, -180, 15);
    for (i = 0; i < scene->dots; i++) KANVO_circle(KANVO_BLACK, scene->at[i].x, scene->at[i].y, 4);
}
