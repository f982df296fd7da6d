// Fuzzes the picture loader: arbitrary bytes as a learner's PNG file must be loaded or
// refused with a reason, never crash, hang or read out of bounds; a loaded picture is
// drawn across the surface's edge too.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "testing.h"

namespace {

const std::string &scratch_picture() {
    static std::string path;
    if (path.empty()) {
        char pattern[] = "/tmp/kanvo-fuzz-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        path = std::string(pattern) + "/picture.png";
    }
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string &path = scratch_picture();
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    kanvo.events.logging_on = 0;
    // Each input is a new file: forget the one before, which has the same name.
    kanvo.pictures.pictures.clear();
    const int picture = KANVO_load_picture(path.c_str());
    if (picture > 0) {
        KANVO_picture(picture, 0, 0);
        KANVO_picture(picture, 300, -260);
    }
    return 0;
}
