// (being written) The event wait and the animation controls.
#include "kanvo_internal.h"

int pending_kind = kNoEvent, pending_x = 0, pending_y = 0;
char pending_key = 0;
int animation_running = 0, step_pending = 0, tick_pending = 0, quit_requested = 0;
int logging_on = 1;
