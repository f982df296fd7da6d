// The run driver, kanvo-run's client inside the program: a program started by kanvo-run
// runs, unchanged, on the headless backend with virtual time, as fast as the machine
// allows. The run driver plays the script through the library's own playback from the
// first wait (or lets the animation run for a number of periodic events), closes the
// drawing window as the close box does when the events are exhausted, stops a program
// that waits more often than its limit, and reports every wait (with its frame when
// asked) to kanvo-run through a pipe (run_protocol.h).
//
// kanvo-run sets these environment variables; they are read once, when the program makes
// its first window, and then removed, so that programs this one starts run normally. A
// program run without them never comes here.
//   KANVO_RUN_FD=N      the pipe's write end; its presence makes the run headless
//   KANVO_RUN_SCRIPT=F  the script file to play from the first wait
//   KANVO_RUN_TICKS=N   without a script: periodic events before the window is closed (0)
//   KANVO_RUN_LIMIT=N   waits the program may start before it is stopped (100000)
//   KANVO_RUN_FRAMES=K  send the frame of every K-th wait; 0 sends only the last (0)
//   KANVO_RUN_GRADE_FD=N  a graded run (kanvo-grade): a second pipe that gets every wait
//                       with its frame, the last frame, and every drawing call's line
//
// In a graded run, kanvo-grade also preloads a clock that serves the run's virtual time
// (tools/grade/grade_clock.c); the driver hands it the time when it finds it.
//
// When the program crashes, or kanvo-run asks (SIGUSR2) before it stops a program that
// no longer waits, the driver sends the frame the drawing window showed last, so that a
// run that fails still leaves its last picture.
#include <fcntl.h>
#ifndef __EMSCRIPTEN__
#include <dlfcn.h>
#include <link.h>
#endif
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/backends/headless/headless_backend.h"
#include "platform/run/run_protocol.h"

namespace platform {

namespace {

// A program that has sat in one wait this long (virtual time, nothing but timer ticks
// arriving) has had all its events; the run driver looks this often.
constexpr int64_t kExhaustedAfterMs = 1000;
constexpr int64_t kLookEveryMs = 100;
constexpr unsigned long long kDefaultLimit = 100000;

struct Run {
    int fd = -1;
    int grade_fd = -1;
    std::string script;
    unsigned long long ticks = 0;
    unsigned long long limit = kDefaultLimit;
    unsigned long long frame_every = 0;

