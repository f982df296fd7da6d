// Face lookup in the browser: the page carries the three faces the Linux build resolves
// (cut to the scripts web_page.cmake names), and a family name is looked up in that short table. The requested
// families are tried in order, so the first one the page has wins, as on Linux.
#include "platform/font_lookup.h"

#include <strings.h>

namespace platform {

namespace {

struct Face {
    const char *family;
    const char *path;
};

// Where the page build puts the faces; generic names map to the face Linux picks for them.
const Face kFaces[] = {
    {"Liberation Sans", "/fonts/LiberationSans-Regular.ttf"},
    {"DejaVu Sans", "/fonts/DejaVuSans.ttf"},
    {"sans-serif", "/fonts/DejaVuSans.ttf"},
    {"DejaVu Sans Mono", "/fonts/DejaVuSansMono.ttf"},
    {"monospace", "/fonts/DejaVuSansMono.ttf"},
};

}  // namespace

// Every face is regular weight: the library asks for no other.
FaceLocation find_face_file(const std::vector<std::string> &families, int /*weight*/) {
    for (const std::string &family : families) {
        for (const Face &face : kFaces) {
            if (strcasecmp(face.family, family.c_str()) == 0) return FaceLocation{face.path, 0};
        }
    }
    return FaceLocation{};
}

}  // namespace platform
