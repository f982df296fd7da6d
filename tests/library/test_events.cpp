// The event wait on the headless backend: periodic events from timer ticks, input that
// overrides them, single steps, halting, the quit latch, the out-parameters and the
// animation and logging controls.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_support.h"

namespace {

// Queues a click at the origin the first time the wait runs dry, and counts the calls.
struct ClickWhenIdle {
    platform::HeadlessBackend &headless;
    int calls = 0;
    int64_t idle_at_ms = -1;

    explicit ClickWhenIdle(platform::HeadlessBackend &d) : headless(d) {
        headless.set_quiet_limit_ms(1000);
        headless.set_idle_hook([this] {
            if (++calls > 1) return false;
            idle_at_ms = headless.now_ms();
            headless.click(kanvo.windows.draw_window, kanvo.windows.origin_x, kanvo.windows.origin_y);
            return true;
        });
    }
};

}  // namespace

TEST(EventWait, RunningAnimationGivesAPeriodicEventEverySecondTick) {
    auto &headless = open_headless();
    ASSERT_EQ(KANVO_animate(KANVO_ANIMATE_RUN), 1);

    Event first = await_event();
    EXPECT_EQ(first.kind, KANVO_PERIODIC);
    EXPECT_EQ(headless.now_ms(), 50);  // armed by the first paint, so the first tick returns it
    for (int i = 1; i <= 5; ++i) {
        Event next = await_event();
        EXPECT_EQ(next.kind, KANVO_PERIODIC);
        // The tick that begins the wait arms the event and is dropped; the next returns it.
        EXPECT_EQ(headless.now_ms(), 50 + 100 * i);
    }
}

TEST(EventWait, ClickOverwritesAnArmedPeriodicEvent) {
    auto &headless = open_headless();
    KANVO_animate(KANVO_ANIMATE_RUN);
    ASSERT_EQ(await_event().kind, KANVO_PERIODIC);  // t = 50

    // The tick at 100 arms a periodic event; the click at 110 replaces it.
    headless.pause(60);
    headless.click(kanvo.windows.draw_window, kanvo.windows.origin_x + 10, kanvo.windows.origin_y - 20);
    Event click = await_event();
    EXPECT_EQ(click.kind, KANVO_MOUSE);
    EXPECT_EQ(click.x, 10);
    EXPECT_EQ(click.y, 20);
    EXPECT_EQ(headless.now_ms(), 110);

    // The dropped event is not delivered later: the next wait arms a new one (the tick at
    // 150) and returns it at the following tick.
    EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    EXPECT_EQ(headless.now_ms(), 200);
}

TEST(EventWait, HaltedWaitReturnsOnlyInput) {
    auto &headless = open_headless();
    ClickWhenIdle idle(headless);

    Event event = await_event();
    EXPECT_EQ(event.kind, KANVO_MOUSE);
    EXPECT_EQ(event.x, 0);
    EXPECT_EQ(event.y, 0);
    EXPECT_EQ(idle.calls, 1);
    EXPECT_GE(idle.idle_at_ms, 1000);  // twenty ticks passed without an event
}

TEST(EventWaitDeathTest, HaltedWaitWithNoInputFailsLoudly) {
    EXPECT_DEATH(
        {
            open_headless();
            await_event();
        },
        "only timer ticks arrive");
}

TEST(EventWait, SingleStepGivesOnePeriodicEventAndStaysHalted) {
    auto &headless = open_headless();
    ClickWhenIdle idle(headless);

    ASSERT_EQ(KANVO_animate(KANVO_ANIMATE_STEP), 1);
    EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    EXPECT_EQ(await_event().kind, KANVO_MOUSE);  // no second periodic event
    EXPECT_EQ(idle.calls, 1);

    // The menu's step does the same and halts a running animation.
    KANVO_animate(KANVO_ANIMATE_RUN);
    headless.menu_command(kanvo.windows.draw_window, KANVO_CMD_STEP);
    EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    EXPECT_EQ(kanvo.events.animation_running, 0);
    idle.calls = 0;
    EXPECT_EQ(await_event().kind, KANVO_MOUSE);
    EXPECT_EQ(idle.calls, 1);
}

