// Pictures from PNG files: loaded once into the library's list, numbered from 1, and
// drawn by the renderer over what the surface holds, their alpha blended.
#include <string>

#include "kanvo_internal.h"
#include "platform/png.h"

const LoadedPicture *loaded_picture(int number) {
    const auto &pictures = kanvo.pictures.pictures;
    if (number < 1 || size_t(number) > pictures.size()) return nullptr;
    return pictures[size_t(number) - 1].get();
}

int add_picture_file(const char *path, std::string *error) {
    auto &pictures = kanvo.pictures.pictures;
    if (!path || !*path) {
        *error = "no file name given";
        return 0;
    }
    // A program that loads its pictures inside its loop gets the same one back each time.
    for (size_t i = 0; i < pictures.size(); ++i)
        if (pictures[i]->path == path) return int(i) + 1;
    if (pictures.size() >= size_t(kMostPictures)) {
        *error = "already " + std::to_string(kMostPictures) + " pictures loaded, the most a program may have";
        return 0;
    }
    platform::Bitmap pixels;
    if (!platform::read_png_alpha(path, kLargestPictureSide, &pixels, error)) return 0;
    auto loaded = std::make_unique<LoadedPicture>();
    loaded->path = path;
    loaded->picture = platform::AlphaPicture(std::move(pixels));
    pictures.push_back(std::move(loaded));
    return int(pictures.size());
}

int KANVO_load_picture(const char *path) {
    std::string error;
    const int number = add_picture_file(path, &error);
    if (number == 0) {
        if (path && *path)
            log_printf("Cannot load picture %s: %s\n", path, error.c_str());
        else
            log_printf("Cannot load picture: %s\n", error.c_str());
        return 0;
    }
    return number;
}

int KANVO_picture(int picture, int x, int y) {
    KANVO_CALL_SITE;
    const LoadedPicture *loaded = loaded_picture(picture);
    if (!loaded) {
        log_printf("Picture %d not possible: no picture loaded by that number\n", picture);
        return 0;
    }
    describe("picture %d (%s, %dx%d) at (%d,%d)\n", picture, loaded->path.c_str(),
             loaded->picture.width(), loaded->picture.height(), x, y);
    DrawCommand command;
    command.kind = kind_picture;
    command.x1 = x;
    command.y1 = y;
    command.x2 = picture;
    render_command(command);
    return 1;
}
