// The windowing stand-in's queue, timers and menus, and the library's windows, menu and
// Ctrl-key shortcuts, driven through the headless backend.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

namespace msg = platform::msg;

// ---- the platform queue, on a clock the test moves by hand ----

struct Recorded {
    uint32_t type;
    uintptr_t wparam;
    intptr_t lparam;
};
std::vector<Recorded> received;

intptr_t recording_procedure(platform::Window *window, uint32_t type, uintptr_t wparam,
                             intptr_t lparam) {
    received.push_back({type, wparam, lparam});
    return platform::default_window_procedure(window, type, wparam, lparam);
}

class ManualClock : public platform::Backend {
public:
    void create_window(platform::Window &window) override {
        window.client.reset(window.outer_width - 10, window.outer_height - 30);
    }
    void show_window(platform::Window &, bool) override {}
    void destroy_window(platform::Window &) override {}
    void update_menu(platform::Window &) override { ++menu_updates; }
    void present(platform::Window &) override { ++whole_presents; }
    void present_changed(platform::Window &, const platform::Rect &changed) override {
        presented_parts.push_back(changed);
    }
    void wait_for_input(int64_t deadline_ms) override {
        waits.push_back(deadline_ms);
        if (deadline_ms < 0) std::abort();
        now = deadline_ms;
    }
    int64_t now_ms() override { return now; }
    int screen_height() override { return 900; }

    int64_t now = 0;
    int menu_updates = 0;
    std::vector<int64_t> waits;
    int whole_presents = 0;
    std::vector<platform::Rect> presented_parts;
};

ManualClock &use_manual_clock() {
    auto backend = std::make_unique<ManualClock>();
    ManualClock &clock = *backend;
    platform::set_backend(std::move(backend));
    platform::register_class({"Recorder", recording_procedure, platform::kWhite});
    return clock;
}

platform::Message fetch() {
    platform::Message message;
    EXPECT_TRUE(platform::get_message(&message));
    return message;
}

TEST(PlatformQueue, CreationShowingAndClosingSendTheirMessages) {
    use_manual_clock();
    platform::Window *window = platform::create_window("Recorder", "t", 0, 0, 0, 110, 80);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].type, msg::create);
    EXPECT_EQ(platform::create_window("NoSuchClass", "t", 0, 0, 0, 10, 10), nullptr);

    platform::show_window(window, platform::show::normal);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].type, msg::size);
    EXPECT_EQ(received[1].lparam, (50 << 16) | 100);
    platform::show_window(window, platform::show::normal);
    EXPECT_EQ(received.size(), 2u);  // only the first show sends the size

    platform::post_message(window, msg::close, 0, 0);
    platform::dispatch_message(fetch());  // paint from the first show comes after it
    EXPECT_TRUE(window->destroyed);
    EXPECT_EQ(received.back().type, msg::destroy);
    const size_t count = received.size();
    platform::send_message(window, msg::command, 1, 0);
    EXPECT_EQ(received.size(), count);  // a destroyed window receives nothing
}

TEST(PlatformQueue, PostedFirstThenQuitThenPaintThenTimer) {
    ManualClock &clock = use_manual_clock();
    platform::Window *window = platform::create_window("Recorder", "t", 0, 0, 0, 110, 80);
    platform::show_window(window, platform::show::normal);  // leaves a paint waiting
    platform::set_timer(window, 7, 50);
    clock.now = 60;

    platform::post_message(window, msg::command, 1, 0);
    platform::post_message(window, msg::command, 2, 0);
    EXPECT_EQ(fetch().wparam, 1u);
    EXPECT_EQ(fetch().wparam, 2u);
    platform::Message paint = fetch();
    EXPECT_EQ(paint.type, msg::paint);
    EXPECT_EQ(paint.window, window);
    platform::Message tick = fetch();
    EXPECT_EQ(tick.type, msg::timer);
    EXPECT_EQ(tick.wparam, 7u);
    EXPECT_TRUE(clock.waits.empty());

    platform::post_message(window, msg::command, 3, 0);
    platform::post_quit_message(0);
    platform::invalidate(window);
    EXPECT_EQ(fetch().wparam, 3u);
    platform::Message end;
    EXPECT_FALSE(platform::get_message(&end));
    EXPECT_FALSE(platform::get_message(&end));  // the queue stays ended
}

