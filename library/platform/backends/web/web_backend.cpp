// The browser backend (Emscripten): a canvas for each window's client area, an HTML menu
// built from the menu model, and the page's mouse, key and menu input turned into the
// platform's messages. The blocking wait suspends the program under Asyncify until input
// arrives or the deadline passes, so a program's own KANVO_await_event loop runs unchanged.
// The page side lives in web_page.js.
#include <emscripten.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/pixel_changes.h"
#include "platform/shown_frame.h"
#include "platform/window.h"

extern "C" {
// web_page.js
void kanvo_web_create_window(int id, const char *class_name, const char *title, int width,
                             int height);
void kanvo_web_show_window(int id, int visible);
void kanvo_web_destroy_window(int id);
void kanvo_web_set_menu(int id, const char *menu_json);
// The whole frame's RGBA bytes stay where they are between calls; only the rectangle
// left, top, right, bottom (exclusive) changed since the last call for the window.
void kanvo_web_present(int id, const uint8_t *rgba, int width, int height, int left, int top,
                       int right, int bottom);
void kanvo_web_wait(double timeout_ms);  // suspends the program (Asyncify)
int kanvo_web_next_input(int32_t *fields);
int kanvo_web_screen_height();
void kanvo_web_input_wanted(int id, int wanted);
}

