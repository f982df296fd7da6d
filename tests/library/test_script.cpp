// Script files: what the writer puts in "KANVO.SCR", what the reader makes of every kind
// of line, and how the Record, Playback and Play one commands share the one file.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "testing.h"

namespace {

// Every test works in a directory of its own, since the script file's name is fixed.
class ScriptTest : public InScratchDirectory {
protected:

    static void write_file(const std::string &text) {
        std::ofstream(kanvo.script.script_name, std::ios::binary) << text;
    }
    // The file as a text reader sees it: on Windows the lines end in CR LF on disk.
    static std::string file_text() {
        std::ifstream in(kanvo.script.script_name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    struct ScriptEvent {
        int kind, x, y, key;
        bool operator==(const ScriptEvent &o) const {
            return kind == o.kind && x == o.x && y == o.y && key == o.key;
        }
    };
    // Reads events the way the wait does, until the reader delivers none.
    static std::vector<ScriptEvent> play_all(int limit = 100) {
        std::vector<ScriptEvent> events;
        kanvo.script.playback_on = 1;
        while (limit-- > 0) {
            kanvo.events.pending_kind = kNoEvent;
            kanvo.events.pending_x = kanvo.events.pending_y = 0;
            kanvo.events.pending_key = 0;
            if (!script_read_event()) break;
            const EventState &e = kanvo.events;
            events.push_back({e.pending_kind, e.pending_x, e.pending_y,
                              static_cast<unsigned char>(e.pending_key)});
        }
        return events;
    }
};

TEST_F(ScriptTest, WriterProducesOneLinePerEventAndCountedRuns) {
    kanvo.script.periodic_run = 12;
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
    std::vector<ScriptEvent> expected = {
        {KANVO_PERIODIC, 0, 0, 0}, {KANVO_PERIODIC, 0, 0, 0},
        {KANVO_MOUSE, -40, 25, 0}, {KANVO_KBD, 0, 0, 233},
        {KANVO_PERIODIC, 0, 0, 0}, {KANVO_PERIODIC, 0, 0, 0},
        {KANVO_MOUSE, INT_MIN, INT_MAX, 0}};
    EXPECT_EQ(play_all(), expected);
    EXPECT_EQ(kanvo.script.playback_on, 0);
    EXPECT_EQ(log_lines().back(), "EOF encountered in script file KANVO.SCR\n");
    EXPECT_EQ(kanvo.script.script_file, nullptr) << "closed at its end";
    // So a finished script plays again from its first line.
    EXPECT_EQ(play_all(), expected);
    EXPECT_EQ(log_lines().size(), 2u);
}

TEST_F(ScriptTest, NumbersAreScannedForgivingly) {
    write_file("KANVO_MOUSE(1-2, --5);\nxxxxxxM 17 junk -3\nKANVO_K(+65)\nKANVO_PERIODIC(-1);\n"
               "KANVO_PERIODIC(99999999999999999999);\n");
    std::vector<ScriptEvent> events = play_all(4);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], (ScriptEvent{KANVO_MOUSE, 1, 0, 0}));
    EXPECT_EQ(events[1], (ScriptEvent{KANVO_MOUSE, 17, -3, 0}));
    EXPECT_EQ(events[2], (ScriptEvent{KANVO_KBD, 0, 0, 65}));
    // A sign is not part of a periodic count; an oversized count saturates.
    EXPECT_EQ(events[3].kind, KANVO_PERIODIC);
    EXPECT_EQ(kanvo.script.periodic_run, 0);
    EXPECT_EQ(play_all(1).at(0).kind, KANVO_PERIODIC);
    EXPECT_EQ(kanvo.script.periodic_run, INT_MAX - 1);
}

TEST_F(ScriptTest, OversizedNumbersOverflowNothing) {
    std::string digits(100, '9');
    write_file("KANVO_MOUSE(-" + digits + ", " + digits + ");\nKANVO_KBD(" +
               std::string(600, '9') + ");\nKANVO_MOUSE(" + std::string(600, '1') + ", 5);\n");
    std::vector<ScriptEvent> events = play_all();
    std::vector<ScriptEvent> expected = {{KANVO_MOUSE, INT_MIN, INT_MAX, 0}, {KANVO_KBD, 0, 0, 255}};
    // The third line's second number lies beyond the 511 characters kept of it: the line
    // lacks a number its kind needs and ends playback.
    EXPECT_EQ(events, expected);
}

TEST_F(ScriptTest, LongLineIsConsumedWholeNotSplitIntoEvents) {
    std::string filler(700, ' ');
    write_file("KANVO_KBD(65);" + filler + "KANVO_MOUSE(3, 4);\nKANVO_KBD(66);\n");
    std::vector<ScriptEvent> events = play_all();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], (ScriptEvent{KANVO_KBD, 0, 0, 65}));
    EXPECT_EQ(events[1], (ScriptEvent{KANVO_KBD, 0, 0, 66}));
}

