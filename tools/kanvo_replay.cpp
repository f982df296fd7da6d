// kanvo-replay: runs the landscape on the headless backend with virtual time, as fast as
// the machine allows, driven by a script file or by a number of animation ticks, and
// writes its last frame (or every frame) as PNG pictures, or its frames as an animated GIF.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>

#include "command_line.h"
#include "gif_writer.h"
#include "named_files.h"
#include "landscape.h"
#include "script_line.h"
#include "testing.h"

namespace {

const char kUsage[] =
    "usage: kanvo-replay [--seed N] [--script FILE | --ticks N] [--max-ticks N] [--png FILE]\n"
    "                    [--frames DIR]\n"
    "  --seed N      seed the landscape's generator with N instead of the clock\n"
    "  --script FILE play the events of FILE (script file format) from the start\n"
    "  --ticks N     without a script: let the animation run for N periodic events\n"
    "  --max-ticks N end a script's replay after N periodic events (default 1000000)\n"
    "  --png FILE    write the last frame (what the window shows) as a PNG picture\n"
    "  --frames DIR  write every frame as DIR/frame-NNNNNN.png\n"
    "  --gif FILE    write the frames as an animated GIF, each shown as long as it stood\n"
    "  --gif-every K put only every K-th frame (and the last) into the GIF\n";
const CommandLine tool{"kanvo-replay", kUsage};

// About a day of animation at ten frames a second, a few minutes of replay: a script
// line announcing two billion ticks would otherwise run for hours.
constexpr long long kDefaultMaxTicks = 1000000;

struct Options {
    bool has_seed = false;
    uint32_t seed = 0;
    std::string script;
    long long ticks = -1;
    long long max_ticks = kDefaultMaxTicks;
    std::string png;
    std::string frames;
    std::string gif;
    unsigned long long gif_every = 0;
};

struct Run {
    Options options;
    platform::HeadlessBackend *user = nullptr;
    bool playback_started = false;
    bool close_queued = false;
    long long periodic_events = 0;
    long long frames_written = 0;
    bool write_failed = false;
    GifWriter gif;
    long long frame_index = 0;
    bool cut_short = false;  // --max-ticks ended a script's replay
    bool show_progress = false;
    std::chrono::steady_clock::time_point progress_shown;
};

Run run;

Options parse_options(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (i + 1 >= argc) tool.fail("missing value after " + option);
        const char *value = argv[++i];
        if (!*value) tool.fail(option + " takes a value, not an empty one");
        if (option == "--seed") {
            options.has_seed = true;
            options.seed = uint32_t(tool.whole_number(option, value, 0, std::numeric_limits<uint32_t>::max()));
        } else if (option == "--ticks") {
            options.ticks = (long long)tool.whole_number(option, value, 0, 1000000000ULL);
        } else if (option == "--max-ticks") {
            options.max_ticks = (long long)tool.whole_number(option, value, 1, 1000000000ULL);
        } else if (option == "--script") {
            options.script = value;
        } else if (option == "--png") {
            options.png = value;
        } else if (option == "--frames") {
            options.frames = value;
        } else if (option == "--gif") {
            options.gif = value;
        } else if (option == "--gif-every") {
            options.gif_every = tool.whole_number(option, value, 1, 1000000);
        } else {
            tool.fail("unknown option " + option);
        }
    }
    if (!options.script.empty() && options.ticks >= 0) tool.fail("give either --script or --ticks, not both");
    const std::string twice = files_named_twice({{"--script", &options.script}, {"--png", &options.png},
                                                 {"--gif", &options.gif}});
    if (!twice.empty()) tool.fail(twice + " name the same file");
    if (options.ticks < 0) options.ticks = 0;
    if (options.gif_every > 0 && options.gif.empty()) tool.fail("--gif-every needs --gif");
    if (options.gif_every == 0) options.gif_every = 1;
    return options;
}

// Only a regular file is played: opening a FIFO would take its writer's data (or wait for
// one), and a directory reads as an empty script.
void check_script(const std::string &script) {
    struct stat info {};
    if (stat(script.c_str(), &info) != 0)
        tool.fail("cannot read script file " + script + ": " + std::strerror(errno), 1);
    if (S_ISDIR(info.st_mode)) tool.fail("script file " + script + " is a directory", 1);
    if (!S_ISREG(info.st_mode)) tool.fail("script file " + script + " is not a regular file", 1);
    FILE *file = platform::open_regular_file(script.c_str());
    if (!file) tool.fail("cannot read script file " + script + ": " + std::strerror(errno), 1);
    std::fclose(file);
}

void check_inputs_and_outputs(const Options &options) {
    if (!options.script.empty()) check_script(options.script);
    if (!options.frames.empty()) {
        namespace fs = std::filesystem;
        std::error_code error;
        if (!fs::exists(options.frames, error) && !fs::create_directory(options.frames, error)) {
            tool.fail("cannot make frames directory " + options.frames + ": " + error.message(), 1);
        }
        if (!fs::is_directory(options.frames, error)) tool.fail(options.frames + " is not a directory", 1);
    }
}

void end_progress_line();

void write_picture(const std::string &path) {
    std::string reason;
    if (!platform::write_png(path, shown_picture(), &reason)) {
        end_progress_line();
        std::fprintf(stderr, "kanvo-replay: cannot write %s: %s\n", path.c_str(), reason.c_str());
        run.write_failed = true;
    }
}

