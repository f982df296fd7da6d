// Input for games on the headless backend: the new kinds only once listened for, and a
// program that does not listen getting the usual events at the usual times for the same
// input; keys held and released, buttons, merged motion, the wheel, a lost focus, the tick
// rate, and recording and playing back a session.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

struct Seen {
    int kind, x, y, extra;  // extra: the key code, button or wheel steps, or the character
    int64_t at_ms;
    bool operator==(const Seen &o) const {
        return kind == o.kind && x == o.x && y == o.y && extra == o.extra && at_ms == o.at_ms;
    }
};

std::ostream &operator<<(std::ostream &out, const Seen &s) {
    return out << "{kind " << s.kind << " (" << s.x << ", " << s.y << ") extra " << s.extra
               << " at " << s.at_ms << "}";
}

Seen next(platform::HeadlessBackend &driver) {
    const Event e = await_event();
    int extra = 0;
    if (e.kind == KANVO_KBD) extra = static_cast<unsigned char>(e.key);
    if (e.kind == KANVO_KEY_DOWN || e.kind == KANVO_KEY_UP) extra = KANVO_event_key();
    if (e.kind == KANVO_MOUSE || e.kind == KANVO_MOUSE_UP) extra = KANVO_event_button();
    if (e.kind == KANVO_WHEEL) extra = KANVO_event_wheel();
    return Seen{e.kind, e.x, e.y, extra, driver.now_ms()};
}

platform::Window *draw() { return kanvo.windows.draw_window; }
int cx(int x) { return kanvo.windows.origin_x + x; }  // library point to client pixel
int cy(int y) { return kanvo.windows.origin_y - y; }

// The same outside input, at the same virtual times, with the new kinds of input mixed in
// or not.
void queue_session(platform::HeadlessBackend &d, bool with_new_input) {
    d.pause(60);
    if (with_new_input) {
        d.mouse_move(draw(), cx(5), cy(5));
        d.button_down(draw(), 2, cx(6), cy(6));
        d.button_up(draw(), 2, cx(6), cy(6));
        d.wheel(draw(), 120, cx(7), cy(7));
    }
    d.key_down(draw(), platform::vk::left, 0);
    d.key_up(draw(), platform::vk::left);
    d.pause(70);
    d.type(draw(), "a");
    d.button_down(draw(), 1, cx(10), cy(20));
    if (with_new_input) {
        d.mouse_move(draw(), cx(11), cy(21));
        d.button_up(draw(), 1, cx(11), cy(21));
    }
    d.pause(200);
    d.close_box(draw());
}

std::vector<Seen> run_until_quit(platform::HeadlessBackend &d) {
    std::vector<Seen> seen;
    for (int i = 0; i < 100; ++i) {
        seen.push_back(next(d));
        if (seen.back().kind == KANVO_QUIT) break;
    }
    return seen;
}

