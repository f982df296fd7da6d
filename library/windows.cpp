// Opening and closing the library: the drawing and text windows, their procedures, the
// "&Run" menu, the Ctrl-key shortcuts and the 50 ms animation timer. The procedures only
// set library state; the event wait turns that state into events.
#include "kanvo_internal.h"
#include "platform/run/run_protocol.h"

namespace msg = platform::msg;

namespace {

constexpr uint32_t kTimerId = 2;
constexpr uint32_t kTimerPeriodMs = 50;
constexpr int kTextWindowTop = 550;

struct MenuLine {
    const char *text;
    uint32_t id;
    uint32_t flags;
};

constexpr uint32_t kSeparator = platform::menu_flag::separator;
constexpr uint32_t kGrayed = platform::menu_flag::grayed;

const MenuLine kRunMenu[] = {
    {"&Animate\tCtrl+A", KANVO_CMD_ANIMATE, 0},
    {"&Halt animation\tCtrl+H", KANVO_CMD_HALT, 0},
    {"Advance one &frame\tCtrl+F", KANVO_CMD_STEP, 0},
    {"", 0, kSeparator},
    {"&Logging\tCtrl+L", KANVO_CMD_LOGGING, platform::menu_flag::checked},
    {"", 0, kSeparator},
    {"&Record Script\tCtrl+R", KANVO_CMD_RECORD, 0},
    {"&Playback Script\tCtrl+P", KANVO_CMD_PLAYBACK, 0},
    {"Play &One Script\tCtrl+O", KANVO_CMD_PLAY_ONE, 0},
    {"", 0, kSeparator},
    {"&Quit\tCtrl+Q", KANVO_CMD_QUIT, 0},
    {"", 0, kSeparator},
    {"KANVO graphics library", KANVO_CMD_INFO, kGrayed},
    {"MAC: kanvo-mac@kanvo.dev", KANVO_CMD_INFO, kGrayed},
    {"WINDOWS: kanvo-windows@kanvo.dev", KANVO_CMD_INFO, kGrayed},
    {"UPDATES: updates@kanvo.dev", KANVO_CMD_INFO, kGrayed},
};

// Shortcut letters, matched by their key codes (65 to 90). The codes of the lower-case
// letters belong to the keypad and F1 to F11, which are no shortcuts.
struct Shortcut {
    char letter;
    int command;
};

const Shortcut kShortcuts[] = {
    {'A', KANVO_CMD_ANIMATE},  {'H', KANVO_CMD_HALT},     {'F', KANVO_CMD_STEP},
    {'L', KANVO_CMD_LOGGING},  {'R', KANVO_CMD_RECORD},   {'P', KANVO_CMD_PLAYBACK},
    {'O', KANVO_CMD_PLAY_ONE}, {'Q', KANVO_CMD_QUIT},
};

void build_run_menu(platform::Window *window) {
    auto popup = std::make_unique<platform::Menu>();
    for (const MenuLine &line : kRunMenu) popup->append(line.flags, line.id, line.text);
    auto bar = std::make_unique<platform::Menu>();
    kanvo.windows.run_menu = bar->append_popup(std::move(popup), "&Run");
    platform::set_menu(window, std::move(bar));
    platform::draw_menu_bar(window);
}

// A client area larger than the surface (the window resized from outside) gets the
// window's background around the surface, so a paint leaves nothing of an earlier picture.
void paint_drawing_window(platform::Window *window) {
    platform::begin_paint(window);
    copy_surface_to_window();
    const platform::Rect client = platform::client_rect(window);
    if (kanvo.windows.window_dc) {
        const platform::Pixel background = window->background;
        platform::DrawingContext &dc = *kanvo.windows.window_dc;
        dc.fill_rect(kSurfaceWidth, 0, client.right, client.bottom, background);
        dc.fill_rect(0, kSurfaceHeight, kSurfaceWidth, client.bottom, background);
    }
    platform::end_paint(window);
    kanvo.surface.surface_dirty = 0;
}

void set_origin(platform::Window *window) {
    const platform::Rect client = platform::client_rect(window);
    kanvo.windows.origin_x = client.left + (client.right - client.left) / 2;
    kanvo.windows.origin_y = client.top + (client.bottom - client.top) / 2;
}

void toggle_logging() {
    kanvo.events.logging_on = kanvo.events.logging_on ? 0 : 1;
    const bool logging = kanvo.events.logging_on != 0;
    platform::check_menu_item(kanvo.windows.run_menu, KANVO_CMD_LOGGING, logging);
}

int shortcut_command(uintptr_t key) {
    for (const Shortcut &shortcut : kShortcuts) {
        if (key == uintptr_t(shortcut.letter)) return shortcut.command;
    }
    return 0;
}

// Every key message says whether Ctrl is held, so a Ctrl released while neither window
// had the focus does not stay down.
void follow_ctrl(uintptr_t key, intptr_t lparam, bool down) {
    if (key == platform::vk::control)
        kanvo.windows.ctrl_down = down ? 1 : 0;
    else
        kanvo.windows.ctrl_down = platform::key_ctrl_held(lparam) ? 1 : 0;
}

void handle_key_down(uintptr_t key, intptr_t lparam) {
    follow_ctrl(key, lparam, true);
    const bool shortcut_letter = kanvo.windows.ctrl_down && key >= 'A' && key <= 'Z';
    if (!shortcut_letter) input_key_down(key);
    if (key == platform::vk::control || !kanvo.windows.ctrl_down) return;
    if (const int command = shortcut_command(key)) run_command(uintptr_t(command));
}

void handle_left_button(intptr_t lparam) {
    const int client_x = int(uint32_t(lparam) & 0xFFFFu);
    const int client_y = int((uint32_t(lparam) >> 16) & 0xFFFFu);
    kanvo.events.pending_kind = KANVO_MOUSE;
    kanvo.events.pending_x = client_x - kanvo.windows.origin_x;
    kanvo.events.pending_y = kanvo.windows.origin_y - client_y;
    kanvo.input.pending_button = KANVO_BUTTON_LEFT;
}

void register_classes() {
    const platform::Pixel white = palette_pixel(KANVO_WHITE);
    platform::register_class({"DrawWndClass", draw_window_procedure, white});
    platform::register_class({"TextWndClass", text_window_procedure, white});
}

}  // namespace

