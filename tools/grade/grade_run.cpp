// Compiling a submission, running it under kanvo-run with the grading pipe, and asking
// addr2line where its calls came from.
#include "grade_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "testing.h"

namespace grade {

namespace fs = std::filesystem;
namespace report = platform::run_report;

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string shell_quoted(const std::string &text) {
    if (!text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                "0123456789_-./=:+,@") == std::string::npos) {
        return text;
    }
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

namespace {

struct Spawn {
    std::vector<std::string> argv;
    std::vector<std::pair<std::string, std::string>> environment;
    std::string directory;  // empty: the grader's
    std::string output, errors;  // files for standard output and error
    int inherit_fd = -1;    // stays open in the child
};

// Starts the command in a process group of its own (so that what it starts can be stopped
// with it); its input is /dev/null. -1 when no process could be made.
pid_t spawn(const Spawn &what) {
    // Everything the child needs is made before fork: the grader runs threads.
    std::vector<char *> argv;
    for (const std::string &arg : what.argv) argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char **entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto &pair : what.environment) replaced = replaced || pair.first == name;
        if (!replaced) environment.push_back(text);
    }
    for (const auto &[name, value] : what.environment) environment.push_back(name + "=" + value);
    std::vector<char *> envp;
    for (const std::string &entry : environment) envp.push_back(const_cast<char *>(entry.c_str()));
    envp.push_back(nullptr);
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = open(what.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = open(what.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_t pid = -1;
    if (in >= 0 && out >= 0 && err >= 0) pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (what.inherit_fd >= 0) fcntl(what.inherit_fd, F_SETFD, 0);
        if (!what.directory.empty() && chdir(what.directory.c_str()) != 0) _exit(127);
        execvpe(argv[0], argv.data(), envp.data());
        static const char message[] = "kanvo-grade: cannot start the command\n";
        ssize_t written = write(2, message, sizeof message - 1);
        (void)written;
        _exit(127);
    }
    for (int fd : {in, out, err}) {
        if (fd >= 0) close(fd);
    }
    return pid;
}

// Waits for the process; after timeout_s its whole group is killed. Its wait status.
int finish(pid_t pid, double timeout_s) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_s);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return status;
        if (done < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            return status;
        }
        poll(nullptr, 0, 10);
    }
}

bool is_cpp(const std::string &path) { return fs::path(path).extension() != ".c"; }

// Reads the records of the grading pipe, a frame possibly split over many reads.
class PipeReader {
public:
    PipeReader(RunOutcome &outcome, FrameSink *sink) : outcome_(outcome), sink_(sink) {}

    // False when the bytes make no sense.
    bool take(const char *data, size_t size) {
        buffer_.insert(buffer_.end(), data, data + size);
        size_t used = 0;
        bool ok = true;
        while (buffer_.size() - used >= sizeof(report::Record)) {
            report::Record record;
            std::memcpy(&record, buffer_.data() + used, sizeof record);
            if (!plausible(record)) {
                ok = false;
                break;
            }
            const size_t rest = buffer_.size() - used - sizeof record;
            const char *body = buffer_.data() + used + sizeof record;
            if (record.kind == report::call) {
                report::CallRecord call;
                if (rest < sizeof call) break;
                std::memcpy(&call, body, sizeof call);
                if (call.length > report::kMaxLine) {
                    ok = false;
                    break;
                }
                if (rest < sizeof call + call.length) break;
                Call taken;
                taken.frame = record.frame;
                taken.line.assign(body + sizeof call, call.length);
                if (!taken.line.empty() && taken.line.back() == '\n') taken.line.pop_back();
                taken.caller = call.caller;
                taken.in_program = call.in_program != 0;
                outcome_.calls.push_back(std::move(taken));
                used += sizeof record + sizeof call + call.length;
                continue;
            }
            const size_t pixel_bytes = size_t(record.width) * record.height * 4;
            if (rest < pixel_bytes) break;
            frame_.width = record.width;
            frame_.height = record.height;
            frame_.time_ms = record.time_ms;
            frame_.pixels.resize(size_t(record.width) * record.height);
            if (pixel_bytes > 0) std::memcpy(frame_.pixels.data(), body, pixel_bytes);
            used += sizeof record + pixel_bytes;
            if (record.kind == report::wait) {
                outcome_.waits = std::max<uint64_t>(outcome_.waits, record.frame + 1);
                if (sink_ && !frame_.empty()) sink_->wait_frame(record.frame, frame_);
                if (!frame_.empty()) std::swap(latest_, frame_);
            } else {
                if (record.kind == report::limit) outcome_.limit_reached = true;
                if (!frame_.empty()) outcome_.last = frame_;
            }
        }
        buffer_.erase(buffer_.begin(), buffer_.begin() + long(used));
        return ok;
    }

