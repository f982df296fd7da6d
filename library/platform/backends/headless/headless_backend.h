// The headless backend: windows without a display and a virtual clock, fed by a test, the
// replay tool or the run driver. Input is queued by the feeder and handed out one item per
// wait, so that it interleaves with timer ticks as real input does; time passes only while
// the program waits, and timer deadlines are reached at once.
//
// Frame metrics (fixed): a frame of 8 pixels left, right and bottom, a caption of 31
// pixels (top frame included) and a menu bar of 20 pixels. The client area of a window
// is outer width - 16 by outer height - 39, less 20 when it has a menu: 585 x 481 for
// the 601 x 540 drawing window.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "platform/backend.h"
#include "platform/window.h"

namespace platform {

// The key code of a character that has no key of its own (a packet of typed text).
constexpr uint32_t vk_packet = 0xE7;

class HeadlessBackend : public Backend {
public:
    explicit HeadlessBackend(int screen_height = 1080);

    // ---- the feeder: queue input ----
    // Left button pressed at a client pixel.
    void click(Window *window, int x, int y);
    // Button 1 left, 2 right, 3 middle pressed or released at a client pixel.
    void button_down(Window *window, int button, int x, int y);
    void button_up(Window *window, int button, int x, int y);
    // The pointer moved to a client pixel.
    void mouse_move(Window *window, int x, int y);
    // The wheel turned by distance (wheel_delta a notch, positive away from the user)
    // with the pointer at a client pixel.
    void wheel(Window *window, int distance, int x, int y);
    // A key down with the character it produces (0 for none; with Ctrl a letter gives
    // 1..26), repeat set for an auto-repeated key; and its release.
    void key_down(Window *window, uint32_t vk, uint32_t character, bool repeat = false);
    void key_up(Window *window, uint32_t vk);
    // The key is released while another program has the focus: no message, but later keys
    // no longer say it is held.
    void key_up_elsewhere(uint32_t vk);
    // The window loses the keyboard focus (to another program, say).
    void focus_lost(Window *window);
    // Presses and releases the key of every character of text (letters by their upper-case
    // key code, digits, space, enter; anything else as vk_packet).
    void type(Window *window, const std::string &text);
    // Ctrl (and Shift when asked) held around a letter key: the letter's control character.
    void ctrl_key(Window *window, char letter, bool shift = false);
    // Chooses a menu command: false, and nothing queued, when no item has the id or the
    // item is grayed.
    bool menu_command(Window *window, uint32_t id);
    void close_box(Window *window);
    // The user resizes the window so that its client area is width x height.
    void resize(Window *window, int width, int height);
    // The user does nothing for ms milliseconds; timer ticks go on meanwhile.
    void pause(int64_t ms);
    size_t queued_input() const { return inputs_.size(); }

    // Asked when the program would wait with nothing left to deliver: it may queue more
    // input and return true, or return true alone to let the clock run on for another
    // quiet limit (a feeder that knows events come from elsewhere). Without a hook, when
    // it returns false, or when nothing but new input could end the wait, the wait fails
    // loudly (message on stderr, abort): a test never hangs.
    void set_idle_hook(std::function<bool()> hook) { idle_hook_ = std::move(hook); }
    // Virtual time that may pass with no input delivered before the wait counts as idle
    // (a halted animation waiting for input that never comes). Default 60 s.
    void set_quiet_limit_ms(int64_t ms) { quiet_limit_ms_ = ms; }

    // ---- Backend ----
    void create_window(Window &window) override;
    void show_window(Window &window, bool visible) override;
    void destroy_window(Window &window) override;
    void update_menu(Window &window) override;
    void present(Window &window) override;
    void wait_for_input(int64_t deadline_ms) override;
    int64_t now_ms() override { return now_ms_; }
    int screen_height() override { return screen_height_; }

    // Counters a feeder may check.
    int presents() const { return presents_; }
    int menu_updates() const { return menu_updates_; }

private:
    struct Input {
        std::function<void()> deliver;
        int64_t pause_ms = 0;
    };

    void queue(std::function<void()> deliver);
    void post_key(Window *window, uint32_t type, uint32_t vk, intptr_t lparam);
    void advance_paused_input(int64_t deadline_ms);
    void idle(int64_t deadline_ms);
    [[noreturn]] void fail(const char *why) const;
    Size client_size(const Window &window) const;

    int screen_height_;
    int64_t now_ms_ = 0;
    int64_t quiet_since_ms_ = 0;
    int64_t quiet_limit_ms_ = 60000;
    int64_t pause_end_ms_ = -1;
    std::deque<Input> inputs_;
    std::function<bool()> idle_hook_;
    bool ctrl_held_ = false;
    int presents_ = 0;
    int menu_updates_ = 0;
};

}  // namespace platform
