// kanvo-run: runs any program linked against Kanvo, unchanged, on the headless backend
// with virtual time, as fast as the machine allows, and writes what its drawing window
// showed as PNG pictures or an animated GIF.
//
// The program runs as a child process. Environment variables tell its library to run
// headless and where to report (library/platform/run/: the run driver and the protocol);
// the library sends one record per event wait, with the frame when one is wanted, and the
// last frame when the program ends. This side writes the pictures, stops a program that
// stops waiting for events for --timeout seconds of real time, and passes on its status.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "gif_writer.h"
#include "named_files.h"
#include "script_line.h"
#include "testing.h"

namespace {

namespace report = platform::run_report;
using Clock = std::chrono::steady_clock;

const char kUsage[] =
    "usage: kanvo-run [--script FILE] [--ticks N] [--png FILE] [--frames DIR] [--gif FILE]\n"
    "                 [--gif-every K] [--limit N] [--timeout S] -- PROGRAM [ARGS...]\n"
    "  --script FILE  play the events of FILE (script file format) from the first wait\n"
    "  --ticks N      without a script: let the animation run for N periodic events (0)\n"
    "  --png FILE     write the last frame (what the drawing window shows) as a PNG picture\n"
    "  --frames DIR   write every frame as DIR/frame-NNNNNN.png\n"
    "  --gif FILE     write the frames as an animated GIF, each shown as long as it stood\n"
    "  --gif-every K  put only every K-th frame (and the last) into the GIF (1)\n"
    "  --limit N      stop a program that starts more than N event waits (100000 more\n"
    "                 than --ticks)\n"
    "  --timeout S    stop a program that does not wait for an event for S seconds (60)\n"
    "When the script or the ticks are used up, the drawing window is closed as the close\n"
    "box does. The program's exit status is passed on; 124 when it was stopped (with\n"
    "every process it started), 130 when the run was interrupted.\n";
const CommandLine tool{"kanvo-run", kUsage};

constexpr int kStopped = 124;
constexpr int kCannotRun = 127;
constexpr unsigned long long kDefaultLimit = 100000;

struct Options {
    std::string script;
    long long ticks = -1;
    std::string png;
    std::string frames;
    std::string gif;
    unsigned long long gif_every = 0;
    unsigned long long limit = 0;  // 0: kDefaultLimit waits more than the ticks
    double timeout_s = 60;
    std::vector<char *> program;  // the program and its arguments, null-terminated
};

double seconds(const std::string &option, const char *text) {
    errno = 0;
    char *end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !(value > 0) || value > 1e6) {
        tool.fail(option + " takes a number of seconds above 0 and up to 1000000, not '" + text + "'");
    }
    return value;
}

Options parse_options(int argc, char **argv) {
    Options options;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--") {
            ++i;
            break;
        }
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (option.rfind("-", 0) != 0) break;  // the program, without a "--" before it
        if (i + 1 >= argc) tool.fail("missing value after " + option);
        const char *value = argv[++i];
        if (!*value) tool.fail(option + " takes a value, not an empty one");
        if (option == "--script") {
            options.script = value;
        } else if (option == "--ticks") {
            options.ticks = (long long)tool.whole_number(option, value, 0, 1000000000ULL);
        } else if (option == "--png") {
            options.png = value;
        } else if (option == "--frames") {
            options.frames = value;
        } else if (option == "--gif") {
            options.gif = value;
        } else if (option == "--gif-every") {
            options.gif_every = tool.whole_number(option, value, 1, 1000000);
        } else if (option == "--limit") {
            options.limit = tool.whole_number(option, value, 1, 1000000000000ULL);
        } else if (option == "--timeout") {
            options.timeout_s = seconds(option, value);
        } else {
            tool.fail("unknown option " + option);
        }
    }
    if (i >= argc) tool.fail("no program given (put it after --)");
    for (; i < argc; ++i) options.program.push_back(argv[i]);
    options.program.push_back(nullptr);
    const std::string twice = files_named_twice({{"--script", &options.script}, {"--png", &options.png},
                                                 {"--gif", &options.gif}});
    if (!twice.empty()) tool.fail(twice + " name the same file");
    if (!options.script.empty() && options.ticks >= 0) tool.fail("give either --script or --ticks, not both");
    if (options.gif_every > 0 && options.gif.empty()) tool.fail("--gif-every needs --gif");
    if (options.ticks < 0) options.ticks = 0;
    if (options.gif_every == 0) options.gif_every = 1;
    // Every tick is a wait: the default leaves room for the ticks asked for.
    if (options.limit == 0) options.limit = kDefaultLimit + (unsigned long long)options.ticks;
    return options;
}

