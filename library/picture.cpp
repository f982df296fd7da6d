// Saving the drawing surface as a PNG file, so programs can keep what they drew.
#include <string>

#include "kanvo_internal.h"
#include "platform/png.h"

int KANVO_save_picture(const char *path) {
    if (!path || !*path) {
        log_printf("Cannot write picture: no file name given\n");
        return 0;
    }
    ensure_surface();
    std::string reason;
    if (!platform::write_png(path, *surface_bitmap, &reason)) {
        log_printf("Cannot write picture file %s: %s\n", path, reason.c_str());
        return 0;
    }
    return 1;
}
