// kanvo-grade: grades a class's Kanvo programs against a model solution. Each program is
// compiled (or taken as an executable), run once per test case under kanvo-run's
// machinery with a second pipe that carries every frame and every drawing call, and
// compared with the model's run at every wait and at the end: the first drawing call
// that differs (traced back to the learner's source line through the executable's debug
// information), the pixels, the printed text and the exit. The report is a folder of
// static web pages with results.csv, results.json and junit.xml beside them.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <unordered_map>

#include <zlib.h>

#include "command_line.h"
#include "gif_writer.h"
#include "grade_compare.h"
#include "grade_results.h"
#include "grade_run.h"
#include "grade_paths.h"
#include "testing.h"

namespace fs = std::filesystem;
using namespace grade;

namespace {

const char kUsage[] =
    "usage: kanvo-grade --model MODEL [--script FILE]... [--ticks N]... [--report DIR]\n"
    "                   [--jobs N] [--timeout S] [--tolerance N] [--pictures-only]\n"
    "                   [--compile \"COMMAND\"] [--shard K/N] SUBMISSION...\n"
    "       kanvo-grade merge --report DIR SHARD_DIR...\n"
    "  MODEL, SUBMISSION  a .c or .cpp file, a folder of sources, or an executable\n"
    "  --script FILE   a test case: the events of FILE (KANVO.SCR recorded on the desktop)\n"
    "  --ticks N       a test case: the animation runs for N periodic events\n"
    "                  (without any test case: one with --ticks 0)\n"
    "  --report DIR    where the report goes (kanvo-grade-report)\n"
    "  --jobs N        programs compiled or run at once (the number of cores)\n"
    "  --timeout S     stop a program that does not wait for an event for S seconds (10)\n"
    "  --tolerance N   a picture still matches with up to N differing pixels (0)\n"
    "  --pictures-only a test case passes on its last picture alone, whatever the calls\n"
    "  --compile CMD   the compiler command; {compiler} becomes cc or c++, {sources} the\n"
    "                  sources, {output} the executable to make\n"
    "  --shard K/N     grade only the K-th of N slices of the submissions (sorted by name)\n"
    "  --show-compile  print the compiler command used without --compile, and end\n"
    "Exit status: 0 when every program passes every test case, 1 otherwise, 2 on errors.\n";

// Frames of a run kept in its GIF, at most.
constexpr uint64_t kGifFrames = 25;

[[noreturn]] void fail(const std::string &message, bool usage = false) {
    std::fprintf(stderr, "kanvo-grade: %s\n", message.c_str());
    if (usage) std::fputs(kUsage, stderr);
    std::exit(2);
}

struct Options {
    std::string model;
    std::vector<TestCase> cases;
    std::string report = "kanvo-grade-report";
    unsigned jobs = 0;
    double timeout_s = 10;
    long long tolerance = 0;
    bool pictures_only = false;
    std::string compile;
    unsigned shard = 1, shards = 1;
    std::vector<std::string> submissions;
};

unsigned long long whole(const std::string &option, const char *text, unsigned long long min,
                         unsigned long long max) {
    unsigned long long value = 0;
    std::string wanted;
    if (!read_whole_number(option, text, min, max, &value, &wanted)) fail(wanted, true);
    return value;
}

std::string case_name_for_script(const std::string &path, const std::set<std::string> &taken) {
    std::string name = fs::path(path).stem().string();
    if (name.empty()) name = "script";
    std::string unique = name;
    for (int i = 2; taken.count(unique); ++i) unique = name + "-" + std::to_string(i);
    return unique;
}

Options parse_options(int argc, char **argv) {
    Options options;
    std::set<std::string> names;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (option == "--pictures-only") {
            options.pictures_only = true;
            continue;
        }
        if (option.rfind("--", 0) != 0) {
            options.submissions.push_back(option);
            continue;
        }
        if (i + 1 >= argc) fail("missing value after " + option, true);
        const char *value = argv[++i];
        if (option == "--model") {
            options.model = value;
        } else if (option == "--script") {
            TestCase test;
            std::error_code error;
            test.script = fs::absolute(value, error).string();
            if (!fs::is_regular_file(test.script, error)) fail(std::string("cannot read script file ") + value);
            if (access(test.script.c_str(), R_OK) != 0) fail(std::string("cannot read script file ") + value);
            test.name = case_name_for_script(value, names);
            names.insert(test.name);
            options.cases.push_back(test);
        } else if (option == "--ticks") {
            TestCase test;
            test.ticks = (long long)whole(option, value, 0, 1000000000ULL);
            test.name = "ticks-" + std::to_string(test.ticks);
            if (names.count(test.name)) fail("--ticks " + std::string(value) + " is given twice", true);
            names.insert(test.name);
            options.cases.push_back(test);
        } else if (option == "--report") {
            options.report = value;
        } else if (option == "--jobs") {
            options.jobs = unsigned(whole(option, value, 1, 1024));
        } else if (option == "--timeout") {
            char *end = nullptr;
            const double seconds = std::strtod(value, &end);
            if (end == value || *end != '\0' || !(seconds > 0) || seconds > 1e6) {
                fail("--timeout takes a number of seconds above 0 and up to 1000000, not '" +
                     std::string(value) + "'", true);
            }
            options.timeout_s = seconds;
        } else if (option == "--tolerance") {
            options.tolerance = (long long)whole(option, value, 0, 100000000ULL);
        } else if (option == "--compile") {
            options.compile = value;
            if (options.compile.find("{sources}") == std::string::npos ||
                options.compile.find("{output}") == std::string::npos) {
                fail("--compile needs {sources} and {output} in its command", true);
            }
        } else if (option == "--shard") {
            unsigned k = 0, n = 0;
            char rest = 0;
            if (std::sscanf(value, "%u/%u%c", &k, &n, &rest) != 2 || n < 1 || k < 1 || k > n || n > 100000) {
                fail("--shard takes K/N with 1 <= K <= N, such as 2/4, not '" + std::string(value) + "'", true);
            }
            options.shard = k;
            options.shards = n;
        } else {
            fail("unknown option " + option, true);
        }
    }
    if (options.model.empty()) fail("no model solution given (--model)", true);
    if (options.submissions.empty()) fail("no submissions given", true);
    if (options.cases.empty()) {
        TestCase test;
        test.name = "ticks-0";
        options.cases.push_back(test);
    }
    if (options.jobs == 0) options.jobs = std::max(1u, std::thread::hardware_concurrency());
    return options;
}

