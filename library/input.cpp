// Input for games, asked for with KANVO_listen: keys going down and up, the pointer's
// motion, every button and the wheel as events of their own; the held keys, buttons and
// pointer as those events told them; and a steady tick rate. A program that never asks
// gets exactly the four usual events, at the usual rhythm.
#include <cstring>

#include "kanvo_internal.h"

namespace msg = platform::msg;

namespace {

constexpr uint32_t kTimerId = 2;  // the drawing window's animation timer
constexpr uint32_t kTimerPeriodMs = 50;
constexpr int kMaxTickRate = 100;
constexpr int kAllKinds =
    KANVO_LISTEN_KEYS | KANVO_LISTEN_MOTION | KANVO_LISTEN_BUTTONS | KANVO_LISTEN_WHEEL;

InputState &input() { return kanvo.input; }

bool library_open() { return kanvo.windows.draw_window != nullptr; }

bool listens(int kinds) { return (input().listening & kinds) != 0; }

int button_bit(int button) { return button == KANVO_BUTTON_MIDDLE ? 4 : button; }

// Client pixels to library coordinates, and back.
int library_x(int client_x) { return client_x - kanvo.windows.origin_x; }
int library_y(int client_y) { return kanvo.windows.origin_y - client_y; }

void set_pending(int kind, intptr_t lparam) {
    kanvo.events.pending_kind = kind;
    kanvo.events.pending_x = library_x(platform::lparam_x(lparam));
    kanvo.events.pending_y = library_y(platform::lparam_y(lparam));
}

bool over_drawing_area(intptr_t lparam) {
    const platform::Rect client = platform::client_rect(kanvo.windows.draw_window);
    const int x = platform::lparam_x(lparam), y = platform::lparam_y(lparam);
    return x >= client.left && x < client.right && y >= client.top && y < client.bottom;
}

void skip_message() { input().message_skipped = 1; }

void button_down(int button, intptr_t lparam) {
    if (!listens(KANVO_LISTEN_BUTTONS)) return skip_message();
    set_pending(KANVO_MOUSE, lparam);
    input().pending_button = button;
}

// Only a button the program saw go down comes up: one pressed before it listened, or
// released twice (a lost focus releases it too), gives nothing.
void button_up(int button, intptr_t lparam) {
    if (!listens(KANVO_LISTEN_BUTTONS) || !(input().buttons_held & button_bit(button)))
        return skip_message();
    set_pending(KANVO_MOUSE_UP, lparam);
    input().pending_button = button;
}

void mouse_moved(intptr_t lparam) {
    if (!listens(KANVO_LISTEN_MOTION) || !over_drawing_area(lparam)) return skip_message();
    set_pending(KANVO_MOUSE_MOVE, lparam);
}

// Fine-grained wheels report parts of a step; they add up to whole steps.
void wheel_turned(uintptr_t wparam, intptr_t lparam) {
    if (!listens(KANVO_LISTEN_WHEEL) || !over_drawing_area(lparam)) return skip_message();
    const int total = input().wheel_rest + platform::wheel_distance(wparam);
    const int steps = total / platform::wheel_delta;
    input().wheel_rest = total - steps * platform::wheel_delta;
    if (steps == 0) return skip_message();
    set_pending(KANVO_WHEEL, lparam);
    input().pending_wheel = steps;
}

void tell_backend() {
    uint32_t wanted = 0;
    if (listens(KANVO_LISTEN_MOTION)) wanted |= platform::input_wanted::motion;
    if (listens(KANVO_LISTEN_BUTTONS)) wanted |= platform::input_wanted::buttons;
    if (listens(KANVO_LISTEN_KEYS)) wanted |= platform::input_wanted::keys;
    if (listens(KANVO_LISTEN_WHEEL)) wanted |= platform::input_wanted::wheel;
    platform::set_input_wanted(kanvo.windows.draw_window, wanted);
}

// Reads "(n)" or "(x, y)" or "(x, y, n)" after the line's word.
bool scan_numbers(const char *line, int count, int *values) {
    size_t position = 6;
    for (int i = 0; i < count; ++i) {
        if (!scan_script_number(line, &position, true, &values[i])) return false;
    }
    return true;
}

}  // namespace

