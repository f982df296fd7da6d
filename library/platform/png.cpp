// PNG files: writing a picture beside its file and renaming it into place, reading one
// back. The codec underneath is the platform's (png_codec.h).
#include "platform/png.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <sys/stat.h>

#include "platform/files.h"
#include "platform/failure.h"
#include "platform/png_codec.h"

namespace platform {
namespace {

struct FileCloser {
    void operator()(FILE *f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Writes the picture into an open file; the reason on failure.
bool write_picture(FILE *file, const Bitmap &bitmap, std::string *error) {
    if (!encode_png(file, bitmap, error)) return false;
    if (fflush(file) != 0 || ferror(file)) return fail(error, strerror(errno ? errno : EIO));
    return true;
}

bool write_in_place(const std::string &path, const Bitmap &bitmap, std::string *error) {
    File file(fopen(path.c_str(), "wb"));
    if (!file) return fail(error, strerror(errno));
    if (!write_picture(file.get(), bitmap, error)) return false;
    if (fclose(file.release()) != 0) return fail(error, strerror(errno));
    return true;
}

}  // namespace

bool write_png(const std::string &path, const Bitmap &bitmap, std::string *error) {
    if (bitmap.width() <= 0 || bitmap.height() <= 0) return fail(error, "empty bitmap");
    // The picture goes to a new file beside the old one and replaces it only when whole:
    // a full disk leaves the old picture as it was. A device or a pipe is written into.
    const OutputPlace place = output_place(path);
    if (place.in_place) return write_in_place(place.path, bitmap, error);
    const std::string &target = place.path;
    std::string temporary;
    File file(create_beside(target, &temporary));
    if (!file) return fail(error, strerror(errno));
    bool written = write_picture(file.get(), bitmap, error);
    if (fclose(file.release()) != 0 && written) written = fail(error, strerror(errno));
    if (written && !replace_file(temporary, target)) written = fail(error, strerror(errno));
    if (!written) remove(temporary.c_str());
    return written;
}

bool read_png(const std::string &path, Bitmap *bitmap, std::string *error) {
    File file(fopen(path.c_str(), "rb"));
    if (!file) return fail(error, "cannot open " + path + ": " + strerror(errno));
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    unsigned char signature[8];
    if (fread(signature, 1, 8, file.get()) != 8 || memcmp(signature, kSignature, 8) != 0)
        return fail(error, path + " is not a PNG file");
    rewind(file.get());
    std::string reason;
    if (!decode_png(file.get(), bitmap, &reason)) return fail(error, "cannot read " + path + ": " + reason);
    return true;
}

bool read_png_alpha(const std::string &path, int max_side, Bitmap *bitmap, std::string *error) {
    // Some systems open a folder, some refuse it; either way the reason is the same.
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return fail(error, "a folder, not a PNG file");
    File file(fopen(path.c_str(), "rb"));
    if (!file) return fail(error, strerror(errno));
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    unsigned char signature[8];
    const size_t got = fread(signature, 1, 8, file.get());
    // A short file that starts like a PNG was cut off; anything else is not one.
    if (memcmp(signature, kSignature, got) != 0 || got == 0) return fail(error, "not a PNG file");
    if (got < 8) return fail(error, "the file is truncated");
    rewind(file.get());
    std::string detail;
    switch (decode_png_alpha(file.get(), max_side, bitmap, &detail)) {
    case PngProblem::none: return true;
    case PngProblem::truncated: return fail(error, "the file is truncated");
    case PngProblem::too_large: return fail(error, "too large (" + detail + ")");
    case PngProblem::damaged: break;
    }
    return fail(error, "damaged (" + (detail.empty() ? std::string("unreadable data") : detail) + ")");
}

}  // namespace platform