std::string directory_of_self() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : self.parent_path().string();
}

bool same_place(const std::string &a, const std::string &b) {
    std::error_code error;
    return fs::equivalent(a, b, error);
}

// Where kanvo-run and the clock are, and how programs are compiled: from the build tree
// when this kanvo-grade is the one built there, otherwise as installed.
Tools find_tools(const Options &options, std::string *compile_command) {
    Tools tools;
    tools.timeout_s = options.timeout_s;
    const std::string here = directory_of_self();
    const bool in_build_tree = same_place(here, KANVO_GRADE_BUILD_DIR);
    tools.kanvo_run = in_build_tree ? KANVO_GRADE_BUILD_RUN : here + "/kanvo-run";
    if (access(tools.kanvo_run.c_str(), X_OK) != 0) fail("kanvo-run is missing beside kanvo-grade in " + here);
    tools.clock = in_build_tree ? KANVO_GRADE_BUILD_CLOCK : here + "/" + KANVO_GRADE_INSTALLED_CLOCK;
    if (access(tools.clock.c_str(), R_OK) != 0) fail("the graded runs' clock is missing: " + tools.clock);
    if (!options.compile.empty()) {
        *compile_command = options.compile;
    } else if (in_build_tree) {
        *compile_command = KANVO_GRADE_BUILD_COMPILE;
    } else {
        *compile_command =
            "{compiler} -g -O0 -o {output} {sources} $(pkg-config --cflags --libs kanvo) "
            "-Wl,-rpath,\"$(pkg-config --variable=libdir kanvo)\" -Wl,--allow-shlib-undefined";
    }
    return tools;
}

// A folder-safe name: letters, digits, '.', '-' and '_' kept.
std::string safe_name(const std::string &name) {
    std::string safe;
    for (char c : name) safe += std::isalnum((unsigned char)c) || c == '-' || c == '_' || c == '.' ? c : '_';
    if (safe.empty() || safe[0] == '.') safe = "_" + safe;
    return safe;
}

// The program a path names: a source file, a folder of sources, or an executable. An empty
// reason means it is usable.
Program find_program(const std::string &given, std::string *reason) {
    Program program;
    program.given = given;
    std::error_code error;
    fs::path path = fs::absolute(given, error);
    while (!path.empty() && path.filename().empty()) path = path.parent_path();  // "dir/"
    program.name = path.stem().string();
    if (fs::is_directory(path, error)) {
        program.name = path.filename().string();
        std::vector<std::string> sources;
        for (fs::recursive_directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
            const std::string ext = it->path().extension().string();
            if (it->is_regular_file(error) && (ext == ".c" || ext == ".cc" || ext == ".cpp" || ext == ".cxx")) {
                sources.push_back(it->path().string());
            }
        }
        std::sort(sources.begin(), sources.end());
        program.sources = sources;
        if (sources.empty()) *reason = "the folder " + given + " holds no C or C++ source";
        return program;
    }
    if (!fs::is_regular_file(path, error)) {
        *reason = given + " does not exist or is not a file";
        return program;
    }
    const std::string ext = path.extension().string();
    if (ext == ".c" || ext == ".cc" || ext == ".cpp" || ext == ".cxx") {
        program.sources = {path.string()};
    } else if (access(path.c_str(), X_OK) == 0) {
        program.executable = path.string();
        program.compiled = true;
    } else {
        *reason = given + " is neither a C or C++ source nor an executable";
    }
    return program;
}

