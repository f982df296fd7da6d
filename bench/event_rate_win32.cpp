// The event figures' system pieces for Windows: GetProcessTimes, and a click posted to the
// drawing window from a helper thread, which wakes the waiting program as real input does.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <thread>

#include "event_rate_system.h"

namespace {

double seconds_of(const FILETIME &time) {
    const ULONGLONG ticks = (ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return double(ticks) / 1e7;  // 100 ns units
}

}  // namespace

double cpu_seconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
    return seconds_of(kernel) + seconds_of(user);
}

void click_drawing_window_after(int ms) {
    std::thread([ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        if (HWND window = FindWindowA("DrawWndClass", nullptr))
            PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    }).detach();
}
