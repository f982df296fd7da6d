// Helpers shared by the tests: open the library on the headless backend, read the
// drawing surface in library coordinates, read the message log, wait for one event.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing.h"

// Installs a headless backend (once per process) and returns it.
platform::HeadlessBackend &use_headless();
// use_headless() and KANVO_open(0, 0, "", KANVO_SHOW_NORMAL).
platform::HeadlessBackend &open_headless();

// The surface pixel at library coordinates (x, y); 0 (transparent black, no palette
// colour) when the point lies off the surface or there is no surface.
platform::Pixel surface_pixel(int x, int y);

// The stored log messages, oldest first, as they were written (line feeds included).
std::vector<std::string> log_lines();

// One KANVO_await_event with its out-parameters.
struct Event {
    int kind = 0;
    int x = 0;
    int y = 0;
    char key = 0;
};
Event await_event();

// A text file's contents as the program reads text (line ends as the system writes
// them become '\n'); empty when it cannot be read.
std::string file_text(const std::string &path);
// A PNG picture read back; a test failure naming the file and reason when it cannot be.
platform::Bitmap png_picture(const std::string &path);

// Runs a program through the system's shell with arguments (redirections allowed) and
// returns its exit status, -1 when it did not end by exiting. prefix goes before the
// program on the command line (POSIX shells: environment settings, a timeout).
int run_program(const std::string &program, const std::string &arguments,
                const std::string &prefix = "");
// The shell's name for the file that swallows output.
extern const char kNullDevice[];

// A fresh directory in the system's temporary folder for one test's files, removed with everything in it when
// the test ends.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;

    const std::string &path() const { return path_; }
    std::string path(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A test that works in a scratch directory of its own, its current directory while it
// runs (the script file's name is fixed); an open script file is closed after it.
class InScratchDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = std::filesystem::current_path();
        std::filesystem::current_path(directory_.path());
    }
    void TearDown() override {
        script_close();
        // Windows removes no directory that is some process's current one.
        std::filesystem::current_path(home_);
    }
    const std::string &directory() const { return directory_.path(); }

private:
    ScratchDirectory directory_;
    std::filesystem::path home_;
};
