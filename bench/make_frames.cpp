// kanvo-make-frames DIR: runs the landscape on the headless backend and writes two of its
// frames as command lists (the reference pictures' format) for the peer benchmark:
//   night.txt  the start-up frame at night;
//   busy.txt   the busiest frame: winter, 15 flowers, 5 bugs, the wind on.
// A frame is what one redraw paints: every shape command, recorded as the renderer
// receives it. Text is left out (the peers would paint it with other fonts), and so is
// the clear that precedes the first frame only (the program clears once, at start-up).
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

// The scene's fixed seed for the recorded frames; any seed gives frames of the same size.
constexpr uint32_t kSeed = 1;

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
std::unique_ptr<std::ofstream> open_frame(const std::string &dir, const char *name,
                                          const char *what) {
    std::string path = dir + "/" + name;
    auto out = std::make_unique<std::ofstream>(path);
    if (!*out) {
        std::fprintf(stderr, "kanvo-make-frames: cannot write %s: %s\n", path.c_str(),
                     std::strerror(errno));
        std::exit(1);
    }
    *out << "# " << what << "\n# Made by kanvo-make-frames from the landscape (seed " << kSeed
         << "); text left out.\norigin " << kanvo.windows.origin_x << ' '
         << kanvo.windows.origin_y << '\n';
    shapes = texts_left_out = 0;
    return out;
}

bool close_frame(std::unique_ptr<std::ofstream> out, const char *name) {
    *out << "# " << shapes << " shapes\n";
    out->close();
    std::printf("%-10s %d shapes, %d texts left out\n", name, shapes, texts_left_out);
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

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kanvo-make-frames DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    platform::set_backend(std::make_unique<platform::HeadlessBackend>());
    KANVO_open(nullptr, nullptr, "", KANVO_SHOW_HIDDEN);
    KANVO_logging(0);
    kanvo.surface.render_observer = record;
    bool ok = true;

    // The program's start: clear, the start values, the first frame.
    random_seed(kSeed);
    KANVO_clear();
    SceneState scene{};
    start_scene(scene);
    auto night = open_frame(dir, "night.txt", "The landscape's start-up frame at night.");
    recording = night.get();
    redraw_scene(scene);
    recording = nullptr;
    ok = close_frame(std::move(night), "night.txt") && ok;

    // Everything on, the wind moving boat, waves and bugs for a while, then winter.
    press(scene, kFlowersY, kFlowerSlots);
    press(scene, kBugsY, kBugSlots);
    press(scene, kWindY, 1);
    ticks(scene, 20);
    press(scene, kTreeTopsY, kTreeTopWinter);
    ticks(scene, 20);
    apply_event(scene, KANVO_PERIODIC);
    auto busy = open_frame(dir, "busy.txt",
                           "The busiest frame: winter, 15 flowers, 5 bugs, the wind on.");
    recording = busy.get();
    redraw_scene(scene);
    recording = nullptr;
    ok = close_frame(std::move(busy), "busy.txt") && ok;

    kanvo.surface.render_observer = nullptr;
    KANVO_close();
    return ok ? 0 : 1;
}
