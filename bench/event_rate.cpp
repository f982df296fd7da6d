// Event figures on the desktop backend (Qt on Linux, Win32 on Windows): periodic events
// per second while the animation runs, and the processor time the program takes while
// animating with a full redraw per event and while halted (when the wait should simply
// block).
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "event_rate_system.h"
#include "kanvo.h"

namespace {

double wall_seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

int await_kind() {
    int x = 0, y = 0;
    char key = 0;
    return KANVO_await_event(&x, &y, &key);
}

// A frame like the landscape's: the surface cleared and about 150 shapes drawn over it.
void full_frame(int frame) {
    KANVO_clear();
    KANVO_rectangle(KANVO_ICE_BLUE, -299, 269, 299, -40, 0);
    KANVO_rectangle(KANVO_FOREST_GREEN, -299, -40, 299, -269, 0);
    for (int i = 0; i < 30; ++i) {
        const int x = -280 + i * 19, shift = (frame + i) % 20;
        KANVO_triangle(KANVO_GRAY_50, x - 30, -40, x, 60 + shift, x + 30, -40, 0);
        KANVO_circle(KANVO_GOLD, x, 200 - shift, 6);
        KANVO_oval(KANVO_NAVY_BLUE, x - 8, -100 - shift, x + 8, -110 - shift, 1);
        KANVO_line(KANVO_SEA_GREEN, x, -150, x + 12, -160 + shift, 2);
        KANVO_rectangle(KANVO_PINK, x - 4, -200, x + 4, -210 - shift, 2);
    }
    KANVO_printf(KANVO_BLACK, -280, 240, 14, "frame %d", frame);
}

}  // namespace

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
    if (!(seconds > 0.0 && seconds < 3600.0)) {
        std::fprintf(stderr, "usage: event_rate [seconds per figure]\n");
        return 2;
    }
    KANVO_open(nullptr, nullptr, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    KANVO_clear();
    KANVO_animate(KANVO_ANIMATE_RUN);

    // (a) periodic events per second, next to nothing drawn per event.
    int ticks = 0;
    double start = wall_seconds();
    while (wall_seconds() - start < seconds) {
        if (await_kind() == KANVO_PERIODIC) ++ticks;
        KANVO_circle(KANVO_RED, ticks % 200 - 100, 0, 10);
    }
    const double rate = ticks / (wall_seconds() - start);

    // (b) processor time while animating with a full redraw per event.
    int frames = 0;
    start = wall_seconds();
    double cpu = cpu_seconds();
    while (wall_seconds() - start < seconds) {
        if (await_kind() == KANVO_PERIODIC) ++frames;
        full_frame(frames);
    }
    const double animating_wall = wall_seconds() - start;
    const double animating_cpu = cpu_seconds() - cpu;

    // (c) processor time while halted: one wait that only a click ends.
    KANVO_animate(KANVO_ANIMATE_HALT);
    click_drawing_window_after(int(seconds * 1000));
    start = wall_seconds();
    cpu = cpu_seconds();
    int kind = 0;
    do kind = await_kind();
    while (kind != KANVO_MOUSE && kind != KANVO_QUIT);
    const double halted_wall = wall_seconds() - start;
    const double halted_cpu = cpu_seconds() - cpu;

    std::printf("periodic events per second (animation running):  %.2f\n", rate);
    std::printf("full redraws per second (clear + 153 shapes):     %.2f\n",
                frames / animating_wall);
    std::printf("cpu while animating, full redraw per event:       %.2f %% of one core\n",
                100.0 * animating_cpu / animating_wall);
    std::printf("cpu while halted (%.1f s blocked in one wait):     %.3f %% of one core\n",
                halted_wall, 100.0 * halted_cpu / halted_wall);
    KANVO_close();
    return 0;
}