TEST(EventWait, StepWhileRunningKeepsRunning) {
    open_headless();
    KANVO_animate(KANVO_ANIMATE_RUN);
    KANVO_animate(KANVO_ANIMATE_STEP);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    EXPECT_EQ(kanvo.events.animation_running, 1);
    EXPECT_EQ(kanvo.events.step_pending, 0);
}

TEST(EventWait, ArmedEventSurvivesHaltInTheSameWait) {
    auto &headless = open_headless();
    ClickWhenIdle idle(headless);
    KANVO_animate(KANVO_ANIMATE_RUN);
    ASSERT_EQ(await_event().kind, KANVO_PERIODIC);

    // Ctrl's key-down arms the event; the H that follows halts the animation.
    headless.ctrl_key(kanvo.windows.draw_window, 'h');
    EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    EXPECT_EQ(kanvo.events.animation_running, 0);
    EXPECT_EQ(await_event().kind, KANVO_MOUSE);
    EXPECT_EQ(idle.calls, 1);
}

TEST(EventWait, QuitLatchTurnsEveryLaterEventIntoQuit) {
    auto &headless = open_headless();
    ClickWhenIdle idle(headless);
    ASSERT_EQ(KANVO_animate(KANVO_ANIMATE_QUIT), 1);

    // Halted: the wait still blocks until input arrives, then reports quit instead.
    EXPECT_EQ(await_event().kind, KANVO_QUIT);
    EXPECT_EQ(idle.calls, 1);

    headless.type(kanvo.windows.draw_window, "x");
    EXPECT_EQ(await_event().kind, KANVO_QUIT);
    KANVO_animate(KANVO_ANIMATE_RUN);
    EXPECT_EQ(await_event().kind, KANVO_QUIT);
}

TEST(EventWait, OutParametersCarryOnlyTheEventsOwnFields) {
    auto &headless = open_headless();
    int x = 77, y = 77;
    char key = 'z';

    headless.click(kanvo.windows.draw_window, kanvo.windows.origin_x - 3, kanvo.windows.origin_y + 4);
    ASSERT_EQ(KANVO_await_event(&x, &y, &key), KANVO_MOUSE);
    EXPECT_EQ(x, -3);
    EXPECT_EQ(y, -4);
    EXPECT_EQ(key, 0);

    x = y = 77;
    headless.type(kanvo.windows.draw_window, "k");
    ASSERT_EQ(KANVO_await_event(&x, &y, &key), KANVO_KBD);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(key, 'k');

    key = 'z';
    KANVO_animate(KANVO_ANIMATE_STEP);
    ASSERT_EQ(KANVO_await_event(&x, &y, &key), KANVO_PERIODIC);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(key, 0);

    // A character above 127 arrives as the same 8-bit value.
    headless.key_down(kanvo.windows.draw_window, platform::vk_packet, 233);
    ASSERT_EQ(KANVO_await_event(&x, &y, &key), KANVO_KBD);
    EXPECT_EQ(static_cast<unsigned char>(key), 233);

    x = y = 77;
    key = 'z';
    headless.close_box(kanvo.windows.draw_window);
    ASSERT_EQ(KANVO_await_event(&x, &y, &key), KANVO_QUIT);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(key, 0);
}

TEST(EventWait, UnknownAnimateCommandsChangeNothing) {
    open_headless();
    for (int command : {3, 4, 6, -1}) {
        EXPECT_EQ(KANVO_animate(command), 1) << command;
        EXPECT_EQ(kanvo.events.animation_running, 0) << command;
        EXPECT_EQ(kanvo.events.step_pending, 0) << command;
        EXPECT_EQ(kanvo.events.quit_requested, 0) << command;
    }
    KANVO_animate(KANVO_ANIMATE_RUN);
    KANVO_animate(KANVO_ANIMATE_STEP);
    for (int command : {3, 4, 6, -1}) KANVO_animate(command);
    EXPECT_EQ(kanvo.events.animation_running, 1);
    EXPECT_EQ(kanvo.events.step_pending, 1);

    KANVO_animate(KANVO_ANIMATE_HALT);
    EXPECT_EQ(kanvo.events.animation_running, 0);
    EXPECT_EQ(kanvo.events.step_pending, 0);
}