// ---- the window procedure's side ----------------------------------------------------

bool input_message(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
    case msg::mouse_move: mouse_moved(lparam); return true;
    case msg::left_button_up: button_up(KANVO_BUTTON_LEFT, lparam); return true;
    case msg::right_button_down: button_down(KANVO_BUTTON_RIGHT, lparam); return true;
    case msg::right_button_up: button_up(KANVO_BUTTON_RIGHT, lparam); return true;
    case msg::middle_button_down: button_down(KANVO_BUTTON_MIDDLE, lparam); return true;
    case msg::middle_button_up: button_up(KANVO_BUTTON_MIDDLE, lparam); return true;
    case msg::mouse_wheel: wheel_turned(wparam, lparam); return true;
    default: return false;
    }
}

void input_key_down(uintptr_t key) {
    if (!listens(KANVO_LISTEN_KEYS) || key == 0 || key > 255) return;
    kanvo.events.pending_kind = KANVO_KEY_DOWN;
    input().pending_code = int(key);
}

// A key the program did not see go down (Ctrl with a letter, a key pressed before it
// listened, one a lost focus released already) gives nothing.
void input_key_up(uintptr_t key) {
    if (!listens(KANVO_LISTEN_KEYS)) return;
    if (key == 0 || key > 255 || !input().keys_held[key]) return skip_message();
    kanvo.events.pending_kind = KANVO_KEY_UP;
    input().pending_code = int(key);
}

// Keys and buttons let go while another window has the keyboard never reach us: they are
// released now, through the queue, so that the program sees them come up and a recording
// holds the releases.
void input_focus_lost() {
    platform::Window *window = kanvo.windows.draw_window;
    if (!window) return;
    for (uint32_t key = 1; key < 256; ++key) {
        if (input().keys_held[key])
            platform::post_message(window, msg::key_up, key, platform::key_lparam(0, true));
    }
    const intptr_t at = platform::xy_lparam(kanvo.windows.origin_x + input().mouse_x,
                                            kanvo.windows.origin_y - input().mouse_y);
    const int held = input().buttons_held;
    if (held & 1) platform::post_message(window, msg::left_button_up, 0, at);
    if (held & 2) platform::post_message(window, msg::right_button_up, 0, at);
    if (held & 4) platform::post_message(window, msg::middle_button_up, 0, at);
}

// ---- the event wait's side ---------------------------------------------------------

void input_reset_pending() {
    input().pending_code = 0;
    input().pending_button = 0;
    input().pending_wheel = 0;
    input().message_skipped = 0;
}

bool input_take_skipped() {
    const bool skipped = input().message_skipped != 0;
    input().message_skipped = 0;
    return skipped;
}

// The held keys, buttons and pointer follow the events handed out, live or played back.
void input_event_returned() {
    const EventState &e = kanvo.events;
    InputState &in = input();
    switch (e.pending_kind) {
    case KANVO_KEY_DOWN: in.keys_held[in.pending_code & 0xFF] = 1; break;
    case KANVO_KEY_UP: in.keys_held[in.pending_code & 0xFF] = 0; break;
    case KANVO_MOUSE:
        if (listens(KANVO_LISTEN_BUTTONS)) in.buttons_held |= button_bit(in.pending_button);
        break;
    case KANVO_MOUSE_UP: in.buttons_held &= ~button_bit(in.pending_button); break;
    case KANVO_MOUSE_MOVE:
    case KANVO_WHEEL: break;
    default: return;
    }
    if (e.pending_kind != KANVO_KEY_DOWN && e.pending_kind != KANVO_KEY_UP) {
        in.mouse_x = e.pending_x;
        in.mouse_y = e.pending_y;
    }
}

// ---- script lines ------------------------------------------------------------------

