// kanvo-make-frames [--seeds N] DIR: runs the landscape on the headless backend and writes
// frames of it as command lists (the reference pictures' format) for the peer benchmark:
//   night.txt  the start-up frame at night;
//   busy.txt   the busiest frame: winter, 15 flowers, 5 bugs, the wind on;
// and with --seeds N, for each seed 1 to N, SCENARIO-SEED.txt for the scenarios night, day,
// wind, winter, garden (15 flowers and 5 bugs by day) and full (all of it in winter), each
// after a number of ticks that depends on the seed, so every frame differs.
// A frame is a full redraw: the clear, then every shape command, recorded as the renderer
// receives it. Text is left out (the peers would paint it with other fonts).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "landscape.h"
#include "random15.h"
#include "testing.h"

namespace {

// The scene's seed for night.txt and busy.txt.
constexpr uint32_t kSeed = 1;
constexpr int kMostSeeds = 1000;

// Panel boxes, by the centre of each (library coordinates).
constexpr int kPanelX = -245;
constexpr int kTreeTopsY = 207, kWindY = 182, kFlowersY = 157, kBugsY = 132;

std::ofstream *recording = nullptr;
int shapes = 0, texts_left_out = 0;

void record(const DrawCommand &c) {
    if (!recording) return;
    std::ofstream &out = *recording;
    switch (c.kind) {
    case kind_triangle:
        out << "tri " << c.color << ' ' << c.width << ' ' << c.x1 << ' ' << c.y1 << ' ' << c.x2
            << ' ' << c.y2 << ' ' << c.x3 << ' ' << c.y3 << '\n';
        break;
    case kind_rectangle:
    case kind_oval:
    case kind_line:
        out << (c.kind == kind_rectangle ? "rect " : c.kind == kind_oval ? "oval " : "line ")
            << c.color << ' ' << c.width << ' ' << c.x1 << ' ' << c.y1 << ' ' << c.x2 << ' '
            << c.y2 << '\n';
        break;
    default:
        ++texts_left_out;
        return;
    }
    ++shapes;
}

// Opens DIR/name and writes its heading; the frame's commands follow as they are painted.
std::unique_ptr<std::ofstream> open_frame(const std::string &dir, const std::string &name,
                                          const std::string &what, uint32_t seed) {
    std::string path = dir + "/" + name;
    auto out = std::make_unique<std::ofstream>(path);
    if (!*out) {
        std::fprintf(stderr, "kanvo-make-frames: cannot write %s: %s\n", path.c_str(),
                     std::strerror(errno));
        std::exit(1);
    }
    *out << "# " << what << "\n# Made by kanvo-make-frames from the landscape (seed " << seed
         << "); text left out.\norigin " << kanvo.windows.origin_x << ' '
         << kanvo.windows.origin_y << "\nclear\n";
    shapes = texts_left_out = 0;
    return out;
}

bool close_frame(std::unique_ptr<std::ofstream> out, const std::string &name) {
    *out << "# " << shapes << " shapes\n";
    out->close();
    std::printf("%-14s %d shapes, %d texts left out\n", name.c_str(), shapes, texts_left_out);
    return bool(*out);
}

// A click on a panel box and the redraw that follows it, as the program's loop does.
void press(SceneState &scene, int y, int times) {
    for (int i = 0; i < times; ++i) {
        scene.mouse_x = kPanelX;
        scene.mouse_y = y;
        apply_event(scene, KANVO_MOUSE);
        redraw_scene(scene);
    }
}

void ticks(SceneState &scene, int count) {
    for (int i = 0; i < count; ++i) {
        apply_event(scene, KANVO_PERIODIC);
        redraw_scene(scene);
    }
}

// Writes DIR/name: the clear and one redraw of the scene.
bool record_frame(SceneState &scene, const std::string &dir, const std::string &name,
                  const std::string &what, uint32_t seed) {
    auto out = open_frame(dir, name, what, seed);
    recording = out.get();
    redraw_scene(scene);
    recording = nullptr;
    return close_frame(std::move(out), name);
}

// The program's start with the given seed: clear, the start values, the first frame.
void start(SceneState &scene, uint32_t seed) {
    random_seed(seed);
    KANVO_clear();
    scene = SceneState{};
    start_scene(scene);
    redraw_scene(scene);
}

void day(SceneState &scene) {
    for (int i = 0; i < 2000 && scene.daytime == 0; ++i) ticks(scene, 1);
}

void everything_on(SceneState &scene) {
    press(scene, kFlowersY, kFlowerSlots);
    press(scene, kBugsY, kBugSlots);
}

struct Scenario {
    const char *name, *what;
    void (*set_up)(SceneState &scene, int seed);
};

const Scenario kScenarios[] = {
    {"night", "A night frame.", [](SceneState &s, int seed) { ticks(s, 11 * seed); }},
    {"day", "A day frame.",
     [](SceneState &s, int seed) {
         day(s);
         ticks(s, 13 * seed);
     }},
    {"wind", "The wind on, boat, waves and clouds moving.",
     [](SceneState &s, int seed) {
         press(s, kWindY, 1);
         ticks(s, 17 * seed);
     }},
    {"winter", "Winter.",
     [](SceneState &s, int seed) {
         ticks(s, 7 * seed);
         press(s, kTreeTopsY, kTreeTopWinter);
     }},
    {"garden", "15 flowers and 5 bugs by day.",
     [](SceneState &s, int seed) {
         day(s);
         everything_on(s);
         ticks(s, 9 * seed);
     }},
    {"full", "Winter, 15 flowers, 5 bugs, the wind on.",
     [](SceneState &s, int seed) {
         everything_on(s);
         press(s, kWindY, 1);
         ticks(s, 20 + 5 * seed);
         press(s, kTreeTopsY, kTreeTopWinter);
         ticks(s, 20);
     }},
};

int usage() {
    std::fprintf(stderr, "usage: kanvo-make-frames [--seeds N] DIR   (N from 1 to %d)\n", kMostSeeds);
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    int seeds = 0;
    if (argc == 4 && std::strcmp(argv[1], "--seeds") == 0) {
        char *end = nullptr;
        errno = 0;
        long n = std::strtol(argv[2], &end, 10);
        if (errno != 0 || end == argv[2] || *end != '\0' || n < 1 || n > kMostSeeds) return usage();
        seeds = int(n);
    } else if (argc != 2) {
        return usage();
    }
    const std::string dir = argv[argc - 1];
    platform::set_backend(std::make_unique<platform::HeadlessBackend>());
    KANVO_open(nullptr, nullptr, "", KANVO_SHOW_HIDDEN);
    KANVO_logging(0);
    kanvo.surface.render_observer = record;
    bool ok = true;
    SceneState scene{};

    // The program's first frame.
    start(scene, kSeed);
    ok = record_frame(scene, dir, "night.txt", "The landscape's start-up frame at night.", kSeed) && ok;

    // Everything on, the wind moving boat, waves and bugs for a while, then winter.
    everything_on(scene);
    press(scene, kWindY, 1);
    ticks(scene, 20);
    press(scene, kTreeTopsY, kTreeTopWinter);
    ticks(scene, 20);
    apply_event(scene, KANVO_PERIODIC);
    ok = record_frame(scene, dir, "busy.txt",
                      "The busiest frame: winter, 15 flowers, 5 bugs, the wind on.", kSeed) && ok;

    for (int seed = 1; seed <= seeds; ++seed)
        for (const Scenario &scenario : kScenarios) {
            start(scene, uint32_t(seed));
            scenario.set_up(scene, seed);
            ok = record_frame(scene, dir, std::string(scenario.name) + "-" + std::to_string(seed) + ".txt",
                              scenario.what, uint32_t(seed)) && ok;
        }

    kanvo.surface.render_observer = nullptr;
    KANVO_close();
    return ok ? 0 : 1;
}