TEST_F(ScriptTest, UnrecognisedShortOrIncompleteLinesEndPlaybackQuietly) {
    for (const char *bad : {"   \n", "KANVO\n", "KANVO_X(1);\n", "KANVO_MOUSE(5);\n",
                            "KANVO_KBD();\n", "KANVO_PERIODIC();\n", "\r\n \r"}) {
        SCOPED_TRACE(bad);
        script_close();
        write_file(std::string(bad) + "KANVO_KBD(65);\n");
        int logged = kanvo.log.log_first < 0 ? 0 : int(log_lines().size());
        EXPECT_TRUE(play_all().empty());
        EXPECT_EQ(int(log_lines().size()), logged) << "no message for an unrecognised line";
    }
    // The file stays open after the bad line: the next playback goes on from there.
    script_close();
    write_file("KANVO_X(1);\nKANVO_KBD(66);\n");
    EXPECT_TRUE(play_all().empty());
    EXPECT_EQ(play_all(1), (std::vector<ScriptEvent>{{KANVO_KBD, 0, 0, 66}}));
}

TEST_F(ScriptTest, LastLineWithoutLineFeedIsNotPlayed) {
    write_file("KANVO_KBD(65);\nKANVO_KBD(66);");
    EXPECT_EQ(play_all(), (std::vector<ScriptEvent>{{KANVO_KBD, 0, 0, 65}}));
    EXPECT_EQ(log_lines().back(), "EOF encountered in script file KANVO.SCR\n");
}

TEST_F(ScriptTest, LinesEndingInCrAloneOrCrLfAndCtrlZBytesArePlayed) {
    // Sixty lines ended by CR alone make more than 511 bytes; a Ctrl+Z byte ends nothing.
    std::string text;
    for (int i = 0; i < 60; ++i) text += "KANVO_KBD(65);\r";
    write_file(text + "KANVO_MOUSE(1, 2);\x1A\r\nKANVO_KBD(67);\n");
    const std::vector<ScriptEvent> events = play_all();
    ASSERT_EQ(events.size(), 62u);
    EXPECT_EQ(events[59], (ScriptEvent{KANVO_KBD, 0, 0, 65}));
    EXPECT_EQ(events[60], (ScriptEvent{KANVO_MOUSE, 1, 2, 0}));
    EXPECT_EQ(events[61], (ScriptEvent{KANVO_KBD, 0, 0, 67}));
}

TEST_F(ScriptTest, MissingFileEndsPlaybackWithAMessage) {
    kanvo.script.playback_on = 1;
    EXPECT_EQ(script_read_event(), 0);
    EXPECT_EQ(kanvo.script.playback_on, 0);
    EXPECT_EQ(log_lines().back(), "Cannot open script file KANVO.SCR for reading\n");
}

