// The desktop's recording for the browser tests: runs the landscape on the headless
// backend with the input steps given on the command line, as the page test gives them to
// the page, and prints the script file the library recorded.
//   kanvo-headless-recording DIR STEP...   steps: click:X,Y (client pixel), key:C,
//   ctrl:L, pause:MS; the recording is DIR/KANVO.SCR
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "landscape.h"
#include "testing.h"

namespace {

platform::HeadlessBackend *user = nullptr;
std::vector<std::string> steps;
bool queued = false;

[[noreturn]] void fail(const std::string &why) {
    std::fprintf(stderr, "kanvo-headless-recording: %s\n", why.c_str());
    std::exit(2);
}

void queue_step(const std::string &step) {
    const size_t colon = step.find(':');
    if (colon == std::string::npos) fail("step without a colon: " + step);
    const std::string kind = step.substr(0, colon), value = step.substr(colon + 1);
    int x = 0, y = 0;
    if (kind == "click" && std::sscanf(value.c_str(), "%d,%d", &x, &y) == 2) {
        user->click(kanvo.windows.draw_window, x, y);
    } else if (kind == "key" && value.size() == 1) {
        user->type(kanvo.windows.draw_window, value);
    } else if (kind == "ctrl" && value.size() == 1) {
        user->ctrl_key(kanvo.windows.draw_window, value[0]);
    } else if (kind == "pause" && std::sscanf(value.c_str(), "%d", &x) == 1) {
        user->pause(x);
    } else {
        fail("step not understood: " + step);
    }
}

// At the first wait the windows exist: the steps go in then, and the close box after them.
void follow_wait() {
    if (queued) return;
    queued = true;
    for (const std::string &step : steps) queue_step(step);
    user->pause(200);
    user->close_box(kanvo.windows.draw_window);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) fail("usage: kanvo-headless-recording DIR STEP...");
    if (chdir(argv[1]) != 0) fail(std::string("cannot enter ") + argv[1] + ": " + std::strerror(errno));
    std::remove("KANVO.SCR");
    steps.assign(argv + 2, argv + argc);
    auto backend = std::make_unique<platform::HeadlessBackend>();
    user = backend.get();
    platform::set_backend(std::move(backend));
    user->set_quiet_limit_ms(std::numeric_limits<int64_t>::max());
    kanvo.events.wait_observer = follow_wait;
    landscape_set_seed(7);
    landscape_main(nullptr, nullptr, "", KANVO_SHOW_HIDDEN);
    std::ifstream recorded("KANVO.SCR");
    if (!recorded) fail("nothing was recorded");
    std::cout << recorded.rdbuf();
    return 0;
}
