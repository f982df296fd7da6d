// Finding a face file for a family name: each system has its own lookup (fontconfig on
// Linux, files shipped beside the program elsewhere). FreeType renders whatever it finds,
// so the same file gives the same pixels on every system.
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