TEST(PlatformQueue, MissedTicksMergeIntoOneMessage) {
    ManualClock &clock = use_manual_clock();
    platform::Window *window = platform::create_window("Recorder", "t", 0, 0, 0, 110, 80);
    platform::set_timer(window, 2, 50);

    clock.now = 520;  // ten ticks missed while busy
    EXPECT_EQ(fetch().type, msg::timer);
    EXPECT_TRUE(clock.waits.empty());
    EXPECT_EQ(fetch().type, msg::timer);
    ASSERT_EQ(clock.waits.size(), 1u);
    EXPECT_EQ(clock.waits[0], 550);  // the timer keeps its 50 ms grid

    platform::kill_timer(window, 2);
    platform::post_message(window, msg::command, 1, 0);
    EXPECT_EQ(fetch().type, msg::command);
}

TEST(PlatformQueue, TranslationPostsTheKeysCharacter) {
    use_manual_clock();
    platform::Window *window = platform::create_window("Recorder", "t", 0, 0, 0, 110, 80);
    platform::translate_message({window, msg::key_down, 'A', platform::key_lparam('a', false)});
    platform::translate_message({window, msg::key_down, platform::vk::shift, platform::key_lparam(0, false)});
    platform::translate_message({window, msg::key_up, 'A', platform::key_lparam('a', false)});
    platform::post_message(window, msg::command, 9, 0);
    platform::Message character = fetch();
    EXPECT_EQ(character.type, msg::character);
    EXPECT_EQ(character.wparam, uintptr_t('a'));
    EXPECT_EQ(fetch().type, msg::command);

    // A key's character comes before input that was already waiting behind the key.
    platform::post_message(window, msg::key_up, platform::vk::control, 0);
    platform::translate_message({window, msg::key_down, 'A', platform::key_lparam(1, false)});
    EXPECT_EQ(fetch().type, msg::character);
    EXPECT_EQ(fetch().type, msg::key_up);
}

TEST(PlatformMenu, CheckMarksByIdAcrossPopups) {
    ManualClock &clock = use_manual_clock();
    platform::Window *window = platform::create_window("Recorder", "t", 0, 0, 0, 110, 80);
    auto popup = std::make_unique<platform::Menu>();
    popup->append(platform::menu_flag::string, 4, "&Four");
    popup->append(platform::menu_flag::separator, 0, "");
    popup->append(platform::menu_flag::checked, 5, "&Five");
    auto bar = std::make_unique<platform::Menu>();
    platform::Menu *menu = bar->append_popup(std::move(popup), "&Menu");
    platform::set_menu(window, std::move(bar));
    const int updates = clock.menu_updates;

    EXPECT_EQ(platform::check_menu_item(menu, 4, true), 0);
    EXPECT_EQ(platform::check_menu_item(window->menu.get(), 5, false),
              int(platform::menu_flag::checked));
    EXPECT_EQ(platform::check_menu_item(menu, 0, true), -1);  // separators have no id
    EXPECT_EQ(platform::check_menu_item(menu, 99, true), -1);
    EXPECT_EQ(menu->items()[0].flags, platform::menu_flag::checked);
    EXPECT_EQ(menu->items()[2].flags, 0u);
    EXPECT_EQ(clock.menu_updates, updates + 2);  // the backend is told of every change
}

