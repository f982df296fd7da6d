// The one instance of the library's state, and its return to the start.
#include "state.h"

#include "kanvo_internal.h"

LibraryState kanvo;

void reset_library_state() {
    script_close();
    // The contexts go before the bitmap they paint into.
    kanvo.windows.window_dc.reset();
    kanvo.surface.surface_dc.reset();
    kanvo = LibraryState{};
}