    // A program that crashed or was stopped sends no last frame: the last one it showed.
    void finish() {
        if (outcome_.last.empty()) outcome_.last = std::move(latest_);
    }

private:
    static bool plausible(const report::Record &record) {
        return record.magic == report::kMagic && record.kind >= report::wait &&
               record.kind <= report::call && record.width <= report::kMaxSide &&
               record.height <= report::kMaxSide && (record.width == 0) == (record.height == 0);
    }

    RunOutcome &outcome_;
    FrameSink *sink_;
    std::vector<char> buffer_;
    Frame frame_, latest_;
};

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

}  // namespace

bool compile(Program &program, const std::string &command_template, const std::string &directory) {
    std::string sources;
    bool cpp = false;
    for (const std::string &source : program.sources) {
        sources += (sources.empty() ? "" : " ") + shell_quoted(source);
        cpp = cpp || is_cpp(source);
    }
    program.executable = fs::absolute(fs::path(directory) / program.name).string();
    std::string command = command_template;
    auto put = [&](const std::string &name, const std::string &value) {
        for (size_t at; (at = command.find(name)) != std::string::npos;) command.replace(at, name.size(), value);
    };
    put("{compiler}", cpp ? "c++" : "cc");
    put("{sources}", sources);
    put("{output}", shell_quoted(program.executable));
    program.compile_command = command;
    const std::string log = directory + "/compile.log";
    Spawn what;
    what.argv = {"/bin/sh", "-c", command + " 2>&1"};
    what.output = log;
    what.errors = log + ".err";
    const pid_t pid = spawn(what);
    const int status = pid < 0 ? -1 : finish(pid, 300);
    program.compile_log = read_file(log) + read_file(what.errors);
    std::remove(what.errors.c_str());
    program.compiled = status == 0 && access(program.executable.c_str(), X_OK) == 0;
    if (!program.compiled && program.compile_log.empty()) {
        program.compile_log = status < 0 ? "the compiler could not be started\n"
                                         : "the compiler made no executable\n";
    }
    return program.compiled;
}

