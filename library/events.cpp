// The event wait and the animation controls: KANVO_await_event pumps the platform's
// queue one message per pass until the window procedures (or the script reader) have
// formed an event, turning timer ticks into periodic events while the animation runs.
#include "kanvo_internal.h"
#include "platform/run/run_protocol.h"

namespace {

bool library_open() { return kanvo.windows.draw_window != nullptr; }

bool script_playing() { return kanvo.script.playback_on || kanvo.script.play_one_pending; }

void reset_pending_event() {
    kanvo.events.pending_kind = kNoEvent;
    kanvo.events.pending_x = 0;
    kanvo.events.pending_y = 0;
    kanvo.events.pending_key = 0;
    input_reset_pending();
}

// Playback substitutes the script's next event; true when it delivered one.
bool take_script_event() {
    kanvo.script.play_one_pending = 0;
    if (script_read_event() == 1) return true;
    end_playback();
    return false;
}

// Once the program is to end (the queue ended, or the quit message is on its way after
// Quit, Ctrl+Q or the close box), no script event may take the quit's place.
bool quit_on_its_way() {
    return kanvo.events.pending_kind == KANVO_QUIT || kanvo.windows.quit_posted;
}

// With a tick rate set, a tick that came while other events were returned still counts,
// so the rate holds whatever else arrives; it is used up when the periodic event is
// returned instead.
void arm_periodic_event() {
    kanvo.events.pending_kind = KANVO_PERIODIC;
    if (!kanvo.input.tick_rate) kanvo.events.tick_pending = 0;
    kanvo.events.step_pending = 0;
}

bool event_ready() {
    if (kanvo.events.pending_kind == kNoEvent) return false;
    return kanvo.events.pending_kind != KANVO_PERIODIC || kanvo.events.tick_pending;
}

// Under kanvo-run, the run driver follows every wait and starts the script's playback.
void follow_run() {
    const bool after_periodic = kanvo.events.pending_kind == KANVO_PERIODIC;
    if (const char *script = platform::run_wait_starts(after_periodic, script_playing())) {
        kanvo.script.script_name = script;
        toggle_playback();
    }
}

// Periodic events are counted into one run line, written before the next other event.
void record_event() {
    if (kanvo.events.pending_kind == KANVO_PERIODIC) {
        ++kanvo.script.periodic_run;
        return;
    }
    write_periodic_run();
    // Writing the run failed and switched recording off.
    if (!kanvo.script.recording_on) return;
    const EventState &e = kanvo.events;
    script_write_event(e.pending_kind, e.pending_x, e.pending_y, e.pending_key);
}

}  // namespace

void pump_message() {
    platform::Message message;
    if (!platform::get_message(&message)) {
        kanvo.events.pending_kind = KANVO_QUIT;
        return;
    }
    platform::translate_message(message);
    platform::dispatch_message(message);
    if (kanvo.surface.surface_dirty) {
        copy_surface_to_window();
        kanvo.surface.surface_dirty = 0;
    }
}

int KANVO_await_event(int *x, int *y, char *key) {
    if (kanvo.events.wait_observer) kanvo.events.wait_observer();
    follow_run();
    reset_pending_event();
    // Before KANVO_open there is nothing to wait for: waiting would never end.
    if (library_open()) {
        for (;;) {
            pump_message();
            if (input_take_skipped()) continue;
            if (quit_on_its_way()) {
                if (script_playing()) stop_playback_and_close();
                if (kanvo.events.pending_kind == KANVO_QUIT) break;
            } else if (script_playing() && take_script_event()) {
                break;
            }
            const EventState &e = kanvo.events;
            if ((e.step_pending || e.animation_running) && e.pending_kind == kNoEvent) {
                arm_periodic_event();
            }
            if (event_ready()) break;
        }
        if (kanvo.script.recording_on) record_event();
        if (kanvo.input.tick_rate && kanvo.events.pending_kind == KANVO_PERIODIC)
            kanvo.events.tick_pending = 0;
        input_event_returned();
    } else {
        kanvo.events.pending_kind = KANVO_QUIT;
    }
    if (x) *x = kanvo.events.pending_x;
    if (y) *y = kanvo.events.pending_y;
    if (key) *key = kanvo.events.pending_key;
    return kanvo.events.quit_requested ? KANVO_QUIT : kanvo.events.pending_kind;
}

int KANVO_animate(int command) {
    if (!library_open()) return 0;
    switch (command) {
    case KANVO_ANIMATE_HALT:
        kanvo.events.step_pending = 0;
        kanvo.events.animation_running = 0;
        break;
    case KANVO_ANIMATE_STEP: kanvo.events.step_pending = 1; break;
    case KANVO_ANIMATE_RUN: kanvo.events.animation_running = 1; break;
    case KANVO_ANIMATE_QUIT: kanvo.events.quit_requested = 1; break;
    default: break;
    }
    return 1;
}

int KANVO_logging(int on) {
    if (!library_open()) return 0;
    kanvo.events.logging_on = on ? 1 : 0;
    const bool logging = kanvo.events.logging_on != 0;
    platform::check_menu_item(kanvo.windows.run_menu, KANVO_CMD_LOGGING, logging);
    if (logging) platform::show_window(kanvo.windows.text_window, platform::show::show);
    return 1;
}
