// PNG files in the browser through stb_image_write and stb_image (Debian's libstb-dev):
// two headers in place of libpng and zlib, which the browser build would have to compile
// first. Same interface and messages as png.cpp.
#include "platform/png.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

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

struct FileCloser {
    void operator()(FILE *f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool fail(std::string *error, const std::string &reason) {
    if (error) *error = reason;
    return false;
}

struct Output {
    FILE *file;
    bool failed = false;
};

void write_to_file(void *context, void *data, int size) {
    auto *output = static_cast<Output *>(context);
    if (size > 0 && fwrite(data, 1, size_t(size), output->file) != size_t(size)) output->failed = true;
}

}  // namespace

bool write_png(const std::string &path, const Bitmap &bitmap, std::string *error) {
    if (bitmap.width() <= 0 || bitmap.height() <= 0) return fail(error, "empty bitmap");
    File file(fopen(path.c_str(), "wb"));
    if (!file) return fail(error, "cannot create " + path + ": " + strerror(errno));
    std::vector<unsigned char> bytes(size_t(bitmap.width()) * size_t(bitmap.height()) * 3);
    unsigned char *out = bytes.data();
    for (const Pixel pixel : bitmap.pixels()) {
        *out++ = red_of(pixel);
        *out++ = green_of(pixel);
        *out++ = blue_of(pixel);
    }
    Output output{file.get()};
    if (!stbi_write_png_to_func(write_to_file, &output, bitmap.width(), bitmap.height(), 3,
                                bytes.data(), bitmap.width() * 3))
        return fail(error, "cannot write " + path + ": out of memory");
    if (output.failed || fflush(file.get()) != 0 || ferror(file.get()))
        return fail(error, "cannot write " + path + ": " + strerror(errno));
    return true;
}

bool read_png(const std::string &path, Bitmap *bitmap, std::string *error) {
    File file(fopen(path.c_str(), "rb"));
    if (!file) return fail(error, "cannot open " + path + ": " + strerror(errno));
    unsigned char signature[8];
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (fread(signature, 1, 8, file.get()) != 8 || memcmp(signature, kSignature, 8) != 0)
        return fail(error, path + " is not a PNG file");
    rewind(file.get());
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_file(file.get(), &width, &height, &channels))
        return fail(error, "cannot read " + path + ": " + stbi_failure_reason());
    if (width > kMaxSide || height > kMaxSide)
        return fail(error, "cannot read " + path + ": picture too large");
    std::unique_ptr<unsigned char, void (*)(void *)> rgba(
        stbi_load_from_file(file.get(), &width, &height, &channels, 4), stbi_image_free);
    if (!rgba) return fail(error, "cannot read " + path + ": " + stbi_failure_reason());
    bitmap->reset(width, height);
    const unsigned char *in = rgba.get();
    for (int y = 0; y < height; ++y) {
        Pixel *row = bitmap->row(y);
        for (int x = 0; x < width; ++x, in += 4) row[x] = rgb(in[0], in[1], in[2]);
    }
    return true;
}

}  // namespace platform
