// Windows, window classes, menus, timers and the message queue of the windowing stand-in.
// The queue and the timers live here, on the backend's clock; the backend only shows
// windows and turns outside input into posted messages while get_message waits.
#include "window.h"

#include <algorithm>
#include <deque>

#include "backend.h"
#include "pixel_changes.h"
#include "platform/run/run_protocol.h"

namespace platform {

namespace {

struct Timer {
    Window *window = nullptr;
    uint32_t id = 0;
    int64_t period_ms = 0;
    int64_t due_ms = 0;
    // A rate timer (per_second > 0): its ticks are counted from start_ms.
    int64_t per_second = 0;
    int64_t start_ms = 0;
};

// The next due time after now: ticks missed while the program was busy merge into one.
void advance_timer(Timer &timer, int64_t now) {
    if (timer.per_second > 0) {
        const int64_t count = (now - timer.start_ms) * timer.per_second / 1000 + 1;
        timer.due_ms = timer.start_ms + (count * 1000 + timer.per_second - 1) / timer.per_second;
        return;
    }
    const int64_t missed = (now - timer.due_ms) / timer.period_ms;
    timer.due_ms += (missed + 1) * timer.period_ms;
}

// Everything the platform keeps for the program. Windows are never freed before the
// program ends, so a stale Window pointer (in a message, in library state) stays safe.
struct PlatformState {
    std::unique_ptr<Backend> backend;
    std::vector<WindowClass> classes;
    std::vector<std::unique_ptr<Window>> windows;
    std::deque<Message> posted;
    std::vector<Timer> timers;
    bool quit_posted = false;
    bool quit_fetched = false;
};

PlatformState &state() {
    static PlatformState instance;
    return instance;
}

const WindowClass *find_class(const std::string &name) {
    for (const WindowClass &window_class : state().classes) {
        if (window_class.name == name) return &window_class;
    }
    return nullptr;
}

bool is_live(const Window *window) { return window != nullptr && !window->destroyed; }

bool is_command(const MenuItem &item, uint32_t id) {
    return !(item.flags & (menu_flag::popup | menu_flag::separator)) && item.id == id;
}

void set_owner(Menu &menu, Window *owner) {
    menu.owner = owner;
    for (const MenuItem &item : menu.items()) {
        if (item.popup) set_owner(*item.popup, owner);
    }
}

void refresh_menu(const Menu &menu) {
    if (is_live(menu.owner)) backend().update_menu(*menu.owner);
}

// The first window in creation order that waits for a paint.
Window *window_to_paint() {
    for (const auto &window : state().windows) {
        if (is_live(window.get()) && window->visible && window->needs_paint) return window.get();
    }
    return nullptr;
}

Timer *earliest_timer() {
    Timer *earliest = nullptr;
    for (Timer &timer : state().timers) {
        if (!earliest || timer.due_ms < earliest->due_ms) earliest = &timer;
    }
    return earliest;
}

// Produces the message get_message would return now, without waiting.
bool next_waiting_message(Message *message, bool *is_quit) {
    PlatformState &s = state();
    *is_quit = false;
    if (!s.posted.empty()) {
        *message = s.posted.front();
        s.posted.pop_front();
        return true;
    }
    if (s.quit_posted || s.quit_fetched) {
        s.quit_posted = false;
        s.quit_fetched = true;
        *message = Message{nullptr, msg::quit, 0, 0};
        *is_quit = true;
        return true;
    }
    if (Window *window = window_to_paint()) {
        // Fetching the paint validates the window, so a procedure that never begins a
        // paint cannot make the queue spin.
        window->needs_paint = false;
        *message = Message{window, msg::paint, 0, 0};
        return true;
    }
    Timer *timer = earliest_timer();
    if (timer && timer->due_ms <= backend().now_ms()) {
        // Ticks missed while the program was busy merge into this one message.
        advance_timer(*timer, backend().now_ms());
        *message = Message{timer->window, msg::timer, timer->id, 0};
        return true;
    }
    return false;
}

}  // namespace

// ---- menus ---------------------------------------------------------------------------

void Menu::append(uint32_t flags, uint32_t id, const std::string &text) {
    MenuItem item;
    item.text = (flags & menu_flag::separator) ? std::string() : text;
    item.id = (flags & menu_flag::separator) ? 0 : id;
    item.flags = flags & ~menu_flag::popup;
    items_.push_back(std::move(item));
}

Menu *Menu::append_popup(std::unique_ptr<Menu> popup, const std::string &text) {
    if (!popup) return nullptr;
    set_owner(*popup, owner);
    MenuItem item;
    item.text = text;
    item.flags = menu_flag::popup;
    item.popup = std::move(popup);
    items_.push_back(std::move(item));
    return items_.back().popup.get();
}

const MenuItem *Menu::find(uint32_t id) const {
    for (const MenuItem &item : items_) {
        if (is_command(item, id)) return &item;
        if (item.popup) {
            if (const MenuItem *found = item.popup->find(id)) return found;
        }
    }
    return nullptr;
}

int Menu::check(uint32_t id, bool checked) {
    // The item belongs to this (non-const) menu, so changing it is sound.
    MenuItem *item = const_cast<MenuItem *>(find(id));
    if (!item) return -1;
    const int previous = int(item->flags & menu_flag::checked);
    item->flags = checked ? (item->flags | menu_flag::checked) : (item->flags & ~menu_flag::checked);
    return previous;
}

std::string Menu::structure() const {
    std::string out;
    for (const MenuItem &item : items_) {
        out += item.text;
        out += '\x1f' + std::to_string(item.id) + ':' +
               std::to_string(item.flags & ~(menu_flag::checked | menu_flag::grayed));
        if (item.popup) out += '{' + item.popup->structure() + '}';
        out += '\x1e';
    }
    return out;
}

void set_menu(Window *window, std::unique_ptr<Menu> bar) {
    if (!is_live(window)) return;
    if (bar) set_owner(*bar, window);
    window->menu = std::move(bar);
    backend().update_menu(*window);
}

void draw_menu_bar(Window *window) {
    if (is_live(window)) backend().update_menu(*window);
}

int check_menu_item(Menu *menu, uint32_t id, bool checked) {
    if (!menu) return -1;
    const int previous = menu->check(id, checked);
    if (previous >= 0) refresh_menu(*menu);
    return previous;
}

// ---- backend -------------------------------------------------------------------------

void set_backend(std::unique_ptr<Backend> new_backend) { state().backend = std::move(new_backend); }

Backend &backend() {
    // A program started by kanvo-run runs headless; any other on the desktop.
    if (!state().backend) state().backend = make_run_backend();
    if (!state().backend) state().backend = make_desktop_backend();
    return *state().backend;
}

bool has_backend() { return state().backend != nullptr; }

int screen_height() { return backend().screen_height(); }

// ---- windows -------------------------------------------------------------------------

bool register_class(const WindowClass &window_class) {
    if (window_class.name.empty() || !window_class.procedure) return false;
    if (find_class(window_class.name)) return false;
    state().classes.push_back(window_class);
    return true;
}

Window *create_window(const std::string &class_name, const std::string &title, uint32_t style,
                      int x, int y, int width, int height) {
    const WindowClass *window_class = find_class(class_name);
    if (!window_class) return nullptr;
    auto window = std::make_unique<Window>();
    window->class_name = class_name;
    window->title = title;
    window->procedure = window_class->procedure;
    window->style = style;
    window->x = x;
    window->y = y;
    window->outer_width = std::max(width, 0);
    window->outer_height = std::max(height, 0);
    window->background = window_class->background;
    Window *created = window.get();
    state().windows.push_back(std::move(window));
    backend().create_window(*created);
    send_message(created, msg::create, 0, 0);
    return created;
}

void show_window(Window *window, int mode) {
    if (!is_live(window)) return;
    // The first call sends the size even when it hides, so that a window opened hidden
    // knows its client size like a shown one.
    if (!window->shown_once) {
        window->shown_once = true;
        send_message(window, msg::size, 0,
                     xy_lparam(window->client.width(), window->client.height()));
    }
    const bool visible = mode != show::hide;
    if (visible && !window->visible) window->needs_paint = true;
    window->visible = visible;
    backend().show_window(*window, visible);
}

void destroy_window(Window *window) {
    if (!is_live(window)) return;
    send_message(window, msg::destroy, 0, 0);
    auto &timers = state().timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [window](const Timer &timer) { return timer.window == window; }),
                 timers.end());
    backend().destroy_window(*window);
    window->destroyed = true;
    window->visible = false;
    window->needs_paint = false;
}