// Runs fn(i) for i in [0, count) on jobs threads.
void parallel_for(size_t count, unsigned jobs, const std::function<void(size_t)> &fn) {
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    for (unsigned j = 0; j < std::min<size_t>(jobs, count); ++j) {
        workers.emplace_back([&] {
            for (size_t i; (i = next++) < count;) fn(i);
        });
    }
    for (std::thread &worker : workers) worker.join();
}

void write_picture(const std::string &path, const platform::Bitmap &bitmap) {
    std::string reason;
    if (!platform::write_png(path, bitmap, &reason)) fail("cannot write " + path + ": " + reason);
}

// ---- the model's runs -------------------------------------------------------------------

// Every frame of the model's run, kept compressed once per distinct picture.
class ModelRun : public FrameSink {
public:
    void wait_frame(uint64_t index, const Frame &frame) override {
        if (index >= hashes_.size()) hashes_.resize(index + 1, 0);
        const uint64_t hash = frame_hash(frame);
        hashes_[index] = hash;
        if (stored_.count(hash)) return;
        Stored stored{frame.width, frame.height, frame.time_ms, {}};
        uLongf size = compressBound(uLong(frame.pixels.size() * 4));
        stored.data.resize(size);
        compress2(stored.data.data(), &size, reinterpret_cast<const Bytef *>(frame.pixels.data()),
                  uLong(frame.pixels.size() * 4), 1);
        stored.data.resize(size);
        stored_.emplace(hash, std::move(stored));
        times_.resize(hashes_.size());
        times_[index] = frame.time_ms;
    }

    uint64_t waits() const { return hashes_.size(); }
    uint64_t hash(uint64_t index) const { return hashes_[index]; }

    Frame frame(uint64_t index) const {
        Frame frame;
        const auto found = stored_.find(hashes_[index]);
        if (found == stored_.end()) return frame;
        const Stored &stored = found->second;
        frame.width = stored.width;
        frame.height = stored.height;
        frame.time_ms = index < times_.size() ? times_[index] : 0;
        frame.pixels.resize(size_t(stored.width) * stored.height);
        uLongf size = uLongf(frame.pixels.size() * 4);
        uncompress(reinterpret_cast<Bytef *>(frame.pixels.data()), &size, stored.data.data(),
                   uLong(stored.data.size()));
        return frame;
    }

    RunOutcome outcome;

private:
    struct Stored {
        uint32_t width, height;
        int64_t time_ms;
        std::vector<Bytef> data;
    };
    std::vector<uint64_t> hashes_;
    std::vector<int64_t> times_;
    std::unordered_map<uint64_t, Stored> stored_;
};

uint64_t gif_step(uint64_t waits) { return std::max<uint64_t>(1, (waits + kGifFrames - 1) / kGifFrames); }

// ---- a learner's run --------------------------------------------------------------------

// Compares each frame with the model's at the same wait as it arrives.
class LearnerRun : public FrameSink {
public:
    LearnerRun(const ModelRun &model, long long tolerance, const std::string &gif_path)
        : model_(model), tolerance_(tolerance), matched_(model.waits(), false) {
        std::string reason;
        if (!gif_.open(gif_path, &reason)) fail("cannot write " + gif_path + ": " + reason);
    }

    void wait_frame(uint64_t index, const Frame &frame) override {
        if (index % gif_step(model_.waits()) == 0) add_to_gif(frame);
        last_gif_time_ = frame.time_ms;
        if (index >= model_.waits()) return;
        if (frame_hash(frame) == model_.hash(index)) {
            matched_[index] = true;
            return;
        }
        // Without a tolerance another hash is another picture: the model's frame is only
        // unpacked for the first that differs, whose pictures the page shows.
        if (tolerance_ == 0 && first_bad_) return;
        Frame expected = model_.frame(index);
        matched_[index] = compare_frames(expected, frame).count <= tolerance_;
        if (!matched_[index] && !first_bad_) {
            first_bad_ = index;
            bad_expected_ = std::move(expected);
            bad_actual_ = frame;
        }
    }

    void finish_gif(const Frame &last) {
        if (!last.empty()) add_to_gif(last);
        std::string reason;
        if (gif_.frames() > 0) gif_.finish(&reason);
        else gif_.discard();
    }

    const std::vector<bool> &matched() const { return matched_; }
    const std::optional<uint64_t> &first_bad() const { return first_bad_; }
    const Frame &bad_expected() const { return bad_expected_; }
    const Frame &bad_actual() const { return bad_actual_; }

private:
    void add_to_gif(const Frame &frame) {
        std::string reason;
        if (!gif_failed_ && !gif_.add_frame(to_bitmap(frame), std::max(frame.time_ms, last_gif_time_), &reason)) {
            gif_failed_ = true;
        }
    }