TEST(EventWait, ControlsBeforeOpenReturnZeroAndChangeNothing) {
    use_headless();
    EXPECT_EQ(KANVO_animate(KANVO_ANIMATE_RUN), 0);
    EXPECT_EQ(KANVO_animate(KANVO_ANIMATE_QUIT), 0);
    EXPECT_EQ(kanvo.events.animation_running, 0);
    EXPECT_EQ(kanvo.events.quit_requested, 0);
    EXPECT_EQ(KANVO_logging(0), 0);
    EXPECT_EQ(kanvo.events.logging_on, 1);

    // There is nothing to wait for before the library opens: the wait ends at once.
    int x = 5, y = 5;
    char key = 5;
    EXPECT_EQ(KANVO_await_event(&x, &y, &key), KANVO_QUIT);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(key, 0);
    // The window classes are this process's own: with a "previous instance" (which skips
    // registering them) the windows cannot be made and the library stays closed.
    EXPECT_EQ(KANVO_open(nullptr, &x, "", KANVO_SHOW_NORMAL), 0);
    EXPECT_EQ(kanvo.windows.draw_window, nullptr);
    EXPECT_EQ(KANVO_animate(KANVO_ANIMATE_RUN), 0);
}

TEST(EventWait, LoggingControlSetsTheCheckMarkAndShowsTheTextWindow) {
    open_headless();
    platform::show_window(kanvo.windows.text_window, platform::show::hide);

    ASSERT_EQ(KANVO_logging(0), 1);
    EXPECT_EQ(kanvo.events.logging_on, 0);
    EXPECT_FALSE(kanvo.windows.text_window->visible);
    EXPECT_EQ(platform::check_menu_item(kanvo.windows.run_menu, KANVO_CMD_LOGGING, false), 0);

    ASSERT_EQ(KANVO_logging(7), 1);
    EXPECT_EQ(kanvo.events.logging_on, 1);
    EXPECT_TRUE(kanvo.windows.text_window->visible);
    EXPECT_EQ(platform::check_menu_item(kanvo.windows.run_menu, KANVO_CMD_LOGGING, true),
              int(platform::menu_flag::checked));

    // Every switch-on shows the window, also when logging was on already.
    platform::show_window(kanvo.windows.text_window, platform::show::hide);
    KANVO_logging(1);
    EXPECT_TRUE(kanvo.windows.text_window->visible);
}

