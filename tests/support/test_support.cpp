// Helpers shared by the tests: the headless backend, surface pixels in library
// coordinates, the message log in order, one event wait.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "testing.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

platform::HeadlessBackend &use_headless() {
    static platform::HeadlessBackend *headless = nullptr;
    if (!headless) {
        auto backend = std::make_unique<platform::HeadlessBackend>();
        headless = backend.get();
        platform::set_backend(std::move(backend));
    }
    return *headless;
}

platform::HeadlessBackend &open_headless() {
    platform::HeadlessBackend &headless = use_headless();
    KANVO_open(nullptr, nullptr, "", KANVO_SHOW_NORMAL);
    return headless;
}

platform::Pixel surface_pixel(int x, int y) {
    if (!kanvo.surface.surface_bitmap) return 0;
    const platform::Bitmap *surface = &surface_pixels();
    const long long px = static_cast<long long>(kanvo.windows.origin_x) + x;
    const long long py = static_cast<long long>(kanvo.windows.origin_y) - y;
    if (px < 0 || py < 0 || px >= surface->width() || py >= surface->height()) return 0;
    return surface->pixel(int(px), int(py));
}

std::vector<std::string> log_lines() {
    std::vector<std::string> lines;
    if (kanvo.log.log_first < 0) return lines;
    int slot = kanvo.log.log_first;
    do {
        lines.push_back(kanvo.log.log_ring[slot]);
        slot = (slot + 1) % kLogSize;
    } while (slot != kanvo.log.log_next);
    return lines;
}

Event await_event() {
    Event event;
    event.kind = KANVO_await_event(&event.x, &event.y, &event.key);
    return event;
}

#ifdef _WIN32
const char kNullDevice[] = "NUL";
#else
const char kNullDevice[] = "/dev/null";
#endif

int run_program(const std::string &program, const std::string &arguments,
                const std::string &prefix) {
    // The Windows shell reads a leading slash as an option: give it the native form.
    const std::string command = prefix + "\"" +
                                std::filesystem::path(program).make_preferred().string() + "\" " +
                                arguments;
#ifdef _WIN32
    // cmd /c drops the first and the last quote of a line holding more than two: give it
    // a pair of its own to drop.
    return std::system(("\"" + command + "\"").c_str());
#else
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

ScratchDirectory::ScratchDirectory() {
    namespace fs = std::filesystem;
    std::random_device random;
    std::error_code error;
    const fs::path temporary = fs::temp_directory_path(error);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = temporary / ("kanvo-test-" + std::to_string(random()));
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.generic_string();
            return;
        }
    }
    std::fprintf(stderr, "cannot make a scratch directory in %s: %s\n",
                 temporary.string().c_str(), error.message().c_str());
    std::abort();
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string file_text(const std::string &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

platform::Bitmap png_picture(const std::string &path) {
    platform::Bitmap picture;
    std::string reason;
    EXPECT_TRUE(platform::read_png(path, &picture, &reason)) << path << ": " << reason;
    return picture;
}