    const ModelRun &model_;
    long long tolerance_;
    std::vector<bool> matched_;
    std::optional<uint64_t> first_bad_;
    Frame bad_expected_, bad_actual_;
    GifWriter gif_;
    bool gif_failed_ = false;
    int64_t last_gif_time_ = 0;
};

// What a learner's page shows of one test case beyond its result.
struct CaseDetail {
    CaseResult result;
    bool ran = false;
    std::string errors, output, command;
    std::string source_html;  // the lines around the first differing call
    PixelDifference final_diff;
    std::optional<uint64_t> first_bad_checkpoint;
    std::vector<std::string> notes;
    std::vector<std::string> clock_reads;
};

struct Learner {
    Program program;
    std::string folder;  // submissions/<name>, relative to the report
    std::string problem; // why it could not be compiled or found
    std::vector<CaseDetail> cases;
};

std::string truncated(const std::string &text, size_t limit = 20000) {
    if (text.size() <= limit) return text;
    return text.substr(0, limit) + "\n[... " + std::to_string(text.size() - limit) + " more bytes]\n";
}

std::string source_excerpt(const std::string &file, int line) {
    std::ifstream in(file);
    if (!in || line <= 0) return "";
    std::ostringstream out;
    std::string text;
    for (int number = 1; std::getline(in, text) && number <= line + 3; ++number) {
        if (number < line - 3) continue;
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%5d  ", number);
        const std::string row = html_escaped(prefix + text);
        out << (number == line ? "<span class=\"here\">" + row + "</span>" : row + "\n");
    }
    return out.str();
}

std::string first_line_difference(const std::string &expected, const std::string &actual) {
    std::istringstream a(expected), b(actual);
    std::string x, y;
    for (int number = 1;; ++number) {
        const bool more_a = bool(std::getline(a, x)), more_b = bool(std::getline(b, y));
        if (!more_a && !more_b) return "";
        if (!more_a) return "line " + std::to_string(number) + ": printed \"" + y + "\", which the model does not print";
        if (!more_b) return "line " + std::to_string(number) + ": expected \"" + x + "\", printed nothing more";
        if (x != y) return "line " + std::to_string(number) + ": expected \"" + x + "\", printed \"" + y + "\"";
    }
}