TEST(EventWait, SurfaceReachesTheWindowOnlyThroughThePump) {
    auto &headless = open_headless();
    KANVO_clear();
    KANVO_circle(KANVO_RED, 0, 0, 30);
    const platform::Pixel red = palette_pixel(KANVO_RED);
    ASSERT_EQ(surface_pixel(0, 0), red);
    EXPECT_NE(kanvo.windows.draw_window->client.pixel(kanvo.windows.origin_x, kanvo.windows.origin_y), red);

    headless.click(kanvo.windows.draw_window, 1, 1);
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    const platform::Bitmap &client = kanvo.windows.draw_window->client;
    for (int y = 0; y < client.height(); ++y) {
        for (int x = 0; x < client.width(); ++x) {
            ASSERT_EQ(client.pixel(x, y), surface_pixels().pixel(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(kanvo.surface.surface_dirty, 0);
}

// A clear whose rows still wait when the program waits reaches the window all the same.
TEST(EventWait, TheWindowShowsAClearThatWaited) {
    auto &headless = open_headless();
    KANVO_rectangle(KANVO_RED, -400, 400, 400, -400, 0);
    KANVO_clear();
    KANVO_rectangle(KANVO_BLUE, -100, 100, 100, -100, 0);
    headless.click(kanvo.windows.draw_window, 1, 1);
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    const platform::Bitmap &client = kanvo.windows.draw_window->client;
    const int ox = kanvo.windows.origin_x, oy = kanvo.windows.origin_y;
    EXPECT_EQ(client.pixel(ox, oy), palette_pixel(KANVO_BLUE));
    EXPECT_EQ(client.pixel(ox + 101, oy), platform::kWhite);
    EXPECT_EQ(client.pixel(5, 5), platform::kWhite);
    EXPECT_EQ(client.pixel(0, 5), platform::kBlack);
    EXPECT_EQ(client.pixel(5, 0), platform::kBlack);
}

TEST(EventWait, TextWindowShowsTheLogAfterItsPaint) {
    auto &headless = open_headless();
    KANVO_animate(KANVO_ANIMATE_RUN);
    log_printf("first message\n");
    log_printf("second message\n");
    ASSERT_EQ(await_event().kind, KANVO_PERIODIC);  // the idle passes paint the text window

    platform::Bitmap expected(kanvo.windows.text_window->client.width(), kanvo.windows.text_window->client.height());
    compose_text_window(&expected);
    EXPECT_EQ(kanvo.windows.text_window->client.pixels(), expected.pixels());
    const auto &pixels = kanvo.windows.text_window->client.pixels();
    EXPECT_TRUE(std::any_of(pixels.begin(), pixels.end(),
                            [](platform::Pixel p) { return p != platform::kWhite; }));

    // A new message is painted before the next input is fetched.
    log_printf("third message\n");
    headless.click(kanvo.windows.draw_window, 0, 0);
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    EXPECT_NE(kanvo.windows.text_window->client.pixels(), expected.pixels());
    compose_text_window(&expected);
    EXPECT_EQ(kanvo.windows.text_window->client.pixels(), expected.pixels());
    EXPECT_EQ(log_lines().back(), "third message\n");
}

// After a run that left the quit latch, the animation and logging off, a full log and a
// drawing behind it, a reset makes the next open and drawing go exactly as the first.
TEST(LibraryState, AfterResetAFreshOpenBehavesAsAtStart) {
    auto &headless = open_headless();
    KANVO_circle(KANVO_RED, 10, 20, 30);
    const std::vector<std::string> first_log = log_lines();
    const platform::Bitmap first_surface = surface_pixels();
    const uint64_t first_commands = kanvo.surface.commands_rendered;

    KANVO_rectangle(KANVO_BLUE, -100, 100, 100, -100, 0);
    for (int i = 0; i < 30; ++i) log_printf("filler %d\n", i);
    KANVO_animate(KANVO_ANIMATE_RUN);
    KANVO_animate(KANVO_ANIMATE_QUIT);
    KANVO_logging(0);
    ASSERT_EQ(await_event().kind, KANVO_QUIT);

    reset_library_state();
    EXPECT_TRUE(log_lines().empty());
    EXPECT_EQ(kanvo.windows.draw_window, nullptr);
    EXPECT_EQ(kanvo.surface.surface_bitmap, nullptr);
    EXPECT_EQ(kanvo.surface.commands_rendered, 0u);

    // A second open would only log "already open" had the windows not been forgotten.
    ASSERT_EQ(KANVO_open(nullptr, nullptr, "", KANVO_SHOW_NORMAL), 1);
    KANVO_circle(KANVO_RED, 10, 20, 30);
    EXPECT_EQ(log_lines(), first_log);
    EXPECT_TRUE(surface_pixels().pixels() == first_surface.pixels());
    EXPECT_EQ(kanvo.surface.commands_rendered, first_commands);

    // The latch and the animation are off again: a click is the next event, not a quit
    // or a periodic event.
    headless.click(kanvo.windows.draw_window, kanvo.windows.origin_x + 5, kanvo.windows.origin_y - 7);
    const Event click = await_event();
    EXPECT_EQ(click.kind, KANVO_MOUSE);
    EXPECT_EQ(click.x, 5);
    EXPECT_EQ(click.y, 7);
}
