// PNG files through libpng: pictures of bitmaps, and reference pictures for tests.
#pragma once

#include <string>

#include "bitmap.h"

namespace platform {

// Writes the bitmap as an 8-bit RGB PNG. On failure returns false and puts a short
// reason into *error (when given).
bool write_png(const std::string &path, const Bitmap &bitmap, std::string *error = nullptr);

// Reads an 8-bit RGB or RGBA PNG (alpha ignored). On failure returns false.
bool read_png(const std::string &path, Bitmap *bitmap, std::string *error = nullptr);

}  // namespace platform