std::string directory_of(const std::string &path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Fails before the program runs, so that a long run does not end in a lost picture.
void check_writable_file(const std::string &path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) tool.fail("cannot write " + path + ": it is a directory", 1);
    const platform::OutputPlace place = platform::output_place(path);
    if (place.in_place) {
        if (access(place.path.c_str(), W_OK) != 0) tool.fail("cannot write " + path + ": " + std::strerror(errno), 1);
        return;
    }
    const std::string directory = directory_of(place.path);
    if (access(directory.c_str(), W_OK) != 0) {
        tool.fail("cannot write " + path + ": " + directory + ": " + std::strerror(errno), 1);
    }
}

void check_inputs_and_outputs(const Options &options) {
    if (!options.script.empty()) {
        // Looked at before it is opened: opening a FIFO with no writer would wait for one.
        struct stat info {};
        if (stat(options.script.c_str(), &info) != 0)
            tool.fail("cannot read script file " + options.script + ": " + std::strerror(errno), 1);
        if (!S_ISREG(info.st_mode)) tool.fail("script file " + options.script + " is not a regular file", 1);
        FILE *file = platform::open_regular_file(options.script.c_str());
        if (!file) tool.fail("cannot read script file " + options.script + ": " + std::strerror(errno), 1);
        std::fclose(file);
    }
    if (!options.frames.empty()) {
        struct stat info {};
        if (stat(options.frames.c_str(), &info) != 0 && mkdir(options.frames.c_str(), 0777) != 0) {
            tool.fail("cannot make frames directory " + options.frames + ": " + std::strerror(errno), 1);
        }
        if (stat(options.frames.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            tool.fail(options.frames + " is not a directory", 1);
        }
        if (access(options.frames.c_str(), W_OK) != 0) {
            tool.fail("cannot write into " + options.frames + ": " + std::strerror(errno), 1);
        }
    }
    if (!options.png.empty()) check_writable_file(options.png);
}

// The script is read by the program, which may change its directory first.
std::string absolute(const std::string &path) {
    char *resolved = realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string result = resolved;
    std::free(resolved);
    return result;
}

// A background group may not take the terminal without ignoring SIGTTOU.
bool give_terminal_to(pid_t group) {
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGTTOU, &ignore, &previous);
    const bool done = tcsetpgrp(STDIN_FILENO, group) == 0;
    sigaction(SIGTTOU, &previous, nullptr);
    return done;
}

// The program runs in its own process group, so that a stop ends every process it
// started too. When this one owns the terminal, the program's group gets it while it
// runs (both sides hand it over, whichever comes first), so the program reads the
// terminal and Ctrl+C reaches it and its children as if it ran alone.
class Terminal {
public:
    Terminal() : owned_(isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp()) {}
    ~Terminal() {
        if (owned_) give_terminal_to(getpgrp());
    }
    bool owned() const { return owned_; }

private:
    bool owned_;
};

