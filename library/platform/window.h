// Windows, their procedures, the message queue, timers and menus: the part of the
// windowing stand-in that the library's event handling is written against. The platform
// owns the queue and the timers; a Backend (backend.h) only shows windows and reports
// what the outside world did.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bitmap.h"
#include "dc.h"

namespace platform {

class Backend;
struct Window;

// Message types.
namespace msg {
constexpr uint32_t create = 1;
constexpr uint32_t destroy = 2;
constexpr uint32_t size = 5;
constexpr uint32_t kill_focus = 8;  // the window lost the keyboard focus
constexpr uint32_t paint = 15;
constexpr uint32_t close = 16;
constexpr uint32_t quit = 18;
constexpr uint32_t key_down = 256;
constexpr uint32_t key_up = 257;
constexpr uint32_t character = 258;
constexpr uint32_t command = 273;
constexpr uint32_t timer = 275;
constexpr uint32_t mouse_move = 512;
constexpr uint32_t left_button_down = 513;
constexpr uint32_t left_button_up = 514;
constexpr uint32_t right_button_down = 516, right_button_up = 517;
constexpr uint32_t middle_button_down = 519, middle_button_up = 520;
constexpr uint32_t mouse_wheel = 522;
}  // namespace msg

// Virtual-key codes (letters are 'A'..'Z' = 65..90 and digits '0'..'9' = 48..57).
namespace vk {
constexpr uint32_t back = 8, tab = 9, enter = 13, shift = 16, control = 17, menu = 18;
constexpr uint32_t escape = 27, space = 32, prior = 33, next = 34, end = 35, home = 36;
constexpr uint32_t left = 37, up = 38, right = 39, down = 40, insert = 45, del = 46;
constexpr uint32_t numpad0 = 96;  // numpad0..numpad9 = 96..105
constexpr uint32_t multiply = 106, add = 107, subtract = 109, decimal = 110, divide = 111;
constexpr uint32_t f1 = 112;      // f1..f12 = 112..123
}  // namespace vk

// Key message parameters: wparam is the virtual-key code; lparam packs the repeat count
// (bits 0-15), the character the key produces (bits 16-23, 0 for none; with Ctrl held a
// letter produces its control character 1..26), whether Ctrl was really held when the key
// went down or up (bit 28: every backend reports it, since a Ctrl released outside the
// program's windows sends no key-up) and whether the key was already down (bit 30, set on
// auto-repeat).
constexpr intptr_t key_lparam(uint32_t character, bool repeat, bool ctrl = false) {
    return intptr_t(1 | ((character & 0xFFu) << 16) | (ctrl ? (1u << 28) : 0u) |
                    (repeat ? (1u << 30) : 0u));
}
constexpr uint32_t key_character(intptr_t lparam) { return uint32_t(lparam >> 16) & 0xFFu; }
constexpr bool key_ctrl_held(intptr_t lparam) { return (uint32_t(lparam) & (1u << 28)) != 0; }

// Packs a client position (mouse messages) or a client size (msg::size): x or width in
// the low 16 bits, y or height in the high 16 bits.
constexpr intptr_t xy_lparam(int x, int y) {
    return intptr_t((uint32_t(x) & 0xFFFFu) | ((uint32_t(y) & 0xFFFFu) << 16));
}

// A client position packed by xy_lparam, each half signed: a button released or the
// pointer moved outside the client area (while a button is held) gives negative values.
constexpr int lparam_x(intptr_t lparam) { return int(int16_t(uint32_t(lparam) & 0xFFFFu)); }
constexpr int lparam_y(intptr_t lparam) { return int(int16_t((uint32_t(lparam) >> 16) & 0xFFFFu)); }

// Mouse message wparam: the buttons held down. A wheel message carries in the high 16 bits
// the signed distance turned, wheel_delta per notch, positive away from the user; its
// lparam is the client position of the pointer.
namespace mouse_flag {
constexpr uintptr_t left_button = 1, right_button = 2, middle_button = 0x10;
}
constexpr int wheel_delta = 120;
constexpr uintptr_t wheel_wparam(int distance, uintptr_t buttons = 0) {
    return uintptr_t((uint32_t(distance) & 0xFFFFu) << 16) | (buttons & 0xFFFFu);
}
constexpr int wheel_distance(uintptr_t wparam) {
    return int(int16_t((uint32_t(wparam) >> 16) & 0xFFFFu));
}

// What a program wants reported beyond the usual input (set_input_wanted): a backend may
// leave unasked input unreported, and lets the program have what it asked for.
namespace input_wanted {
constexpr uint32_t motion = 1;   // pointer motion without a button held
constexpr uint32_t buttons = 2;  // every button (the page keeps its context menu closed)
constexpr uint32_t keys = 4;     // every key (the page keeps arrows and Space from scrolling)
constexpr uint32_t wheel = 8;    // the wheel (the page does not scroll under the window)
}

// Window styles.
namespace style {
constexpr uint32_t caption = 0xC00000;      // title bar (fixed frame unless sizable)
constexpr uint32_t system_menu = 0x080000;  // close box
constexpr uint32_t sizable = 0x040000;      // the user may resize the frame
constexpr uint32_t minimize_box = 0x020000, maximize_box = 0x010000;
constexpr uint32_t overlapped_window = caption | system_menu | sizable | minimize_box | maximize_box;
}  // namespace style

// The frame, caption and menu bar of the platform the library's sizes come from. Every
// backend gives a window the client area its outer size leaves with these, whatever frame
// the real desktop draws around it, so a program's picture and origin are the same
// everywhere: the drawing window (601 by 540, with a menu) shows 585 by 481.
namespace reference_frame {
constexpr int border = 8, caption = 31, menu_bar = 20;
constexpr int client_width(int outer_width) {
    return outer_width - 2 * border > 0 ? outer_width - 2 * border : 0;
}
constexpr int client_height(int outer_height, bool has_menu) {
    return outer_height - caption - border - (has_menu ? menu_bar : 0) > 0
               ? outer_height - caption - border - (has_menu ? menu_bar : 0)
               : 0;
}
}  // namespace reference_frame

// Show modes.
namespace show {
constexpr int hide = 0, normal = 1, show = 5;
}

struct Message {
    Window *window = nullptr;
    uint32_t type = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
};

using WindowProcedure = intptr_t (*)(Window *window, uint32_t message, uintptr_t wparam,
                                     intptr_t lparam);

// Menus: a model of items that the backend shows.
namespace menu_flag {
constexpr uint32_t string = 0, grayed = 1, checked = 8, popup = 0x10, separator = 0x800;
}

class Menu;

struct MenuItem {
    std::string text;              // "&" marks the mnemonic; a tab starts the shortcut text
    uint32_t id = 0;               // command id posted when chosen
    uint32_t flags = 0;            // menu_flag values
    std::unique_ptr<Menu> popup;   // for popup items
};

class Menu {
public:
    void append(uint32_t flags, uint32_t id, const std::string &text);
    // Appends a popup and returns it; the menu owns it from now on.
    Menu *append_popup(std::unique_ptr<Menu> popup, const std::string &text);
    // The first command item with this id, in this menu or its popups (separators and
    // popup items are not commands); nullptr when there is none.
    const MenuItem *find(uint32_t id) const;
    // Sets or clears the check mark of that item. Returns its previous state as
    // menu_flag::checked or 0, or -1 when no item has the id.
    int check(uint32_t id, bool checked);
    // The items and their flags (check marks and graying aside) in one string, popups
    // included: a backend that sees a new string builds a new menu bar, an equal one only
    // refreshes the marks.
    std::string structure() const;
    const std::vector<MenuItem> &items() const { return items_; }

