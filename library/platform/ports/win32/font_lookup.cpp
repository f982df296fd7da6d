// Face lookup on Windows: the faces the Linux build resolves are shipped in a fonts folder
// beside the program, so text has the same pixels on both. The requested families are
// walked in order and the first shipped one wins; common names map to the shipped face
// that fontconfig would substitute for them.
#include "platform/font_lookup.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace platform {

namespace {

struct ShippedFace {
    const char *family;
    int weight;
    const char *file;
};

// What fonts/ holds. A family may come in several weights; the nearest is taken.
constexpr ShippedFace kShippedFaces[] = {
    {"liberation sans", 400, "LiberationSans-Regular.ttf"},
    {"liberation sans", 700, "LiberationSans-Bold.ttf"},
    {"dejavu sans", 400, "DejaVuSans.ttf"},
    {"dejavu sans mono", 400, "DejaVuSansMono.ttf"},
};

// Other names for the shipped families: the metric-compatible and generic names that
// fontconfig resolves to them on a Debian desktop.
struct Alias {
    const char *name;
    const char *family;
};
constexpr Alias kAliases[] = {
    {"arial", "liberation sans"},     {"helvetica", "liberation sans"},
    {"sans-serif", "dejavu sans"},    {"sans", "dejavu sans"},
    {"monospace", "dejavu sans mono"}, {"mono", "dejavu sans mono"},
};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string canonical_family(const std::string &name) {
    const std::string family = lower(name);
    for (const Alias &alias : kAliases) {
        if (family == alias.name) return alias.family;
    }
    return family;
}

// The folder of the running program, with a trailing backslash.
std::string program_folder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), DWORD(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool file_exists(const std::string &path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The shipped file of family nearest to weight that is there; empty when none is.
std::string shipped_file(const std::string &folder, const std::string &family, int weight) {
    std::string best;
    int best_distance = 0;
    for (const ShippedFace &face : kShippedFaces) {
        if (family != face.family) continue;
        const std::string path = folder + face.file;
        const int distance = std::abs(face.weight - weight);
        if ((best.empty() || distance < best_distance) && file_exists(path)) {
            best = path;
            best_distance = distance;
        }
    }
    return best;
}

}  // namespace

FaceLocation find_face_file(const std::vector<std::string> &families, int weight) {
    const std::string folder = program_folder() + "fonts\\";
    weight = std::clamp(weight, 1, 1000);
    for (const std::string &family : families) {
        std::string path = shipped_file(folder, canonical_family(family), weight);
        if (!path.empty()) return FaceLocation{path, 0};
    }
    // Nothing asked for is shipped: the default sans face, as fontconfig would give.
    return FaceLocation{shipped_file(folder, "dejavu sans", weight), 0};
}

}  // namespace platform
