// Saving what the drawing window shows as a PNG file, so programs can keep what they drew.
#include <algorithm>
#include <string>

#include "kanvo_internal.h"
#include "platform/png.h"

const platform::Bitmap &shown_surface(int *width, int *height) {
    ensure_surface();
    int shown_width = platform::reference_frame::client_width(kSurfaceWidth);
    int shown_height = platform::reference_frame::client_height(kSurfaceHeight, true);
    if (kanvo.windows.draw_window && !kanvo.windows.draw_window->destroyed) {
        const platform::Rect client = platform::client_rect(kanvo.windows.draw_window);
        shown_width = client.right - client.left;
        shown_height = client.bottom - client.top;
    }
    const platform::Bitmap &surface = surface_pixels();
    *width = std::min(shown_width, surface.width());
    *height = std::min(shown_height, surface.height());
    return surface;
}

platform::Bitmap shown_picture() {
    int width = 0, height = 0;
    const platform::Bitmap &surface = shown_surface(&width, &height);
    platform::Bitmap picture(width, height);
    for (int y = 0; y < height; ++y) std::copy_n(surface.row(y), width, picture.row(y));
    return picture;
}

int KANVO_save_picture(const char *path) {
    if (!path || !*path) {
        log_printf("Cannot write picture: no file name given\n");
        return 0;
    }
    std::string reason;
    if (!platform::write_png(path, shown_picture(), &reason)) {
        log_printf("Cannot write picture file %s: %s\n", path, reason.c_str());
        return 0;
    }
    return 1;
}