void grade_case(Learner &learner, size_t case_index, const TestCase &test, const ModelRun &model,
                const Options &options, const Tools &tools, const std::string &report) {
    CaseDetail &detail = learner.cases[case_index];
    CaseResult &result = detail.result;
    result.name = test.name;
    const std::string folder = report + "/" + learner.folder + "/" + safe_name(test.name);
    fs::create_directories(folder);
    const std::string work = report + "/.work/" + learner.folder + "/" + safe_name(test.name);
    // A program that waits far more often than the model does not end its loop.
    const unsigned long long limit = model.waits() * 2 + 100;
    LearnerRun sink(model, options.tolerance, folder + "/run.gif");
    RunOutcome outcome = run(learner.program, test, tools, limit, work, &sink);
    sink.finish_gif(outcome.last);
    detail.ran = true;
    detail.errors = truncated(outcome.errors);
    detail.output = truncated(outcome.output);
    detail.command = outcome.command;
    detail.clock_reads = outcome.clock_reads;

    // The pictures at the end.
    const Frame &expected = model.outcome.last;
    detail.final_diff = compare_frames(expected, outcome.last);
    result.differing_pixels = detail.final_diff.count;
    const bool picture_matches = detail.final_diff.count <= options.tolerance;
    if (!outcome.last.empty()) write_picture(folder + "/actual.png", to_bitmap(outcome.last));
    if (detail.final_diff.count > 0) write_picture(folder + "/difference.png", difference_picture(expected, outcome.last));
    detail.first_bad_checkpoint = sink.first_bad();
    if (sink.first_bad()) {
        write_picture(folder + "/checkpoint-expected.png", to_bitmap(sink.bad_expected()));
        write_picture(folder + "/checkpoint-actual.png", to_bitmap(sink.bad_actual()));
        write_picture(folder + "/checkpoint-difference.png",
                      difference_picture(sink.bad_expected(), sink.bad_actual()));
    }

    // The calls.
    const auto call_diff = first_call_difference(model.outcome.calls, outcome.calls);
    if (call_diff) {
        result.has_difference = true;
        result.first_difference = call_diff->what;
        if (call_diff->learner_call) {
            const Call &call = outcome.calls[*call_diff->learner_call];
            if (call.in_program) {
                const auto lines = source_lines(tools, learner.program.executable, {call.caller});
                result.first_difference.file = lines[0].first;
                result.first_difference.line = lines[0].second;
                detail.source_html = source_excerpt(lines[0].first, lines[0].second);
            }
        }
    }

    // The checkpoints: the model's waits at which the frame (and the calls before it) match.
    result.checkpoints = model.waits();
    for (uint64_t i = 0; i < model.waits(); ++i) {
        const bool calls_match = options.pictures_only || !call_diff || i < call_diff->frame;
        result.checkpoints_passed += sink.matched()[i] && calls_match;
    }

    // The exit and the printed text.
    const std::string printed = first_line_difference(model.outcome.output, outcome.output);
    if (!printed.empty()) detail.notes.push_back("The printed text differs from the model's: " + printed + ".");
    if (!outcome.timed_out && !outcome.limit_reached && !outcome.signal && outcome.status != model.outcome.status) {
        detail.notes.push_back("Exit status " + std::to_string(outcome.status) + ", the model's " +
                               std::to_string(model.outcome.status) + ".");
    }
    if (!outcome.clock_reads.empty()) {
        std::string names;
        for (const std::string &name : outcome.clock_reads) names += (names.empty() ? "" : ", ") + name;
        detail.notes.push_back("The program read the clock (" + names +
                               "); graded runs serve it a fixed virtual time, the same in every run.");
    }

    char timeout[32];
    std::snprintf(timeout, sizeof timeout, "%g", options.timeout_s);
    if (outcome.garbled) {
        result.status = "crash";
        result.message = "The program sent the grader a report that makes no sense.";
    } else if (outcome.signal) {
        result.status = "crash";
        result.message = "The program crashed: killed by signal " + std::to_string(outcome.signal) + " (" +
                         strsignal(outcome.signal) + ") after " + std::to_string(outcome.waits) + " waits.";
    } else if (outcome.status == 127) {
        result.status = "crash";
        result.message = "The program could not be started.";
    } else if (outcome.timed_out) {
        result.status = "timeout";
        result.message = std::string("Stopped: the program did not wait for an event for ") + timeout +
                         " seconds (an endless loop that never calls KANVO_await_event?).";
    } else if (outcome.limit_reached) {
        result.status = "timeout";
        result.message = "Stopped after " + std::to_string(limit) +
                         " waits: the program does not end its loop when it gets KANVO_QUIT.";
    } else if (outcome.waits == 0 && model.waits() > 0) {
        result.status = "no_wait";
        result.message = "The program never waits for an event (KANVO_await_event), so it cannot follow "
                         "the test's events.";
    } else if (picture_matches && (options.pictures_only || !call_diff)) {
        result.status = "pass";
    } else {
        result.status = "fail";
        if (!picture_matches) {
            char share[32];
            std::snprintf(share, sizeof share, "%.2f%%", 100.0 * double(detail.final_diff.count) /
                                                             double(std::max<long long>(detail.final_diff.total, 1)));
            result.message = "The last picture differs in " + std::to_string(detail.final_diff.count) +
                             " pixels (" + share + ").";
        } else {
            result.message = "The last picture matches, but the drawing calls differ.";
        }
    }
    const double share = result.checkpoints ? double(result.checkpoints_passed) / double(result.checkpoints) : 0;
    const bool passed = result.status == "pass";
    // Half for passing, half for the share of checkpoints: frames matched before a crash
    // or a fault count.
    result.score = result.checkpoints ? 0.5 * passed + 0.5 * share : double(passed);
    std::error_code ignored;
    fs::remove_all(work, ignored);
}

// ---- pages -----------------------------------------------------------------------------

std::string page_head(const std::string &title, const std::string &to_root) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + html_escaped(title) +
           "</title><link rel=\"icon\" href=\"data:,\"><style>" + kStyle + "</style></head><body>\n"
           "<p><a href=\"" + to_root + "index.html\">&larr; the class</a></p>\n";
}

std::string figure(const std::string &src, const std::string &caption) {
    return "<figure><img src=\"" + html_escaped(src) + "\" alt=\"" + html_escaped(caption) +
           "\"><figcaption>" + html_escaped(caption) + "</figcaption></figure>";
}

std::string box_text(const PixelDifference &diff) {
    return "(" + std::to_string(diff.left) + "," + std::to_string(diff.top) + ") to (" +
           std::to_string(diff.right) + "," + std::to_string(diff.bottom) + ")";
}