pid_t start_program(const Options &options, int report_fd, const Terminal &terminal) {
    const pid_t pid = fork();
    if (pid < 0) tool.fail(std::string("cannot start a process: ") + std::strerror(errno), 1);
    if (pid > 0) {
        setpgid(pid, pid);
        if (terminal.owned()) give_terminal_to(pid);
        return pid;
    }
    setpgid(0, 0);
    if (terminal.owned()) give_terminal_to(getpid());
    signal(SIGXFSZ, SIG_DFL);
    fcntl(report_fd, F_SETFD, 0);  // the program inherits the pipe's write end
    const bool all_frames = !options.frames.empty();
    const unsigned long long every = all_frames ? 1 : options.gif.empty() ? 0 : options.gif_every;
    setenv("KANVO_RUN_FD", std::to_string(report_fd).c_str(), 1);
    setenv("KANVO_RUN_TICKS", std::to_string(options.ticks).c_str(), 1);
    setenv("KANVO_RUN_LIMIT", std::to_string(options.limit).c_str(), 1);
    setenv("KANVO_RUN_FRAMES", std::to_string(every).c_str(), 1);
    if (!options.script.empty()) setenv("KANVO_RUN_SCRIPT", absolute(options.script).c_str(), 1);
    execvp(options.program[0], options.program.data());
    std::fprintf(stderr, "kanvo-run: cannot run %s: %s\n", options.program[0], std::strerror(errno));
    std::_Exit(kCannotRun);
}

// Everything the run produces, fed record by record.
class Pictures {
public:
    explicit Pictures(const Options &options) : options_(options) {
        if (!options.gif.empty()) {
            std::string reason;
            if (!gif_.open(options.gif, &reason)) tool.fail("cannot write " + options.gif + ": " + reason, 1);
        }
    }

    // pixels: the record's rows, as bytes; every row, or those that changed marks with 1.
    // False when changed rows come without a frame of their size before them.
    bool take(const report::Record &record, const unsigned char *changed, const char *pixels) {
        if (record.width == 0) return true;
        const bool same_size = last_frame_ && last_frame_->width() == int(record.width) &&
                               last_frame_->height() == int(record.height);
        if (changed && !same_size) return false;
        // Into the last frame's pixels: a frame is a megabyte or so, made once.
        if (!same_size) last_frame_.emplace(int(record.width), int(record.height));
        platform::Bitmap &frame = *last_frame_;
        const size_t row_bytes = record.width * sizeof(platform::Pixel);
        for (uint32_t y = 0; y < record.height; ++y) {
            if (changed && !changed[y]) continue;
            std::memcpy(frame.row(int(y)), pixels, row_bytes);
            pixels += row_bytes;
        }
        // The frame at a limit, a crash or a stop is one a wait has shown already.
        const bool repeated = record.kind == report::limit || record.kind == report::shown;
        if (!options_.frames.empty() && !repeated && !frames_failed_) write_frame(record, frame);
        const bool last = record.kind != report::wait;
        if (gif_.is_open() && (last || record.frame % options_.gif_every == 0)) add_to_gif(record, frame);
        return true;
    }

    // A frame could not be written: the rest would fail alike, so the run stops.
    bool frames_failed() const { return frames_failed_; }

    // Writes the last frame and the GIF; false when something could not be written.
    bool finish(const char *program) {
        if (!options_.png.empty()) {
            if (last_frame_) {
                write_picture(options_.png, *last_frame_);
                png_written_ = ok_;
            } else {
                std::fprintf(stderr, "kanvo-run: %s showed no frame, so %s is not written\n",
                             program, options_.png.c_str());
                ok_ = false;
            }
        }
        if (gif_.is_open()) {
            std::string reason;
            if (gif_.frames() == 0) {
                std::fprintf(stderr, "kanvo-run: %s showed no frame, so %s is not written\n",
                             program, options_.gif.c_str());
                ok_ = false;
            } else if (!gif_.finish(&reason)) {
                std::fprintf(stderr, "kanvo-run: cannot write %s: %s\n", options_.gif.c_str(), reason.c_str());
                ok_ = false;
            } else if (gif_.approximated_colours() > 0) {
                std::fprintf(stderr,
                             "kanvo-run: the frames use more than 256 colours; %lld of them are "
                             "shown in %s by the nearest colour kept\n",
                             gif_.approximated_colours(), options_.gif.c_str());
            }
        }
        return ok_;
    }

