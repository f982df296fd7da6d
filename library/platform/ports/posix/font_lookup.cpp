// Face lookup on Linux desktops: fontconfig picks the installed file for a family name.
#include "platform/font_lookup.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <algorithm>

namespace platform {

namespace {

// fontconfig's best match for families at weight; family_matched tells whether the face
// belongs to the first of them rather than to a substitute.
FaceLocation match(const std::vector<std::string> &families, int weight, bool &family_matched) {
    FaceLocation found;
    family_matched = false;
    FcPattern *pattern = FcPatternCreate();
    for (const std::string &family : families)
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight, 1, 1000)));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern *best = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8 *path = nullptr, *family = nullptr;
        if (FcPatternGetString(best, FC_FILE, 0, &path) == FcResultMatch && path) {
            found.path = reinterpret_cast<const char *>(path);
            int index = 0;
            if (FcPatternGetInteger(best, FC_INDEX, 0, &index) == FcResultMatch) found.index = index;
            family_matched = !families.empty() &&
                             FcPatternGetString(best, FC_FAMILY, 0, &family) == FcResultMatch &&
                             strcasecmp(reinterpret_cast<const char *>(family),
                                        families.front().c_str()) == 0;
        }
        FcPatternDestroy(best);
    }
    FcPatternDestroy(pattern);
    return found;
}

}  // namespace

FaceLocation find_face_file(const std::vector<std::string> &families, int weight) {
    if (!FcInit()) return {};
    // The first family installed wins; fontconfig's own preferences among substitutes
    // would otherwise pick a face other systems do not have.
    bool family_matched = false;
    for (const std::string &family : families) {
        FaceLocation found = match({family}, weight, family_matched);
        if (family_matched) return found;
    }
    return match(families, weight, family_matched);
}

}  // namespace platform