Rect client_rect(const Window *window) {
    if (!window) return Rect{};
    return Rect{0, 0, window->client.width(), window->client.height()};
}

void invalidate(Window *window) {
    if (is_live(window)) window->needs_paint = true;
}

void begin_paint(Window *window) {
    if (!window) return;
    window->needs_paint = false;
    window->painting = true;
}

void end_paint(Window *window) {
    if (!window) return;
    window->painting = false;
    if (is_live(window)) backend().present(*window);
}

std::unique_ptr<DrawingContext> get_dc(Window *window) {
    if (!window) return nullptr;
    auto context = std::make_unique<DrawingContext>(&window->client);
    // Inside a paint, end_paint presents everything drawn at once.
    context->on_change = [window] {
        if (is_live(window) && !window->painting) backend().present(*window);
    };
    return context;
}

Rect update_client(Window *window, const Bitmap &source, Rect area) {
    if (!window) return Rect{};
    const Rect changed = copy_changed_pixels(window->client, source, area);
    if (!is_empty(changed) && is_live(window) && !window->painting)
        backend().present_changed(*window, changed);
    return changed;
}

void client_resized(Window *window, int width, int height) {
    if (!is_live(window)) return;
    window->client.reset(std::max(width, 0), std::max(height, 0), window->background);
    send_message(window, msg::size, 0, xy_lparam(window->client.width(), window->client.height()));
    invalidate(window);
}