    bool png_written() const { return png_written_; }

private:
    bool write_picture(const std::string &path, const platform::Bitmap &frame) {
        std::string reason;
        if (platform::write_png(path, frame, &reason)) return true;
        std::fprintf(stderr, "kanvo-run: cannot write %s: %s\n", path.c_str(), reason.c_str());
        ok_ = false;
        return false;
    }

    void write_frame(const report::Record &record, const platform::Bitmap &frame) {
        char name[40];
        std::snprintf(name, sizeof name, "/frame-%06llu.png", (unsigned long long)record.frame);
        if (!write_picture(options_.frames + name, frame)) frames_failed_ = true;
    }

    void add_to_gif(const report::Record &record, const platform::Bitmap &frame) {
        std::string reason;
        if (gif_failed_ || gif_.add_frame(frame, record.time_ms, &reason)) return;
        std::fprintf(stderr, "kanvo-run: cannot write %s: %s\n", options_.gif.c_str(), reason.c_str());
        gif_failed_ = true;
        gif_.discard();  // no GIF with frames missing
        ok_ = false;
    }

    const Options &options_;
    GifWriter gif_;
    bool gif_failed_ = false;
    bool frames_failed_ = false;
    std::optional<platform::Bitmap> last_frame_;
    bool ok_ = true;
    bool png_written_ = false;
};

// Reads the program's records as they arrive, a frame possibly split over many reads. The
// bytes are read into one buffer and a record's pixels are handed over where they lie:
// a frame a wait is megabytes a second.
class ReportReader {
public:
    // Reads what the pipe holds (up to a megabyte); calls on_record for every complete
    // record, with its row marks (or nullptr) and its pixels' bytes. Returns read's result;
    // *garbled when the stream makes no sense or on_record refuses a record.
    template <typename OnRecord>
    ssize_t read_from(int fd, bool *garbled, OnRecord on_record) {
        constexpr size_t kChunk = size_t(1) << 20;
        if (buffer_.size() - end_ < kChunk) {
            // Move what is left of a record to the front, or make room for a whole frame.
            if (start_ > 0) std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
            end_ -= start_;
            start_ = 0;
            if (buffer_.size() - end_ < kChunk) buffer_.resize(end_ + kChunk);
        }
        const ssize_t got = read(fd, buffer_.data() + end_, kChunk);
        if (got <= 0) return got;
        end_ += size_t(got);
        while (end_ - start_ >= sizeof(report::Record)) {
            report::Record record;
            std::memcpy(&record, buffer_.data() + start_, sizeof record);
            if (!plausible(record)) {
                *garbled = true;
                return got;
            }
            const size_t mask_bytes = record.changed_rows ? record.height : 0;
            if (end_ - start_ < sizeof record + mask_bytes) break;
            const auto *changed = reinterpret_cast<const unsigned char *>(buffer_.data() + start_ + sizeof record);
            const size_t rows = record.changed_rows ? size_t(std::count_if(changed, changed + mask_bytes,
                                                                           [](unsigned char row) { return row != 0; }))
                                                    : record.height;
            const size_t pixel_bytes = rows * record.width * sizeof(platform::Pixel);
            if (end_ - start_ < sizeof record + mask_bytes + pixel_bytes) break;
            const char *pixels = buffer_.data() + start_ + sizeof record + mask_bytes;
            start_ += sizeof record + mask_bytes + pixel_bytes;
            if (!on_record(record, record.changed_rows ? changed : nullptr, pixels)) {
                *garbled = true;
                return got;
            }
        }
        if (start_ == end_) start_ = end_ = 0;
        return got;
    }

private:
    static bool plausible(const report::Record &record) {
        return record.magic == report::kMagic && record.kind >= report::wait &&
               record.kind <= report::shown && record.width <= report::kMaxSide &&
               record.height <= report::kMaxSide && (record.width == 0) == (record.height == 0) &&
               (record.changed_rows == 0 || (record.changed_rows == 1 && record.width > 0));
    }

