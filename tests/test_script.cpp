// Script files: what the writer puts in "KANVO.SCR", what the reader makes of every kind
// of line, and how the Record, Playback and Play one commands share the one file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kanvo_internal.h"

namespace {

// Every test works in a directory of its own, since the script file's name is fixed.
class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kanvo-script-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        ASSERT_EQ(chdir(directory_.c_str()), 0);
    }
    void TearDown() override {
        script_close();
        std::string command = "rm -rf '" + directory_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    static void write_file(const std::string &text) {
        std::ofstream(script_name, std::ios::binary) << text;
    }
    static std::string file_text() {
        std::ifstream in(script_name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static std::vector<std::string> messages() {
        std::vector<std::string> out;
        if (log_first < 0) return out;
        int slot = log_first;
        do {
            out.push_back(log_ring[slot]);
            slot = (slot + 1) % kLogSize;
        } while (slot != log_next);
        return out;
    }

    struct Event {
        int kind, x, y, key;
        bool operator==(const Event &o) const {
            return kind == o.kind && x == o.x && y == o.y && key == o.key;
        }
    };
    // Reads events the way the wait does, until the reader delivers none.
    static std::vector<Event> play_all(int limit = 100) {
        std::vector<Event> events;
        playback_on = 1;
        while (limit-- > 0) {
            pending_kind = kNoEvent;
            pending_x = pending_y = 0;
            pending_key = 0;
            if (!script_read_event()) break;
            events.push_back({pending_kind, pending_x, pending_y,
                              static_cast<unsigned char>(pending_key)});
        }
        return events;
    }

    std::string directory_;
};

TEST_F(ScriptTest, WriterProducesOneLinePerEventAndCountedRuns) {
    periodic_run = 12;
    script_write_event(KANVO_PERIODIC, 7, 7, 'x');
    script_write_event(KANVO_MOUSE, -40, 25, 0);
    script_write_event(KANVO_KBD, 0, 0, static_cast<char>(233));
    script_write_event(KANVO_KBD, 0, 0, 'q');
    script_write_event(KANVO_MOUSE, INT_MIN, INT_MAX, 0);
    script_write_event(KANVO_QUIT, 0, 0, 0);
    script_close();
    EXPECT_EQ(file_text(),
              "KANVO_PERIODIC(12);\nKANVO_MOUSE(-40, 25);\nKANVO_KBD(-23);\nKANVO_KBD(113);\n"
              "KANVO_MOUSE(-2147483648, 2147483647);\n");
}

TEST_F(ScriptTest, QuitAloneCreatesAnEmptyFile) {
    write_file("old contents\n");
    script_write_event(KANVO_QUIT, 0, 0, 0);
    script_close();
    EXPECT_EQ(file_text(), "");
}

TEST_F(ScriptTest, ReaderPlaysEveryLineKindAndCountedRuns) {
    write_file("KANVO_PERIODIC(2);\nKANVO_MOUSE(-40, 25);\n\n\nKANVO_KBD(-23);\nKANVO_PERIODIC(1);\n"
               "KANVO_PERIODIC(0);\nKANVO_MOUSE(-2147483648, 2147483647);\n");
    std::vector<Event> expected = {
        {KANVO_PERIODIC, 0, 0, 0}, {KANVO_PERIODIC, 0, 0, 0},
        {KANVO_MOUSE, -40, 25, 0}, {KANVO_KBD, 0, 0, 233},
        {KANVO_PERIODIC, 0, 0, 0}, {KANVO_PERIODIC, 0, 0, 0},
        {KANVO_MOUSE, INT_MIN, INT_MAX, 0}};
    EXPECT_EQ(play_all(), expected);
    EXPECT_EQ(playback_on, 0);
    EXPECT_EQ(messages().back(), "EOF encountered in script file KANVO.SCR\n");
    // The file stays open at its end: playing again reports the end at once.
    EXPECT_TRUE(play_all().empty());
    EXPECT_EQ(messages().size(), 2u);
}

TEST_F(ScriptTest, NumbersAreScannedForgivingly) {
    write_file("KANVO_MOUSE(1-2, --5);\nxxxxxxM 17 junk -3\nKANVO_K(+65)\nKANVO_PERIODIC(-1);\n"
               "KANVO_PERIODIC(99999999999999999999);\n");
    std::vector<Event> events = play_all(4);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], (Event{KANVO_MOUSE, 1, 0, 0}));
    EXPECT_EQ(events[1], (Event{KANVO_MOUSE, 17, -3, 0}));
    EXPECT_EQ(events[2], (Event{KANVO_KBD, 0, 0, 65}));
    // A sign is not part of a periodic count; an oversized count saturates.
    EXPECT_EQ(events[3].kind, KANVO_PERIODIC);
    EXPECT_EQ(periodic_run, 0);
    EXPECT_EQ(play_all(1).at(0).kind, KANVO_PERIODIC);
    EXPECT_EQ(periodic_run, INT_MAX - 1);
}

