// Finding a face file for a family name. FreeType renders whatever it finds, so the same
// file gives the same pixels on every system.
// Seam: filled by ports/posix/font_lookup.cpp (fontconfig), ports/win32/font_lookup.cpp
// (fonts/ beside the program) or ports/web/font_lookup.cpp (the page's own files).
#pragma once

#include <string>
#include <vector>

namespace platform {

struct FaceLocation {
    std::string path;  // empty when nothing matched
    int index = 0;     // the face's index inside a collection file
};

// The best face for the first family of families that the system has (later names are
// fallbacks), at a weight from 1 to 1000 (400 normal).
FaceLocation find_face_file(const std::vector<std::string> &families, int weight);

}  // namespace platform