class ScriptSession : public InScratchDirectory {
protected:
    static std::string script() {
        std::ifstream in("KANVO.SCR");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

}  // namespace

// The usual events at the usual times, for the usual input alone and with motion, other
// buttons, releases and the wheel mixed in: those are passed over as if they had not come,
// so the animation's rhythm does not change either.
const std::vector<Seen> kUsualEvents = {
    {KANVO_PERIODIC, 0, 0, 0, 50},  {KANVO_PERIODIC, 0, 0, 0, 100},
    {KANVO_KBD, 0, 0, 'a', 130},    {KANVO_MOUSE, 10, 20, 1, 130},
    {KANVO_PERIODIC, 0, 0, 0, 200}, {KANVO_PERIODIC, 0, 0, 0, 300},
    {KANVO_QUIT, 0, 0, 0, 330},
};

TEST(Input, UsualInputGivesTheUsualEvents) {
    auto &d = open_headless();
    KANVO_animate(KANVO_ANIMATE_RUN);
    queue_session(d, false);
    EXPECT_EQ(run_until_quit(d), kUsualEvents);
}

TEST(Input, ProgramThatDoesNotListenGetsTheUsualEventsAtTheUsualTimes) {
    auto &d = open_headless();
    KANVO_animate(KANVO_ANIMATE_RUN);
    queue_session(d, true);
    EXPECT_EQ(run_until_quit(d), kUsualEvents);
    int x = 1, y = 1;
    EXPECT_EQ(KANVO_mouse(&x, &y), 0) << "no button state without listening";
    EXPECT_EQ(KANVO_key_down('A'), 0);
}

TEST(Input, ListeningProgramGetsEveryKindInOrderWithItsFields) {
    auto &d = open_headless();
    ASSERT_EQ(KANVO_listen(KANVO_LISTEN_KEYS | KANVO_LISTEN_MOTION | KANVO_LISTEN_BUTTONS |
                           KANVO_LISTEN_WHEEL),
              1);
    queue_session(d, true);
    const std::vector<Seen> seen = run_until_quit(d);
    const std::vector<Seen> expected = {
        {KANVO_MOUSE_MOVE, 5, 5, 0, 60},
        {KANVO_MOUSE, 6, 6, KANVO_BUTTON_RIGHT, 60},
        {KANVO_MOUSE_UP, 6, 6, KANVO_BUTTON_RIGHT, 60},
        {KANVO_WHEEL, 7, 7, 1, 60},
        {KANVO_KEY_DOWN, 0, 0, KANVO_KEY_LEFT, 60},
        {KANVO_KEY_UP, 0, 0, KANVO_KEY_LEFT, 60},
        {KANVO_KEY_DOWN, 0, 0, 'A', 130},  // the key, then the character it types
        {KANVO_KBD, 0, 0, 'a', 130},
        {KANVO_KEY_UP, 0, 0, 'A', 130},
        {KANVO_MOUSE, 10, 20, KANVO_BUTTON_LEFT, 130},
        {KANVO_MOUSE_MOVE, 11, 21, 0, 130},
        {KANVO_MOUSE_UP, 11, 21, KANVO_BUTTON_LEFT, 130},
        {KANVO_QUIT, 0, 0, 0, 330},
    };
    EXPECT_EQ(seen, expected);
}

TEST(Input, HeldKeysAndButtonsFollowTheReturnedEvents) {
    auto &d = open_headless();
    KANVO_listen(KANVO_LISTEN_KEYS | KANVO_LISTEN_BUTTONS);
    d.key_down(draw(), platform::vk::right, 0);
    d.key_down(draw(), platform::vk::right, 0, true);  // auto-repeat
    d.key_down(draw(), platform::vk::space, ' ');
    d.button_down(draw(), 3, cx(-4), cy(9));
    d.key_up(draw(), platform::vk::right);

    EXPECT_EQ(next(d).extra, KANVO_KEY_RIGHT);
    EXPECT_EQ(KANVO_key_down(KANVO_KEY_RIGHT), 1);
    const Seen repeat = next(d);
    EXPECT_EQ(repeat.kind, KANVO_KEY_DOWN);
    EXPECT_EQ(repeat.extra, KANVO_KEY_RIGHT);
    EXPECT_EQ(next(d).extra, KANVO_KEY_SPACE);
    EXPECT_EQ(KANVO_key_down(KANVO_KEY_SPACE), 1);
    EXPECT_EQ(next(d).kind, KANVO_KBD);  // the space's character
    EXPECT_EQ(next(d).extra, KANVO_BUTTON_MIDDLE);
    int x = 0, y = 0;
    EXPECT_EQ(KANVO_mouse(&x, &y), 4);
    EXPECT_EQ(x, -4);
    EXPECT_EQ(y, 9);
    EXPECT_EQ(next(d).kind, KANVO_KEY_UP);
    EXPECT_EQ(KANVO_key_down(KANVO_KEY_RIGHT), 0);
    EXPECT_EQ(KANVO_key_down(KANVO_KEY_SPACE), 1);
    EXPECT_EQ(KANVO_key_down(0), 0);
    EXPECT_EQ(KANVO_key_down(100000), 0);

    // Alt+Tab: the keys and buttons still held come up as events, so nothing stays held.
    d.focus_lost(draw());
    d.close_box(draw());
    const Seen space_up = next(d);
    EXPECT_EQ(space_up.kind, KANVO_KEY_UP);
    EXPECT_EQ(space_up.extra, KANVO_KEY_SPACE);
    const Seen middle_up = next(d);
    EXPECT_EQ(middle_up.kind, KANVO_MOUSE_UP);
    EXPECT_EQ(middle_up.extra, KANVO_BUTTON_MIDDLE);
    EXPECT_EQ(middle_up.x, -4);
    EXPECT_EQ(KANVO_key_down(KANVO_KEY_SPACE), 0);
    EXPECT_EQ(KANVO_mouse(nullptr, nullptr), 0);
    EXPECT_EQ(next(d).kind, KANVO_QUIT);
}

TEST(Input, CtrlWithALetterStaysAShortcutAndGivesNoKey) {
    auto &d = open_headless();
    KANVO_listen(KANVO_LISTEN_KEYS);
    d.ctrl_key(draw(), 'a');  // starts the animation
    d.close_box(draw());
    std::vector<int> kinds_and_codes;
    for (Seen s = next(d); s.kind != KANVO_QUIT; s = next(d)) {
        if (s.kind == KANVO_PERIODIC) continue;
        kinds_and_codes.push_back(s.kind);
        kinds_and_codes.push_back(s.extra);
    }
    EXPECT_EQ(kinds_and_codes,
              (std::vector<int>{KANVO_KEY_DOWN, KANVO_KEY_CONTROL, KANVO_KEY_UP, KANVO_KEY_CONTROL}));
    EXPECT_EQ(kanvo.events.animation_running, 1);
    EXPECT_EQ(KANVO_key_down('A'), 0);
}

TEST(Input, MovesMergeIntoOneWithTheNewestPositionAndOnlyOverTheDrawingArea) {
    auto &d = open_headless();
    KANVO_listen(KANVO_LISTEN_MOTION);
    // A thousand moves arrive before the program waits: one move event, the last place.
    for (int i = 0; i < 1000; ++i)
        platform::post_message(draw(), platform::msg::mouse_move, 0,
                               platform::xy_lparam(cx(i % 200), cy(-(i % 100))));
    const Seen move = next(d);
    EXPECT_EQ(move.kind, KANVO_MOUSE_MOVE);
    EXPECT_EQ(move.x, 999 % 200);
    EXPECT_EQ(move.y, -(999 % 100));
    // Outside the client area (a drag that left the window) no move is given.
    d.mouse_move(draw(), -3, 10);
    d.mouse_move(draw(), 10, 10000);
    d.click(draw(), cx(1), cy(1));
    EXPECT_EQ(next(d).kind, KANVO_MOUSE);
    int x = 0, y = 0;
    KANVO_mouse(&x, &y);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 1);
}