TEST_F(ScriptTest, UnwritableFileIsReportedAndRetried) {
    // A directory cannot be opened for writing.
    ASSERT_TRUE(std::filesystem::create_directory(kanvo.script.script_name));
    kanvo.script.recording_on = 1;
    script_write_event(KANVO_MOUSE, 1, 2, 0);
    script_write_event(KANVO_MOUSE, 1, 2, 0);
    EXPECT_EQ(log_lines(), (std::vector<std::string>(
                              2, "Cannot open script file KANVO.SCR for writing\n")));
    EXPECT_EQ(kanvo.script.recording_on, 1);
    EXPECT_EQ(kanvo.script.script_file, nullptr);
}

TEST_F(ScriptTest, RecordingCommandsStartStopAndEmptyTheFile) {
    write_file("KANVO_KBD(65);\n");
    toggle_recording();
    toggle_recording();
    EXPECT_EQ(file_text(), "KANVO_KBD(65);\n") << "no event recorded: file untouched";

    toggle_recording();
    kanvo.script.periodic_run = 12;
    toggle_recording();
    EXPECT_EQ(file_text(), "KANVO_PERIODIC(12);\n");

    toggle_recording();
    script_write_event(KANVO_MOUSE, 5, 6, 0);
    toggle_recording();
    EXPECT_EQ(file_text(), "KANVO_MOUSE(5, 6);\n");
}

