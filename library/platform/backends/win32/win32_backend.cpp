// The Windows backend: real Win32 windows of the platform's classes, a real menu bar built
// from each window's menu model, and the system's input turned into the platform's key,
// mouse, close and command messages. The wait blocks in the system's own message fetch
// until input arrives or the platform's next timer is due; the client pixels reach the
// screen by a DIB copy, so the screen shows exactly the software surface.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/window.h"

namespace platform {
namespace {

// The client area the outer size leaves with the reference frame, here as everywhere.
SIZE design_client_size(const Window &window) {
    const bool menu = window.menu != nullptr;
    return SIZE{std::max(reference_frame::client_width(window.outer_width), 1),
                std::max(reference_frame::client_height(window.outer_height, menu), 1)};
}

// The platform's style and menu flags are the system's own values; only these pass.
DWORD native_style(uint32_t window_style) {
    return window_style &
           (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
}

UINT native_menu_flags(uint32_t flags) {
    return flags & (MF_GRAYED | MF_CHECKED | MF_SEPARATOR);
}

class Win32Backend;

// What the backend keeps for one platform window.
struct Native {
    Window *window = nullptr;
    Win32Backend *backend = nullptr;
    HWND hwnd = nullptr;
    HMENU bar = nullptr;
    std::string menu_structure;
    bool ready = false;      // created: size changes are reported from now on
    bool adjusting = false;  // our own frame changes, whose sizes are not the user's
    uint32_t wanted = 0;     // input_wanted bits the program asked for
};

Native *native_of(HWND hwnd) {
    return reinterpret_cast<Native *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

Native *native_of(const Window &window) { return static_cast<Native *>(window.native); }

// Whether Ctrl was held when the message being handled was sent: the system keeps the
// keyboard's state in step with the messages fetched.
bool ctrl_held() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

SIZE client_size_of(HWND hwnd) {
    RECT client{};
    GetClientRect(hwnd, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

// ---- menus ------------------------------------------------------------------------------

void append_items(HMENU target, const Menu &menu) {
    for (const MenuItem &item : menu.items()) {
        if (item.flags & menu_flag::separator) {
            AppendMenuA(target, MF_SEPARATOR, 0, nullptr);
        } else if (item.popup) {
            HMENU popup = CreatePopupMenu();
            append_items(popup, *item.popup);
            AppendMenuA(target, MF_POPUP | native_menu_flags(item.flags),
                        reinterpret_cast<UINT_PTR>(popup), item.text.c_str());
        } else {
            AppendMenuA(target, MF_STRING | native_menu_flags(item.flags), item.id,
                        item.text.c_str());
        }
    }
}

// Check marks and graying, item by item in the same order as append_items.
void sync_marks(HMENU target, const Menu &menu) {
    UINT position = 0;
    for (const MenuItem &item : menu.items()) {
        if (!(item.flags & menu_flag::separator)) {
            const UINT enabled = (item.flags & menu_flag::grayed) ? MF_GRAYED : MF_ENABLED;
            EnableMenuItem(target, position, MF_BYPOSITION | enabled);
            if (item.popup) {
                sync_marks(GetSubMenu(target, int(position)), *item.popup);
            } else {
                CheckMenuItem(target, position,
                              MF_BYPOSITION |
                                  ((item.flags & menu_flag::checked) ? MF_CHECKED : MF_UNCHECKED));
            }
        }
        ++position;
    }
}

// ---- presenting -------------------------------------------------------------------------

COLORREF colorref(Pixel pixel) { return RGB(red_of(pixel), green_of(pixel), blue_of(pixel)); }

// Copies the client pixels to the window at (0, 0) and fills what they do not cover with
// the class background.
void paint_client(HDC dc, HWND hwnd, const Window &window) {
    const Bitmap &client = window.client;
    if (client.width() > 0 && client.height() > 0) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = client.width();
        info.bmiHeader.biHeight = -client.height();  // top row first, as the bitmap keeps it
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;              // 0xFFRRGGBB is the DIB's B, G, R, x
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, 0, 0, DWORD(client.width()), DWORD(client.height()), 0, 0, 0,
                          UINT(client.height()), client.row(0), &info, DIB_RGB_COLORS);
    }
    const SIZE size = client_size_of(hwnd);
    HBRUSH brush = CreateSolidBrush(colorref(window.background));
    if (size.cx > client.width()) {
        RECT right{client.width(), 0, size.cx, size.cy};
        FillRect(dc, &right, brush);
    }
    if (size.cy > client.height()) {
        RECT below{0, client.height(), std::min<LONG>(size.cx, client.width()), size.cy};
        FillRect(dc, &below, brush);
    }
    DeleteObject(brush);
}

// ---- the backend ------------------------------------------------------------------------

LRESULT CALLBACK native_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

class Win32Backend : public Backend {
public:
    Win32Backend() {
        // One window pixel is one screen pixel at any display scale.
        SetProcessDPIAware();
        QueryPerformanceFrequency(&frequency_);
    }

    // The platform's windows may be gone by now: the native ones only forget them.
    ~Win32Backend() override {
        for (Native *native : natives_) {
            native->window = nullptr;
            native->backend = nullptr;
        }
    }

    void create_window(Window &window) override {
        register_native_class(window);
        auto *native = new Native;
        native->window = &window;
        native->backend = this;
        natives_.push_back(native);
        window.native = native;
        const SIZE client = design_client_size(window);
        const SIZE outer = outer_size_for(window, client);
        window.client.reset(int(client.cx), int(client.cy), window.background);
        native->adjusting = true;
        native->hwnd = CreateWindowExA(0, window.class_name.c_str(), window.title.c_str(),
                                       native_style(window.style), window.x, window.y, outer.cx,
                                       outer.cy, nullptr, nullptr, GetModuleHandleA(nullptr),
                                       native);
        native->adjusting = false;
        fit_client(*native);
        native->ready = true;
    }

    void show_window(Window &window, bool visible) override {
        if (Native *native = native_of(window)) {
            ShowWindow(native->hwnd, visible ? SW_SHOW : SW_HIDE);
            if (visible) UpdateWindow(native->hwnd);
        }
    }

    void destroy_window(Window &window) override {
        Native *native = native_of(window);
        if (native == nullptr) return;
        window.native = nullptr;
        native->window = nullptr;
        if (native->hwnd) DestroyWindow(native->hwnd);
    }

    void update_menu(Window &window) override {
        Native *native = native_of(window);
        if (native == nullptr || native->hwnd == nullptr) return;
        const std::string structure = window.menu ? window.menu->structure() : std::string();
        // Only a new structure makes a new bar, so an open menu stays open for a new mark.
        if (native->bar != nullptr && window.menu && structure == native->menu_structure) {
            sync_marks(native->bar, *window.menu);
            DrawMenuBar(native->hwnd);
            return;
        }
        native->menu_structure = structure;
        HMENU old_bar = native->bar;
        native->bar = nullptr;
        if (window.menu) {
            native->bar = CreateMenu();
            append_items(native->bar, *window.menu);
        }
        native->adjusting = true;
        SetMenu(native->hwnd, native->bar);
        native->adjusting = false;
        if (old_bar) DestroyMenu(old_bar);
        DrawMenuBar(native->hwnd);
        fit_client(*native);
    }

    void present(Window &window) override {
        Native *native = native_of(window);
        if (native == nullptr || native->hwnd == nullptr) return;
        HDC dc = GetDC(native->hwnd);
        paint_client(dc, native->hwnd, window);
        ReleaseDC(native->hwnd, dc);
    }

    void wait_for_input(int64_t deadline_ms) override {
        input_arrived_ = false;
        pump_native_messages();
        // Each pass sleeps in the system until a message for this thread is there or the
        // deadline passes; a message that brings no input (mouse movement, a repaint of
        // the frame) is handled and the sleep goes on.
        while (!input_arrived_ && !deadline_passed(deadline_ms)) {
            DWORD timeout = INFINITE;
            if (deadline_ms >= 0)
                timeout = DWORD(std::clamp<int64_t>(deadline_ms - now_ms(), 0, INT_MAX));
            MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            pump_native_messages();
        }
    }

    int64_t now_ms() override {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        return int64_t(counter.QuadPart / frequency_.QuadPart * 1000 +
                       counter.QuadPart % frequency_.QuadPart * 1000 / frequency_.QuadPart);
    }

    int screen_height() override { return GetSystemMetrics(SM_CYSCREEN); }

    void input_wanted(Window &window, uint32_t wanted) override {
        if (Native *native = native_of(window)) native->wanted = wanted;
    }

    // Everything the system reports goes to the platform through here, so that a wait returns.
    void post(Native *native, uint32_t type, uintptr_t wparam, intptr_t lparam) {
        if (native == nullptr || native->window == nullptr || native->window->destroyed) return;
        post_message(native->window, type, wparam, lparam);
        input_arrived_ = true;
    }

    // The user changed the client area's size (a sizable window's frame).
    void client_size_changed(Native *native) {
        if (!native->ready || native->adjusting || native->window == nullptr) return;
        const SIZE size = client_size_of(native->hwnd);
        if (size.cx <= 0 || size.cy <= 0) return;  // minimized
        Window &window = *native->window;
        if (size.cx == window.client.width() && size.cy == window.client.height()) return;
        client_resized(&window, int(size.cx), int(size.cy));
        input_arrived_ = true;
    }

private:
    static void register_native_class(const Window &window) {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        WNDCLASSA existing{};
        if (GetClassInfoA(instance, window.class_name.c_str(), &existing)) return;
        WNDCLASSA window_class{};
        window_class.style = CS_HREDRAW | CS_VREDRAW;
        window_class.lpfnWndProc = native_procedure;
        window_class.hInstance = instance;
        window_class.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));    // IDI_APPLICATION
        window_class.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        // One brush per class for the program's life, as the system expects.
        window_class.hbrBackground = CreateSolidBrush(colorref(window.background));
        window_class.lpszClassName = window.class_name.c_str();
        RegisterClassA(&window_class);
    }

    // The outer size that gives this client size under the current theme and frame.
    static SIZE outer_size_for(const Window &window, SIZE client) {
        RECT rect{0, 0, client.cx, client.cy};
        AdjustWindowRectEx(&rect, native_style(window.style), window.menu != nullptr, 0);
        return SIZE{rect.right - rect.left, rect.bottom - rect.top};
    }

    // Sets the frame so that the client area has the design's size (a menu bar that wraps
    // onto two lines is measured, not assumed), then tells the platform the size it got.
    void fit_client(Native &native) {
        if (native.window == nullptr || native.hwnd == nullptr) return;
        Window &window = *native.window;
        const SIZE wanted = design_client_size(window);
        SIZE outer = outer_size_for(window, wanted);
        native.adjusting = true;
        for (int attempt = 0; attempt < 2; ++attempt) {
            SetWindowPos(native.hwnd, nullptr, 0, 0, outer.cx, outer.cy,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            const SIZE got = client_size_of(native.hwnd);
            if (got.cx == wanted.cx && got.cy == wanted.cy) break;
            outer.cx += wanted.cx - got.cx;
            outer.cy += wanted.cy - got.cy;
        }
        native.adjusting = false;
        const SIZE got = client_size_of(native.hwnd);
        if (got.cx > 0 && got.cy > 0 &&
            (got.cx != window.client.width() || got.cy != window.client.height())) {
            client_resized(&window, int(got.cx), int(got.cy));
        }
    }

    // Dispatches every message waiting for this thread. A key-down is translated here and
    // its character taken along at once, so the platform gets one key message that
    // carries both, as its own translation expects.
    void pump_native_messages() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_KEYDOWN) {
                key_down(message);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    void key_down(const MSG &message) {
        TranslateMessage(&message);
        uint32_t character = 0;
        MSG typed;
        if (PeekMessageA(&typed, message.hwnd, WM_CHAR, WM_CHAR, PM_REMOVE))
            character = uint32_t(typed.wParam) & 0xFFu;
        while (PeekMessageA(&typed, message.hwnd, WM_DEADCHAR, WM_DEADCHAR, PM_REMOVE)) {
        }
        const bool repeat = (message.lParam & (1 << 30)) != 0;
        post(native_of(message.hwnd), msg::key_down, uint32_t(message.wParam),
             key_lparam(character, repeat, ctrl_held()));
    }

    bool deadline_passed(int64_t deadline_ms) {
        return deadline_ms >= 0 && now_ms() >= deadline_ms;
    }

    std::vector<Native *> natives_;  // kept for the program's life, like the windows
    LARGE_INTEGER frequency_{};
    bool input_arrived_ = false;
};

constexpr WPARAM kAnyButton = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON;

// The system's button messages are the platform's own numbers; the button's flag in wparam
// follows the same bits. A press captures the mouse, so that its release comes here even
// outside the window.
void button_message(Win32Backend &backend, Native *native, HWND hwnd, UINT message,
                    WPARAM wparam, LPARAM lparam) {
    const bool down = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
                      message == WM_MBUTTONDOWN;
    if (down) SetCapture(hwnd);
    else if ((wparam & kAnyButton) == 0 && GetCapture() == hwnd) ReleaseCapture();
    backend.post(native, message, wparam & 0xFFFFu,
                 xy_lparam(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)));
}

LRESULT CALLBACK native_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto *create = reinterpret_cast<CREATESTRUCTA *>(lparam);
        auto *native = static_cast<Native *>(create->lpCreateParams);
        native->hwnd = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(native));
        return DefWindowProcA(hwnd, message, wparam, lparam);
    }
    Native *native = native_of(hwnd);
    if (native == nullptr || native->backend == nullptr || native->window == nullptr)
        return DefWindowProcA(hwnd, message, wparam, lparam);
    Win32Backend &backend = *native->backend;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // the paint covers every pixel
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        paint_client(dc, hwnd, *native->window);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_SIZE:
        backend.client_size_changed(native);
        return 0;
    case WM_CLOSE:
        // The close box asks the window's procedure; its default handling destroys it.
        backend.post(native, msg::close, 0, 0);
        return 0;
    case WM_KEYUP:
        backend.post(native, msg::key_up, uint32_t(wparam), key_lparam(0, true, ctrl_held()));
        return 0;
    case WM_KILLFOCUS:
        // Keys pressed or released while the focus is elsewhere never reach us.
        backend.post(native, msg::kill_focus, 0, 0);
        return 0;
    case WM_CHAR:
        return 0;  // taken with its key-down; one that comes alone has no key to go with
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        button_message(backend, native, hwnd, message, wparam, lparam);
        return 0;
    case WM_MOUSEMOVE:
        // Motion only for a program that listens for it, or during a drag: it would only
        // wake the wait for nothing.
        if ((native->wanted & input_wanted::motion) || (wparam & kAnyButton))
            backend.post(native, msg::mouse_move, wparam & 0xFFFFu,
                         xy_lparam(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)));
        return 0;
    case WM_MOUSEWHEEL: {
        // The system gives the pointer's screen position; the platform the client's.
        POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        ScreenToClient(hwnd, &at);
        backend.post(native, msg::mouse_wheel, wheel_wparam(GET_WHEEL_DELTA_WPARAM(wparam)),
                     xy_lparam(at.x, at.y));
        return 0;
    }
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        // Alt comes as a system key; the menu bar's mnemonics still follow it.
        if (wparam == VK_MENU) {
            const bool down = message == WM_SYSKEYDOWN;
            backend.post(native, down ? msg::key_down : msg::key_up, VK_MENU,
                         key_lparam(0, down ? (lparam & (1 << 30)) != 0 : true, ctrl_held()));
        }
        return DefWindowProcA(hwnd, message, wparam, lparam);
    case WM_COMMAND:
        if (HIWORD(wparam) == 0) backend.post(native, msg::command, LOWORD(wparam), 0);
        return 0;
    case WM_DESTROY:
        native->hwnd = nullptr;
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wparam, lparam);
    }
}

}  // namespace

std::unique_ptr<Backend> make_desktop_backend() { return std::make_unique<Win32Backend>(); }

}  // namespace platform
