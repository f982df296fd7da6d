// Pictures without a display: KANVO_save_picture, and the kanvo-replay tool that runs the
// landscape headless from a seed and a script.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "kanvo_internal.h"
#include "platform/png.h"
#include "support/test_support.h"

namespace {

class ReplayTest : public ::testing::Test {
protected:
    std::string path(const std::string &name) const { return directory_.path(name); }

    void write_script(const std::string &name, const std::string &text) const {
        std::ofstream(path(name)) << text;
    }

    // Runs kanvo-replay with the arguments; returns its exit status and keeps its output.
    int replay(const std::string &arguments) {
        const std::string out = path("stdout.txt"), err = path("stderr.txt");
        const int status = run_program(KANVO_REPLAY, arguments + " >" + out + " 2>" + err);
        output_ = read_text(out);
        errors_ = read_text(err);
        return status;
    }

    static std::string read_text(const std::string &file) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static platform::Bitmap read_picture(const std::string &file) {
        platform::Bitmap picture;
        std::string reason;
        EXPECT_TRUE(platform::read_png(file, &picture, &reason)) << file << ": " << reason;
        return picture;
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

    platform::Bitmap picture = read_picture(path("picture.png"));
    ASSERT_EQ(picture.width(), kSurfaceWidth);
    ASSERT_EQ(picture.height(), kSurfaceHeight);
    EXPECT_TRUE(picture.pixels() == surface_bitmap->pixels());
    EXPECT_EQ(picture.pixel(origin_x, origin_y), platform::rgb(255, 0, 0));
    EXPECT_EQ(picture.pixel(origin_x + 120, origin_y - 80), platform::rgb(0, 51, 153));
}

TEST_F(ReplayTest, UnwritablePictureSaysWhyAndReturnsZero) {
    KANVO_clear();
    const size_t logged = log_lines().size();
    EXPECT_EQ(KANVO_save_picture(path("no/such/dir/p.png").c_str()), 0);
    EXPECT_EQ(log_lines().back().rfind("Cannot write picture file " + path("no/such/dir/p.png"), 0), 0u)
        << log_lines().back();
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

    platform::Bitmap a = read_picture(path("a.png")), b = read_picture(path("b.png")),
                     c = read_picture(path("c.png"));
    EXPECT_EQ(a.width(), 585);
    EXPECT_EQ(a.height(), 481);
    EXPECT_TRUE(a.pixels() == b.pixels());
    EXPECT_FALSE(a.pixels() == c.pixels());
}

TEST_F(ReplayTest, ScriptClickingAlterTreeTopsFiveTimesShowsTheSnowman) {
    write_script("winter.SCR", kWinterScript);
    ASSERT_EQ(replay("--seed 1 --script " + path("winter.SCR") + " --png " + path("w.png")), 0)
        << errors_;
    platform::Bitmap winter = read_picture(path("w.png"));
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
    platform::Bitmap summer = read_picture(path("s.png"));
    EXPECT_NE(summer.pixel(292 + 225, 240 + 140), white) << "no snowman before winter";
}

TEST_F(ReplayTest, FramesAreWrittenOnePerEventAndTicksEndTheRun) {
    ASSERT_EQ(replay("--seed 2 --ticks 3 --frames " + path("frames")), 0) << errors_;
    // The first frame, one per periodic event, and the frame drawn after the quit.
    for (int i = 0; i < 5; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frames/frame-%06d.png", i);
        EXPECT_TRUE(std::filesystem::exists(path(name))) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(path("frames/frame-000005.png")));
    // The moon moved one unit left per periodic event.
    platform::Bitmap first = read_picture(path("frames/frame-000000.png"));
    platform::Bitmap fourth = read_picture(path("frames/frame-000003.png"));
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

TEST_F(ReplayTest, ScriptThatEndsEarlyStillEndsTheProgram) {
    write_script("broken.SCR", "KANVO_PERIODIC(2);\nnot a script line\nKANVO_PERIODIC(50);\n");
    ASSERT_EQ(replay("--seed 3 --script " + path("broken.SCR") + " --png " + path("x.png")), 0)
        << errors_;
    write_script("unterminated.SCR", "KANVO_MOUSE(1, 2);");
    ASSERT_EQ(replay("--seed 3 --script " + path("unterminated.SCR")), 0) << errors_;
}

}  // namespace