TEST(Input, WheelStepsAddUpFromFineMovement) {
    auto &d = open_headless();
    KANVO_listen(KANVO_LISTEN_WHEEL);
    d.wheel(draw(), -240, cx(0), cy(0));
    d.wheel(draw(), 60, cx(3), cy(0));  // half a step: nothing yet
    d.wheel(draw(), 60, cx(4), cy(0));
    d.wheel(draw(), 100, -5, 0);        // outside the drawing area
    d.click(draw(), cx(0), cy(0));
    const Seen down = next(d);
    EXPECT_EQ(down.kind, KANVO_WHEEL);
    EXPECT_EQ(down.extra, -2);
    const Seen up = next(d);
    EXPECT_EQ(up.kind, KANVO_WHEEL);
    EXPECT_EQ(up.extra, 1);
    EXPECT_EQ(up.x, 4);
    EXPECT_EQ(next(d).kind, KANVO_MOUSE);
    EXPECT_EQ(KANVO_event_wheel(), 0);
}

TEST(Input, ListeningAgainForLessForgetsWhatCanNoLongerComeUp) {
    auto &d = open_headless();
    EXPECT_EQ(KANVO_listen(KANVO_LISTEN_KEYS | KANVO_LISTEN_BUTTONS), 1);
    d.key_down(draw(), 'W', 'w');
    d.button_down(draw(), 1, cx(0), cy(0));
    next(d);
    next(d);
    next(d);
    EXPECT_EQ(KANVO_key_down('W'), 1);
    EXPECT_EQ(KANVO_mouse(nullptr, nullptr), 1);
    KANVO_listen(0);
    EXPECT_EQ(KANVO_key_down('W'), 0);
    EXPECT_EQ(KANVO_mouse(nullptr, nullptr), 0);
    // Back to the usual: the release and the right button give nothing.
    d.key_up(draw(), 'W');
    d.button_down(draw(), 2, cx(0), cy(0));
    d.type(draw(), "z");
    EXPECT_EQ(next(d).kind, KANVO_KBD);
}

TEST(TickRate, PeriodicEventsComeAtTheRateWhateverElseArrives) {
    auto &d = open_headless();
    KANVO_animate(KANVO_ANIMATE_RUN);
    ASSERT_EQ(KANVO_tick_rate(30), 1);
    std::vector<int64_t> times;
    d.pause(40);
    d.type(draw(), "x");  // at 40, between two ticks
    for (int i = 0; i < 8; ++i) {
        const Seen s = next(d);
        if (s.kind == KANVO_PERIODIC) times.push_back(s.at_ms);
    }
    // The k-th tick is due at k * 1000 / 30 ms, rounded up: the key does not shift them.
    EXPECT_EQ(times, (std::vector<int64_t>{34, 67, 100, 134, 167, 200, 234}));

    // A program busy for longer than a tick gets the missed ticks merged into one.
    d.pause(100);
    EXPECT_EQ(next(d).at_ms, 267);
}