    std::vector<char> buffer_;
    size_t start_ = 0, end_ = 0;  // the bytes not yet taken
};

// Ctrl+C or a kill: the run stops the program and removes its unfinished files.
volatile std::sig_atomic_t interrupted_by = 0;

void on_interrupt(int signal) { interrupted_by = signal; }

void catch_interrupts() {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

struct Outcome {
    int status = 0;               // as waitpid reports it
    bool interrupted = false;
    bool timed_out = false;
    bool limit_reached = false;
    bool garbled = false;
    bool write_failed = false;
    uint32_t unplayed_line = 0;   // the script line playback stopped at, unplayed
    bool reported = false;        // the program opened Kanvo: its library sent a record
};

// Ends the program and every process it started (they share its process group).
void stop_program(pid_t pid, Outcome &outcome) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    waitpid(pid, &outcome.status, 0);
}

// Follows the program until it ends, taking its records; stops it when it has not
// reported for the timeout.
Outcome supervise(pid_t pid, int report_fd, const Options &options, Pictures &pictures) {
    Outcome outcome;
    ReportReader reader;
    const auto timeout = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(options.timeout_s));
    auto deadline = Clock::now() + timeout;
    bool open = true;
    auto on_record = [&](const report::Record &record, const unsigned char *changed, const char *pixels) {
        deadline = Clock::now() + timeout;
        outcome.reported = true;
        if (record.kind == report::limit) outcome.limit_reached = true;
        outcome.unplayed_line = record.unplayed_line;
        return pictures.take(record, changed, pixels);
    };
    auto read_some = [&]() {
        bool garbled = false;
        const ssize_t got = reader.read_from(report_fd, &garbled, on_record);
        if (got == 0) open = false;
        if (garbled) {
            outcome.garbled = true;
            open = false;
        }
        return got;
    };
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int wait_ms = int(std::max<long long>(0, std::min<long long>(left.count(), 100)));
        pollfd watched{report_fd, POLLIN, 0};
        if (open && poll(&watched, 1, wait_ms) > 0) {
            read_some();
        } else if (!open) {
            poll(nullptr, 0, wait_ms);
        }
        if (waitpid(pid, &outcome.status, WNOHANG) == pid) {
            // What the program wrote before it ended is still in the pipe.
            fcntl(report_fd, F_SETFL, fcntl(report_fd, F_GETFL) | O_NONBLOCK);
            while (open && read_some() > 0) {
            }
            // Ctrl+C with the terminal handed to the program reaches only its group.
            const bool by_interrupt = WIFSIGNALED(outcome.status) && WTERMSIG(outcome.status) == SIGINT;
            if (by_interrupt && !interrupted_by) interrupted_by = SIGINT;
            outcome.interrupted = interrupted_by != 0;
            if (outcome.interrupted || outcome.limit_reached) kill(-pid, SIGKILL);
            return outcome;
        }
        if (interrupted_by) {
            outcome.interrupted = true;
            stop_program(pid, outcome);
            return outcome;
        }
        if (pictures.frames_failed()) {
            outcome.write_failed = true;
            stop_program(pid, outcome);
            return outcome;
        }
        if (outcome.garbled || Clock::now() >= deadline) {
            outcome.timed_out = !outcome.garbled;
            if (outcome.timed_out && open) {
                // The library answers SIGUSR2 with the frame its window showed, then exits.
                kill(pid, SIGUSR2);
                const auto grace = Clock::now() + std::chrono::seconds(2);
                while (open && Clock::now() < grace) {
                    pollfd watched{report_fd, POLLIN, 0};
                    if (poll(&watched, 1, 50) > 0) read_some();
                    if (waitpid(pid, &outcome.status, WNOHANG) == pid) {
                        fcntl(report_fd, F_SETFL, fcntl(report_fd, F_GETFL) | O_NONBLOCK);
                        while (open && read_some() > 0) {
                        }
                        kill(-pid, SIGKILL);  // what it started goes with it
                        return outcome;
                    }
                }
            }
            stop_program(pid, outcome);
            return outcome;
        }
    }
}