    Window *owner = nullptr;  // the window the bar is attached to, for refreshes

private:
    std::vector<MenuItem> items_;
};

struct WindowClass {
    std::string name;
    WindowProcedure procedure = nullptr;
    Pixel background = kWhite;
};

struct Window {
    std::string class_name;
    std::string title;
    WindowProcedure procedure = nullptr;
    uint32_t style = 0;
    int x = 0, y = 0, outer_width = 0, outer_height = 0;
    Pixel background = kWhite;
    Bitmap client;                 // the client area's pixels, sized by the backend
    std::unique_ptr<Menu> menu;    // the menu bar
    bool visible = false;
    bool shown_once = false;
    bool needs_paint = false;
    bool painting = false;         // between begin_paint and end_paint
    bool destroyed = false;
    void *native = nullptr;        // the backend's own data for this window
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Backend in use. set_backend must come before the first window; without it the first
// use makes the headless one when kanvo-run started the program (run/run_protocol.h),
// else the desktop backend (which, without a display, prints why and exits 1).
void set_backend(std::unique_ptr<Backend> backend);
Backend &backend();
bool has_backend();

// Window classes and windows.
bool register_class(const WindowClass &window_class);
// Creates a window; its procedure receives msg::create before this returns.
// Returns nullptr when the class is not registered.
Window *create_window(const std::string &class_name, const std::string &title, uint32_t style,
                      int x, int y, int width, int height);
// The first show sends msg::size with the client size to the procedure.
void show_window(Window *window, int mode);
void destroy_window(Window *window);  // sends msg::destroy
Rect client_rect(const Window *window);
// Marks the whole client area for repainting: one msg::paint at a later idle fetch.
void invalidate(Window *window);
// Brackets a paint: begin_paint validates the window (fetching its paint message does
// too, so a paint is never repeated endlessly); end_paint has the backend show the result,
// once for everything drawn in between.
void begin_paint(Window *window);
void end_paint(Window *window);
// A drawing context on the window's client pixels; each change is presented by the
// backend, except inside a paint, which end_paint presents as a whole.
std::unique_ptr<DrawingContext> get_dc(Window *window);
// Brings the window's client pixels inside area up to date with source (its pixels at the
// same places), writing only those that differ, and presents what changed (nothing when
// nothing did; inside a paint, end_paint presents). Returns the rectangle that changed.
Rect update_client(Window *window, const Bitmap &source, Rect area);

// Menus.
void set_menu(Window *window, std::unique_ptr<Menu> bar);
void draw_menu_bar(Window *window);
// Sets or clears a check mark by command id; the backend shows it. Returns the
// previous state as menu_flag::checked or 0, or -1 when no item has the id.
int check_menu_item(Menu *menu, uint32_t id, bool checked);

// Timers: msg::timer with wparam = id every period_ms to the window's procedure. Ticks
// missed while the program was busy merge into one message.
void set_timer(Window *window, uint32_t id, uint32_t period_ms);
void kill_timer(Window *window, uint32_t id);
// A timer whose messages come per_second times a second on average (1 to 1000): the k-th
// is due k * 1000 / per_second ms after this call, so the rhythm does not drift.
void set_timer_rate(Window *window, uint32_t id, uint32_t per_second);

// Tells the backend which input beyond the usual the window's program wants (input_wanted
// bits). Input arrives as messages whatever this says; it only lets a backend spare the
// work of reporting what nobody asked for, and give up what the program now takes.
void set_input_wanted(Window *window, uint32_t wanted);

// The queue. get_message blocks until a message is there and returns false once the
// quit request has been fetched. Posted messages come first in, first out; then the quit
// request; then a paint for an invalid window; then a due timer.
bool get_message(Message *message);
// Posts msg::character for a key_down whose key produces a character.
void translate_message(const Message &message);
intptr_t dispatch_message(const Message &message);
// A mouse move replaces one still waiting for the same window, so at most one waits, with
// the newest position.
void post_message(Window *window, uint32_t type, uintptr_t wparam, intptr_t lparam);
intptr_t send_message(Window *window, uint32_t type, uintptr_t wparam, intptr_t lparam);
void post_quit_message(int exit_code);
// Default handling: msg::close destroys the window; everything else returns 0.
intptr_t default_window_procedure(Window *window, uint32_t type, uintptr_t wparam,
                                  intptr_t lparam);

int screen_height();

// For backends: the client area now has this size (resizes the client pixels, sends
// msg::size and invalidates the window).
void client_resized(Window *window, int width, int height);

}  // namespace platform
