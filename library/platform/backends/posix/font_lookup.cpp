// Face lookup on Linux desktops: fontconfig picks the installed file for a family name.
#include "platform/font_lookup.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>

namespace platform {

FaceLocation find_face_file(const std::vector<std::string> &families, int weight) {
    FaceLocation found;
    if (!FcInit()) return found;
    FcPattern *pattern = FcPatternCreate();
    for (const std::string &family : families)
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight, 1, 1000)));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern *match = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8 *path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path) {
            found.path = reinterpret_cast<const char *>(path);
            int index = 0;
            if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) found.index = index;
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return found;
}

}  // namespace platform
