// The PNG codec under png.cpp's file handling, so the file handling is the same everywhere.
// Seam: filled by ports/png/png_libpng.cpp (desktops) or ports/png/png_stb.cpp (the
// browser).
#pragma once

#include <cstdio>
#include <string>

#include "bitmap.h"

namespace platform {

// Writes the bitmap as an 8-bit RGB PNG into an open file. On failure returns false and
// puts the reason alone into *error (when given).
bool encode_png(FILE *file, const Bitmap &bitmap, std::string *error);

// Reads a PNG from an open file, at its start, turning every format into the bitmap's
// pixels (alpha ignored). On failure returns false, the bitmap as it was, and the reason
// alone in *error (when given).
bool decode_png(FILE *file, Bitmap *bitmap, std::string *error);

// Why a PNG could not be decoded.
enum class PngProblem { none, truncated, too_large, damaged };

// Reads a PNG of any colour type from an open file, at its start, keeping its alpha: the
// bitmap's pixels become 0xAARRGGBB (straight alpha; 255 where the file has none). A
// picture wider or higher than max_side is refused before its pixels are allocated. On
// failure returns the problem, the bitmap as it was, and the codec's detail in *detail.
PngProblem decode_png_alpha(FILE *file, int max_side, Bitmap *bitmap, std::string *detail);

}  // namespace platform
