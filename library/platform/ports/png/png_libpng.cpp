// The PNG codec on desktops: libpng. libpng reports errors by longjmp, so each call keeps
// the objects it must free outside the jump's reach and never returns a half-filled bitmap.
#include "platform/png_codec.h"

#include <png.h>

#include <algorithm>

#include <csetjmp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/alpha_picture.h"

namespace platform {
namespace {

// Largest picture we agree to read: far above any window, small enough to allocate.
constexpr png_uint_32 kMaxSide = 16384;

struct PngError {
    char message[200] = "";
    bool truncated = false;  // the file ended before the picture did
    bool too_large = false;
};

// Reads through stdio ourselves, so that a file that ends early is told from a damaged one.
void read_data(png_structp png, png_bytep data, png_size_t length) {
    FILE *file = static_cast<FILE *>(png_get_io_ptr(png));
    if (fread(data, 1, length, file) == length) return;
    auto *error = static_cast<PngError *>(png_get_error_ptr(png));
    if (error && feof(file)) error->truncated = true;
    png_error(png, "read error");
}

void on_error(png_structp png, png_const_charp message) {
    auto *error = static_cast<PngError *>(png_get_error_ptr(png));
    if (error && !error->message[0]) snprintf(error->message, sizeof error->message, "%s", message);
    longjmp(png_jmpbuf(png), 1);
}

// Writes through stdio ourselves, so that a failed write reports the system's reason
// (a full disk) rather than libpng's "Write Error".
void write_data(png_structp png, png_bytep data, png_size_t length) {
    FILE *file = static_cast<FILE *>(png_get_io_ptr(png));
    if (fwrite(data, 1, length, file) == length) return;
    auto *error = static_cast<PngError *>(png_get_error_ptr(png));
    if (error) snprintf(error->message, sizeof error->message, "%s", strerror(errno));
    png_error(png, "write failed");
}

void flush_data(png_structp png) {
    FILE *file = static_cast<FILE *>(png_get_io_ptr(png));
    if (fflush(file) == 0) return;
    auto *error = static_cast<PngError *>(png_get_error_ptr(png));
    if (error) snprintf(error->message, sizeof error->message, "%s", strerror(errno));
    png_error(png, "write failed");
}

void on_warning(png_structp, png_const_charp) {}

// Rows as 8-bit RGB, prepared before libpng gets control so no C++ object lives
// across a longjmp.
std::vector<png_byte> rgb_rows(const Bitmap &bitmap) {
    std::vector<png_byte> data(size_t(bitmap.width()) * size_t(bitmap.height()) * 3);
    png_byte *out = data.data();
    for (int y = 0; y < bitmap.height(); ++y) {
        const Pixel *row = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            *out++ = red_of(row[x]);
            *out++ = green_of(row[x]);
            *out++ = blue_of(row[x]);
        }
    }
    return data;
}

std::vector<png_bytep> row_pointers(std::vector<png_byte> &data, png_uint_32 height,
                                    size_t stride) {
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = data.data() + y * stride;
    return rows;
}

// The libpng part of writing; returns false after a libpng error.
bool encode(FILE *file, png_uint_32 width, png_uint_32 height, png_bytep *rows, PngError *error) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, on_error, on_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_set_write_fn(png, file, write_data, flush_data);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

struct Decoded {
    png_uint_32 width = 0, height = 0;
    std::vector<png_byte> rgba;
};

// The libpng part of reading: header checks, then every format turned into 8-bit RGBA.
// The pixel buffer is sized from the checked header before rows are read.
bool decode(FILE *file, Decoded *out, PngError *error, png_uint_32 max_side = kMaxSide) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, error, on_error, on_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> *rows = new std::vector<png_bytep>;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        delete rows;
        return false;
    }
    png_set_read_fn(png, file, read_data);
    // Our own check below names the size; libpng's limit only guards its own arithmetic.
    png_set_user_limits(png, 0x7fffffffu, 0x7fffffffu);
    png_read_info(png, info);
    if (png_get_image_width(png, info) > max_side || png_get_image_height(png, info) > max_side) {
        error->too_large = true;
        snprintf(error->message, sizeof error->message, "%ux%u pixels, at most %ux%u",
                 unsigned(png_get_image_width(png, info)), unsigned(png_get_image_height(png, info)),
                 unsigned(max_side), unsigned(max_side));
        png_error(png, "too large");
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out->width = png_get_image_width(png, info);
    out->height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != size_t(out->width) * 4) png_error(png, "unexpected row size");
    out->rgba.resize(size_t(out->width) * out->height * 4);
    *rows = row_pointers(out->rgba, out->height, size_t(out->width) * 4);
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    delete rows;
    return true;
}

}  // namespace

bool encode_png(FILE *file, const Bitmap &bitmap, std::string *error) {
    std::vector<png_byte> data = rgb_rows(bitmap);
    std::vector<png_bytep> rows = row_pointers(data, bitmap.height(), size_t(bitmap.width()) * 3);
    PngError problem;
    if (encode(file, bitmap.width(), bitmap.height(), rows.data(), &problem)) return true;
    if (error) *error = problem.message[0] ? problem.message : "cannot encode the picture";
    return false;
}

bool decode_png(FILE *file, Bitmap *bitmap, std::string *error) {
    Decoded decoded;
    PngError problem;
    if (!decode(file, &decoded, &problem)) {
        if (error) *error = problem.message;
        return false;
    }
    bitmap->reset(int(decoded.width), int(decoded.height));
    const png_byte *in = decoded.rgba.data();
    for (int y = 0; y < bitmap->height(); ++y) {
        Pixel *row = bitmap->row(y);
        for (int x = 0; x < bitmap->width(); ++x, in += 4) row[x] = rgb(in[0], in[1], in[2]);
    }
    return true;
}

PngProblem decode_png_alpha(FILE *file, int max_side, Bitmap *bitmap, std::string *detail) {
    Decoded decoded;
    PngError problem;
    if (!decode(file, &decoded, &problem, png_uint_32(std::max(max_side, 1)))) {
        if (detail) *detail = problem.message;
        if (problem.too_large) return PngProblem::too_large;
        return problem.truncated ? PngProblem::truncated : PngProblem::damaged;
    }
    bitmap->reset(int(decoded.width), int(decoded.height));
    const png_byte *in = decoded.rgba.data();
    for (int y = 0; y < bitmap->height(); ++y) {
        Pixel *row = bitmap->row(y);
        for (int x = 0; x < bitmap->width(); ++x, in += 4) row[x] = argb(in[3], in[0], in[1], in[2]);
    }
    return PngProblem::none;
}

}  // namespace platform
