// The PNG codec in the browser: stb_image_write and stb_image (Debian's libstb-dev), two
// headers in place of libpng and zlib, which the browser build would have to compile
// first. png.cpp's file handling runs on top, as on desktops.
#include "platform/png_codec.h"
#include "platform/failure.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/alpha_picture.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

namespace platform {
namespace {

// Largest picture we agree to read: far above any window, small enough to allocate.
constexpr int kMaxSide = 16384;

struct Output {
    FILE *file;
    int error = 0;  // errno of the first failed write
};

void write_to_file(void *context, void *data, int size) {
    auto *output = static_cast<Output *>(context);
    if (output->error || size <= 0) return;
    if (fwrite(data, 1, size_t(size), output->file) != size_t(size)) output->error = errno ? errno : EIO;
}

}  // namespace

bool encode_png(FILE *file, const Bitmap &bitmap, std::string *error) {
    std::vector<unsigned char> bytes(size_t(bitmap.width()) * size_t(bitmap.height()) * 3);
    unsigned char *out = bytes.data();
    for (const Pixel pixel : bitmap.pixels()) {
        *out++ = red_of(pixel);
        *out++ = green_of(pixel);
        *out++ = blue_of(pixel);
    }
    Output output{file};
    if (!stbi_write_png_to_func(write_to_file, &output, bitmap.width(), bitmap.height(), 3,
                                bytes.data(), bitmap.width() * 3))
        return fail(error, "cannot encode the picture");
    if (output.error) return fail(error, strerror(output.error));
    return true;
}

bool decode_png(FILE *file, Bitmap *bitmap, std::string *error) {
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_file(file, &width, &height, &channels)) return fail(error, stbi_failure_reason());
    if (width > kMaxSide || height > kMaxSide) return fail(error, "picture too large");
    std::unique_ptr<unsigned char, void (*)(void *)> rgba(
        stbi_load_from_file(file, &width, &height, &channels, 4), stbi_image_free);
    if (!rgba) return fail(error, stbi_failure_reason());
    bitmap->reset(width, height);
    const unsigned char *in = rgba.get();
    for (int y = 0; y < height; ++y) {
        Pixel *row = bitmap->row(y);
        for (int x = 0; x < width; ++x, in += 4) row[x] = rgb(in[0], in[1], in[2]);
    }
    return true;
}

PngProblem decode_png_alpha(FILE *file, int max_side, Bitmap *bitmap, std::string *detail) {
    int width = 0, height = 0, channels = 0;
    auto failed = [&](PngProblem problem, const std::string &reason) {
        if (detail) *detail = reason;
        return problem;
    };
    // stb reads through its own buffer: a file that ends early shows as the end reached.
    auto problem_after_failure = [&]() {
        return feof(file) ? PngProblem::truncated : PngProblem::damaged;
    };
    if (!stbi_info_from_file(file, &width, &height, &channels))
        return failed(problem_after_failure(), stbi_failure_reason());
    if (width > max_side || height > max_side)
        return failed(PngProblem::too_large, std::to_string(width) + "x" + std::to_string(height) +
                                                 " pixels, at most " + std::to_string(max_side) +
                                                 "x" + std::to_string(max_side));
    std::unique_ptr<unsigned char, void (*)(void *)> rgba(
        stbi_load_from_file(file, &width, &height, &channels, 4), stbi_image_free);
    if (!rgba) return failed(problem_after_failure(), stbi_failure_reason());
    bitmap->reset(width, height);
    const unsigned char *in = rgba.get();
    for (int y = 0; y < height; ++y) {
        Pixel *row = bitmap->row(y);
        for (int x = 0; x < width; ++x, in += 4) row[x] = argb(in[3], in[0], in[1], in[2]);
    }
    return PngProblem::none;
}

}  // namespace platform