// ---- timers --------------------------------------------------------------------------

void set_timer(Window *window, uint32_t id, uint32_t period_ms) {
    if (!is_live(window)) return;
    const int64_t period = std::max<int64_t>(period_ms, 1);
    const int64_t due = backend().now_ms() + period;
    for (Timer &timer : state().timers) {
        if (timer.window == window && timer.id == id) {
            timer = Timer{window, id, period, due};
            return;
        }
    }
    state().timers.push_back(Timer{window, id, period, due});
}

void set_timer_rate(Window *window, uint32_t id, uint32_t per_second) {
    if (!is_live(window)) return;
    const int64_t rate = std::clamp<int64_t>(per_second, 1, 1000);
    Timer timer{window, id, 1, 0, rate, backend().now_ms()};
    advance_timer(timer, timer.start_ms);
    for (Timer &existing : state().timers) {
        if (existing.window == window && existing.id == id) {
            existing = timer;
            return;
        }
    }
    state().timers.push_back(timer);
}

void set_input_wanted(Window *window, uint32_t wanted) {
    if (is_live(window)) backend().input_wanted(*window, wanted);
}

void kill_timer(Window *window, uint32_t id) {
    auto &timers = state().timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const Timer &timer) {
                                    return timer.window == window && timer.id == id;
                                }),
                 timers.end());
}

// ---- the queue -----------------------------------------------------------------------

bool get_message(Message *message) {
    Message fetched;
    bool is_quit = false;
    while (!next_waiting_message(&fetched, &is_quit)) {
        const Timer *timer = earliest_timer();
        backend().wait_for_input(timer ? timer->due_ms : -1);
    }
    if (message) *message = fetched;
    return !is_quit;
}

void translate_message(const Message &message) {
    if (message.type != msg::key_down) return;
    const uint32_t character = key_character(message.lparam);
    // The character is handled right after its key, ahead of input that arrived later
    // (a Ctrl release queued behind the key must not turn Ctrl+A into a plain character).
    if (character != 0) {
        state().posted.push_front(Message{message.window, msg::character, character, message.lparam});
    }
}

intptr_t dispatch_message(const Message &message) {
    return send_message(message.window, message.type, message.wparam, message.lparam);
}

void post_message(Window *window, uint32_t type, uintptr_t wparam, intptr_t lparam) {
    auto &posted = state().posted;
    if (type == msg::mouse_move) {
        posted.erase(std::remove_if(posted.begin(), posted.end(),
                                    [window](const Message &waiting) {
                                        return waiting.type == msg::mouse_move &&
                                               waiting.window == window;
                                    }),
                     posted.end());
    }
    posted.push_back(Message{window, type, wparam, lparam});
}

intptr_t send_message(Window *window, uint32_t type, uintptr_t wparam, intptr_t lparam) {
    if (!is_live(window) || !window->procedure) return 0;
    return window->procedure(window, type, wparam, lparam);
}

void post_quit_message(int /*exit_code*/) { state().quit_posted = true; }

intptr_t default_window_procedure(Window *window, uint32_t type, uintptr_t /*wparam*/,
                                  intptr_t /*lparam*/) {
    if (type == msg::close) destroy_window(window);
    // Validates without opening a paint: nothing here would close it.
    if (type == msg::paint && window) window->needs_paint = false;
    return 0;
}

}  // namespace platform
