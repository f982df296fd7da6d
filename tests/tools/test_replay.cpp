// Pictures without a display: KANVO_save_picture, and the kanvo-replay tool that runs the
// landscape headless from a seed and a script.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/test_support.h"
#include "testing.h"

namespace {

// Under the leak checker, its summary of suppressions must not mix with the tool's messages.
#ifdef _WIN32
const std::string kQuietLeakCheck;  // no leak checker in Windows builds
#else
const std::string kQuietLeakCheck = "LSAN_OPTIONS=\"${LSAN_OPTIONS:+$LSAN_OPTIONS:}print_suppressions=0\" ";
#endif

class ReplayTest : public ::testing::Test {
protected:
    std::string path(const std::string &name) const { return directory_.path(name); }

    void write_script(const std::string &name, const std::string &text) const {
        std::ofstream(path(name)) << text;
    }

    // Runs kanvo-replay with the arguments; returns its exit status and keeps its output.
    int replay(const std::string &arguments, const std::string &prefix = "") {
        const std::string out = path("stdout.txt"), err = path("stderr.txt");
        const int status =
            run_program(KANVO_REPLAY, arguments + " >" + out + " 2>" + err, kQuietLeakCheck + prefix);
        output_ = file_text(out);
        errors_ = file_text(err);
        return status;
    }