    HeadlessBackend *backend = nullptr;
    const Bitmap *surface = nullptr;
    void (*settle_surface)() = nullptr;
    Window *draw_window = nullptr;
    unsigned long long waits = 0;
    unsigned long long periodic_events = 0;
    bool playback_started = false;
    bool close_queued = false;
    int64_t last_wait_ms = 0;
    uint32_t unplayed_line = 0;
    pid_t owner = 0;  // processes the program forks are not part of the run
    // The frame sent last on fd, so that the next one sends only its changed rows: an
    // animation changes few of them, and a frame a wait is megabytes a second.
    std::vector<Pixel> sent;
    volatile sig_atomic_t sent_width = 0;  // 0: none, or the crash handler sent another
    uint32_t sent_height = 0;
    std::vector<unsigned char> changed;
};

Run *active = nullptr;  // only in a run started by kanvo-run
// A record is on its way to the pipe: a crash now must not start another in its middle.
volatile sig_atomic_t sending = 0;

[[noreturn]] void refuse(const char *name, const char *value, const char *why) {
    std::fprintf(stderr, "kanvo: %s=%s: %s (it is set by kanvo-run; unset it to run normally)\n",
                 name, value, why);
    std::exit(2);
}

unsigned long long read_count(const char *name, unsigned long long fallback,
                              unsigned long long max) {
    const char *text = std::getenv(name);
    if (!text) return fallback;
    errno = 0;
    char *end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    const bool digits_only = *text >= '0' && *text <= '9' && *end == '\0';
    if (!digits_only || errno != 0 || value > max) refuse(name, text, "not a whole number in range");
    return value;
}

int read_pipe_fd(const char *name) {
    const char *text = std::getenv(name);
    const unsigned long long fd = read_count(name, 0, std::numeric_limits<int>::max());
    struct stat info {};
    if (fstat(int(fd), &info) != 0 || !S_ISFIFO(info.st_mode)) {
        refuse(name, text, "no pipe is open under that number");
    }
    return int(fd);
}

void read_settings(Run &run) {
    run.fd = read_pipe_fd("KANVO_RUN_FD");
    if (std::getenv("KANVO_RUN_GRADE_FD")) run.grade_fd = read_pipe_fd("KANVO_RUN_GRADE_FD");
    if (const char *script = std::getenv("KANVO_RUN_SCRIPT")) run.script = script;
    run.ticks = read_count("KANVO_RUN_TICKS", 0, std::numeric_limits<long long>::max());
    run.limit = read_count("KANVO_RUN_LIMIT", kDefaultLimit, std::numeric_limits<long long>::max());
    run.frame_every = read_count("KANVO_RUN_FRAMES", 0, std::numeric_limits<long long>::max());
}

// Programs this one starts are not part of the run.
void forget_environment(const Run &run) {
    for (const char *name : {"KANVO_RUN_FD", "KANVO_RUN_SCRIPT", "KANVO_RUN_TICKS",
                             "KANVO_RUN_LIMIT", "KANVO_RUN_FRAMES", "KANVO_RUN_GRADE_FD"}) {
        unsetenv(name);
    }
    for (int fd : {run.fd, run.grade_fd}) {
        if (fd >= 0) fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
    }
}

// Safe inside a signal handler.
bool write_bytes(int fd, const void *data, size_t size) {
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

void write_all(int fd, const void *data, size_t size) {
    if (write_bytes(fd, data, size)) return;
    std::fprintf(stderr, "kanvo: lost the pipe to kanvo-run (%s); stopping\n", std::strerror(errno));
    std::_Exit(1);
}

void write_rows(int fd, iovec *rows, int count) {
    while (count > 0) {
        const ssize_t written = writev(fd, rows, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            write_all(fd, rows[0].iov_base, rows[0].iov_len);  // reports the lost pipe
            continue;
        }
        // A pipe may take part of it: skip what went, resume mid-row.
        size_t done = size_t(written);
        while (count > 0 && done >= rows[0].iov_len) {
            done -= rows[0].iov_len;
            ++rows;
            --count;
        }
        if (count > 0) {
            rows[0].iov_base = static_cast<char *>(rows[0].iov_base) + done;
            rows[0].iov_len -= done;
        }
    }
}

// What the drawing window shows: the top-left part of the surface, as large as the
// window's client area.
void send_to(int fd, run_report::Kind kind, bool with_frame) {
    Run &run = *active;
    if (getpid() != run.owner) return;
    run_report::Record record;
    record.unplayed_line = run.unplayed_line;
    record.kind = kind;
    record.frame = run.waits;
    record.time_ms = run.backend->now_ms();
    if (with_frame && run.surface) {
        if (run.settle_surface) run.settle_surface();
        const Rect client = run.draw_window ? client_rect(run.draw_window)
                                            : Rect{0, 0, run.surface->width(), run.surface->height()};
        record.width = uint32_t(std::clamp(std::min(client.right, run.surface->width()), 0,
                                           int(run_report::kMaxSide)));
        record.height = uint32_t(std::clamp(std::min(client.bottom, run.surface->height()), 0,
                                            int(run_report::kMaxSide)));
        if (record.width == 0 || record.height == 0) record.width = record.height = 0;
    }
    const size_t row_bytes = record.width * sizeof(Pixel);
    const bool rows_only = fd == run.fd && record.height > 0 && uint32_t(run.sent_width) == record.width &&
                           run.sent_height == record.height;
    if (fd == run.fd && record.height > 0) {
        if (!rows_only) {
            run.sent.resize(size_t(record.width) * record.height);
            run.changed.assign(record.height, 1);
        }
        for (uint32_t y = 0; y < record.height; ++y) {
            Pixel *kept = run.sent.data() + size_t(y) * record.width;
            const Pixel *now = run.surface->row(int(y));
            if (rows_only) run.changed[y] = std::memcmp(kept, now, row_bytes) != 0;
            if (run.changed[y]) std::memcpy(kept, now, row_bytes);
        }
        run.sent_width = sig_atomic_t(record.width);
        run.sent_height = record.height;
        record.changed_rows = rows_only ? 1 : 0;
    }
    sending = 1;
    write_all(fd, &record, sizeof record);
    if (rows_only) write_all(fd, run.changed.data(), record.height);
    // The rows in as few writes as the system allows: a frame a wait adds up.
    iovec rows[256];
    for (uint32_t y = 0; y < record.height;) {
        int count = 0;
        for (; count < 256 && y < record.height; ++y) {
            if (rows_only && !run.changed[y]) continue;
            rows[count].iov_base = const_cast<Pixel *>(run.surface->row(int(y)));
            rows[count].iov_len = row_bytes;
            ++count;
        }
        if (count > 0) write_rows(fd, rows, count);
    }
    sending = 0;
}

// The grader compares every frame.
void send(run_report::Kind kind, bool with_frame) {
    send_to(active->fd, kind, with_frame);
    if (active->grade_fd >= 0) send_to(active->grade_fd, kind, true);
}

#ifndef __EMSCRIPTEN__
int64_t virtual_now_ms() { return active ? active->backend->now_ms() : 0; }

// The preloaded clock of a graded run, when there is one, serves the run's virtual time.
void hand_clock_virtual_time() {
    using Follow = void (*)(int64_t (*)());
    if (auto follow = reinterpret_cast<Follow>(dlsym(RTLD_DEFAULT, "kanvo_run_clock_follow"))) {
        follow(virtual_now_ms);
    }
}

struct Caller {
    const void *address;
    uintptr_t relative = 0;
    bool in_program = false;
};

// Finds the loaded object holding the address; the first object listed is the program.
int find_caller(dl_phdr_info *info, size_t, void *data) {
    auto *caller = static_cast<Caller *>(data);
    const uintptr_t address = reinterpret_cast<uintptr_t>(caller->address);
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr) &segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD) continue;
        const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        if (address >= start && address - start < segment.p_memsz) {
            caller->relative = address - info->dlpi_addr;
            caller->in_program = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
            return 1;
        }
    }
    return 0;
}
#endif

