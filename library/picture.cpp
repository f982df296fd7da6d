// Saving what the drawing window shows as a PNG file, so programs can keep what they drew.
#include <algorithm>
#include <string>

#include "kanvo_internal.h"
#include "platform/png.h"

platform::Bitmap shown_picture() {
    ensure_surface();
    int width = platform::reference_frame::client_width(kSurfaceWidth);
    int height = platform::reference_frame::client_height(kSurfaceHeight, true);
    if (kanvo.windows.draw_window && !kanvo.windows.draw_window->destroyed) {
        const platform::Rect client = platform::client_rect(kanvo.windows.draw_window);
        width = client.right - client.left;
        height = client.bottom - client.top;
    }
    width = std::min(width, surface_pixels().width());
    height = std::min(height, surface_pixels().height());
    platform::Bitmap picture(width, height);
    const platform::Bitmap &surface = surface_pixels();
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
