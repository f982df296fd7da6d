// Seam: the backend, between the windowing stand-in and what really shows windows.
// Filled by backends/headless/ (everywhere) and one desktop backend per system:
// backends/qt/ (Linux), backends/win32/ (Windows), backends/web/ (the browser).
// Nothing above this seam knows which backend runs.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

struct Window;
struct Rect;

class Backend {
public:
    virtual ~Backend() = default;

    // Makes the native window for a new Window and sets its client pixels' size.
    virtual void create_window(Window &window) = 0;
    virtual void show_window(Window &window, bool visible) = 0;
    virtual void destroy_window(Window &window) = 0;
    // The window's menu bar or a check mark in it changed.
    virtual void update_menu(Window &window) = 0;
    // The window's client pixels changed.
    virtual void present(Window &window) = 0;
    // Only the pixels inside changed differ from those last presented; a backend that can
    // show a part of a window shows that part alone.
    virtual void present_changed(Window &window, const Rect & /*changed*/) { present(window); }
    // Blocks until input arrives (which it posts as messages) or the clock passes
    // deadline_ms; a negative deadline waits for input alone.
    virtual void wait_for_input(int64_t deadline_ms) = 0;
    // Milliseconds on the backend's clock.
    virtual int64_t now_ms() = 0;
    virtual int screen_height() = 0;
    // The window's program wants this input beyond the usual (input_wanted bits).
    virtual void input_wanted(Window &, uint32_t /*wanted*/) {}
};

// The desktop backend of the system built for: Qt (when no display can be reached it
// prints one line on standard error saying what to do and exits with status 1), or in the
// browser the web backend.
std::unique_ptr<Backend> make_desktop_backend();

}  // namespace platform