TEST(PlatformPaint, APaintIsPresentedOnceAndOtherDrawingAtEachChange) {
    platform::HeadlessBackend &headless = use_headless();
    platform::register_class({"Recorder", recording_procedure, platform::kWhite});
    platform::Window *window = platform::create_window("Recorder", "t", 0, 0, 0, 116, 89);
    platform::show_window(window, platform::show::normal);
    std::unique_ptr<platform::DrawingContext> dc = platform::get_dc(window);
    platform::Bitmap picture(10, 10, platform::kBlack);
    const platform::DrawingContext picture_dc(&picture);

    const int before = headless.presents();
    platform::begin_paint(window);
    dc->fill_rect(0, 0, 50, 50, platform::kBlack);
    dc->copy_bits(60, 0, 10, 10, picture_dc, 0, 0);
    EXPECT_EQ(headless.presents(), before);  // nothing shown halfway through
    platform::end_paint(window);
    EXPECT_EQ(headless.presents(), before + 1);
    EXPECT_EQ(window->client.pixel(65, 5), platform::kBlack);

    dc->fill_rect(0, 0, 5, 5, platform::kWhite);
    dc->copy_bits(0, 0, 10, 10, picture_dc, 0, 0);
    EXPECT_EQ(headless.presents(), before + 3);

    // A paint left to the default handling does not hold back later drawing.
    platform::invalidate(window);
    platform::dispatch_message(fetch());
    EXPECT_EQ(received.back().type, msg::paint);
    dc->fill_rect(0, 0, 5, 5, platform::kWhite);
    EXPECT_EQ(headless.presents(), before + 4);
}

// A client area brought up to date from a bitmap takes only the pixels that differ and
// presents just their rectangle; nothing at all when none does, and inside a paint the
// paint's end presents the whole.
TEST(PlatformPaint, UpdatingAClientPresentsOnlyWhatChanged) {
    ManualClock &clock = use_manual_clock();
    platform::Window *window = platform::create_window("Recorder", "t", 0, 0, 0, 110, 80);
    platform::show_window(window, platform::show::normal);
    const int wholes = clock.whole_presents;
    platform::Bitmap source(100, 50, platform::kWhite);
    const platform::Rect all{0, 0, 100, 50};

    EXPECT_TRUE(platform::is_empty(platform::update_client(window, source, all)));
    EXPECT_TRUE(clock.presented_parts.empty());

    source.set_pixel(10, 20, platform::kBlack);
    source.set_pixel(40, 30, platform::kBlack);
    const platform::Rect changed = platform::update_client(window, source, all);
    EXPECT_EQ(changed.left, 10);
    EXPECT_EQ(changed.top, 20);
    EXPECT_EQ(changed.right, 41);
    EXPECT_EQ(changed.bottom, 31);
    ASSERT_EQ(clock.presented_parts.size(), 1u);
    EXPECT_EQ(clock.presented_parts[0].left, 10);
    EXPECT_EQ(clock.presented_parts[0].bottom, 31);
    EXPECT_EQ(window->client.pixels(), source.pixels());
    EXPECT_EQ(clock.whole_presents, wholes);

    platform::begin_paint(window);
    source.set_pixel(0, 0, platform::kBlack);
    EXPECT_FALSE(platform::is_empty(platform::update_client(window, source, all)));
    EXPECT_EQ(clock.presented_parts.size(), 1u);
    platform::end_paint(window);
    EXPECT_EQ(clock.whole_presents, wholes + 1);
    EXPECT_EQ(window->client.pixel(0, 0), platform::kBlack);

    // Outside the area nothing is taken.
    source.set_pixel(99, 49, platform::kBlack);
    EXPECT_TRUE(platform::is_empty(platform::update_client(window, source, {0, 0, 99, 49})));
    EXPECT_EQ(window->client.pixel(99, 49), platform::kWhite);
    EXPECT_TRUE(platform::is_empty(platform::update_client(nullptr, source, all)));
}

// ---- the library's windows and commands ----

bool checked(uint32_t id) {
    const int previous = platform::check_menu_item(kanvo.windows.run_menu, id, false);
    if (previous > 0) platform::check_menu_item(kanvo.windows.run_menu, id, true);
    return previous > 0;
}

