// The headless backend: no display, a virtual clock starting at 0, and input queued by a
// feeder. A wait that would block with nothing left to deliver fails loudly instead of
// hanging, so a broken test stops at once with a message saying why.
#include "headless_backend.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

uint32_t key_code_of(unsigned char character) {
    if (std::isalpha(character)) return uint32_t(std::toupper(character));
    if (std::isdigit(character) || character == ' ') return character;
    if (character == '\n' || character == '\r') return vk::enter;
    if (character == '\t') return vk::tab;
    if (character == '\b') return vk::back;
    if (character == 27) return vk::escape;
    return vk_packet;
}

}  // namespace

HeadlessBackend::HeadlessBackend(int screen_height) : screen_height_(screen_height) {}

// ---- the feeder ------------------------------------------------------------------------

void HeadlessBackend::queue(std::function<void()> deliver) {
    inputs_.push_back(Input{std::move(deliver), 0});
}

void HeadlessBackend::post_key(Window *window, uint32_t type, uint32_t vk, intptr_t lparam) {
    queue([=] { post_message(window, type, vk, lparam); });
}

void HeadlessBackend::click(Window *window, int x, int y) {
    const intptr_t lparam = xy_lparam(x, y);
    queue([=] { post_message(window, msg::left_button_down, mouse_flag::left_button, lparam); });
}

void HeadlessBackend::button_down(Window *window, int button, int x, int y) {
    static const uint32_t types[] = {msg::left_button_down, msg::right_button_down,
                                     msg::middle_button_down};
    static const uintptr_t flags[] = {mouse_flag::left_button, mouse_flag::right_button,
                                      mouse_flag::middle_button};
    if (button < 1 || button > 3) return;
    const intptr_t lparam = xy_lparam(x, y);
    const uint32_t type = types[button - 1];
    const uintptr_t flag = flags[button - 1];
    queue([=] { post_message(window, type, flag, lparam); });
}

void HeadlessBackend::button_up(Window *window, int button, int x, int y) {
    static const uint32_t types[] = {msg::left_button_up, msg::right_button_up,
                                     msg::middle_button_up};
    if (button < 1 || button > 3) return;
    const intptr_t lparam = xy_lparam(x, y);
    const uint32_t type = types[button - 1];
    queue([=] { post_message(window, type, 0, lparam); });
}

void HeadlessBackend::mouse_move(Window *window, int x, int y) {
    const intptr_t lparam = xy_lparam(x, y);
    queue([=] { post_message(window, msg::mouse_move, 0, lparam); });
}

void HeadlessBackend::wheel(Window *window, int distance, int x, int y) {
    const intptr_t lparam = xy_lparam(x, y);
    queue([=] { post_message(window, msg::mouse_wheel, wheel_wparam(distance), lparam); });
}

// Each key carries the Ctrl state of the feeder's keyboard at that point of the input.
void HeadlessBackend::key_down(Window *window, uint32_t vk, uint32_t character, bool repeat) {
    if (vk == vk::control) ctrl_held_ = true;
    post_key(window, msg::key_down, vk, key_lparam(character, repeat, ctrl_held_));
}

void HeadlessBackend::key_up(Window *window, uint32_t vk) {
    if (vk == vk::control) ctrl_held_ = false;
    // A key-up carries a repeat count of 1 and, like a real one, the "was down" bit.
    post_key(window, msg::key_up, vk, key_lparam(0, true, ctrl_held_));
}

void HeadlessBackend::key_up_elsewhere(uint32_t vk) {
    if (vk == vk::control) ctrl_held_ = false;
}

void HeadlessBackend::focus_lost(Window *window) {
    queue([=] { post_message(window, msg::kill_focus, 0, 0); });
}

void HeadlessBackend::type(Window *window, const std::string &text) {
    for (unsigned char character : text) {
        const uint32_t vk = key_code_of(character);
        key_down(window, vk, character == '\n' ? '\r' : character);
        key_up(window, vk);
    }
}

void HeadlessBackend::ctrl_key(Window *window, char letter, bool shift) {
    const uint32_t vk = uint32_t(std::toupper(static_cast<unsigned char>(letter)));
    key_down(window, vk::control, 0);
    if (shift) key_down(window, vk::shift, 0);
    key_down(window, vk, std::isalpha(static_cast<unsigned char>(letter)) ? (vk & 0x1Fu) : 0);
    key_up(window, vk);
    if (shift) key_up(window, vk::shift);
    key_up(window, vk::control);
}

