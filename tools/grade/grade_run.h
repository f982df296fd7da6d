// kanvo-grade's side of a run: a submission compiled, then run under kanvo-run with a
// second pipe on which the library reports every frame and every drawing call
// (platform/run/run_protocol.h), and with the clock of graded runs preloaded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace grade {

// A frame as the program showed it: 0xFFRRGGBB pixels, rows top to bottom.
struct Frame {
    uint32_t width = 0, height = 0;
    int64_t time_ms = 0;
    std::vector<uint32_t> pixels;
    bool empty() const { return width == 0; }
};

struct Call {
    uint64_t frame = 0;      // the waits the program had started before the call
    std::string line;        // the text window's description line, without its line feed
    uint64_t caller = 0;     // return address, relative to the load base of its object
    bool in_program = false; // the caller lies in the program (not a shared library)
};

struct TestCase {
    std::string name;
    std::string script;    // absolute path, or empty
    long long ticks = 0;   // without a script
};

// A submission or the model: sources to compile, or an executable.
struct Program {
    std::string name;
    std::string given;                 // the path as given
    std::vector<std::string> sources;  // absolute; empty for an executable
    std::string executable;            // absolute, once built
    bool compiled = false;
    std::string compile_command;
    std::string compile_log;
};

struct Tools {
    std::string kanvo_run;   // the kanvo-run executable
    std::string clock;       // the preloaded clock (a shared object)
    std::string addr2line = "addr2line";
    double timeout_s = 10;
};

// Told of each frame as it arrives, so that a long run's frames need not all be kept.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // The frame shown at the program's index-th wait (0: before the first event).
    virtual void wait_frame(uint64_t index, const Frame &frame) = 0;
};

struct RunOutcome {
    std::vector<Call> calls;
    uint64_t waits = 0;
    Frame last;                  // the last frame (when the program ended or was stopped)
    int status = 0;              // kanvo-run's exit status
    bool timed_out = false;      // stopped for not waiting for --timeout seconds
    bool limit_reached = false;  // stopped for waiting more often than the model allows
    int signal = 0;              // the program crashed with this signal
    bool garbled = false;        // the grading pipe made no sense
    std::string output;          // what the program printed on its standard output
    std::string errors;          // its standard error, and kanvo-run's messages
    std::vector<std::string> clock_reads;  // time, gettimeofday, clock_gettime
    std::string command;         // the kanvo-run command line that reproduces the run
};

// Reads a file whole ("" when it cannot).
std::string read_file(const std::string &path);

// Builds program.executable from its sources into directory with the teacher's command
// template; false with program.compile_log holding the compiler's messages.
bool compile(Program &program, const std::string &command_template, const std::string &directory);

// Runs the program once for the test case in work_dir (its current directory), stopping
// it after limit waits. Frames go to sink as they come.
RunOutcome run(const Program &program, const TestCase &test_case, const Tools &tools,
               unsigned long long limit, const std::string &work_dir, FrameSink *sink);

// The source file and line of each address in the executable's debug information, as
// addr2line tells them: {file, line}, line 0 when unknown.
std::vector<std::pair<std::string, int>> source_lines(const Tools &tools,
                                                      const std::string &executable,
                                                      const std::vector<uint64_t> &addresses);

std::string shell_quoted(const std::string &text);

}  // namespace grade