RunOutcome run(const Program &program, const TestCase &test_case, const Tools &tools,
               unsigned long long limit, const std::string &work_dir, FrameSink *sink) {
    RunOutcome outcome;
    fs::create_directories(work_dir);
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        outcome.errors = std::string("kanvo-grade: cannot make a pipe: ") + std::strerror(errno) + "\n";
        outcome.status = 127;
        return outcome;
    }
    fcntl(pipe_fds[0], F_SETPIPE_SZ, 1 << 20);
    char timeout[32];
    std::snprintf(timeout, sizeof timeout, "%g", tools.timeout_s);
    Spawn what;
    what.argv = {tools.kanvo_run};
    if (!test_case.script.empty()) {
        what.argv.insert(what.argv.end(), {"--script", test_case.script});
    } else {
        what.argv.insert(what.argv.end(), {"--ticks", std::to_string(test_case.ticks)});
    }
    what.argv.insert(what.argv.end(), {"--limit", std::to_string(limit), "--timeout", timeout,
                                       "--", program.executable});
    const std::string clock_note = work_dir + "/clock-reads";
    std::remove(clock_note.c_str());
    std::string preload = tools.clock;
    if (const char *old = std::getenv("LD_PRELOAD"); old && *old) preload += std::string(":") + old;
    // A program built with the sanitizers (a sanitized build tree) must still crash by its
    // signal, as the same program built plainly does, so that the grade names the crash:
    // the sanitizers leave crash signals alone and report undefined behaviour without
    // ending the run. Options given later win, so these come last.
    std::string asan = "verify_asan_link_order=0:detect_leaks=0:handle_segv=0:handle_sigbus=0:"
                       "handle_sigfpe=0:handle_sigill=0:handle_abort=0";
    if (const char *old = std::getenv("ASAN_OPTIONS"); old && *old) asan = std::string(old) + ":" + asan;
    std::string ubsan = "halt_on_error=0";
    if (const char *old = std::getenv("UBSAN_OPTIONS"); old && *old) ubsan = std::string(old) + ":" + ubsan;
    what.environment = {{"KANVO_RUN_GRADE_FD", std::to_string(pipe_fds[1])},
                        {"LD_PRELOAD", preload},
                        {"KANVO_GRADE_CLOCK_NOTE", clock_note},
                        {"ASAN_OPTIONS", asan},
                        {"UBSAN_OPTIONS", ubsan}};
    what.directory = work_dir;
    what.output = work_dir + "/stdout.txt";
    what.errors = work_dir + "/stderr.txt";
    what.inherit_fd = pipe_fds[1];
    const pid_t pid = spawn(what);
    close(pipe_fds[1]);

    outcome.command = "kanvo-run";
    for (size_t i = 1; i < what.argv.size(); ++i) {
        const std::string &arg = what.argv[i];
        outcome.command += " " + shell_quoted(arg == test_case.script ? fs::path(arg).filename().string()
                                              : arg == program.executable ? "./" + program.name
                                                                          : arg);
    }

    PipeReader reader(outcome, sink);
    std::vector<char> chunk(1 << 20);
    bool open = pid > 0;
    int status = 0;
    for (;;) {
        pollfd watched{pipe_fds[0], POLLIN, 0};
        if (open && poll(&watched, 1, 100) > 0) {
            const ssize_t got = read(pipe_fds[0], chunk.data(), chunk.size());
            if (got == 0) open = false;
            if (got > 0 && !reader.take(chunk.data(), size_t(got))) {
                outcome.garbled = true;
                open = false;
                kill(-pid, SIGKILL);
            }
            if (got < 0 && errno != EINTR && errno != EAGAIN) open = false;
        } else if (!open) {
            poll(nullptr, 0, 10);
        }
        if (pid <= 0) break;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            // What kanvo-run's program wrote before it ended is still in the pipe.
            fcntl(pipe_fds[0], F_SETFL, fcntl(pipe_fds[0], F_GETFL) | O_NONBLOCK);
            for (ssize_t got; open && (got = read(pipe_fds[0], chunk.data(), chunk.size())) > 0;) {
                if (!reader.take(chunk.data(), size_t(got))) outcome.garbled = true;
            }
            break;
        }
    }
    close(pipe_fds[0]);
    reader.finish();
    if (pid > 0) kill(-pid, SIGKILL);  // whatever the program left running

    outcome.status = pid <= 0 ? 127 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.output = read_file(what.output);
    outcome.errors = read_file(what.errors);
    outcome.clock_reads = lines_of(read_file(clock_note));
    if (outcome.status == 124) {
        outcome.timed_out = !outcome.limit_reached;
    } else if (outcome.status > 128 && outcome.status < 128 + 65) {
        outcome.signal = outcome.status - 128;
    }
    return outcome;
}

std::vector<std::pair<std::string, int>> source_lines(const Tools &tools,
                                                      const std::string &executable,
                                                      const std::vector<uint64_t> &addresses) {
    std::vector<std::pair<std::string, int>> found(addresses.size(), {"", 0});
    if (addresses.empty()) return found;
    char name[] = "/tmp/kanvo-grade-lines-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return found;
    close(fd);
    Spawn what;
    what.argv = {tools.addr2line, "-e", executable};
    for (uint64_t address : addresses) {
        char text[32];
        // A return address follows the call; the byte before it belongs to the call.
        std::snprintf(text, sizeof text, "0x%llx", (unsigned long long)(address > 0 ? address - 1 : 0));
        what.argv.push_back(text);
    }
    what.output = name;
    what.errors = "/dev/null";
    const pid_t pid = spawn(what);
    if (pid > 0) finish(pid, 60);
    std::istringstream lines(read_file(name));
    std::remove(name);
    std::string line;
    for (size_t i = 0; i < addresses.size() && std::getline(lines, line); ++i) {
        const size_t note = line.find(" (discriminator");
        if (note != std::string::npos) line.erase(note);
        const size_t colon = line.rfind(':');
        if (colon == std::string::npos) continue;
        const std::string file = line.substr(0, colon);
        const int number = std::atoi(line.c_str() + colon + 1);
        if (file != "??" && number > 0) found[i] = {file, number};
    }
    return found;
}

}  // namespace grade