void write_learner_page(const Learner &learner, const SubmissionResult &sub, const std::vector<TestCase> &cases,
                        const std::string &report) {
    std::ostringstream out;
    out << page_head(learner.program.name, "../../") << "<h1>" << html_escaped(learner.program.name)
        << ": <span class=\"" << sub.status << "\">" << sub.status << "</span>, score "
        << std::lround(sub.score * 1000) / 10.0 << "%</h1>\n<p>Submitted as <code>"
        << html_escaped(learner.program.given) << "</code>.</p>\n";
    if (!learner.problem.empty() || !learner.program.compiled) {
        out << "<h2>Does not compile</h2>\n";
        if (!learner.program.compile_command.empty()) {
            out << "<p>Command: <code>" << html_escaped(learner.program.compile_command) << "</code></p>\n";
        }
        out << "<pre>" << html_escaped(learner.problem.empty() ? truncated(learner.program.compile_log) : learner.problem)
            << "</pre>\n";
    }
    for (size_t c = 0; c < learner.cases.size(); ++c) {
        const CaseDetail &detail = learner.cases[c];
        if (!detail.ran) continue;
        const CaseResult &result = detail.result;
        const std::string dir = safe_name(result.name) + "/";
        const std::string model_dir = "../../model/" + safe_name(result.name) + "/";
        out << "<section class=\"case\" id=\"" << html_escaped(safe_name(result.name)) << "\"><h2>"
            << html_escaped(result.name) << ": <span class=\"" << result.status << "\">" << result.status
            << "</span></h2>\n<p>" << html_escaped(result.message) << " Frames matching the model's: "
            << result.checkpoints_passed << " of " << result.checkpoints << " waits.</p>\n";
        if (result.has_difference) {
            const FirstDifference &d = result.first_difference;
            out << "<h3>First drawing call that differs</h3>\n<p>" << html_escaped(d.message) << "</p>\n<ul><li>expected: "
                << (d.expected.empty() ? "(no call)" : "<code>" + html_escaped(d.expected) + "</code>")
                << "</li><li>got: " << (d.actual.empty() ? "(no call)" : "<code>" + html_escaped(d.actual) + "</code>")
                << "</li></ul>\n";
            if (!d.file.empty()) {
                out << "<p>Made at <code>" << html_escaped(d.file) << ":" << d.line << "</code>"
                    << (d.kind == "missing" ? " (the learner's last call before the missing one)" : "") << ":</p>\n";
                if (!detail.source_html.empty()) out << "<pre class=\"source\">" << detail.source_html << "</pre>\n";
            }
        } else if (result.status != "pass") {
            out << "<p>The drawing calls are the model's.</p>\n";
        }
        out << "<h3>Last picture</h3>\n";
        if (detail.final_diff.count > 0) {
            char share[32];
            std::snprintf(share, sizeof share, "%.2f%%",
                          100.0 * double(detail.final_diff.count) / double(std::max<long long>(detail.final_diff.total, 1)));
            out << "<p>" << detail.final_diff.count << " pixels differ (" << share << "), within "
                << box_text(detail.final_diff) << ".</p>\n";
        } else {
            out << "<p>No pixel differs.</p>\n";
        }
        out << "<div class=\"pictures\">" << figure(model_dir + "last.png", "expected");
        const bool has_actual = fs::exists(report + "/" + learner.folder + "/" + dir + "actual.png");
        if (has_actual) out << figure(dir + "actual.png", "actual");
        if (detail.final_diff.count > 0) out << figure(dir + "difference.png", "difference");
        out << "</div>\n";
        if (detail.first_bad_checkpoint) {
            out << "<h3>First frame that differs: wait " << *detail.first_bad_checkpoint << "</h3>\n<div class=\"pictures\">"
                << figure(dir + "checkpoint-expected.png", "expected") << figure(dir + "checkpoint-actual.png", "actual")
                << figure(dir + "checkpoint-difference.png", "difference") << "</div>\n";
        }
        out << "<h3>The runs</h3>\n<div class=\"pictures\">" << figure(model_dir + "run.gif", "the model");
        if (fs::exists(report + "/" + learner.folder + "/" + dir + "run.gif")) out << figure(dir + "run.gif", "this program");
        out << "</div>\n";
        for (const std::string &note : detail.notes) out << "<p>" << html_escaped(note) << "</p>\n";
        out << "<p>Run it at home: <code>" << html_escaped(detail.command) << "</code>"
            << (cases[c].script.empty() ? "" : " (with the test's script beside it)") << "</p>\n";
        if (!detail.output.empty()) out << "<h3>Standard output</h3><pre>" << html_escaped(detail.output) << "</pre>\n";
        if (!detail.errors.empty()) out << "<h3>Standard error</h3><pre>" << html_escaped(detail.errors) << "</pre>\n";
        out << "</section>\n";
    }
    out << "</body></html>\n";
    std::ofstream file(report + "/" + learner.folder + "/index.html");
    file << out.str();
    if (!file) fail("cannot write " + report + "/" + learner.folder + "/index.html");
}

void write_model_page(const Program &model, const std::vector<TestCase> &cases,
                      const std::vector<ModelRun> &runs, const std::string &report) {
    std::ostringstream out;
    out << page_head("the model: " + model.name, "../") << "<h1>The model solution: " << html_escaped(model.name)
        << "</h1>\n";
    for (size_t c = 0; c < cases.size(); ++c) {
        const std::string dir = safe_name(cases[c].name) + "/";
        out << "<section class=\"case\"><h2>" << html_escaped(cases[c].name) << "</h2>\n<p>"
            << runs[c].waits() << " waits, " << runs[c].outcome.calls.size() << " drawing calls. <code>"
            << html_escaped(runs[c].outcome.command) << "</code></p>\n<div class=\"pictures\">"
            << figure(dir + "last.png", "last picture") << figure(dir + "run.gif", "the run") << "</div>\n";
        if (!runs[c].outcome.output.empty()) {
            out << "<h3>Standard output</h3><pre>" << html_escaped(truncated(runs[c].outcome.output)) << "</pre>\n";
        }
        out << "</section>\n";
    }
    out << "</body></html>\n";
    std::ofstream file(report + "/model/index.html");
    file << out.str();
}