// The file a recording empties is kept as KANVO.SCR.bak, one level, said once per
// recording; an empty or missing file leaves no backup, and a recording that writes
// nothing touches neither file.
TEST_F(ScriptTest, RecordingKeepsTheFileItEmptiesAsABackup) {
    auto backup_text = [] {
        std::ifstream in("KANVO.SCR.bak");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    auto kept_messages = [] {
        int count = 0;
        for (const std::string &line : log_lines())
            count += line == "The old KANVO.SCR is kept as KANVO.SCR.bak\n";
        return count;
    };
    write_file("KANVO_KBD(65);\n");
    toggle_recording();
    toggle_recording();
    EXPECT_FALSE(std::filesystem::exists("KANVO.SCR.bak")) << "nothing recorded, nothing moved";

    toggle_recording();
    script_write_event(KANVO_MOUSE, 5, 6, 0);
    script_write_event(KANVO_KBD, 0, 0, 'b');
    toggle_recording();
    EXPECT_EQ(file_text(), "KANVO_MOUSE(5, 6);\nKANVO_KBD(98);\n");
    EXPECT_EQ(backup_text(), "KANVO_KBD(65);\n");
    EXPECT_EQ(kept_messages(), 1);

    // The next recording keeps the one before it; the oldest is gone (one level).
    toggle_recording();
    kanvo.script.periodic_run = 3;
    toggle_recording();
    EXPECT_EQ(file_text(), "KANVO_PERIODIC(3);\n");
    EXPECT_EQ(backup_text(), "KANVO_MOUSE(5, 6);\nKANVO_KBD(98);\n");
    EXPECT_EQ(kept_messages(), 2);

    // An empty file is no recording to keep: the backup stays the one there is.
    write_file("");
    toggle_recording();
    script_write_event(KANVO_KBD, 0, 0, 'c');
    toggle_recording();
    EXPECT_EQ(backup_text(), "KANVO_MOUSE(5, 6);\nKANVO_KBD(98);\n");
    EXPECT_EQ(kept_messages(), 2);
}

// When the old file cannot be kept (a folder is in the backup's place), it is left as it
// was and the recording stops with a message, instead of emptying it.
TEST_F(ScriptTest, RecordingThatCannotKeepTheOldFileLeavesItAndStops) {
    write_file("KANVO_KBD(65);\n");
    std::filesystem::create_directories("KANVO.SCR.bak/inside");
    toggle_recording();
    script_write_event(KANVO_KBD, 0, 0, 'b');
    EXPECT_EQ(kanvo.script.recording_on, 0);
    EXPECT_EQ(file_text(), "KANVO_KBD(65);\n");
    EXPECT_EQ(log_lines(), std::vector<std::string>{
                               "Cannot keep the old KANVO.SCR as KANVO.SCR.bak; recording stopped\n"});
}

TEST_F(ScriptTest, RecordingAndPlaybackNeverRunTogether) {
    write_file("KANVO_KBD(65);\n");
    toggle_playback();
    ASSERT_EQ(kanvo.script.playback_on, 1);
    toggle_recording();
    EXPECT_EQ(kanvo.script.recording_on, 0);
    EXPECT_EQ(log_lines().back(), "Cannot record while a script is played back\n");
    toggle_playback();

    toggle_recording();
    toggle_playback();
    EXPECT_EQ(kanvo.script.playback_on, 0);
    play_one();
    EXPECT_EQ(kanvo.script.play_one_pending, 0);
    EXPECT_EQ(log_lines().back(), "Cannot play back a script while recording\n");
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
    kanvo.events.pending_kind = kNoEvent;
    ASSERT_EQ(script_read_event(), 1);
    toggle_playback();
    toggle_playback();
    kanvo.events.pending_kind = kNoEvent;
    ASSERT_EQ(script_read_event(), 1);
    EXPECT_EQ(kanvo.events.pending_kind, KANVO_PERIODIC) << "the reopened file starts at its first line";
    EXPECT_EQ(kanvo.script.periodic_run, 4);
}

#ifndef _WIN32  // needs /dev/full
TEST_F(ScriptTest, FailedWriteStopsRecordingAndSaysSo) {
    ASSERT_EQ(symlink("/dev/full", kanvo.script.script_name), 0);  // every write fails: disk full
    toggle_recording();
    script_write_event(KANVO_MOUSE, 1, 2, 0);
    EXPECT_EQ(kanvo.script.recording_on, 0);
    EXPECT_EQ(kanvo.script.script_file, nullptr);
    EXPECT_EQ(log_lines().back(), "Cannot write script file KANVO.SCR; recording stopped\n");
}
#endif

#ifndef _WIN32  // needs a file size limit
TEST_F(ScriptTest, FullDiskLeavesOnlyWholeLines) {
    // A file size limit fills the disk in the middle of a line.
    struct rlimit before {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    struct rlimit small = before;
    small.rlim_cur = 100;
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    toggle_recording();
    for (int i = 0; i < 10 && kanvo.script.recording_on; ++i) script_write_event(KANVO_MOUSE, -1000, 2000 + i, 0);
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(kanvo.script.recording_on, 0);
    EXPECT_EQ(log_lines().back(), "Cannot write script file KANVO.SCR; recording stopped\n");
    EXPECT_EQ(file_text(), "KANVO_MOUSE(-1000, 2000);\nKANVO_MOUSE(-1000, 2001);\nKANVO_MOUSE(-1000, 2002);\n");
}
#endif

#ifndef _WIN32  // Windows refuses to remove a file that is open
TEST_F(ScriptTest, RemovedFileStopsRecordingAndSaysSo) {
    toggle_recording();
    script_write_event(KANVO_MOUSE, 1, 2, 0);
    ASSERT_EQ(kanvo.script.recording_on, 1);
    ASSERT_EQ(unlink(kanvo.script.script_name), 0);
    script_write_event(KANVO_MOUSE, 3, 4, 0);
    EXPECT_EQ(kanvo.script.recording_on, 0);
    EXPECT_EQ(log_lines().back(), "Cannot write script file KANVO.SCR; recording stopped\n");
}
#endif

}  // namespace

// ---- through the event wait, on the headless backend ----

namespace {

// The picture a small program paints for the events it receives.
void paint_event(const Event &event, int index) {
    switch (event.kind) {
    case KANVO_MOUSE: KANVO_circle(index % 24, event.x, event.y, 6); break;
    case KANVO_KBD: KANVO_printf(KANVO_BLACK, -200, 200 - 14 * index, 12, "key %d", event.key); break;
    case KANVO_PERIODIC: KANVO_line(KANVO_BLUE, -250 + 4 * index, -200, -250 + 4 * index, -150, 2); break;
    default: break;
    }
}

bool same_event(const Event &a, const Event &b) {
    return a.kind == b.kind && a.x == b.x && a.y == b.y && a.key == b.key;
}

}  // namespace

TEST_F(ScriptTest, RecordedSessionPlaysBackAsTheSameEventsAndPictures) {
    platform::HeadlessBackend &user = open_headless();
    KANVO_clear();
    KANVO_animate(KANVO_ANIMATE_RUN);
    ASSERT_TRUE(user.menu_command(kanvo.windows.draw_window, KANVO_CMD_RECORD));
    user.pause(330);
    user.click(kanvo.windows.draw_window, kanvo.windows.origin_x + 40, kanvo.windows.origin_y - 25);
    user.pause(220);
    user.type(kanvo.windows.draw_window, "q");
    user.click(kanvo.windows.draw_window, 10, 10);
    user.pause(170);
    user.key_down(kanvo.windows.draw_window, platform::vk_packet, 233);

    std::vector<Event> recorded;
    while (recorded.empty() || recorded.back().kind != KANVO_KBD || recorded.back().key != char(233)) {
        recorded.push_back(await_event());
        paint_event(recorded.back(), int(recorded.size()));
    }
    for (int i = 0; i < 3; ++i) {
        recorded.push_back(await_event());
        paint_event(recorded.back(), int(recorded.size()));
    }
    ASSERT_EQ(kanvo.script.recording_on, 1);
    toggle_recording();
    const std::vector<platform::Pixel> recorded_picture = surface_pixels().pixels();

    clear_surface();
    toggle_playback();
    std::vector<Event> played;
    while (played.size() < recorded.size()) {
        played.push_back(await_event());
        paint_event(played.back(), int(played.size()));
    }
    for (size_t i = 0; i < recorded.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(same_event(played[i], recorded[i]))
            << played[i].kind << " " << played[i].x << " " << played[i].y << " vs "
            << recorded[i].kind << " " << recorded[i].x << " " << recorded[i].y;
    }
    EXPECT_TRUE(surface_pixels().pixels() == recorded_picture);
    EXPECT_EQ(script_read_event(), 0) << "the script holds nothing more";
    EXPECT_EQ(log_lines().back(), "EOF encountered in script file KANVO.SCR\n");
}

TEST_F(ScriptTest, WaitRecordsRunsAndWritesThePendingRunAtTheEndOfTheQueue) {
    platform::HeadlessBackend &user = open_headless();
    KANVO_animate(KANVO_ANIMATE_RUN);
    toggle_recording();
    for (int i = 0; i < 10; ++i) ASSERT_EQ(await_event().kind, KANVO_PERIODIC);
    user.click(kanvo.windows.draw_window, kanvo.windows.origin_x - 40, kanvo.windows.origin_y - 25);
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    EXPECT_EQ(file_text(), "KANVO_PERIODIC(10);\nKANVO_MOUSE(-40, 25);\n");
    for (int i = 0; i < 2; ++i) ASSERT_EQ(await_event().kind, KANVO_PERIODIC);
    user.close_box(kanvo.windows.draw_window);
    while (await_event().kind != KANVO_QUIT) {
    }
    EXPECT_EQ(file_text(), "KANVO_PERIODIC(10);\nKANVO_MOUSE(-40, 25);\nKANVO_PERIODIC(2);\n");
}

TEST_F(ScriptTest, PlaybackDeliversScriptEventsWithoutWaitingForTicks) {
    write_file("KANVO_PERIODIC(3);\nKANVO_MOUSE(5, -7);\nKANVO_KBD(97);\n");
    platform::HeadlessBackend &user = open_headless();
    ASSERT_TRUE(user.menu_command(kanvo.windows.draw_window, KANVO_CMD_PLAY_ONE));
    const int64_t start = user.now_ms();
    Event first = await_event();
    EXPECT_EQ(first.kind, KANVO_PERIODIC);
    EXPECT_LT(user.now_ms() - start, 50) << "no tick was waited for";

    // Play one reads one event per command; only the first of a run reads a line.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(user.menu_command(kanvo.windows.draw_window, KANVO_CMD_PLAY_ONE));
        EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    }
    ASSERT_TRUE(user.menu_command(kanvo.windows.draw_window, KANVO_CMD_PLAYBACK));
    Event mouse = await_event();
    EXPECT_EQ(mouse.kind, KANVO_MOUSE);
    EXPECT_EQ(mouse.x, 5);
    EXPECT_EQ(mouse.y, -7);
    Event key = await_event();
    EXPECT_EQ(key.kind, KANVO_KBD);
    EXPECT_EQ(key.key, 'a');
    // The end of the file switches playback off and its check mark with it.
    user.click(kanvo.windows.draw_window, kanvo.windows.origin_x, kanvo.windows.origin_y);
    EXPECT_EQ(await_event().kind, KANVO_MOUSE);
    EXPECT_EQ(kanvo.script.playback_on, 0);
    EXPECT_EQ(log_lines().back(), "EOF encountered in script file KANVO.SCR\n");
}