namespace platform {
namespace {

// What the page reports, in the order of the fields kanvo_web_next_input fills.
enum InputKind : int32_t {
    input_click = 1,     // window, client x, client y
    input_key_down = 2,  // window, virtual-key code, character, repeat, Ctrl held
    input_key_up = 3,    // window, virtual-key code, Ctrl held
    input_command = 4,   // window, command id
    input_close = 5,     // window
    input_focus_lost = 6,  // window
    input_button_down = 7,  // window, button (1 left, 2 right, 3 middle), client x, client y
    input_button_up = 8,    // window, button, client x, client y
    input_move = 9,         // window, client x, client y
    input_wheel = 10,       // window, distance (120 a notch, positive away), client x, y
};

void post_button(Window *window, int button, bool down, int x, int y) {
    static const uint32_t downs[] = {msg::left_button_down, msg::right_button_down,
                                     msg::middle_button_down};
    static const uint32_t ups[] = {msg::left_button_up, msg::right_button_up,
                                   msg::middle_button_up};
    static const uintptr_t flags[] = {mouse_flag::left_button, mouse_flag::right_button,
                                      mouse_flag::middle_button};
    if (button < 1 || button > 3) return;
    post_message(window, down ? downs[button - 1] : ups[button - 1], down ? flags[button - 1] : 0,
                 xy_lparam(x, y));
}
constexpr int kInputFields = 6;


void append_json_string(std::string &out, const std::string &text) {
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else if (c < 0x80) {
            out += char(c);
        } else {  // Latin-1 to UTF-8
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    out += '"';
}

// The menu model as JSON: [{"text":..,"id":..,"flags":..,"items":[..]}, ...].
void append_menu_json(std::string &out, const Menu &menu) {
    out += '[';
    bool first = true;
    for (const MenuItem &item : menu.items()) {
        if (!first) out += ',';
        first = false;
        out += "{\"text\":";
        append_json_string(out, item.text);
        out += ",\"id\":" + std::to_string(item.id) + ",\"flags\":" + std::to_string(item.flags);
        if (item.popup) {
            out += ",\"items\":";
            append_menu_json(out, *item.popup);
        }
        out += '}';
    }
    out += ']';
}

// Emscripten's file system starts with a umask of 0777, which leaves a file made with
// the usual mode 0666 unreadable (a picture written beside its name and renamed into
// place); programs in the page get the usual 022 before main runs.
[[maybe_unused]] const mode_t kStartUmask = umask(022);

int id_of(const Window &window) { return int(reinterpret_cast<intptr_t>(window.native)); }

class WebBackend : public Backend {
public:
    void create_window(Window &window) override {
        windows_.push_back(&window);
        canvases_.push_back(std::make_unique<Canvas>());
        window.native = reinterpret_cast<void *>(intptr_t(windows_.size()));
        const Size size = client_size(window);
        window.client.reset(size.width, size.height, window.background);
        kanvo_web_create_window(id_of(window), window.class_name.c_str(), window.title.c_str(),
                                size.width, size.height);
    }

    void show_window(Window &window, bool visible) override {
        kanvo_web_show_window(id_of(window), visible ? 1 : 0);
        if (visible) present(window);
    }

    void destroy_window(Window &window) override {
        unpresented_.erase(std::remove(unpresented_.begin(), unpresented_.end(), &window),
                           unpresented_.end());
        kanvo_web_destroy_window(id_of(window));
    }

    void update_menu(Window &window) override {
        std::string json = "[]";
        if (window.menu) {
            json.clear();
            append_menu_json(json, *window.menu);
        }
        kanvo_web_set_menu(id_of(window), json.c_str());
        // Attaching or removing the bar changes the client area below it.
        const Size size = client_size(window);
        if (size.width != window.client.width() || size.height != window.client.height()) {
            client_resized(&window, size.width, size.height);
            // The canvas is made again, blank: the next present sends all of it.
            canvas_of(window).shown.forget();
            kanvo_web_create_window(id_of(window), window.class_name.c_str(),
                                    window.title.c_str(), size.width, size.height);
        }
    }

    // The browser shows nothing before the program yields, so copies wait for the next
    // wait: a frame is handed over once however often it was presented.
    void present(Window &window) override {
        present_changed(window, Rect{0, 0, window.client.width(), window.client.height()});
    }

    void present_changed(Window &window, const Rect &changed) override {
        Canvas &canvas = canvas_of(window);
        canvas.changed = united(canvas.changed, changed);
        if (std::find(unpresented_.begin(), unpresented_.end(), &window) == unpresented_.end())
            unpresented_.push_back(&window);
    }

    void wait_for_input(int64_t deadline_ms) override {
        show_presented_windows();
        if (!take_input()) {
            const double timeout = deadline_ms < 0 ? -1.0 : double(std::max<int64_t>(deadline_ms - now_ms(), 0));
            kanvo_web_wait(timeout);
            take_input();
        }
    }

    int64_t now_ms() override { return int64_t(emscripten_get_now()); }

    int screen_height() override { return kanvo_web_screen_height(); }

    void input_wanted(Window &window, uint32_t wanted) override {
        kanvo_web_input_wanted(id_of(window), int(wanted));
    }

private:
    // The frame the page draws around a client area is its own; the client area is the
    // one every backend gives (585 x 481 for the 601 x 540 drawing window).
    static Size client_size(const Window &window) {
        return Size{std::max(reference_frame::client_width(window.outer_width), 1),
                    std::max(reference_frame::client_height(window.outer_height, window.menu != nullptr), 1)};
    }

    Window *window_of(int32_t id) const {
        if (id < 1 || size_t(id) > windows_.size()) return nullptr;
        Window *window = windows_[size_t(id) - 1];
        return window->destroyed ? nullptr : window;
    }

    // What each canvas holds, and where the client area may differ from it since.
    struct Canvas {
        ShownFrame shown;
        Rect changed;
    };

    Canvas &canvas_of(const Window &window) { return *canvases_[size_t(id_of(window)) - 1]; }

    void show_presented_windows() {
        for (Window *window : unpresented_) {
            Canvas &canvas = canvas_of(*window);
            ShownFrame &shown = canvas.shown;
            const Rect changed = shown.update(window->client, canvas.changed);
            canvas.changed = Rect{};
            kanvo_web_present(id_of(*window), shown.rgba(), shown.width(), shown.height(),
                              changed.left, changed.top, changed.right, changed.bottom);
        }
        unpresented_.clear();
    }

    // Posts everything the page has queued; false when there was nothing.
    bool take_input() {
        bool any = false;
        int32_t f[kInputFields];
        while (kanvo_web_next_input(f)) {
            any = true;
            Window *window = window_of(f[1]);
            if (!window) continue;
            switch (f[0]) {
            case input_click:
                post_message(window, msg::left_button_down, mouse_flag::left_button,
                             xy_lparam(f[2], f[3]));
                break;
            case input_key_down:
                post_message(window, msg::key_down, uint32_t(f[2]),
                             key_lparam(uint32_t(f[3]), f[4] != 0, f[5] != 0));
                break;
            case input_key_up:
                post_message(window, msg::key_up, uint32_t(f[2]), key_lparam(0, true, f[3] != 0));
                break;
            case input_command:
                post_message(window, msg::command, uint32_t(f[2]), 0);
                break;
            case input_close: post_message(window, msg::close, 0, 0); break;
            case input_focus_lost: post_message(window, msg::kill_focus, 0, 0); break;
            case input_button_down: post_button(window, f[2], true, f[3], f[4]); break;
            case input_button_up: post_button(window, f[2], false, f[3], f[4]); break;
            case input_move:
                post_message(window, msg::mouse_move, 0, xy_lparam(f[2], f[3]));
                break;
            case input_wheel:
                post_message(window, msg::mouse_wheel, wheel_wparam(std::clamp(f[2], -32767, 32767)),
                             xy_lparam(f[3], f[4]));
                break;
            default: break;
            }
        }
        return any;
    }

    std::vector<Window *> windows_;  // by id - 1; windows live as long as the program
    std::vector<Window *> unpresented_;
    std::vector<std::unique_ptr<Canvas>> canvases_;  // by id - 1
};

}  // namespace

std::unique_ptr<Backend> make_desktop_backend() { return std::make_unique<WebBackend>(); }

}  // namespace platform