TEST_F(ScriptTest, OversizedNumbersOverflowNothing) {
    std::string digits(100, '9');
    write_file("KANVO_MOUSE(-" + digits + ", " + digits + ");\nKANVO_KBD(" +
               std::string(600, '9') + ");\nKANVO_MOUSE(" + std::string(600, '1') + ", 5);\n");
    std::vector<Event> events = play_all();
    std::vector<Event> expected = {{KANVO_MOUSE, INT_MIN, INT_MAX, 0}, {KANVO_KBD, 0, 0, 255}};
    // The third line's second number lies beyond the 511 characters kept of it: the line
    // lacks a number its kind needs and ends playback.
    EXPECT_EQ(events, expected);
}

TEST_F(ScriptTest, LongLineIsConsumedWholeNotSplitIntoEvents) {
    std::string filler(700, ' ');
    write_file("KANVO_KBD(65);" + filler + "KANVO_MOUSE(3, 4);\nKANVO_KBD(66);\n");
    std::vector<Event> events = play_all();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], (Event{KANVO_KBD, 0, 0, 65}));
    EXPECT_EQ(events[1], (Event{KANVO_KBD, 0, 0, 66}));
}

TEST_F(ScriptTest, UnrecognisedShortOrIncompleteLinesEndPlaybackQuietly) {
    for (const char *bad : {"   \n", "KANVO\n", "KANVO_X(1);\n", "KANVO_MOUSE(5);\n",
                            "KANVO_KBD();\n", "KANVO_PERIODIC();\n", "\r\n\r"}) {
        SCOPED_TRACE(bad);
        script_close();
        write_file(std::string(bad) + "KANVO_KBD(65);\n");
        int logged = log_first < 0 ? 0 : int(messages().size());
        EXPECT_TRUE(play_all().empty());
        EXPECT_EQ(int(messages().size()), logged) << "no message for an unrecognised line";
    }
    // The file stays open after the bad line: the next playback goes on from there.
    script_close();
    write_file("KANVO_X(1);\nKANVO_KBD(66);\n");
    EXPECT_TRUE(play_all().empty());
    EXPECT_EQ(play_all(1), (std::vector<Event>{{KANVO_KBD, 0, 0, 66}}));
}

TEST_F(ScriptTest, LastLineWithoutLineFeedIsNotPlayed) {
    write_file("KANVO_KBD(65);\nKANVO_KBD(66);");
    EXPECT_EQ(play_all(), (std::vector<Event>{{KANVO_KBD, 0, 0, 65}}));
    EXPECT_EQ(messages().back(), "EOF encountered in script file KANVO.SCR\n");
}

TEST_F(ScriptTest, MissingFileEndsPlaybackWithAMessage) {
    playback_on = 1;
    EXPECT_EQ(script_read_event(), 0);
    EXPECT_EQ(playback_on, 0);
    EXPECT_EQ(messages().back(), "Cannot open script file KANVO.SCR for reading\n");
}