// The model's GIF, from the frames kept.
void write_model_gif(const ModelRun &model, const std::string &path) {
    GifWriter gif;
    std::string reason;
    if (!gif.open(path, &reason)) fail("cannot write " + path + ": " + reason);
    const uint64_t step = gif_step(model.waits());
    for (uint64_t i = 0; i < model.waits(); i += step) {
        const Frame frame = model.frame(i);
        if (!frame.empty()) gif.add_frame(to_bitmap(frame), frame.time_ms, &reason);
    }
    if (!model.outcome.last.empty()) {
        gif.add_frame(to_bitmap(model.outcome.last), model.outcome.last.time_ms, &reason);
    }
    if (gif.frames() > 0) gif.finish(&reason);
    else gif.discard();
}

std::string worst_status(const std::vector<CaseDetail> &cases) {
    for (const char *status : {"crash", "timeout", "no_wait", "fail"}) {
        for (const CaseDetail &detail : cases) {
            if (detail.result.status == status) return status;
        }
    }
    return "pass";
}

int grade_class(const Options &options) {
    std::string compile_command;
    const Tools tools = find_tools(options, &compile_command);
    const std::string report = options.report;
    std::error_code error;
    fs::create_directories(report + "/model", error);
    if (error) fail("cannot make the report folder " + report + ": " + error.message());

    // The model first: everything is compared with its runs.
    std::string problem;
    Program model = find_program(options.model, &problem);
    if (!problem.empty()) fail("the model: " + problem);

    std::vector<Learner> learners;
    std::set<std::string> folders;
    for (const std::string &given : options.submissions) {
        Learner learner;
        learner.program = find_program(given, &learner.problem);
        learner.folder = "submissions/" + safe_name(learner.program.name);
        if (!folders.insert(learner.folder).second) {
            fail("two submissions are named " + learner.program.name + "; give each its own name");
        }
        learners.push_back(std::move(learner));
    }
    std::sort(learners.begin(), learners.end(),
              [](const Learner &a, const Learner &b) { return a.program.name < b.program.name; });
    std::vector<Learner> mine;
    for (size_t i = 0; i < learners.size(); ++i) {
        if (i % options.shards == options.shard - 1) mine.push_back(std::move(learners[i]));
    }
    learners = std::move(mine);

    const std::string work = report + "/.work";
    if (!model.compiled) {
        fs::create_directories(work + "/model");
        if (!compile(model, compile_command, work + "/model")) {
            fail("the model does not compile:\n" + model.compile_command + "\n" + model.compile_log);
        }
    }

    // The model's runs and the learners' compilations, side by side.
    std::vector<ModelRun> model_runs(options.cases.size());
    const size_t first_compile = options.cases.size();
    parallel_for(options.cases.size() + learners.size(), options.jobs, [&](size_t task) {
        if (task < first_compile) {
            ModelRun &run_of = model_runs[task];
            run_of.outcome = run(model, options.cases[task], tools, 100000,
                                 work + "/model/" + safe_name(options.cases[task].name), &run_of);
            return;
        }
        Learner &learner = learners[task - first_compile];
        if (!learner.problem.empty() || learner.program.compiled) return;
        const std::string directory = work + "/" + learner.folder;
        fs::create_directories(directory);
        compile(learner.program, compile_command, directory);
    });
    for (size_t c = 0; c < options.cases.size(); ++c) {
        const RunOutcome &outcome = model_runs[c].outcome;
        if (outcome.signal || outcome.timed_out || outcome.limit_reached || outcome.garbled || outcome.last.empty()) {
            fail("the model fails test case " + options.cases[c].name + " (exit status " +
                 std::to_string(outcome.status) + "):\n" + outcome.errors);
        }
        const std::string dir = report + "/model/" + safe_name(options.cases[c].name);
        fs::create_directories(dir);
        write_picture(dir + "/last.png", to_bitmap(outcome.last));
        write_model_gif(model_runs[c], dir + "/run.gif");
    }
    write_model_page(model, options.cases, model_runs, report);

    // The learners' runs, each compared with the model's as it goes.
    for (Learner &learner : learners) learner.cases.resize(options.cases.size());
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t l = 0; l < learners.size(); ++l) {
        if (!learners[l].problem.empty() || !learners[l].program.compiled) continue;
        for (size_t c = 0; c < options.cases.size(); ++c) runs.emplace_back(l, c);
    }
    parallel_for(runs.size(), options.jobs, [&](size_t task) {
        const auto [l, c] = runs[task];
        grade_case(learners[l], c, options.cases[c], model_runs[c], options, tools, report);
    });

    Results results;
    results.model = model.name;
    for (const TestCase &test : options.cases) results.cases.push_back(test.name);
    results.tolerance = options.tolerance;
    results.pictures_only = options.pictures_only;
    for (const Learner &learner : learners) {
        SubmissionResult sub;
        sub.name = learner.program.name;
        sub.page = learner.folder + "/index.html";
        fs::create_directories(report + "/" + learner.folder);
        if (!learner.problem.empty() || !learner.program.compiled) {
            sub.status = "compile_error";
        } else {
            double total = 0;
            std::set<std::string> reads;
            for (const CaseDetail &detail : learner.cases) {
                sub.cases.push_back(detail.result);
                total += detail.result.score;
                reads.insert(detail.clock_reads.begin(), detail.clock_reads.end());
            }
            sub.clock_reads.assign(reads.begin(), reads.end());
            sub.score = learner.cases.empty() ? 0 : total / double(learner.cases.size());
            sub.status = worst_status(learner.cases);
            const std::string first = learner.folder + "/" + safe_name(options.cases[0].name) + "/actual.png";
            if (fs::exists(report + "/" + first)) {
                Frame frame;
                platform::Bitmap picture;
                if (platform::read_png(report + "/" + first, &picture)) {
                    frame.width = uint32_t(picture.width());
                    frame.height = uint32_t(picture.height());
                    frame.pixels = picture.pixels();
                    sub.thumbnail = learner.folder + "/thumbnail.png";
                    write_picture(report + "/" + sub.thumbnail, thumbnail(frame));
                }
            }
        }
        write_learner_page(learner, sub, options.cases, report);
        results.submissions.push_back(std::move(sub));
    }
    fs::remove_all(work, error);
    std::string reason;
    if (!write_class_report(results, report, &reason)) fail(reason);

    bool all_pass = true;
    for (const SubmissionResult &sub : results.submissions) {
        all_pass = all_pass && sub.status == "pass";
        std::printf("%-24s %-13s %5.1f%%\n", sub.name.c_str(), sub.status.c_str(), sub.score * 100);
    }
    std::printf("report: %s/index.html\n", report.c_str());
    return all_pass ? 0 : 1;
}