#ifndef __EMSCRIPTEN__  // the browser has no kanvo-run, nor signals
// What the drawing window shows now: its client pixels, as the last wait presented them.
// Runs inside a signal handler: no allocation, no stdio.
void send_shown_frame() {
    if (!active || sending) return;
    Run &run = *active;
    sending = 1;
    run_report::Record record;
    record.kind = run_report::shown;
    record.frame = run.waits;
    record.time_ms = run.backend ? run.backend->now_ms() : 0;
    const Bitmap *shown = run.draw_window ? &run.draw_window->client : nullptr;
    if (shown && shown->width() > 0 && shown->height() > 0 &&
        uint32_t(shown->width()) <= run_report::kMaxSide &&
        uint32_t(shown->height()) <= run_report::kMaxSide) {
        record.width = uint32_t(shown->width());
        record.height = uint32_t(shown->height());
    }
    run.sent_width = 0;  // kanvo-run's frame is this one now
    bool written = write_bytes(run.fd, &record, sizeof record);
    for (uint32_t y = 0; written && y < record.height; ++y)
        written = write_bytes(run.fd, shown->row(int(y)), record.width * sizeof(Pixel));
}

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
struct sigaction previous_crash_actions[sizeof kCrashSignals / sizeof kCrashSignals[0]];

// The frame goes out, then the crash takes its course as if the driver were not here
// (under a sanitizer, its report follows).
void on_crash(int signal_number, siginfo_t *info, void *) {
    send_shown_frame();
    for (size_t i = 0; i < sizeof kCrashSignals / sizeof kCrashSignals[0]; ++i) {
        if (kCrashSignals[i] == signal_number)
            sigaction(signal_number, &previous_crash_actions[i], nullptr);
    }
    // A fault happens again when the handler returns; a signal sent or raised is raised
    // once more.
    if (info->si_code <= 0 || signal_number == SIGABRT) raise(signal_number);
}

