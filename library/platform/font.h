// Fonts through FreeType, with fontconfig choosing the face for a requested name.
#pragma once

#include <memory>
#include <string>

namespace platform {

struct FontMetrics {
    int height = 0;            // ascent + descent: the height of a line of cells
    int ascent = 0;            // baseline below the top of a cell
    int descent = 0;
    int external_leading = 0;  // extra space the face recommends between lines
};

class Font {
public:
    // A font for a face name (matched by fontconfig to the best available face).
    // A negative height asks for characters of -height pixels, a positive one for cells
    // of height pixels, 0 for the default size. weight 400 is normal.
    static std::unique_ptr<Font> create(const std::string &face_name, int height, int weight = 400);

    // The stock fixed-pitch font of the text window.
    static const Font &stock_fixed();

    virtual ~Font() = default;
    virtual FontMetrics metrics() const = 0;

protected:
    Font() = default;
};

}  // namespace platform