TEST_F(ScriptTest, UnwritableFileIsReportedAndRetried) {
    ASSERT_EQ(mkdir(script_name, 0700), 0);  // a directory cannot be opened for writing
    recording_on = 1;
    script_write_event(KANVO_MOUSE, 1, 2, 0);
    script_write_event(KANVO_MOUSE, 1, 2, 0);
    EXPECT_EQ(messages(), (std::vector<std::string>(
                              2, "Cannot open script file KANVO.SCR for writing\n")));
    EXPECT_EQ(recording_on, 1);
    EXPECT_EQ(script_file, nullptr);
}

TEST_F(ScriptTest, RecordingCommandsStartStopAndEmptyTheFile) {
    write_file("KANVO_KBD(65);\n");
    toggle_recording();
    toggle_recording();
    EXPECT_EQ(file_text(), "KANVO_KBD(65);\n") << "no event recorded: file untouched";

    toggle_recording();
    periodic_run = 12;
    toggle_recording();
    EXPECT_EQ(file_text(), "KANVO_PERIODIC(12);\n");

    toggle_recording();
    script_write_event(KANVO_MOUSE, 5, 6, 0);
    toggle_recording();
    EXPECT_EQ(file_text(), "KANVO_MOUSE(5, 6);\n");
}

TEST_F(ScriptTest, RecordingAndPlaybackNeverRunTogether) {
    write_file("KANVO_KBD(65);\n");
    toggle_playback();
    ASSERT_EQ(playback_on, 1);
    toggle_recording();
    EXPECT_EQ(recording_on, 0);
    EXPECT_EQ(messages().back(), "Cannot record while a script is played back\n");
    toggle_playback();

    toggle_recording();
    toggle_playback();
    EXPECT_EQ(playback_on, 0);
    play_one();
    EXPECT_EQ(play_one_pending, 0);
    EXPECT_EQ(messages().back(), "Cannot play back a script while recording\n");
    toggle_recording();
    EXPECT_EQ(file_text(), "KANVO_KBD(65);\n") << "refused commands touch no file";
}

TEST_F(ScriptTest, RecordingAfterPlaybackReachedTheEndStartsAFreshFile) {
    write_file("KANVO_KBD(65);\n");
    play_all();  // meets the end; the file stays open for reading
    toggle_recording();
    script_write_event(KANVO_KBD, 0, 0, 'b');
    toggle_recording();
    EXPECT_EQ(file_text(), "KANVO_KBD(98);\n");
}

TEST_F(ScriptTest, StoppedPlaybackDropsTheRestOfItsRun) {
    write_file("KANVO_PERIODIC(5);\nKANVO_KBD(65);\n");
    toggle_playback();
    pending_kind = kNoEvent;
    ASSERT_EQ(script_read_event(), 1);
    toggle_playback();
    toggle_playback();
    pending_kind = kNoEvent;
    ASSERT_EQ(script_read_event(), 1);
    EXPECT_EQ(pending_kind, KANVO_PERIODIC) << "the reopened file starts at its first line";
    EXPECT_EQ(periodic_run, 4);
}

TEST_F(ScriptTest, FailedWriteStopsRecordingAndSaysSo) {
    ASSERT_EQ(symlink("/dev/full", script_name), 0);  // every write fails: disk full
    toggle_recording();
    script_write_event(KANVO_MOUSE, 1, 2, 0);
    EXPECT_EQ(recording_on, 0);
    EXPECT_EQ(script_file, nullptr);
    EXPECT_EQ(messages().back(), "Cannot write script file KANVO.SCR; recording stopped\n");
}

TEST_F(ScriptTest, RemovedFileStopsRecordingAndSaysSo) {
    toggle_recording();
    script_write_event(KANVO_MOUSE, 1, 2, 0);
    ASSERT_EQ(recording_on, 1);
    ASSERT_EQ(unlink(script_name), 0);
    script_write_event(KANVO_MOUSE, 3, 4, 0);
    EXPECT_EQ(recording_on, 0);
    EXPECT_EQ(messages().back(), "Cannot write script file KANVO.SCR; recording stopped\n");
}

}  // namespace