// kanvo-run stops a program that no longer waits; first it asks for what it showed.
void on_stop_request(int) {
    send_shown_frame();
    _exit(124);
}

void catch_crashes() {
    // A stack overflow (endless recursion) is a crash too: the handler needs a stack.
    static char alternate_stack[64 * 1024];
    stack_t stack{};
    stack.ss_sp = alternate_stack;
    stack.ss_size = sizeof alternate_stack;
    sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_sigaction = on_crash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < sizeof kCrashSignals / sizeof kCrashSignals[0]; ++i)
        sigaction(kCrashSignals[i], &action, &previous_crash_actions[i]);
    struct sigaction stop {};
    stop.sa_handler = on_stop_request;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGUSR2, &stop, nullptr);
}
#else
void catch_crashes() {}
#endif

void close_drawing_window() {
    Run &run = *active;
    if (run.close_queued || !run.draw_window) return;
    run.backend->close_box(run.draw_window);
    run.close_queued = true;
}

// No input is queued; the clock runs on with timer ticks alone.
bool when_idle() {
    Run &run = *active;
    if (run.backend->now_ms() - run.last_wait_ms >= kExhaustedAfterMs) close_drawing_window();
    return run.close_queued || run.draw_window != nullptr;
}

void report_end() {
    if (active) send(run_report::ended, true);
}

}  // namespace

std::unique_ptr<Backend> make_run_backend() {
    if (!std::getenv("KANVO_RUN_FD")) return nullptr;
    active = new Run;  // lives as long as the program
    active->owner = getpid();
    read_settings(*active);
    forget_environment(*active);
    auto backend = std::make_unique<HeadlessBackend>();
    active->backend = backend.get();
    backend->set_quiet_limit_ms(kLookEveryMs);
    backend->set_idle_hook(when_idle);
    std::atexit(report_end);
#ifndef __EMSCRIPTEN__
    if (active->grade_fd >= 0) hand_clock_virtual_time();
#endif
    catch_crashes();
    return backend;
}

bool run_records_calls() { return active && active->grade_fd >= 0; }

void run_records_call(const char *line, size_t length, const void *caller_address) {
    if (!run_records_calls()) return;
    uint64_t relative = 0;
    bool in_program = false;
#ifndef __EMSCRIPTEN__
    Caller caller{caller_address};
    dl_iterate_phdr(find_caller, &caller);
    relative = caller.relative;
    in_program = caller.in_program;
#else
    (void)caller_address;
#endif
    run_report::Record record;
    record.kind = run_report::call;
    record.frame = active->waits;
    record.time_ms = active->backend->now_ms();
    run_report::CallRecord call;
    call.caller = relative;
    call.in_program = in_program ? 1 : 0;
    call.length = uint32_t(std::min<size_t>(length, run_report::kMaxLine));
    write_all(active->grade_fd, &record, sizeof record);
    write_all(active->grade_fd, &call, sizeof call);
    write_all(active->grade_fd, line, call.length);
}

void run_shows(const Bitmap *surface, Window *draw_window, void (*settle)()) {
    if (!active) return;
    active->surface = surface;
    active->settle_surface = settle;
    active->draw_window = draw_window;
}

const char *run_wait_starts(bool after_periodic_event, bool script_playing) {
    if (!active) return nullptr;
    Run &run = *active;
    if (run.waits >= run.limit) {
        send(run_report::limit, true);
        // Stopped in the middle of its loop: what it printed is kept, nothing else runs.
        std::fflush(nullptr);
        std::_Exit(124);
    }
    send(run_report::wait, run.frame_every > 0 && run.waits % run.frame_every == 0);
    ++run.waits;
    run.last_wait_ms = run.backend->now_ms();
    if (!run.script.empty()) {
        if (!run.playback_started) {
            run.playback_started = true;
            return run.script.c_str();
        }
        if (!script_playing) close_drawing_window();
        return nullptr;
    }
    if (after_periodic_event) ++run.periodic_events;
    if (run.periodic_events >= run.ticks) close_drawing_window();
    return nullptr;
}

void run_script_line_unplayed(int line) {
    if (active && line > 0) active->unplayed_line = uint32_t(line);
}

}  // namespace platform
