// kanvo-run: unchanged programs run headless from a script or for a number of ticks, with
// their frames as PNG pictures and GIFs, their exit status passed on, and the programs
// that never end, stop waiting or crash stopped and reported.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/gif_frames.h"
#include "support/test_support.h"
#include "testing.h"

extern "C" int hello_main(void);  // examples/hello.c, built into this test

namespace {

const std::string kBin = KANVO_BINARY_DIR;
const std::string kSubject = kBin + "/tests/kanvo-run-subject";
const std::string kHello = kBin + "/examples/hello";
const std::string kScene = kBin + "/scene/kanvo-scene";

class RunTest : public ::testing::Test {
protected:
    std::string path(const std::string &name) const { return directory_.path(name); }

    // Runs a tool of the build with the arguments; returns its exit status, keeps its output.
    // prefix goes before the tool (a timeout, a subshell's limits).
    int tool(const std::string &name, const std::string &arguments, const std::string &prefix = "") {
        const std::string out = path("stdout.txt"), err = path("stderr.txt");
        const std::string command = prefix + kBin + "/tools/" + name + " " + arguments + " >" + out + " 2>" + err;
        const int status = std::system(command.c_str());
        output_ = file_text(out);
        errors_ = file_text(err);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int run(const std::string &arguments, const std::string &prefix = "") {
        return tool("kanvo-run", arguments, prefix);
    }
    int replay(const std::string &arguments) { return tool("kanvo-replay", arguments); }

    void write_script(const std::string &name, const std::string &text) const {
        std::ofstream(path(name)) << text;
    }

    // frame-000000.png, frame-000001.png, ... in order.
    std::vector<platform::Bitmap> read_frames(const std::string &directory) const {
        std::vector<platform::Bitmap> frames;
        for (int i = 0;; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%06d.png", i);
            if (!std::filesystem::exists(path(directory) + name)) return frames;
            frames.push_back(png_picture(path(directory) + name));
        }
    }

    DecodedGif decode(const std::string &name) const {
        DecodedGif gif;
        std::string reason;
        EXPECT_TRUE(decode_gif(path(name), &gif, &reason)) << reason;
        return gif;
    }

    std::string directory_name() const {
        return std::filesystem::path(directory_.path()).filename().string();
    }

    ScratchDirectory directory_;
    std::string output_, errors_;
};

// Panel boxes: Simulate Wind, Add Flowers, Add Bugs.
const char kBusyScript[] =
    "KANVO_PERIODIC(12);\nKANVO_MOUSE(-245, 183);\nKANVO_PERIODIC(10);\n"
    "KANVO_MOUSE(-245, 158);\nKANVO_MOUSE(-245, 133);\nKANVO_KBD(120);\nKANVO_PERIODIC(15);\n";

TEST_F(RunTest, LandscapeGivesTheFramesOfKanvoReplay) {
    write_script("busy.SCR", kBusyScript);
    ASSERT_EQ(replay("--seed 11 --script " + path("busy.SCR") + " --frames " + path("replayed")), 0) << errors_;
    ASSERT_EQ(run("--script " + path("busy.SCR") + " --frames " + path("run") + " -- " + kScene +
                  " --seed 11"), 0) << errors_;
    const std::vector<platform::Bitmap> replayed = read_frames("replayed"), ran = read_frames("run");
    ASSERT_EQ(ran.size(), replayed.size());
    EXPECT_EQ(ran.size(), 1u + 12 + 1 + 10 + 3 + 15 + 1) << "one per event, the first and the last";
    for (size_t i = 0; i < ran.size(); ++i) {
        EXPECT_EQ(ran[i].width(), 585);
        EXPECT_TRUE(ran[i].pixels() == replayed[i].pixels()) << "frame " << i;
    }

    ASSERT_EQ(replay("--seed 4 --ticks 25 --png " + path("replayed.png")), 0) << errors_;
    ASSERT_EQ(run("--ticks 25 --png " + path("run.png") + " -- " + kScene + " --seed 4"), 0) << errors_;
    EXPECT_TRUE(png_picture(path("run.png")).pixels() == png_picture(path("replayed.png")).pixels());
    ASSERT_EQ(run("--ticks 25 --png " + path("other.png") + " -- " + kScene + " --seed 5"), 0) << errors_;
    EXPECT_FALSE(png_picture(path("other.png")).pixels() == png_picture(path("run.png")).pixels());
    EXPECT_EQ(run("--ticks 1 -- " + kScene + " --seed x"), 2);
    EXPECT_NE(errors_.find("--seed takes a whole number"), std::string::npos) << errors_;
}

// The session: recording starts at once, then ticks, a click, two keys, more ticks and a
// click; recording stops and the close box ends the program.
void play_session() {
    static bool queued = false;
    if (queued) return;
    queued = true;
    platform::HeadlessBackend &user = use_headless();
    user.ctrl_key(kanvo.windows.draw_window, 'r');
    user.pause(420);
    user.click(kanvo.windows.draw_window, 400, 120);
    user.type(kanvo.windows.draw_window, "ok");
    user.pause(330);
    user.click(kanvo.windows.draw_window, 60, 300);
    user.ctrl_key(kanvo.windows.draw_window, 'r');
    user.close_box(kanvo.windows.draw_window);
}

TEST_F(RunTest, HelloPlaysARecordedSessionBackToItsPicture) {
    static std::string script;  // the library keeps the name
    script = path("hello.SCR");
    kanvo.script.script_name = script.c_str();
    use_headless();
    kanvo.events.wait_observer = play_session;
    ASSERT_EQ(hello_main(), 0);
    kanvo.events.wait_observer = nullptr;
    platform::Bitmap session(585, 481);
    for (int y = 0; y < session.height(); ++y) {
        std::copy_n(surface_pixels().row(y), session.width(), session.row(y));
    }
    const std::string recorded = file_text(script);
    EXPECT_NE(recorded.find("KANVO_MOUSE(108, 120);\nKANVO_KBD(111);\nKANVO_KBD(107);\n"), std::string::npos)
        << recorded;
    EXPECT_NE(recorded.find("KANVO_PERIODIC("), std::string::npos) << recorded;

    ASSERT_EQ(run("--script " + script + " --png " + path("replayed.png") + " -- " + kHello), 0) << errors_;
    platform::Bitmap replayed = png_picture(path("replayed.png"));
    EXPECT_TRUE(replayed.pixels() == session.pixels());
}

TEST_F(RunTest, ExitStatusIsPassedOn) {
    EXPECT_EQ(run("--ticks 3 -- " + kSubject + " exit 3"), 3) << errors_;
    EXPECT_EQ(errors_.find("kanvo-run:"), std::string::npos) << "nothing to report: " << errors_;
    EXPECT_EQ(run("-- " + kSubject + " exit 0"), 0) << errors_;
    EXPECT_EQ(run(kSubject + " exit 9"), 9) << "the program may follow the options without --";
    EXPECT_EQ(run("-- " + path("no-such-program")), 127);
    EXPECT_NE(errors_.find("cannot run " + path("no-such-program")), std::string::npos) << errors_;
}

TEST_F(RunTest, ProgramsThatNeverEndAreStopped) {
    EXPECT_EQ(run("--limit 50 --png " + path("stopped.png") + " -- " + kSubject + " ignore-quit"), 124);
    EXPECT_NE(errors_.find("stopped " + kSubject + " after 50 waits for an event"), std::string::npos) << errors_;
    EXPECT_TRUE(std::filesystem::exists(path("stopped.png"))) << "the frame it showed when stopped";
    EXPECT_EQ(run("--ticks 100 --limit 30 -- " + kScene + " --seed 1"), 124);

    // The program stops calling the wait after its third event.
    EXPECT_EQ(run("--timeout 0.3 --ticks 10 -- " + kSubject + " hang"), 124);
    EXPECT_NE(errors_.find("it did not wait for an event for 0.3 seconds (--timeout 0.3)"), std::string::npos)
        << errors_;
}

TEST_F(RunTest, ChangedRowsWithoutAFrameBeforeThemAreRefused) {
    EXPECT_EQ(run("--ticks 3 --gif " + path("forged.gif") + " -- " + kSubject + " changed-rows"), 1);
    EXPECT_NE(errors_.find("sent a report that makes no sense"), std::string::npos) << errors_;
    EXPECT_FALSE(std::filesystem::exists(path("forged.gif")));
}

TEST_F(RunTest, CrashIsReportedWithItsSignal) {
    EXPECT_EQ(run("--ticks 10 -- " + kSubject + " crash"), 128 + SIGSEGV);
    EXPECT_NE(errors_.find("crashed: killed by signal " + std::to_string(SIGSEGV)), std::string::npos)
        << errors_;
}

// A run that fails still leaves its last picture: what the window showed before the crash
// or the stop (the frame of the last wait), not what was drawn after it.
TEST_F(RunTest, CrashOrStopStillWritesTheLastFrameShown) {
    ASSERT_EQ(run("--ticks 10 --frames " + path("frames") + " -- " + kSubject + " abort"), 128 + SIGABRT)
        << errors_;
    const std::vector<platform::Bitmap> frames = read_frames("frames");
    ASSERT_EQ(frames.size(), 3u) << "frames 0 to 2 were shown; event 3 drew, then aborted";

    EXPECT_EQ(run("--ticks 10 --png " + path("crash.png") + " -- " + kSubject + " abort"), 128 + SIGABRT);
    ASSERT_TRUE(std::filesystem::exists(path("crash.png"))) << errors_;
    EXPECT_TRUE(png_picture(path("crash.png")).pixels() == frames[2].pixels());
    EXPECT_NE(errors_.find(path("crash.png") + " holds the last frame " + kSubject +
                           " showed, before the crash"),
              std::string::npos)
        << errors_;

    // Stopped for not waiting: the frame of its third wait, as in the frames above.
    EXPECT_EQ(run("--timeout 0.3 --ticks 10 --png " + path("hang.png") + " -- " + kSubject + " hang"), 124);
    ASSERT_TRUE(std::filesystem::exists(path("hang.png"))) << errors_;
    EXPECT_TRUE(png_picture(path("hang.png")).pixels() == frames[2].pixels());
    EXPECT_NE(errors_.find("before it was stopped"), std::string::npos) << errors_;
}

// A program that never opens Kanvo has nothing to show: the run says so and fails,
// passing on a failing status of the program's own.
TEST_F(RunTest, ProgramThatNeverOpensKanvoIsReported) {
    EXPECT_EQ(run("--png " + path("none.png") + " -- " + kSubject + " no-window"), 1);
    EXPECT_NE(errors_.find(kSubject + " never opened Kanvo"), std::string::npos) << errors_;
    EXPECT_FALSE(std::filesystem::exists(path("none.png")));
    EXPECT_EQ(run("-- " + kSubject + " no-window"), 1) << "also without a picture asked for";
    EXPECT_EQ(run("-- " + kSubject + " no-window 5"), 5);
    EXPECT_NE(errors_.find("never opened Kanvo"), std::string::npos) << errors_;
}

TEST_F(RunTest, GifFramesDecodeToThePngFrames) {
    ASSERT_EQ(run("--ticks 12 --frames " + path("frames") + " --gif " + path("all.gif") + " -- " +
                  kSubject + " exit 0"), 0) << errors_;
    const std::vector<platform::Bitmap> frames = read_frames("frames");
    DecodedGif all = decode("all.gif");
    ASSERT_EQ(all.frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_TRUE(all.frames[i].pixels() == frames[i].pixels()) << "frame " << i;
        EXPECT_EQ(all.images[i].delay_cs, 10) << "frame " << i;
    }

    // Every fifth frame and the last, each standing as long as the frames it stands for.
    ASSERT_EQ(run("--ticks 12 --gif " + path("fifth.gif") + " --gif-every 5 -- " + kSubject + " exit 0"), 0)
        << errors_;
    DecodedGif fifth = decode("fifth.gif");
    const size_t last = frames.size() - 1;
    ASSERT_EQ(fifth.frames.size(), (last + 4) / 5 + 1);
    for (size_t i = 0; i + 1 < fifth.frames.size(); ++i) {
        EXPECT_TRUE(fifth.frames[i].pixels() == frames[i * 5].pixels()) << "frame " << i * 5;
    }
    EXPECT_TRUE(fifth.frames.back().pixels() == frames[last].pixels());
    EXPECT_EQ(fifth.images[0].delay_cs, 50);

    // The landscape's text brings more than 256 colours: the few stand-ins are said and small.
    ASSERT_EQ(run("--ticks 6 --frames " + path("land") + " --gif " + path("land.gif") + " -- " + kScene +
                  " --seed 2"), 0) << errors_;
    EXPECT_NE(errors_.find("more than 256 colours"), std::string::npos) << errors_;
    const std::vector<platform::Bitmap> land = read_frames("land");
    DecodedGif land_gif = decode("land.gif");
    ASSERT_EQ(land_gif.frames.size(), land.size());
    for (size_t i = 0; i < land.size(); ++i) {
        size_t differing = 0;
        for (size_t p = 0; p < land[i].pixels().size(); ++p) {
            differing += land[i].pixels()[p] != land_gif.frames[i].pixels()[p];
        }
        EXPECT_LT(differing, land[i].pixels().size() / 200) << "frame " << i;
    }

    // kanvo-replay writes the same GIF frames.
    ASSERT_EQ(replay("--seed 2 --ticks 6 --gif " + path("replayed.gif")), 0) << errors_;
    DecodedGif replayed = decode("replayed.gif");
    ASSERT_EQ(replayed.frames.size(), land_gif.frames.size());
    for (size_t i = 0; i < replayed.frames.size(); ++i) {
        EXPECT_TRUE(replayed.frames[i].pixels() == land_gif.frames[i].pixels()) << "frame " << i;
    }
}

TEST_F(RunTest, BadArgumentsAndFilesAreRefusedBeforeTheProgramRuns) {
    std::ofstream(path("a-file")) << "x";
    std::filesystem::create_directory(path("a-directory"));
    write_script("ok.SCR", "KANVO_PERIODIC(2);\n");
    const std::string program = " -- " + kSubject + " environment";
    struct Case {
        std::string arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"", 2, "no program given"},
        {"--ticks 5", 2, "no program given"},
        {"--png", 2, "missing value after --png"},
        {"--bogus 1" + program, 2, "unknown option --bogus"},
        {"--ticks x" + program, 2, "--ticks takes a whole number from 0 to 1000000000, not 'x'"},
        {"--limit 0" + program, 2, "--limit takes a whole number from 1"},
        {"--timeout 0" + program, 2, "--timeout takes a number of seconds above 0"},
        {"--timeout soon" + program, 2, "--timeout takes a number of seconds"},
        {"--gif-every 0 --gif " + path("g.gif") + program, 2, "--gif-every takes a whole number from 1"},
        {"--gif-every 2" + program, 2, "--gif-every needs --gif"},
        {"--script " + path("ok.SCR") + " --ticks 3" + program, 2, "either --script or --ticks"},
        {"--gif " + path("same") + " --png " + path("same") + program, 2, "the same file"},
        {"--script " + path("missing.SCR") + program, 1, "cannot read script file " + path("missing.SCR")},
        {"--script " + path("a-directory") + program, 1, "is not a regular file"},
        {"--png " + path("no/dir/x.png") + program, 1, "cannot write " + path("no/dir/x.png")},
        {"--png " + path("a-directory") + program, 1, "it is a directory"},
        {"--gif " + path("no/dir/x.gif") + program, 1, "cannot write " + path("no/dir/x.gif")},
        {"--frames " + path("a-file") + program, 1, "is not a directory"},
        {"--script ''" + program, 2, "--script takes a value, not an empty one"},
        {"--png ''" + program, 2, "--png takes a value, not an empty one"},
        {"--gif \"\"" + program, 2, "--gif takes a value, not an empty one"},
        {"--frames ''" + program, 2, "--frames takes a value, not an empty one"},
        // No picture may overwrite the script, nor two pictures one file, however named.
        {"--script " + path("ok.SCR") + " --png " + path("ok.SCR") + program, 2, "--script and --png name the same file"},
        {"--script " + path("ok.SCR") + " --gif " + path("../") + directory_name() + "/ok.SCR" + program, 2,
         "--script and --gif name the same file"},
        {"--gif " + path("a.gif") + " --png " + path("./a.gif") + program, 2, "--png and --gif name the same file"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(run(c.arguments, "timeout 20 "), c.status) << c.arguments;
        EXPECT_EQ(errors_.rfind("kanvo-run: ", 0), 0u) << c.arguments << ": " << errors_;
        EXPECT_NE(errors_.find(c.message), std::string::npos) << c.arguments << ": " << errors_;
        EXPECT_EQ(output_, "") << "the program ran: " << c.arguments;
    }
    // A program that shows nothing leaves the picture unwritten and says so.
    EXPECT_EQ(run("--png " + path("none.png") + " -- /bin/true"), 1);
    EXPECT_NE(errors_.find("/bin/true showed no frame"), std::string::npos) << errors_;
    EXPECT_FALSE(std::filesystem::exists(path("none.png")));

    // kanvo-replay's GIF options are checked the same way.
    EXPECT_EQ(replay("--ticks 1 --gif " + path("no/dir/x.gif")), 1);
    EXPECT_NE(errors_.find("cannot write " + path("no/dir/x.gif")), std::string::npos) << errors_;
    EXPECT_EQ(replay("--ticks 1 --gif-every 2"), 2);
    EXPECT_NE(errors_.find("--gif-every needs --gif"), std::string::npos) << errors_;
    EXPECT_EQ(replay("--ticks 1 --gif " + path("r.gif") + " --gif-every none"), 2);
    EXPECT_EQ(replay("--script " + path("ok.SCR") + " --png " + path("./ok.SCR")), 2);
    EXPECT_NE(errors_.find("--script and --png name the same file"), std::string::npos) << errors_;
    EXPECT_EQ(replay("--frames ''"), 2);
    EXPECT_EQ(file_text(path("ok.SCR")), "KANVO_PERIODIC(2);\n") << "the script is kept";

    // A FIFO with no writer is refused at once, not opened and waited on.
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(run("--script " + path("fifo") + program, "timeout 20 "), 1);
    EXPECT_NE(errors_.find("script file " + path("fifo") + " is not a regular file"), std::string::npos) << errors_;
}

TEST_F(RunTest, ProgramsTheRunStartsRunNormally) {
    ASSERT_EQ(run("-- " + kSubject + " environment"), 0) << errors_;
    EXPECT_EQ(output_, "KANVO_RUN_FD gone\n");
}

TEST(RunEnvironment, OnlyKanvoRunsVariablesMakeARunHeadless) {
    unsetenv("KANVO_RUN_FD");
    EXPECT_EQ(platform::make_run_backend(), nullptr);
    EXPECT_EXIT(
        {
            setenv("KANVO_RUN_FD", "987", 1);
            platform::make_run_backend();
        },
        ::testing::ExitedWithCode(2), "KANVO_RUN_FD=987: no pipe is open under that number");
    EXPECT_EXIT(
        {
            int ends[2];
            if (pipe(ends) != 0) std::abort();
            setenv("KANVO_RUN_FD", std::to_string(ends[1]).c_str(), 1);
            setenv("KANVO_RUN_TICKS", "many", 1);
            platform::make_run_backend();
        },
        ::testing::ExitedWithCode(2), "KANVO_RUN_TICKS=many: not a whole number");
}

}  // namespace

namespace {

// A process that has ended (or only waits to be reaped) no longer runs.
bool still_running(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t state = text.rfind(')');
    return state != std::string::npos && state + 2 < text.size() && text[state + 2] != 'Z';
}

TEST_F(RunTest, OutputsGoIntoFifosAndThroughLinksNeverReplacingThem) {
    const std::string program = " --ticks 3 -- " + kSubject + " exit 0";
    // A FIFO is written into: a reader gets the picture, and the FIFO stays.
    for (const std::string option : {"--gif", "--png"}) {
        SCOPED_TRACE(option);
        ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
        const std::string reader = "(timeout 20 cat " + path("pipe") + " >" + path("read") + " &) ; ";
        EXPECT_EQ(run(option + " " + path("pipe") + program, reader), 0) << errors_;
        struct stat info {};
        ASSERT_EQ(lstat(path("pipe").c_str(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
        for (int i = 0; i < 100 && file_text(path("read")).size() < 6; ++i) usleep(20000);
        EXPECT_EQ(file_text(path("read")).substr(0, 4), option == "--gif" ? "GIF8" : "\x89PNG");
        std::filesystem::remove(path("pipe"));
    }
    // A link stays a link and its file is replaced, also one that does not exist yet.
    std::filesystem::create_directory(path("frames"));
    std::filesystem::create_symlink(path("kept.gif"), path("link.gif"));
    std::filesystem::create_symlink("../frame0.png", path("frames/frame-000000.png"));
    ASSERT_EQ(run("--gif " + path("link.gif") + " --frames " + path("frames") + program), 0) << errors_;
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.gif")));
    EXPECT_TRUE(std::filesystem::is_symlink(path("frames/frame-000000.png")));
    EXPECT_EQ(decode("kept.gif").frames.size(), read_frames("frames").size());
    EXPECT_EQ(png_picture(path("frame0.png")).width(), 585);

    // kanvo-replay the same way.
    std::filesystem::create_symlink(path("replayed.png"), path("replay-link.png"));
    ASSERT_EQ(replay("--ticks 1 --png " + path("replay-link.png")), 0) << errors_;
    EXPECT_TRUE(std::filesystem::is_symlink(path("replay-link.png")));
    EXPECT_EQ(png_picture(path("replayed.png")).width(), 585);
}

TEST_F(RunTest, UnplayableScriptLinesAreNamed) {
    write_script("binary.SCR", std::string("KANVO_PERIODIC(2);\n\x01\x02KAN\0VO\n", 29) + "KANVO_KBD(65);\n");
    write_script("cut.SCR", "KANVO_PERIODIC(2);\nKANVO_KBD(65);");
    EXPECT_EQ(run("--script " + path("binary.SCR") + " -- " + kSubject + " exit 0"), 0) << errors_;
    EXPECT_NE(errors_.find("kanvo-run: warning: " + path("binary.SCR") +
                           ":2: not a script line, playback ended there: \\x01\\x02KAN\\x00VO"),
              std::string::npos) << errors_;
    EXPECT_EQ(run("--script " + path("cut.SCR") + " -- " + kSubject + " exit 0"), 0) << errors_;
    EXPECT_NE(errors_.find(path("cut.SCR") + ":2: the last line has no line feed"), std::string::npos) << errors_;
}

TEST_F(RunTest, InterruptedRunStopsEverythingAndKeepsTheOldPicture) {
    std::ofstream(path("old.gif")) << "old";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setpgid(0, 0);  // a group of its own, as a shell gives a job
        const std::string err = path("stderr.txt");
        freopen(err.c_str(), "w", stderr);
        const std::string tool = kBin + "/tools/kanvo-run", gif = path("old.gif");
        execl(tool.c_str(), tool.c_str(), "--ticks", "100000000", "--limit", "1000000000", "--gif", gif.c_str(),
              "--", kSubject.c_str(), "exit", "0", (char *)nullptr);
        _exit(127);
    }
    setpgid(pid, pid);
    usleep(700000);
    kill(-pid, SIGINT);  // Ctrl+C reaches the whole group
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    errors_ = file_text(path("stderr.txt"));
    EXPECT_NE(errors_.find("kanvo-run: interrupted; stopped " + kSubject), std::string::npos) << errors_;
    EXPECT_EQ(errors_.find("crashed"), std::string::npos) << errors_;
    EXPECT_EQ(file_text(path("old.gif")), "old");
    size_t files = 0;
    for (auto &entry : std::filesystem::directory_iterator(directory_.path())) files += entry.is_regular_file();
    EXPECT_EQ(files, 2u) << "no temporary file is left";
}

TEST_F(RunTest, OnlyTheProgramReportsAndAStopEndsItsChildrenToo) {
    // Its first child exits (at exit the library would report); its second sleeps on.
    EXPECT_EQ(run("--limit 20 --frames " + path("frames") + " -- " + kSubject + " fork " + path("pid")), 124);
    EXPECT_EQ(read_frames("frames").size(), 20u) << "one frame per wait, none from the child that exited";
    const pid_t sleeper = std::atoi(file_text(path("pid")).c_str());
    ASSERT_GT(sleeper, 0);
    for (int i = 0; i < 100 && still_running(sleeper); ++i) usleep(20000);
    EXPECT_FALSE(still_running(sleeper)) << "the child it started was stopped with it";
    if (still_running(sleeper)) kill(sleeper, SIGKILL);
}

TEST_F(RunTest, DefaultLimitLeavesRoomForTheTicksAskedFor) {
    // Every tick is a wait: the limit the program is given (seen here by a program that
    // shows its environment, as a Kanvo program would read it) is beyond the ticks. env
    // never opens Kanvo, which kanvo-run reports with status 1.
    EXPECT_EQ(run("--ticks 100050 -- env"), 1) << errors_;
    EXPECT_NE(output_.find("KANVO_RUN_LIMIT=200050\n"), std::string::npos) << output_;
    EXPECT_EQ(run("--ticks 100050 --limit 7 -- env"), 1) << errors_;
    EXPECT_NE(output_.find("KANVO_RUN_LIMIT=7\n"), std::string::npos) << output_;
}

TEST_F(RunTest, FileSizeLimitAndClosedOutputAreReportedNotFatal) {
    // Past `ulimit -f` every write fails: the first frame stops the run, with one message.
    std::filesystem::create_directory(path("frames"));
    EXPECT_EQ(run("--ticks 20 --frames " + path("frames") + " -- " + kSubject + " exit 0", "ulimit -f 1; "), 1);
    EXPECT_NE(errors_.find("cannot write " + path("frames") + "/frame-000000.png: File too large"), std::string::npos)
        << errors_;
    EXPECT_EQ(errors_.find("frame-000001"), std::string::npos) << errors_;
    EXPECT_EQ(run("--ticks 20 --gif " + path("big.gif") + " -- " + kSubject + " exit 0", "ulimit -f 1; "), 1);
    EXPECT_NE(errors_.find("File too large"), std::string::npos) << errors_;
    EXPECT_TRUE(std::filesystem::is_empty(path("frames")));
    EXPECT_FALSE(std::filesystem::exists(path("big.gif")));
    size_t files = 0;
    for (auto &entry : std::filesystem::directory_iterator(directory_.path())) files += entry.is_regular_file();
    EXPECT_EQ(files, 2u) << "only stdout.txt and stderr.txt: no temporary file is left";

    // With standard input and output closed, the program's output does not reach the reports.
    EXPECT_EQ(run("--png " + path("closed.png") + " -- " + kSubject + " environment <&- >&-"), 0) << errors_;
    EXPECT_EQ(png_picture(path("closed.png")).width(), 585);
}

}  // namespace