TEST_F(ScriptTest, LineThatNeverEndsEndsPlaybackInsteadOfHanging) {
    write_file(std::string(3 << 20, 'x') + "\nKANVO_KBD(65);\n");
    EXPECT_TRUE(play_all().empty());
    EXPECT_TRUE(log_lines().empty()) << "not the end of the file: an unrecognised line";
    EXPECT_EQ(kanvo.script.unplayed_script_line, 1);
}

#ifndef _WIN32  // needs /dev/zero and a FIFO
TEST_F(ScriptTest, OnlyARegularFileIsPlayedBack) {
    // A device, a FIFO with no writer and a directory: each is refused at once, none
    // blocks or is taken for an empty script.
    ASSERT_EQ(symlink("/dev/zero", kanvo.script.script_name), 0);
    EXPECT_TRUE(play_all().empty());
    ASSERT_EQ(unlink(kanvo.script.script_name), 0);
    ASSERT_EQ(mkfifo(kanvo.script.script_name, 0600), 0);
    EXPECT_TRUE(play_all().empty());
    ASSERT_EQ(unlink(kanvo.script.script_name), 0);
    ASSERT_EQ(mkdir(kanvo.script.script_name, 0700), 0);
    EXPECT_TRUE(play_all().empty());
    EXPECT_EQ(log_lines(), std::vector<std::string>(3, "Cannot open script file KANVO.SCR for reading\n"));
    EXPECT_EQ(kanvo.script.playback_on, 0);
}
#endif

