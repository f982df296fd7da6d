#define MAX_DOTS 50

struct point {
    int x, y;
};

struct scene {
    struct point at[MAX_DOTS];
    int dots, ball, star;
};

void draw_scene(const struct scene *scene);
