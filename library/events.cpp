// The event wait and the animation controls: KANVO_await_event pumps the platform's
// queue one message per pass until the window procedures (or the script reader) have
// formed an event, turning timer ticks into periodic events while the animation runs.
#include "kanvo_internal.h"
#include "platform/run/run_protocol.h"

int pending_kind = kNoEvent, pending_x = 0, pending_y = 0;
char pending_key = 0;
int animation_running = 0, step_pending = 0, tick_pending = 0, quit_requested = 0;
int logging_on = 1;
void (*wait_observer)() = nullptr;

namespace {

bool library_open() { return draw_window != nullptr; }

void reset_pending_event() {
    pending_kind = kNoEvent;
    pending_x = 0;
    pending_y = 0;
    pending_key = 0;
}

// Playback substitutes the script's next event; true when it delivered one.
bool take_script_event() {
    play_one_pending = 0;
    if (script_read_event() == 1) return true;
    end_playback();
    return false;
}

// Once the program is to end (the queue ended, or the quit message is on its way after
// Quit, Ctrl+Q or the close box), no script event may take the quit's place.
bool quit_on_its_way() { return pending_kind == KANVO_QUIT || quit_posted; }

void arm_periodic_event() {
    pending_kind = KANVO_PERIODIC;
    tick_pending = 0;
    step_pending = 0;
}

bool event_ready() {
    if (pending_kind == kNoEvent) return false;
    return pending_kind != KANVO_PERIODIC || tick_pending;
}

// Under kanvo-run, the run driver follows every wait and starts the script's playback.
void follow_run() {
    const bool playing = playback_on || play_one_pending;
    if (const char *script = platform::run_wait_starts(pending_kind == KANVO_PERIODIC, playing)) {
        script_name = script;
        toggle_playback();
    }
}

// Periodic events are counted into one run line, written before the next other event.
void record_event() {
    if (pending_kind == KANVO_PERIODIC) {
        ++periodic_run;
        return;
    }
    write_periodic_run();
    if (!recording_on) return;  // writing the run failed and switched recording off
    script_write_event(pending_kind, pending_x, pending_y, pending_key);
}

}  // namespace

void pump_message() {
    platform::Message message;
    if (!platform::get_message(&message)) {
        pending_kind = KANVO_QUIT;
        return;
    }
    platform::translate_message(message);
    platform::dispatch_message(message);
    if (surface_dirty) {
        copy_surface_to_window();
        surface_dirty = 0;
    }
}

int KANVO_await_event(int *x, int *y, char *key) {
    if (wait_observer) wait_observer();
    follow_run();
    reset_pending_event();
    // Before KANVO_open there is nothing to wait for: waiting would never end.
    if (library_open()) {
        for (;;) {
            pump_message();
            if (quit_on_its_way()) {
                if (playback_on || play_one_pending) stop_playback_and_close();
                if (pending_kind == KANVO_QUIT) break;
            } else if ((play_one_pending || playback_on) && take_script_event()) {
                break;
            }
            if ((step_pending || animation_running) && pending_kind == kNoEvent) {
                arm_periodic_event();
            }
            if (event_ready()) break;
        }
        if (recording_on) record_event();
    } else {
        pending_kind = KANVO_QUIT;
    }
    if (x) *x = pending_x;
    if (y) *y = pending_y;
    if (key) *key = pending_key;
    return quit_requested ? KANVO_QUIT : pending_kind;
}

int KANVO_animate(int command) {
    if (!library_open()) return 0;
    switch (command) {
    case KANVO_ANIMATE_HALT:
        step_pending = 0;
        animation_running = 0;
        break;
    case KANVO_ANIMATE_STEP: step_pending = 1; break;
    case KANVO_ANIMATE_RUN: animation_running = 1; break;
    case KANVO_ANIMATE_QUIT: quit_requested = 1; break;
    default: break;
    }
    return 1;
}

int KANVO_logging(int on) {
    if (!library_open()) return 0;
    logging_on = on ? 1 : 0;
    platform::check_menu_item(run_menu, KANVO_CMD_LOGGING, logging_on != 0);
    if (logging_on) platform::show_window(text_window, platform::show::show);
    return 1;
}