TEST_F(ScriptTest, NulInsideALineDoesNotSwallowTheNextLine) {
    const char text[] = "KANVO_KBD(65);\0junk\nKANVO_KBD(66);\n";
    write_file(std::string(text, sizeof text - 1));
    std::vector<ScriptEvent> expected = {{KANVO_KBD, 0, 0, 65}, {KANVO_KBD, 0, 0, 66}};
    EXPECT_EQ(play_all(), expected);
}

TEST_F(ScriptTest, RecordingSurvivesTheProgramChangingDirectory) {
    toggle_recording();
    script_write_event(KANVO_MOUSE, 1, 2, 0);
    ScratchDirectory elsewhere;
    std::filesystem::current_path(elsewhere.path());
    script_write_event(KANVO_MOUSE, 3, 4, 0);
    EXPECT_EQ(kanvo.script.recording_on, 1);
    std::filesystem::current_path(directory());
    toggle_recording();
    EXPECT_EQ(file_text(), "KANVO_MOUSE(1, 2);\nKANVO_MOUSE(3, 4);\n");
}

#ifndef _WIN32  // Windows refuses to remove a file that is open
TEST_F(ScriptTest, FailedRunLineStopsRecordingBeforeTheEventAfterIt) {
    platform::HeadlessBackend &user = open_headless();
    KANVO_animate(KANVO_ANIMATE_RUN);
    toggle_recording();
    user.click(kanvo.windows.draw_window, kanvo.windows.origin_x, kanvo.windows.origin_y);
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(await_event().kind, KANVO_PERIODIC);
    ASSERT_EQ(unlink(kanvo.script.script_name), 0);
    user.click(kanvo.windows.draw_window, kanvo.windows.origin_x, kanvo.windows.origin_y);
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    EXPECT_EQ(kanvo.script.recording_on, 0);
    EXPECT_EQ(kanvo.script.script_file, nullptr) << "no file is opened again for the click";
    EXPECT_FALSE(std::filesystem::exists(kanvo.script.script_name));
    EXPECT_EQ(log_lines().back(), "Cannot write script file KANVO.SCR; recording stopped\n");
}
#endif