int input_format_line(char *line, size_t size, int kind, int x, int y) {
    const InputState &in = input();
    switch (kind) {
    case KANVO_MOUSE:
        // A left press keeps the usual mouse line, which every reader plays.
        if (in.pending_button <= KANVO_BUTTON_LEFT) return 0;
        return std::snprintf(line, size, "KANVO_BUTTON(%d, %d, %d);\n", x, y, in.pending_button);
    case KANVO_KEY_DOWN: return std::snprintf(line, size, "KANVO_DOWN(%d);\n", in.pending_code);
    case KANVO_KEY_UP: return std::snprintf(line, size, "KANVO_UP(%d);\n", in.pending_code);
    case KANVO_MOUSE_MOVE: return std::snprintf(line, size, "KANVO_CURSOR(%d, %d);\n", x, y);
    case KANVO_MOUSE_UP:
        return std::snprintf(line, size, "KANVO_RELEASE(%d, %d, %d);\n", x, y, in.pending_button);
    case KANVO_WHEEL:
        return std::snprintf(line, size, "KANVO_WHEEL(%d, %d, %d);\n", x, y, in.pending_wheel);
    default: return 0;
    }
}

ScriptLine input_read_line(const char *line) {
    int v[3] = {0, 0, 0};
    EventState &e = kanvo.events;
    InputState &in = input();
    switch (line[6]) {
    case 'D':
    case 'U':
        if (!scan_numbers(line, 1, v) || v[0] < 1 || v[0] > 255) return ScriptLine::unknown;
        if (!listens(KANVO_LISTEN_KEYS)) return ScriptLine::passed_over;
        e.pending_kind = line[6] == 'D' ? KANVO_KEY_DOWN : KANVO_KEY_UP;
        in.pending_code = v[0];
        return ScriptLine::played;
    case 'C':
        if (!scan_numbers(line, 2, v)) return ScriptLine::unknown;
        if (!listens(KANVO_LISTEN_MOTION)) return ScriptLine::passed_over;
        e.pending_kind = KANVO_MOUSE_MOVE;
        break;
    case 'B':
    case 'R':
        if (!scan_numbers(line, 3, v) || v[2] < KANVO_BUTTON_LEFT || v[2] > KANVO_BUTTON_MIDDLE)
            return ScriptLine::unknown;
        if (!listens(KANVO_LISTEN_BUTTONS)) return ScriptLine::passed_over;
        e.pending_kind = line[6] == 'B' ? KANVO_MOUSE : KANVO_MOUSE_UP;
        in.pending_button = v[2];
        break;
    case 'W':
        if (!scan_numbers(line, 3, v)) return ScriptLine::unknown;
        if (!listens(KANVO_LISTEN_WHEEL)) return ScriptLine::passed_over;
        e.pending_kind = KANVO_WHEEL;
        in.pending_wheel = v[2];
        break;
    default: return ScriptLine::unknown;
    }
    e.pending_x = v[0];
    e.pending_y = v[1];
    return ScriptLine::played;
}

// ---- the calls -----------------------------------------------------------------------

int KANVO_listen(int kinds) {
    if (!library_open()) return 0;
    InputState &in = input();
    in.listening = kinds & kAllKinds;
    // What the program no longer listens for can no longer come up.
    if (!listens(KANVO_LISTEN_KEYS)) std::memset(in.keys_held, 0, sizeof in.keys_held);
    if (!listens(KANVO_LISTEN_BUTTONS)) in.buttons_held = 0;
    if (!listens(KANVO_LISTEN_WHEEL)) in.wheel_rest = 0;
    tell_backend();
    return 1;
}

int KANVO_event_key(void) { return input().pending_code; }
int KANVO_event_button(void) { return input().pending_button; }
int KANVO_event_wheel(void) { return input().pending_wheel; }

int KANVO_key_down(int code) {
    if (code < 1 || code > 255) return 0;
    return input().keys_held[code];
}

int KANVO_mouse(int *x, int *y) {
    if (x) *x = input().mouse_x;
    if (y) *y = input().mouse_y;
    return input().buttons_held;
}

int KANVO_tick_rate(int per_second) {
    if (!library_open()) return 0;
    if (per_second < 0 || per_second > kMaxTickRate) {
        log_printf("KANVO_tick_rate: %d ticks a second is impossible; use 1 to %d, or 0 "
                   "for the usual rhythm\n",
                   per_second, kMaxTickRate);
        return 0;
    }
    input().tick_rate = per_second;
    if (per_second > 0)
        platform::set_timer_rate(kanvo.windows.draw_window, kTimerId, uint32_t(per_second));
    else
        platform::set_timer(kanvo.windows.draw_window, kTimerId, kTimerPeriodMs);
    return 1;
}