TEST(LibraryWindows, OpenCreatesBothWindowsWithTheRunMenu) {
    open_headless();
    ASSERT_NE(kanvo.windows.draw_window, nullptr);
    ASSERT_NE(kanvo.windows.text_window, nullptr);
    EXPECT_EQ(kanvo.windows.draw_window->title, "KANVO Graphics");
    EXPECT_EQ(kanvo.windows.draw_window->class_name, "DrawWndClass");
    EXPECT_EQ(kanvo.windows.text_window->title, "KANVO Text");
    EXPECT_EQ(kanvo.windows.text_window->class_name, "TextWndClass");
    EXPECT_EQ(kanvo.windows.text_window->outer_height, 1080 / 3);
    EXPECT_EQ(kanvo.windows.text_window->y, 550);
    EXPECT_TRUE(kanvo.windows.draw_window->visible);
    EXPECT_TRUE(kanvo.windows.text_window->visible);

    ASSERT_NE(kanvo.windows.draw_window->menu, nullptr);
    const auto &bar = kanvo.windows.draw_window->menu->items();
    ASSERT_EQ(bar.size(), 1u);
    EXPECT_EQ(bar[0].text, "&Run");
    EXPECT_EQ(bar[0].popup.get(), kanvo.windows.run_menu);
    const auto &items = kanvo.windows.run_menu->items();
    ASSERT_EQ(items.size(), 16u);
    EXPECT_EQ(items[0].text, "&Animate\tCtrl+A");
    EXPECT_EQ(items[2].text, "Advance one &frame\tCtrl+F");
    EXPECT_EQ(items[4].text, "&Logging\tCtrl+L");
    EXPECT_EQ(items[8].text, "Play &One Script\tCtrl+O");
    EXPECT_EQ(items[10].text, "&Quit\tCtrl+Q");
    EXPECT_EQ(items[10].id, uint32_t(KANVO_CMD_QUIT));
    for (int separator : {3, 5, 9, 11}) {
        EXPECT_EQ(items[separator].flags, platform::menu_flag::separator) << separator;
    }
    int grayed = 0;
    for (const auto &item : items) {
        if (item.flags & platform::menu_flag::grayed) {
            ++grayed;
            EXPECT_EQ(item.id, uint32_t(KANVO_CMD_INFO));
        }
    }
    EXPECT_EQ(grayed, 4);
    EXPECT_EQ(items[13].text.rfind("MAC: ", 0), 0u);
    EXPECT_EQ(items[14].text.rfind("WINDOWS: ", 0), 0u);
    EXPECT_EQ(items[15].text.rfind("UPDATES: ", 0), 0u);

    // Only logging is checked after opening; KANVO_logging(0) removes that mark too.
    for (uint32_t id = 1; id <= 8; ++id) EXPECT_EQ(checked(id), id == KANVO_CMD_LOGGING) << id;
    KANVO_logging(0);
    for (uint32_t id = 1; id <= 8; ++id) EXPECT_FALSE(checked(id)) << id;
}

TEST(LibraryWindows, OriginIsTheCentreOfTheClientArea) {
    auto &headless = open_headless();
    EXPECT_EQ(kanvo.windows.draw_window->client.width(), 585);
    EXPECT_EQ(kanvo.windows.draw_window->client.height(), 481);
    EXPECT_EQ(kanvo.windows.origin_x, 292);
    EXPECT_EQ(kanvo.windows.origin_y, 240);

    headless.click(kanvo.windows.draw_window, kanvo.windows.origin_x, kanvo.windows.origin_y);
    Event centre = await_event();
    EXPECT_EQ(centre.kind, KANVO_MOUSE);
    EXPECT_EQ(centre.x, 0);
    EXPECT_EQ(centre.y, 0);
    headless.click(kanvo.windows.draw_window, kanvo.windows.origin_x + 1, kanvo.windows.origin_y - 1);
    Event above = await_event();
    EXPECT_EQ(above.x, 1);
    EXPECT_EQ(above.y, 1);

    headless.resize(kanvo.windows.draw_window, 401, 300);
    headless.click(kanvo.windows.draw_window, 0, 0);
    Event corner = await_event();
    EXPECT_EQ(kanvo.windows.origin_x, 200);
    EXPECT_EQ(kanvo.windows.origin_y, 150);
    EXPECT_EQ(corner.x, -200);
    EXPECT_EQ(corner.y, 150);
}