int exit_status(const Outcome &outcome, const Options &options) {
    const char *program = options.program[0];
    if (outcome.garbled) {
        std::fprintf(stderr, "kanvo-run: %s sent a report that makes no sense; stopped it\n", program);
        return 1;
    }
    if (outcome.timed_out) {
        std::fprintf(stderr,
                     "kanvo-run: stopped %s: it did not wait for an event for %g seconds "
                     "(--timeout %g)\n", program, options.timeout_s, options.timeout_s);
        return kStopped;
    }
    if (outcome.limit_reached) {
        std::fprintf(stderr,
                     "kanvo-run: stopped %s after %llu waits for an event: it does not end its "
                     "loop (--limit %llu)\n", program, options.limit, options.limit);
        return kStopped;
    }
    if (WIFSIGNALED(outcome.status)) {
        const int signal = WTERMSIG(outcome.status);
        std::fprintf(stderr, "kanvo-run: %s crashed: killed by signal %d (%s)\n", program, signal,
                     strsignal(signal));
        return 128 + signal;
    }
    return WIFEXITED(outcome.status) ? WEXITSTATUS(outcome.status) : 1;
}

}  // namespace

// Descriptors 0 to 2 closed would be taken by the next files opened, the report pipe
// among them, and the program's output would go into it.
void keep_standard_descriptors_open() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1) open("/dev/null", O_RDWR);
    }
}

int main(int argc, char **argv) {
    keep_standard_descriptors_open();
    // Past the file size limit a write fails with "File too large" instead of ending
    // this program and leaving its temporary files.
    signal(SIGXFSZ, SIG_IGN);
    const Options options = parse_options(argc, argv);
    check_inputs_and_outputs(options);
    Pictures pictures(options);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) tool.fail(std::string("cannot make a pipe: ") + std::strerror(errno), 1);
    fcntl(report[0], F_SETPIPE_SZ, 1 << 20);  // whole frames in few reads, where allowed
    catch_interrupts();
    const Terminal terminal;
    const pid_t pid = start_program(options, report[1], terminal);
    close(report[1]);

    const Outcome outcome = supervise(pid, report[0], options, pictures);
    close(report[0]);
    if (outcome.interrupted) {
        // Nothing of the unfinished run replaces the files it would have written.
        std::fprintf(stderr, "kanvo-run: interrupted; stopped %s\n", options.program[0]);
        return 128 + int(interrupted_by);
    }
    if (outcome.write_failed) {
        std::fprintf(stderr, "kanvo-run: stopped %s: its frames cannot be written\n", options.program[0]);
        return 1;
    }
    if (outcome.unplayed_line > 0) {
        warn_unplayed_line("kanvo-run", options.script, int(outcome.unplayed_line));
    }
    const char *program = options.program[0];
    int status = exit_status(outcome, options);
    if (!outcome.reported && !outcome.timed_out && !outcome.garbled && status != kCannotRun) {
        std::fprintf(stderr,
                     "kanvo-run: %s never opened Kanvo (no KANVO_open, or not built with Kanvo): "
                     "nothing was shown\n", program);
        if (status == 0) status = 1;
    }
    const bool written = pictures.finish(program);
    const bool crashed = !outcome.timed_out && !outcome.limit_reached && !outcome.garbled &&
                         WIFSIGNALED(outcome.status);
    if (pictures.png_written() && (crashed || outcome.timed_out || outcome.limit_reached)) {
        std::fprintf(stderr, "kanvo-run: %s holds the last frame %s showed, before %s\n",
                     options.png.c_str(), program, crashed ? "the crash" : "it was stopped");
    }
    return written || status != 0 ? status : 1;
}