bool HeadlessBackend::menu_command(Window *window, uint32_t id) {
    if (!window || window->destroyed || !window->menu) return false;
    const MenuItem *item = window->menu->find(id);
    if (!item || (item->flags & menu_flag::grayed)) return false;
    queue([=] { post_message(window, msg::command, id, 0); });
    return true;
}

void HeadlessBackend::close_box(Window *window) {
    queue([=] { post_message(window, msg::close, 0, 0); });
}

void HeadlessBackend::resize(Window *window, int width, int height) {
    queue([=] {
        if (!window || window->destroyed) return;
        const int menu = window->menu ? reference_frame::menu_bar : 0;
        window->outer_width = std::max(width, 0) + 2 * reference_frame::border;
        window->outer_height =
            std::max(height, 0) + reference_frame::caption + menu + reference_frame::border;
        client_resized(window, width, height);
    });
}

void HeadlessBackend::pause(int64_t ms) {
    if (ms > 0) inputs_.push_back(Input{nullptr, ms});
}

// ---- waiting ---------------------------------------------------------------------------

void HeadlessBackend::wait_for_input(int64_t deadline_ms) {
    if (inputs_.empty()) {
        idle(deadline_ms);
        return;
    }
    if (inputs_.front().pause_ms > 0) {
        advance_paused_input(deadline_ms);
        return;
    }
    std::function<void()> deliver = std::move(inputs_.front().deliver);
    inputs_.pop_front();
    quiet_since_ms_ = now_ms_;
    deliver();
}

// A pause at the head of the input lets the clock run to its end, stopping at every
// timer deadline on the way.
void HeadlessBackend::advance_paused_input(int64_t deadline_ms) {
    if (pause_end_ms_ < 0) pause_end_ms_ = now_ms_ + inputs_.front().pause_ms;
    if (deadline_ms >= 0 && deadline_ms < pause_end_ms_) {
        now_ms_ = std::max(now_ms_, deadline_ms);
        return;
    }
    now_ms_ = std::max(now_ms_, pause_end_ms_);
    pause_end_ms_ = -1;
    inputs_.pop_front();
    quiet_since_ms_ = now_ms_;
}

void HeadlessBackend::idle(int64_t deadline_ms) {
    const bool quiet_too_long = deadline_ms < 0 || deadline_ms - quiet_since_ms_ > quiet_limit_ms_;
    if (quiet_too_long) {
        if (!idle_hook_ || !idle_hook_()) {
            fail(deadline_ms < 0 ? "the program waits for input and none is queued"
                                 : "only timer ticks arrive: no input within the quiet limit");
        }
        quiet_since_ms_ = now_ms_;
        if (!inputs_.empty()) return;
        if (deadline_ms < 0) fail("the idle hook queued no input and nothing else can arrive");
    }
    now_ms_ = std::max(now_ms_, deadline_ms);
}

void HeadlessBackend::fail(const char *why) const {
    std::fprintf(stderr, "headless backend: %s (virtual time %lld ms); aborting\n", why,
                 static_cast<long long>(now_ms_));
    std::fflush(stderr);
    std::abort();
}

// ---- Backend ---------------------------------------------------------------------------

Size HeadlessBackend::client_size(const Window &window) const {
    return Size{reference_frame::client_width(window.outer_width),
                reference_frame::client_height(window.outer_height, window.menu != nullptr)};
}

void HeadlessBackend::create_window(Window &window) {
    const Size size = client_size(window);
    window.client.reset(size.width, size.height, window.background);
}

void HeadlessBackend::show_window(Window &, bool) {}

void HeadlessBackend::destroy_window(Window &) {}

void HeadlessBackend::update_menu(Window &window) {
    ++menu_updates_;
    // Attaching or removing the bar changes the client area below it.
    const Size size = client_size(window);
    if (size.width != window.client.width() || size.height != window.client.height()) {
        client_resized(&window, size.width, size.height);
    }
}

void HeadlessBackend::present(Window &) { ++presents_; }

}  // namespace platform