TEST(LibraryWindows, PlainKeysAreEventsAndCtrlKeysAreCommands) {
    auto &headless = open_headless();
    headless.type(kanvo.windows.draw_window, "a");
    Event key = await_event();
    EXPECT_EQ(key.kind, KANVO_KBD);
    EXPECT_EQ(key.key, 'a');
    EXPECT_EQ(kanvo.events.animation_running, 0);

    // Ctrl+A starts the animation and gives no key event: the next one is periodic.
    headless.ctrl_key(kanvo.windows.draw_window, 'a');
    EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    EXPECT_EQ(kanvo.events.animation_running, 1);

    // With Shift held as well: Ctrl+Shift+H halts (after the event armed by Ctrl's
    // key-down), Ctrl+Shift+A runs again; their control characters are dropped.
    headless.ctrl_key(kanvo.windows.draw_window, 'h', true);
    EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    EXPECT_EQ(kanvo.events.animation_running, 0);
    headless.ctrl_key(kanvo.windows.draw_window, 'a', true);
    EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    EXPECT_EQ(kanvo.events.animation_running, 1);

    // Only letters are shortcuts: the codes 97 to 122 are the keypad's and F1 to F11's.
    headless.ctrl_key(kanvo.windows.draw_window, 'h');
    EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    ASSERT_EQ(kanvo.events.animation_running, 0);
    for (uint32_t code : {platform::vk::numpad0 + 1, platform::vk::f1 + 1, platform::vk::f1 + 2}) {
        headless.key_down(kanvo.windows.draw_window, platform::vk::control, 0);
        headless.key_down(kanvo.windows.draw_window, code, 0);
        headless.key_up(kanvo.windows.draw_window, code);
        headless.key_up(kanvo.windows.draw_window, platform::vk::control);
    }
    headless.click(kanvo.windows.draw_window, 3, 3);
    EXPECT_EQ(await_event().kind, KANVO_MOUSE) << "Ctrl+F2 (113, 'q') did not quit";
    EXPECT_EQ(kanvo.events.animation_running, 0) << "Ctrl+Numpad1 (97, 'a') did not animate";
    EXPECT_EQ(kanvo.script.recording_on, 0) << "Ctrl+F3 (114, 'r') did not record";
}

TEST(LibraryWindows, CtrlLetterStaysAShortcutWhenItsKeysArriveTogether) {
    open_headless();
    // A busy program finds the whole Ctrl+A, releases included, waiting in the queue.
    platform::post_message(kanvo.windows.draw_window, msg::key_down, platform::vk::control, platform::key_lparam(0, false));
    platform::post_message(kanvo.windows.draw_window, msg::key_down, 'A', platform::key_lparam(1, false, true));
    platform::post_message(kanvo.windows.draw_window, msg::key_up, 'A', platform::key_lparam(1, false, true));
    platform::post_message(kanvo.windows.draw_window, msg::key_up, platform::vk::control, platform::key_lparam(0, false));
    EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    EXPECT_EQ(kanvo.events.animation_running, 1);
    EXPECT_EQ(kanvo.windows.ctrl_down, 0);
}

TEST(LibraryWindows, KeysTypedInTheTextWindowActInTheDrawingWindow) {
    auto &headless = open_headless();
    headless.type(kanvo.windows.text_window, "z");
    Event key = await_event();
    EXPECT_EQ(key.kind, KANVO_KBD);
    EXPECT_EQ(key.key, 'z');

    headless.ctrl_key(kanvo.windows.text_window, 'l');
    headless.ctrl_key(kanvo.windows.text_window, 'f');
    EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    EXPECT_EQ(kanvo.events.logging_on, 0);
    EXPECT_FALSE(checked(KANVO_CMD_LOGGING));
    EXPECT_TRUE(kanvo.windows.text_window->visible);  // the toggle does not hide the window
}