void end_program() {
    if (run.close_queued) return;
    run.user->close_box(kanvo.windows.draw_window);
    run.close_queued = true;
}

// The first frame that cannot be written ends the replay: the rest would fail alike.
void write_frame() {
    if (run.write_failed) return;
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06lld.png", run.frames_written++);
    write_picture(run.options.frames + name);
    if (run.write_failed) end_program();
}

// Every frame: a PNG with --frames, and every K-th (and the last) into the GIF.
void take_frame(bool last) {
    const long long index = run.frame_index++;
    if (!run.options.frames.empty()) write_frame();
    if (!run.gif.is_open() || !(last || index % (long long)run.options.gif_every == 0)) return;
    std::string reason;
    int width = 0, height = 0;
    const platform::Bitmap &surface = shown_surface(&width, &height);
    if (!run.gif.add_frame(surface, width, height, run.user->now_ms(), &reason)) {
        std::fprintf(stderr, "kanvo-replay: cannot write %s: %s\n", run.options.gif.c_str(), reason.c_str());
        run.write_failed = true;
        run.gif.discard();
    }
}

void finish_gif() {
    if (!run.gif.is_open()) return;
    std::string reason;
    if (!run.gif.finish(&reason)) {
        std::fprintf(stderr, "kanvo-replay: cannot write %s: %s\n", run.options.gif.c_str(), reason.c_str());
        run.write_failed = true;
    } else if (run.gif.approximated_colours() > 0) {
        std::fprintf(stderr, "kanvo-replay: the frames use more than 256 colours; %lld of them are "
                             "shown in %s by the nearest colour kept\n",
                     run.gif.approximated_colours(), run.options.gif.c_str());
    }
}

// ---- progress on a terminal ----

void show_progress() {
    if (!run.show_progress) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - run.progress_shown < std::chrono::milliseconds(500)) return;
    run.progress_shown = now;
    std::fprintf(stderr, "\rkanvo-replay: %lld periodic events", run.periodic_events);
    if (!run.options.frames.empty()) std::fprintf(stderr, ", %lld frames", run.frames_written);
    std::fflush(stderr);
}

void end_progress_line() {
    if (!run.show_progress || run.progress_shown == std::chrono::steady_clock::time_point()) return;
    std::fputs("\n", stderr);
    run.progress_shown = std::chrono::steady_clock::time_point();
}

// ---- after the replay ----

void warn_about_unplayed_line() {
    if (run.options.script.empty() || kanvo.script.unplayed_script_line == 0) return;
    warn_unplayed_line("kanvo-replay", run.options.script, kanvo.script.unplayed_script_line);
}

// Called at the start of every wait: the frame for the event before it is complete.
void follow_wait() {
    take_frame(false);
    if (kanvo.events.pending_kind == KANVO_PERIODIC) ++run.periodic_events;
    show_progress();
    if (!run.options.script.empty()) {
        // Playback starts before the first tick, so the pictures depend on the script only.
        if (!run.playback_started) {
            toggle_playback();
            run.playback_started = true;
        }
        if (run.periodic_events >= run.options.max_ticks && !run.close_queued) {
            run.cut_short = true;
            end_program();
        }
        return;
    }
    if (run.periodic_events >= run.options.ticks) end_program();
}

// The wait has nothing left to deliver: a script that has ended (its last line played,
// or a line not understood) ends the program as the close box does.
bool when_idle() {
    if (run.options.script.empty() || run.close_queued) return false;
    if (!kanvo.script.playback_on && !kanvo.script.play_one_pending) end_program();
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    run.options = parse_options(argc, argv);
    check_inputs_and_outputs(run.options);
    std::string reason;
    if (!run.options.gif.empty() && !run.gif.open(run.options.gif, &reason)) {
        tool.fail("cannot write " + run.options.gif + ": " + reason, 1);
    }

    auto backend = std::make_unique<platform::HeadlessBackend>();
    run.user = backend.get();
    platform::set_backend(std::move(backend));
    if (run.options.script.empty()) {
        run.user->set_quiet_limit_ms(std::numeric_limits<int64_t>::max());
    } else {
        kanvo.script.script_name = run.options.script.c_str();
        run.user->set_quiet_limit_ms(1000);
    }
    run.user->set_idle_hook(when_idle);
    run.show_progress = isatty(STDERR_FILENO) != 0;
    kanvo.events.wait_observer = follow_wait;
    if (run.options.has_seed) landscape_set_seed(run.options.seed);

    int status = landscape_main(nullptr, nullptr, "", KANVO_SHOW_HIDDEN);
    end_progress_line();

    const platform::Rect client = platform::client_rect(kanvo.windows.draw_window);
    std::printf("client %dx%d, origin (%d, %d)\n", client.right - client.left,
                client.bottom - client.top, kanvo.windows.origin_x, kanvo.windows.origin_y);
    take_frame(true);
    finish_gif();
    if (!run.options.png.empty()) write_picture(run.options.png);
    warn_about_unplayed_line();
    if (run.cut_short) {
        std::fprintf(stderr, "kanvo-replay: stopped after %lld periodic events (--max-ticks %lld); "
                     "the script goes on\n", run.periodic_events, run.options.max_ticks);
        return 1;
    }
    return run.write_failed ? 1 : status;
}