TEST(TickRate, ZeroRestoresTheUsualRhythmAndImpossibleRatesAreRefused) {
    auto &d = use_headless();
    EXPECT_EQ(KANVO_tick_rate(20), 0) << "not open yet";
    EXPECT_EQ(KANVO_listen(KANVO_LISTEN_KEYS), 0);
    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_animate(KANVO_ANIMATE_RUN);
    EXPECT_EQ(KANVO_tick_rate(101), 0);
    EXPECT_EQ(log_lines().back(),
              "KANVO_tick_rate: 101 ticks a second is impossible; use 1 to 100, or 0 for the "
              "usual rhythm\n");
    EXPECT_EQ(KANVO_tick_rate(-1), 0);
    EXPECT_EQ(next(d).at_ms, 50) << "a refused rate changes nothing";
    ASSERT_EQ(KANVO_tick_rate(100), 1);
    EXPECT_EQ(next(d).at_ms, 60);
    EXPECT_EQ(next(d).at_ms, 70);
    ASSERT_EQ(KANVO_tick_rate(0), 1);
    EXPECT_EQ(next(d).at_ms, 170) << "every second tick of the 50 ms timer again";
    EXPECT_EQ(next(d).at_ms, 270);
}

TEST_F(ScriptSession, RecordedGameSessionPlaysBackToTheSameEventsAndState) {
    auto &d = open_headless();
    KANVO_listen(KANVO_LISTEN_KEYS | KANVO_LISTEN_MOTION | KANVO_LISTEN_BUTTONS |
                 KANVO_LISTEN_WHEEL);
    toggle_recording();
    d.key_down(draw(), platform::vk::up, 0);
    d.button_down(draw(), 2, cx(-7), cy(8));
    d.mouse_move(draw(), cx(-9), cy(10));
    d.button_up(draw(), 2, cx(-9), cy(10));
    d.wheel(draw(), -120, cx(1), cy(2));
    d.button_down(draw(), 1, cx(3), cy(4));
    d.type(draw(), "q");
    std::vector<Seen> live;
    for (int i = 0; i < 9; ++i) live.push_back(next(d));
    int live_buttons = KANVO_mouse(nullptr, nullptr);
    toggle_recording();
    EXPECT_EQ(script(),
              "KANVO_DOWN(38);\n"
              "KANVO_BUTTON(-7, 8, 2);\n"
              "KANVO_CURSOR(-9, 10);\n"
              "KANVO_RELEASE(-9, 10, 2);\n"
              "KANVO_WHEEL(1, 2, -1);\n"
              "KANVO_MOUSE(3, 4);\n"
              "KANVO_DOWN(81);\n"
              "KANVO_KBD(113);\n"
              "KANVO_UP(81);\n");
    EXPECT_EQ(KANVO_key_down(KANVO_KEY_ARROW_UP), 1);
    EXPECT_EQ(live_buttons, 1);

    // Playback hands out the same events; the state follows them from scratch.
    KANVO_listen(0);
    KANVO_listen(KANVO_LISTEN_KEYS | KANVO_LISTEN_MOTION | KANVO_LISTEN_BUTTONS |
                 KANVO_LISTEN_WHEEL);
    toggle_playback();
    for (const Seen &was : live) {
        Seen again = next(d);
        again.at_ms = was.at_ms;
        EXPECT_EQ(again, was);
    }
    EXPECT_EQ(KANVO_key_down(KANVO_KEY_ARROW_UP), 1);
    EXPECT_EQ(KANVO_key_down('Q'), 0);
    int x = 0, y = 0;
    EXPECT_EQ(KANVO_mouse(&x, &y), 1);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
}

// A program that does not listen plays such a script too: the lines of kinds it does not
// ask for are passed over, the usual ones played.
TEST_F(ScriptSession, LinesOfKindsNotListenedForArePassedOver) {
    auto &d = open_headless();
    std::ofstream("KANVO.SCR") << "KANVO_DOWN(38);\nKANVO_CURSOR(1, 2);\nKANVO_KBD(97);\n"
                                  "KANVO_WHEEL(1, 2, 3);\nKANVO_BUTTON(1, 2, 2);\n"
                                  "KANVO_MOUSE(5, 6);\nKANVO_BUTTON(1, 2, 9);\n";
    toggle_playback();
    EXPECT_EQ(next(d).kind, KANVO_KBD);
    const Seen click = next(d);
    EXPECT_EQ(click.kind, KANVO_MOUSE);
    EXPECT_EQ(click.x, 5);
    // A button that does not exist is no line the writer makes: playback ends there.
    d.type(draw(), "k");
    EXPECT_EQ(next(d).kind, KANVO_KBD);
    EXPECT_EQ(kanvo.script.playback_on, 0);
    EXPECT_EQ(kanvo.script.unplayed_script_line, 7);
}
