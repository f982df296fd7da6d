// What the event figures need from the system they run on: the process's processor time,
// and a real click on the drawing window that ends the halted wait.
#pragma once

// User and system processor time of this process so far, in seconds.
double cpu_seconds();

// A left-button press on the drawing window's client area, ms milliseconds from now,
// delivered through the system's own input path while the program waits.
void click_drawing_window_after(int ms);