TEST(LibraryWindows, CtrlCountsOnlyWhileItIsHeld) {
    auto &headless = open_headless();
    headless.key_down(kanvo.windows.draw_window, platform::vk::control, 0);
    // Ctrl goes up outside the library's windows: no key-up, but the next keys say so.
    headless.key_up_elsewhere(platform::vk::control);
    headless.type(kanvo.windows.draw_window, "a");
    Event a = await_event();
    EXPECT_EQ(a.kind, KANVO_KBD);
    EXPECT_EQ(a.key, 'a');
    EXPECT_EQ(kanvo.events.animation_running, 0);
    EXPECT_EQ(kanvo.windows.ctrl_down, 0);
    headless.type(kanvo.windows.draw_window, "r");
    EXPECT_EQ(await_event().key, 'r');
    EXPECT_EQ(kanvo.script.recording_on, 0);
    headless.type(kanvo.windows.text_window, "q");
    EXPECT_EQ(await_event().kind, KANVO_KBD);

    // Losing the focus lets go of Ctrl too, in either window.
    for (platform::Window *window : {kanvo.windows.draw_window, kanvo.windows.text_window}) {
        headless.key_down(window, platform::vk::control, 0);
        headless.focus_lost(window);
        headless.key_up_elsewhere(platform::vk::control);
        headless.click(kanvo.windows.draw_window, 1, 1);
        EXPECT_EQ(await_event().kind, KANVO_MOUSE);
        EXPECT_EQ(kanvo.windows.ctrl_down, 0);
    }
}

TEST(LibraryWindows, EveryRepeatedKeyDownCounts) {
    auto &headless = open_headless();
    headless.key_down(kanvo.windows.draw_window, platform::vk::control, 0);
    headless.key_down(kanvo.windows.draw_window, 'L', 12);
    for (int repeat = 0; repeat < 4; ++repeat) headless.key_down(kanvo.windows.draw_window, 'L', 12, true);
    headless.key_up(kanvo.windows.draw_window, 'L');
    headless.key_up(kanvo.windows.draw_window, platform::vk::control);
    headless.type(kanvo.windows.draw_window, "x");
    EXPECT_EQ(await_event().key, 'x');
    EXPECT_EQ(kanvo.events.logging_on, 0);  // five toggles
    EXPECT_FALSE(checked(KANVO_CMD_LOGGING));
}

TEST(LibraryWindows, GrayedLinesAndUnknownCommandsDoNothing) {
    auto &headless = open_headless();
    EXPECT_FALSE(headless.menu_command(kanvo.windows.draw_window, KANVO_CMD_INFO));
    EXPECT_FALSE(headless.menu_command(kanvo.windows.draw_window, 42));
    EXPECT_EQ(headless.queued_input(), 0u);

    // Command ids that arrive anyway (not from this menu) change nothing either.
    for (uintptr_t id : {uintptr_t(0), uintptr_t(9), uintptr_t(10), ~uintptr_t(0)}) {
        platform::post_message(kanvo.windows.draw_window, msg::command, id, 0);
    }
    headless.type(kanvo.windows.draw_window, "k");
    EXPECT_EQ(await_event().kind, KANVO_KBD);
    EXPECT_EQ(kanvo.events.animation_running, 0);
    EXPECT_EQ(kanvo.events.step_pending, 0);
    EXPECT_EQ(kanvo.events.logging_on, 1);
    EXPECT_EQ(kanvo.script.recording_on, 0);
    EXPECT_EQ(kanvo.script.playback_on, 0);
    EXPECT_EQ(kanvo.script.play_one_pending, 0);
}

// Three ways to end the program; each ends the queue, so each needs a process of its own.
class EndOfQueue : public testing::TestWithParam<int> {};