// ---- playback and recording end where they should ----

namespace {

bool check_shown(uint32_t id) {
    const platform::MenuItem *item = kanvo.windows.run_menu ? kanvo.windows.run_menu->find(id) : nullptr;
    return item && (item->flags & platform::menu_flag::checked);
}

}  // namespace

// Close box, menu Quit and Ctrl+Q during the playback of an endless run: each ends the
// queue, so each needs a process of its own.
class QuitDuringPlayback : public ScriptTest, public testing::WithParamInterface<int> {};

TEST_P(QuitDuringPlayback, FirstWaitAfterTheQuitReturnsQuit) {
    write_file("KANVO_PERIODIC(2147483647);\n");
    platform::HeadlessBackend &user = open_headless();
    ASSERT_TRUE(user.menu_command(kanvo.windows.draw_window, KANVO_CMD_PLAYBACK));
    for (int i = 0; i < 5; ++i) ASSERT_EQ(await_event().kind, KANVO_PERIODIC);
    switch (GetParam()) {
    case 0: user.close_box(kanvo.windows.draw_window); break;
    case 1: user.menu_command(kanvo.windows.draw_window, KANVO_CMD_QUIT); break;
    default: user.ctrl_key(kanvo.windows.draw_window, 'q'); break;
    }
    // Waits go on returning script events until the quit's input is delivered; the wait
    // that handles it returns the quit.
    int kind = KANVO_PERIODIC;
    int waits = 0;
    while (kind == KANVO_PERIODIC && waits++ < 50) {
        kind = await_event().kind;
        if (kind == KANVO_PERIODIC) {
            EXPECT_EQ(kanvo.windows.quit_posted, 0) << "a script event returned after the quit";
        }
    }
    EXPECT_EQ(kind, KANVO_QUIT);
    EXPECT_EQ(kanvo.script.playback_on, 0);
    EXPECT_EQ(kanvo.script.periodic_run, 0);
    EXPECT_EQ(kanvo.script.script_file, nullptr);
    EXPECT_FALSE(check_shown(KANVO_CMD_PLAYBACK));
    EXPECT_EQ(await_event().kind, KANVO_QUIT);
}

INSTANTIATE_TEST_SUITE_P(CloseBoxMenuAndShortcut, QuitDuringPlayback, testing::Values(0, 1, 2));

TEST_F(ScriptTest, CloseEndsRecordingAndPlaybackAndTruncatesNothing) {
    platform::HeadlessBackend &user = open_headless();
    ASSERT_TRUE(user.menu_command(kanvo.windows.draw_window, KANVO_CMD_RECORD));
    user.click(kanvo.windows.draw_window, kanvo.windows.origin_x + 1, kanvo.windows.origin_y - 2);
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    ASSERT_TRUE(check_shown(KANVO_CMD_RECORD));
    KANVO_close();
    EXPECT_EQ(kanvo.script.recording_on, 0);
    EXPECT_FALSE(check_shown(KANVO_CMD_RECORD));
    // A later wait neither reopens nor empties the file.
    user.click(kanvo.windows.draw_window, kanvo.windows.origin_x, kanvo.windows.origin_y);
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    EXPECT_EQ(file_text(), "KANVO_MOUSE(1, 2);\n");

    // Playback ends likewise.
    ASSERT_TRUE(user.menu_command(kanvo.windows.draw_window, KANVO_CMD_PLAYBACK));
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    KANVO_close();
    EXPECT_EQ(kanvo.script.playback_on, 0);
    EXPECT_FALSE(check_shown(KANVO_CMD_PLAYBACK));
    EXPECT_EQ(kanvo.script.script_file, nullptr);
}