void post_quit() {
    kanvo.windows.quit_posted = 1;
    platform::post_quit_message(0);
}

// A frame repainted whole usually changes a few pixels: only those are written and shown.
void copy_surface_to_window() {
    if (kanvo.windows.window_dc && kanvo.surface.surface_bitmap) {
        platform::update_client(kanvo.windows.draw_window, surface_pixels(),
                                platform::Rect{0, 0, kSurfaceWidth, kSurfaceHeight});
    }
}

void run_command(uintptr_t id) {
    switch (id) {
    case KANVO_CMD_ANIMATE: kanvo.events.animation_running = 1; break;
    case KANVO_CMD_HALT: kanvo.events.animation_running = 0; break;
    case KANVO_CMD_STEP:
        kanvo.events.animation_running = 0;
        kanvo.events.step_pending = 1;
        break;
    case KANVO_CMD_LOGGING: toggle_logging(); break;
    case KANVO_CMD_RECORD: toggle_recording(); break;
    case KANVO_CMD_PLAYBACK: toggle_playback(); break;
    case KANVO_CMD_PLAY_ONE: play_one(); break;
    case KANVO_CMD_QUIT: post_quit(); break;
    default: break;
    }
}

intptr_t draw_window_procedure(platform::Window *window, uint32_t message, uintptr_t wparam,
                               intptr_t lparam) {
    switch (message) {
    case msg::create: build_run_menu(window); return 0;
    case msg::destroy:
        platform::kill_timer(window, kTimerId);
        post_quit();
        return 0;
    case msg::size: set_origin(window); return 0;
    case msg::paint: paint_drawing_window(window); return 0;
    case msg::key_down: handle_key_down(wparam, lparam); return 0;
    case msg::key_up:
        follow_ctrl(wparam, lparam, false);
        input_key_up(wparam);
        return 0;
    case msg::kill_focus:
        kanvo.windows.ctrl_down = 0;
        input_focus_lost();
        return 0;
    case msg::character:
        if (!kanvo.windows.ctrl_down) {
            kanvo.events.pending_kind = KANVO_KBD;
            kanvo.events.pending_key = char(wparam & 0xFFu);
        }
        return 0;
    case msg::command: run_command(wparam); return 0;
    case msg::timer: kanvo.events.tick_pending = 1; return 0;
    case msg::left_button_down: handle_left_button(lparam); return 0;
    default:
        if (input_message(message, wparam, lparam)) return 0;
        return platform::default_window_procedure(window, message, wparam, lparam);
    }
}

intptr_t text_window_procedure(platform::Window *window, uint32_t message, uintptr_t wparam,
                               intptr_t lparam) {
    switch (message) {
    case msg::paint: paint_text_window(window); return 0;
    case msg::key_down:
    case msg::key_up:
        // Keys typed here act as if typed in the drawing window.
        platform::post_message(kanvo.windows.draw_window, message, wparam, lparam);
        return 0;
    case msg::kill_focus:
        kanvo.windows.ctrl_down = 0;
        input_focus_lost();
        return 0;
    default: return platform::default_window_procedure(window, message, wparam, lparam);
    }
}

int KANVO_open(void *instance, void *previous_instance, const char * /*command_line*/,
               int show) {
    // A second set of windows and timers beside the first would only confuse.
    if (kanvo.windows.draw_window) {
        log_printf("KANVO_open: the library is already open; nothing changed\n");
        return 1;
    }
    if (!previous_instance) register_classes();
    const int screen_height = platform::screen_height();
    kanvo.events.animation_running = 0;
    kanvo.events.step_pending = 0;
    kanvo.windows.draw_window = platform::create_window("DrawWndClass", "KANVO Graphics",
                                          platform::style::caption | platform::style::system_menu,
                                          0, 0, kSurfaceWidth, kSurfaceHeight);
    kanvo.windows.text_window = platform::create_window("TextWndClass", "KANVO Text",
                                          platform::style::overlapped_window, 0, kTextWindowTop,
                                          kSurfaceWidth, screen_height / 3);
    kanvo.windows.program_instance = instance;
    // Without its window classes (registered by a previous instance that does not exist
    // on this platform) the library cannot open.
    if (!kanvo.windows.draw_window) return 0;
    kanvo.windows.window_dc = platform::get_dc(kanvo.windows.draw_window);
    ensure_surface();
    platform::run_shows(kanvo.surface.surface_bitmap.get(), kanvo.windows.draw_window, settle_surface);
    platform::show_window(kanvo.windows.text_window, show);
    platform::show_window(kanvo.windows.draw_window, show);
    platform::set_timer(kanvo.windows.draw_window, kTimerId, kTimerPeriodMs);
    return 1;
}

int KANVO_close(void) {
    kanvo.windows.window_dc.reset();
    // Recording and playback end with the file: a later wait must not reopen it.
    stop_script();
    return 1;
}
