// PNG files through libpng: pictures of bitmaps, and reference pictures for tests.
#pragma once

#include <string>

#include "bitmap.h"

namespace platform {

// Writes the bitmap as an 8-bit RGB PNG. The picture is written beside the file and
// renamed into place once whole, so a failure (a full disk) leaves an old file as it was.
// On failure returns false and puts the reason alone, without the path, into *error (when
// given), such as "No space left on device".
bool write_png(const std::string &path, const Bitmap &bitmap, std::string *error = nullptr);

// Reads an 8-bit RGB or RGBA PNG (alpha ignored). On failure returns false.
bool read_png(const std::string &path, Bitmap *bitmap, std::string *error = nullptr);

// Reads a PNG of any colour type keeping its alpha (pixels 0xAARRGGBB), at most max_side
// pixels wide and high. On failure returns false and puts the reason alone, without the
// path, into *error: the system's reason when the file cannot be opened, "not a PNG file",
// "the file is truncated", "too large (...)" or "damaged (...)".
bool read_png_alpha(const std::string &path, int max_side, Bitmap *bitmap, std::string *error);

}  // namespace platform