TEST_F(ScriptTest, PlaybackMarkClearsWhenPlaybackEndsByItself) {
    write_file("KANVO_KBD(65);\nnot a script line\nKANVO_KBD(66);\n");
    platform::HeadlessBackend &user = open_headless();
    ASSERT_TRUE(user.menu_command(kanvo.windows.draw_window, KANVO_CMD_PLAYBACK));
    ASSERT_EQ(await_event().key, 'A');
    ASSERT_TRUE(check_shown(KANVO_CMD_PLAYBACK));
    // The unrecognised line ends playback: flag and mark together.
    user.click(kanvo.windows.draw_window, kanvo.windows.origin_x, kanvo.windows.origin_y);
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    EXPECT_EQ(kanvo.script.playback_on, 0);
    EXPECT_FALSE(check_shown(KANVO_CMD_PLAYBACK));
    // Playback goes on after that line, and the end of the file clears the mark as well.
    ASSERT_TRUE(user.menu_command(kanvo.windows.draw_window, KANVO_CMD_PLAYBACK));
    ASSERT_EQ(await_event().key, 'B');
    user.click(kanvo.windows.draw_window, kanvo.windows.origin_x, kanvo.windows.origin_y);
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    EXPECT_EQ(log_lines().back(), "EOF encountered in script file KANVO.SCR\n");
    EXPECT_EQ(kanvo.script.playback_on, 0);
    EXPECT_FALSE(check_shown(KANVO_CMD_PLAYBACK));
}

TEST_F(ScriptTest, FinishedScriptPlaysAgainFromItsFirstLine) {
    write_file("KANVO_KBD(65);\n");
    platform::HeadlessBackend &user = open_headless();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(user.menu_command(kanvo.windows.draw_window, KANVO_CMD_PLAYBACK));
        EXPECT_EQ(await_event().key, 'A');
        // The end of the file is met here.
        user.click(kanvo.windows.draw_window, kanvo.windows.origin_x, kanvo.windows.origin_y);
        ASSERT_EQ(await_event().kind, KANVO_MOUSE);
        EXPECT_EQ(log_lines().back(), "EOF encountered in script file KANVO.SCR\n");
    }
    ASSERT_TRUE(user.menu_command(kanvo.windows.draw_window, KANVO_CMD_PLAY_ONE));
    EXPECT_EQ(await_event().key, 'A');
    EXPECT_EQ(log_lines().size(), 2u);
}

// Death tests on Windows start the test afresh in a new process, in a scratch folder of
// its own: the file would land where this test cannot see it.
#ifndef _WIN32
// The program ends while a run of periodic events is being counted: by a signal (Ctrl+C
// in the terminal, a kill) or by exiting (the display went away), the run still lands.
TEST_F(ScriptTest, RunBeingCountedIsWrittenWhenTheProgramEnds) {
    auto record_five_ticks = [] {
        open_headless();
        KANVO_animate(KANVO_ANIMATE_RUN);
        toggle_recording();
        for (int i = 0; i < 5; ++i) await_event();
    };
    EXPECT_EXIT({ record_five_ticks(); raise(SIGTERM); }, testing::KilledBySignal(SIGTERM), "");
    EXPECT_EQ(file_text(), "KANVO_PERIODIC(5);\n");
    EXPECT_EXIT({ record_five_ticks(); raise(SIGINT); }, testing::KilledBySignal(SIGINT), "");
    EXPECT_EQ(file_text(), "KANVO_PERIODIC(5);\n");
    EXPECT_EXIT({ record_five_ticks(); std::exit(1); }, testing::ExitedWithCode(1), "");
    EXPECT_EQ(file_text(), "KANVO_PERIODIC(5);\n");
    // Each of those recordings kept the one before it, also when a signal ended it.
    std::ifstream backup("KANVO.SCR.bak");
    std::string line;
    EXPECT_TRUE(std::getline(backup, line));
    EXPECT_EQ(line, "KANVO_PERIODIC(5);");
}
#endif
