// (being written) Paints draw commands onto the drawing surface.
#include "kanvo_internal.h"

int surface_dirty = 1;
uint64_t commands_rendered = 0;
std::unique_ptr<platform::Bitmap> surface_bitmap;
std::unique_ptr<platform::DrawingContext> surface_dc;
