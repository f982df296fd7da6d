// (being written) The two windows, the "&Run" menu and the keyboard shortcuts.
#include "kanvo_internal.h"

platform::Window *draw_window = nullptr;
platform::Window *text_window = nullptr;
std::unique_ptr<platform::DrawingContext> window_dc;
platform::Menu *run_menu = nullptr;
int origin_x = 0, origin_y = 0;
int ctrl_down = 0;