    ScratchDirectory directory_;
    std::string output_, errors_;
};

// Five presses of "Alter Tree Tops" (its box holds y 196..220) bring the winter scene.
const char kWinterScript[] =
    "KANVO_PERIODIC(4);\n"
    "KANVO_MOUSE(-245, 208);\nKANVO_MOUSE(-245, 208);\nKANVO_MOUSE(-245, 208);\n"
    "KANVO_MOUSE(-245, 208);\nKANVO_MOUSE(-245, 208);\n"
    "KANVO_PERIODIC(3);\n";

TEST_F(ReplayTest, SavedPictureHoldsTheSurface) {
    use_headless();
    KANVO_open(nullptr, nullptr, "", KANVO_SHOW_HIDDEN);
    KANVO_clear();
    KANVO_circle(KANVO_RED, 0, 0, 30);
    KANVO_rectangle(KANVO_NAVY_BLUE, 100, 100, 140, 60, 0);
    ASSERT_EQ(KANVO_save_picture(path("picture.png").c_str()), 1);

    // What the window shows: 585 by 481, the surface's top left, centred on the origin.
    platform::Bitmap picture = png_picture(path("picture.png"));
    ASSERT_EQ(picture.width(), 585);
    ASSERT_EQ(picture.height(), 481);
    for (int y : {0, 240, 480})
        for (int x : {0, 292, 584}) EXPECT_EQ(picture.pixel(x, y), surface_pixels().pixel(x, y));
    EXPECT_EQ(picture.pixel(292, 240), platform::rgb(255, 0, 0));
    EXPECT_EQ(picture.pixel(292 + 120, 240 - 80), platform::rgb(0, 51, 153));
    EXPECT_EQ(picture.pixel(0, 0), platform::kBlack);
    EXPECT_EQ(picture.pixel(584, 480), platform::kWhite);
}

TEST_F(ReplayTest, PictureSavedBeforeOpeningHasTheWindowsSize) {
    KANVO_clear();
    ASSERT_EQ(KANVO_save_picture(path("early.png").c_str()), 1);
    platform::Bitmap picture = png_picture(path("early.png"));
    EXPECT_EQ(picture.width(), 585);
    EXPECT_EQ(picture.height(), 481);
}

TEST_F(ReplayTest, PictureNamesAsLongAsTheSystemAllowsAndLinksAndDevicesAreWritten) {
    KANVO_clear();
    EXPECT_EQ(KANVO_save_picture(kNullDevice), 1) << log_lines().back();
#ifndef _WIN32
    // A name of 255 bytes, the most a folder takes: its temporary name must be shorter.
    const std::string longest = path(std::string(251, 'n') + ".png");
    ASSERT_EQ(KANVO_save_picture(longest.c_str()), 1) << log_lines().back();
    EXPECT_EQ(png_picture(longest).width(), 585);
    // A link stays, and the file it leads to (new or old) is the picture.
    std::filesystem::create_symlink("target.png", path("link.png"));
    ASSERT_EQ(KANVO_save_picture(path("link.png").c_str()), 1);
    ASSERT_EQ(KANVO_save_picture(path("link.png").c_str()), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.png")));
    EXPECT_EQ(png_picture(path("target.png")).width(), 585);
#else
    // The null device has no file to replace: pictures and GIFs are written into it.
    EXPECT_EQ(run_program(KANVO_REPLAY, std::string("--ticks 2 --png NUL --gif nul 2>") + path("err.txt")), 0)
        << file_text(path("err.txt"));
#endif
}

TEST_F(ReplayTest, UnwritablePictureSaysWhyAndReturnsZero) {
    KANVO_clear();
    const size_t logged = log_lines().size();
    EXPECT_EQ(KANVO_save_picture(path("no/such/dir/p.png").c_str()), 0);
    EXPECT_EQ(log_lines().back(),
              "Cannot write picture file " + path("no/such/dir/p.png") + ": No such file or directory\n");
    EXPECT_EQ(KANVO_save_picture(nullptr), 0);
    EXPECT_EQ(KANVO_save_picture(""), 0);
    EXPECT_EQ(log_lines().size(), logged + 3);
}

TEST_F(ReplayTest, SameSeedAndScriptGiveTheSamePictureAnotherSeedAnother) {
    write_script("session.SCR", "KANVO_PERIODIC(30);\nKANVO_MOUSE(-245, 183);\nKANVO_PERIODIC(40);\n"
                                "KANVO_MOUSE(-245, 158);\nKANVO_KBD(97);\nKANVO_PERIODIC(20);\n");
    const std::string script = "--script " + path("session.SCR");
    ASSERT_EQ(replay("--seed 5 " + script + " --png " + path("a.png")), 0) << errors_;
    EXPECT_EQ(output_, "client 585x481, origin (292, 240)\n");
    ASSERT_EQ(replay("--seed 5 " + script + " --png " + path("b.png")), 0) << errors_;
    ASSERT_EQ(replay("--seed 6 " + script + " --png " + path("c.png")), 0) << errors_;

    platform::Bitmap a = png_picture(path("a.png")), b = png_picture(path("b.png")),
                     c = png_picture(path("c.png"));
    EXPECT_EQ(a.width(), 585);
    EXPECT_EQ(a.height(), 481);
    EXPECT_TRUE(a.pixels() == b.pixels());
    EXPECT_FALSE(a.pixels() == c.pixels());
}

TEST_F(ReplayTest, ScriptClickingAlterTreeTopsFiveTimesShowsTheSnowman) {
    write_script("winter.SCR", kWinterScript);
    ASSERT_EQ(replay("--seed 1 --script " + path("winter.SCR") + " --png " + path("w.png")), 0)
        << errors_;
    platform::Bitmap winter = png_picture(path("w.png"));
    auto at = [&](int x, int y) { return winter.pixel(292 + x, 240 - y); };
    const platform::Pixel white = platform::rgb(255, 255, 255), black = platform::rgb(0, 0, 0);
    EXPECT_EQ(at(225, -175), white) << "body";
    EXPECT_EQ(at(225, -155), white) << "middle";
    EXPECT_EQ(at(225, -140), white) << "head";
    EXPECT_EQ(at(225, -195), black) << "the body's black rim";
    EXPECT_EQ(at(221, -136), black) << "left eye";
    EXPECT_EQ(at(229, -136), black) << "right eye";
    EXPECT_EQ(at(-300 + 150, -75), platform::rgb(153, 255, 255)) << "the frozen lake";

    write_script("summer.SCR", "KANVO_PERIODIC(4);\nKANVO_MOUSE(-245, 208);\nKANVO_PERIODIC(3);\n");
    ASSERT_EQ(replay("--seed 1 --script " + path("summer.SCR") + " --png " + path("s.png")), 0);
    platform::Bitmap summer = png_picture(path("s.png"));
    EXPECT_NE(summer.pixel(292 + 225, 240 + 140), white) << "no snowman before winter";
}

TEST_F(ReplayTest, FramesAreWrittenOnePerEventAndTicksEndTheRun) {
    ASSERT_EQ(replay("--seed 2 --ticks 3 --frames " + path("frames")), 0) << errors_;
    // The first frame, one per periodic event, and the frame drawn after the quit.
    for (int i = 0; i < 5; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frames/frame-%06d.png", i);
        struct stat info {};
        EXPECT_EQ(stat(path(name).c_str(), &info), 0) << name;
    }
    struct stat info {};
    EXPECT_NE(stat(path("frames/frame-000005.png").c_str(), &info), 0);
    // The moon moved one unit left per periodic event.
    platform::Bitmap first = png_picture(path("frames/frame-000000.png"));
    platform::Bitmap fourth = png_picture(path("frames/frame-000003.png"));
    EXPECT_FALSE(first.pixels() == fourth.pixels());
}

TEST_F(ReplayTest, BadArgumentsAndUnreadableFilesAreRefusedClearly) {
    EXPECT_EQ(replay("--seed banana"), 2);
    EXPECT_NE(errors_.find("--seed takes a whole number"), std::string::npos) << errors_;
    EXPECT_EQ(replay("--ticks -4"), 2);
    EXPECT_EQ(replay("--bogus 1"), 2);
    EXPECT_NE(errors_.find("unknown option --bogus"), std::string::npos) << errors_;
    EXPECT_EQ(replay("--ticks"), 2);
    EXPECT_EQ(replay("--script " + path("missing.SCR")), 1);
    EXPECT_NE(errors_.find("cannot read script file"), std::string::npos) << errors_;
    EXPECT_EQ(replay("--ticks 1 --script " + path("missing.SCR")), 2);
    EXPECT_EQ(replay("--ticks 1 --png " + path("no/dir/x.png")), 1);
    EXPECT_NE(errors_.find("cannot write"), std::string::npos) << errors_;
}

TEST_F(ReplayTest, ScriptThatEndsEarlyStillEndsTheProgramAndSaysWhere) {
    write_script("broken.SCR", "KANVO_PERIODIC(2);\nnot a \x1b script line\nKANVO_PERIODIC(50);\n");
    ASSERT_EQ(replay("--seed 3 --script " + path("broken.SCR") + " --png " + path("x.png")), 0)
        << errors_;
    EXPECT_EQ(errors_, "kanvo-replay: warning: " + path("broken.SCR") +
                           ":2: not a script line, playback ended there: not a \\x1B script line\n");
    write_script("unterminated.SCR", "KANVO_MOUSE(1, 2);");
    ASSERT_EQ(replay("--seed 3 --script " + path("unterminated.SCR")), 0) << errors_;
    EXPECT_EQ(errors_, "kanvo-replay: warning: " + path("unterminated.SCR") +
                           ":1: the last line has no line feed, playback ended there: KANVO_MOUSE(1, 2);\n");
    write_script("fine.SCR", "KANVO_PERIODIC(2);\n");
    ASSERT_EQ(replay("--seed 3 --script " + path("fine.SCR")), 0);
    EXPECT_EQ(errors_, "") << "no progress and no warning";
}

#ifndef _WIN32  // needs a FIFO and a POSIX shell
TEST_F(ReplayTest, OnlyARegularFileIsPlayed) {
    ASSERT_EQ(mkfifo(path("fifo.SCR").c_str(), 0600), 0);
    // Nobody writes to the FIFO: the tool must not wait for a writer.
    EXPECT_EQ(replay("--script " + path("fifo.SCR"), "timeout 10 "), 1);
    EXPECT_EQ(errors_, "kanvo-replay: script file " + path("fifo.SCR") + " is not a regular file\n");
    EXPECT_EQ(replay("--script " + directory_.path()), 1);
    EXPECT_EQ(errors_, "kanvo-replay: script file " + directory_.path() + " is a directory\n");
}
#endif

TEST_F(ReplayTest, EndlessRunIsBoundedByMaxTicks) {
    write_script("endless.SCR", "KANVO_PERIODIC(2147483647);\n");
    EXPECT_EQ(replay("--seed 1 --max-ticks 40 --script " + path("endless.SCR") + " --png " + path("e.png")), 1);
    EXPECT_EQ(errors_, "kanvo-replay: stopped after 40 periodic events (--max-ticks 40); the script goes on\n");
    png_picture(path("e.png"));  // the picture where it stopped
    EXPECT_EQ(replay("--max-ticks 0"), 2);
}

#ifndef _WIN32  // needs a POSIX shell's file size limit
TEST_F(ReplayTest, FramesStopAtTheFirstThatCannotBeWritten) {
    // The disk fills up at once (a file size limit stands in for it).
    const std::string command = "trap '' XFSZ; ulimit -f 2; " + kQuietLeakCheck + "exec " + std::string(KANVO_BINARY_DIR) +
                                "/tools/kanvo-replay --seed 2 --ticks 50 --frames " + path("full") +
                                " 2>" + path("err.txt") + " >/dev/null";
    const int full = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(full) ? WEXITSTATUS(full) : -1, 1);
    EXPECT_EQ(file_text(path("err.txt")),
              "kanvo-replay: cannot write " + path("full") + "/frame-000000.png: File too large\n");
    EXPECT_EQ(std::system(("test -z \"$(ls -A " + path("full") + ")\"").c_str()), 0)
        << "no empty or partial frame files";
}
#endif

#ifndef _WIN32  // needs a pseudo-terminal
TEST_F(ReplayTest, LongReplayShowsProgressOnATerminal) {
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string tool = std::string(KANVO_BINARY_DIR) + "/tools/kanvo-replay";
        execl(tool.c_str(), tool.c_str(), "--seed", "1", "--ticks", "30", static_cast<char *>(nullptr));
        _exit(127);
    }
    std::string shown;
    char chunk[256];
    ssize_t count;
    while ((count = read(terminal, chunk, sizeof chunk)) > 0) shown.append(chunk, size_t(count));
    int status = 0;
    waitpid(child, &status, 0);
    close(terminal);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(shown.find("\rkanvo-replay: 0 periodic events"), std::string::npos) << shown;
    EXPECT_NE(shown.find("client 585x481"), std::string::npos) << shown;
}
#endif

}  // namespace