int merge(int argc, char **argv) {
    std::string report;
    std::vector<std::string> shards;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--report") {
            if (i + 1 >= argc) fail("missing value after --report", true);
            report = argv[++i];
        } else if (arg.rfind("--", 0) == 0) {
            fail("unknown option " + arg + " for merge", true);
        } else {
            shards.push_back(arg);
        }
    }
    if (report.empty() || shards.empty()) fail("merge needs --report DIR and the shards' report folders", true);
    Results merged;
    std::set<std::string> names;
    std::error_code error;
    fs::create_directories(report + "/submissions", error);
    if (error) fail("cannot make the report folder " + report + ": " + error.message());
    for (size_t s = 0; s < shards.size(); ++s) {
        Results shard;
        std::string reason;
        if (!read_results(shards[s] + "/results.json", &shard, &reason)) fail(reason);
        if (s == 0) {
            merged.model = shard.model;
            merged.cases = shard.cases;
            merged.tolerance = shard.tolerance;
            merged.pictures_only = shard.pictures_only;
            fs::copy(shards[s] + "/model", report + "/model",
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
            if (error) fail("cannot copy " + shards[s] + "/model: " + error.message());
        } else if (shard.model != merged.model || shard.cases != merged.cases ||
                   shard.tolerance != merged.tolerance || shard.pictures_only != merged.pictures_only) {
            fail(shards[s] + " was graded against another model, other test cases or other settings");
        }
        for (SubmissionResult &sub : shard.submissions) {
            if (!names.insert(sub.name).second) fail(sub.name + " is in more than one shard");
            const fs::path page_dir = fs::path(sub.page).parent_path();
            if (page_dir.empty() || page_dir.is_absolute() || sub.page.find("..") != std::string::npos) {
                fail(shards[s] + "/results.json: a page outside the report: " + sub.page);
            }
            fs::copy(fs::path(shards[s]) / page_dir, fs::path(report) / page_dir,
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
            if (error) fail("cannot copy " + (fs::path(shards[s]) / page_dir).string() + ": " + error.message());
            merged.submissions.push_back(std::move(sub));
        }
    }
    std::sort(merged.submissions.begin(), merged.submissions.end(),
              [](const SubmissionResult &a, const SubmissionResult &b) { return a.name < b.name; });
    std::string reason;
    if (!write_class_report(merged, report, &reason)) fail(reason);
    bool all_pass = true;
    for (const SubmissionResult &sub : merged.submissions) all_pass = all_pass && sub.status == "pass";
    std::printf("merged %zu submissions into %s/index.html\n", merged.submissions.size(), report.c_str());
    return all_pass ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc >= 2 && std::string(argv[1]) == "merge") return merge(argc, argv);
    if (argc == 2 && std::string(argv[1]) == "--show-compile") {
        std::string command;
        find_tools(Options{}, &command);
        std::printf("%s\n", command.c_str());
        return 0;
    }
    return grade_class(parse_options(argc, argv));
}