TEST_P(EndOfQueue, GivesQuit) {
    auto &headless = open_headless();
    KANVO_animate(KANVO_ANIMATE_RUN);
    ASSERT_EQ(await_event().kind, KANVO_PERIODIC);
    switch (GetParam()) {
    case 0: headless.close_box(kanvo.windows.draw_window); break;
    case 1: headless.menu_command(kanvo.windows.draw_window, KANVO_CMD_QUIT); break;
    default: headless.ctrl_key(kanvo.windows.draw_window, 'q'); break;
    }
    Event end = await_event();
    EXPECT_EQ(end.kind, KANVO_QUIT);
    EXPECT_EQ(end.x, 0);
    EXPECT_EQ(end.key, 0);
    EXPECT_EQ(kanvo.windows.draw_window->destroyed, GetParam() == 0);
    EXPECT_EQ(await_event().kind, KANVO_QUIT);  // and keeps reporting the end
}

INSTANTIATE_TEST_SUITE_P(CloseBoxMenuAndShortcut, EndOfQueue, testing::Values(0, 1, 2));

TEST(LibraryWindows, PaintCoversTheWholeClientAreaOfAResizedWindow) {
    auto &headless = open_headless();
    KANVO_clear();
    KANVO_circle(KANVO_RED, 0, 0, 20);
    headless.resize(kanvo.windows.draw_window, 700, 620);  // larger than the surface, from outside
    headless.click(kanvo.windows.draw_window, 1, 1);
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    // What an earlier picture left on the window beyond the surface goes at the next paint.
    std::unique_ptr<platform::DrawingContext> dc = platform::get_dc(kanvo.windows.draw_window);
    dc->fill_rect(0, 0, 700, 620, palette_pixel(KANVO_NAVY_BLUE));
    platform::invalidate(kanvo.windows.draw_window);
    headless.click(kanvo.windows.draw_window, 1, 1);
    ASSERT_EQ(await_event().kind, KANVO_MOUSE);
    const platform::Bitmap &client = kanvo.windows.draw_window->client;
    for (int y = 0; y < client.height(); ++y) {
        for (int x = 0; x < client.width(); ++x) {
            const bool on_surface = x < kSurfaceWidth && y < kSurfaceHeight;
            ASSERT_EQ(client.pixel(x, y), on_surface ? surface_pixels().pixel(x, y) : platform::kWhite)
                << x << "," << y;
        }
    }
}

TEST(LibraryWindows, SecondOpenChangesNothingAndSaysSo) {
    auto &headless = open_headless();
    platform::Window *first = kanvo.windows.draw_window;
    EXPECT_EQ(KANVO_open(nullptr, nullptr, "", KANVO_SHOW_NORMAL), 1);
    EXPECT_EQ(kanvo.windows.draw_window, first);
    EXPECT_EQ(log_lines().back(), "KANVO_open: the library is already open; nothing changed\n");
    // One timer, not two: a periodic event every second tick of 50 ms as before.
    KANVO_animate(KANVO_ANIMATE_RUN);
    await_event();
    const int64_t start = headless.now_ms();
    for (int i = 0; i < 4; ++i) ASSERT_EQ(await_event().kind, KANVO_PERIODIC);
    EXPECT_EQ(headless.now_ms() - start, 400);
}

TEST(LibraryWindows, CloseKeepsTheWindowsAndStopsCopying) {
    open_headless();
    KANVO_clear();
    ASSERT_EQ(KANVO_close(), 1);
    KANVO_circle(KANVO_RED, 0, 0, 10);
    EXPECT_EQ(KANVO_animate(KANVO_ANIMATE_STEP), 1);  // the library stays open
    EXPECT_EQ(await_event().kind, KANVO_PERIODIC);
    EXPECT_NE(kanvo.windows.draw_window->client.pixel(kanvo.windows.origin_x, kanvo.windows.origin_y), palette_pixel(KANVO_RED));
}

}  // namespace
