// Animated GIF files through giflib: frames spilled (zlib-compressed) to a scratch file,
// one palette chosen from the whole run, frames differenced against what the viewer shows.
#include "gif_writer.h"

#include <gif_lib.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "testing.h"

namespace {

constexpr int kPaletteSize = 256;
constexpr uint8_t kTransparent = kPaletteSize - 1;

int write_to_file(GifFileType *gif, const GifByteType *data, int size) {
    return int(std::fwrite(data, 1, size_t(size), static_cast<std::FILE *>(gif->UserData)));
}

using platform::fail;

// Red, green and blue weighted by how strongly the eye tells them apart.
long distance(platform::Pixel a, platform::Pixel b) {
    const long dr = long(platform::red_of(a)) - platform::red_of(b);
    const long dg = long(platform::green_of(a)) - platform::green_of(b);
    const long db = long(platform::blue_of(a)) - platform::blue_of(b);
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

struct Box {
    int left, top, right, bottom;  // right and bottom excluded; empty when right <= left
};

Box changed_box(const std::vector<uint8_t> &before, const std::vector<uint8_t> &after, int width,
                int height) {
    Box box{width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        const uint8_t *a = before.data() + size_t(y) * size_t(width);
        const uint8_t *b = after.data() + size_t(y) * size_t(width);
        if (std::memcmp(a, b, size_t(width)) == 0) continue;
        int first = 0, last = width - 1;
        while (a[first] == b[first]) ++first;
        while (a[last] == b[last]) --last;
        box.left = std::min(box.left, first);
        box.right = std::max(box.right, last + 1);
        box.top = std::min(box.top, y);
        box.bottom = y + 1;
    }
    return box;
}

std::string gif_error(int code) {
    const char *reason = GifErrorString(code);
    return reason ? reason : "giflib failed";
}

// In hundredths of a second, as GIF delays go.
int delay_cs(int64_t stood_ms) {
    const long long frames = std::llround(double(std::max<int64_t>(stood_ms, 0)) / GifWriter::kFrameMs);
    return int(std::clamp<long long>(frames, 1, 6553) * (GifWriter::kFrameMs / 10));
}

}  // namespace


// Writes the frames into the GIF one by one, each differenced against what a viewer shows
// after the frames before it.
struct GifWriter::Encoder {
    GifFileType *gif = nullptr;
    int width = 0, height = 0;
    bool transparency = false;
    std::vector<uint8_t> shown;
    int written = 0;

    ~Encoder() {
        int ignored = 0;
        if (gif) EGifCloseFile(gif, &ignored);
    }

    bool start(std::FILE *out, const std::vector<platform::Pixel> &palette, std::string *error) {
        int code = 0;
        gif = EGifOpen(out, write_to_file, &code);
        if (!gif) return fail(error, gif_error(code));
        ColorMapObject *map = GifMakeMapObject(kPaletteSize, nullptr);
        if (!map) return fail(error, "out of memory");
        for (size_t i = 0; i < palette.size(); ++i) {
            map->Colors[i] = GifColorType{platform::red_of(palette[i]), platform::green_of(palette[i]),
                                          platform::blue_of(palette[i])};
        }
        EGifSetGifVersion(gif, true);
        const int put = EGifPutScreenDesc(gif, width, height, 8, 0, map);
        GifFreeMapObject(map);
        if (put != GIF_OK) return fail(error, gif_error(gif->Error));
        // Viewers play the animation over and over.
        const unsigned char loop[3] = {1, 0, 0};
        if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
            EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") != GIF_OK ||
            EGifPutExtensionBlock(gif, 3, loop) != GIF_OK || EGifPutExtensionTrailer(gif) != GIF_OK) {
            return fail(error, gif_error(gif->Error));
        }
        return true;
    }

    bool write(const std::vector<uint8_t> &frame, int delay, std::string *error) {
        Box box{0, 0, width, height};
        if (written > 0) {
            box = changed_box(shown, frame, width, height);
            if (box.right <= box.left) box = Box{0, 0, 1, 1};  // nothing changed: one pixel
        }
        const bool see_through = written > 0 && transparency;
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = delay;
        control.TransparentColor = see_through ? kTransparent : NO_TRANSPARENT_COLOR;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        const int box_width = box.right - box.left, box_height = box.bottom - box.top;
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) != GIF_OK ||
            EGifPutImageDesc(gif, box.left, box.top, box_width, box_height, false, nullptr) != GIF_OK) {
            return fail(error, gif_error(gif->Error));
        }
        if (shown.empty()) shown.assign(frame.size(), 0);
        std::vector<GifPixelType> line(static_cast<size_t>(box_width));
        for (int y = box.top; y < box.bottom; ++y) {
            const size_t start = size_t(y) * size_t(width) + size_t(box.left);
            for (int x = 0; x < box_width; ++x) {
                const uint8_t index = frame[start + size_t(x)];
                const bool same = written > 0 && shown[start + size_t(x)] == index;
                line[size_t(x)] = see_through && same ? kTransparent : index;
            }
            if (EGifPutLine(gif, line.data(), box_width) != GIF_OK) return fail(error, gif_error(gif->Error));
            std::memcpy(shown.data() + start, frame.data() + start, size_t(box_width));
        }
        ++written;
        return true;
    }

    bool close(std::string *error) {
        int code = 0;
        const int closed = EGifCloseFile(gif, &code);
        gif = nullptr;
        return closed == GIF_OK || fail(error, gif_error(code));
    }
};

GifWriter::~GifWriter() { discard(); }

void GifWriter::discard() {
    if (frames_file_) std::fclose(frames_file_);
    frames_file_ = nullptr;
    if (out_) std::fclose(out_);
    out_ = nullptr;
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
}

bool GifWriter::open(const std::string &path, std::string *error) {
    discard();
    frames_ = 0;
    uses_.clear();
    path_ = path;
    // Programs that kanvo-run starts do not inherit the files.
    out_ = platform::create_beside(path, &temporary_);
    if (!out_) return fail(error, std::strerror(errno));
    frames_file_ = platform::scratch_file();
    if (!frames_file_) {
        const std::string reason = std::strerror(errno);
        discard();
        return fail(error, reason);
    }
    return true;
}

void GifWriter::count_colours(const platform::Bitmap &frame) {
    for (int y = 0; y < frame.height(); ++y) {
        const platform::Pixel *row = frame.row(y);
        for (int x = 0; x < frame.width();) {
            int end = x + 1;
            while (end < frame.width() && row[end] == row[x]) ++end;
            uses_[row[x] | 0xFF000000u] += uint64_t(end - x);
            x = end;
        }
    }
}

bool GifWriter::spill(const platform::Bitmap &frame, int64_t time_ms, std::string *error) {
    const uLong raw = uLong(frame.pixels().size() * sizeof(platform::Pixel));
    uLongf packed = compressBound(raw);
    std::vector<Bytef> buffer(packed);
    if (compress2(buffer.data(), &packed, reinterpret_cast<const Bytef *>(frame.pixels().data()), raw,
                  Z_BEST_SPEED) != Z_OK) {
        return fail(error, "cannot compress a frame");
    }
    const uint64_t size = packed;
    if (std::fwrite(&time_ms, sizeof time_ms, 1, frames_file_) != 1 ||
        std::fwrite(&size, sizeof size, 1, frames_file_) != 1 ||
        std::fwrite(buffer.data(), 1, packed, frames_file_) != packed) {
        return fail(error, std::string("cannot keep a frame in the scratch file: ") + std::strerror(errno));
    }
    return true;
}

bool GifWriter::read_back(platform::Bitmap *frame, int64_t *time_ms, std::string *error) {
    uint64_t size = 0;
    const uLong raw = uLong(size_t(width_) * size_t(height_) * sizeof(platform::Pixel));
    if (std::fread(time_ms, sizeof *time_ms, 1, frames_file_) != 1 ||
        std::fread(&size, sizeof size, 1, frames_file_) != 1 || size > compressBound(raw)) {
        return fail(error, "cannot read a frame back from the scratch file");
    }
    std::vector<Bytef> buffer(size);
    if (std::fread(buffer.data(), 1, size, frames_file_) != size) {
        return fail(error, "cannot read a frame back from the scratch file");
    }
    *frame = platform::Bitmap(width_, height_);
    uLongf unpacked = raw;
    const platform::Pixel *pixels = frame->pixels().data();
    if (uncompress(reinterpret_cast<Bytef *>(const_cast<platform::Pixel *>(pixels)), &unpacked,
                   buffer.data(), uLong(size)) != Z_OK || unpacked != raw) {
        return fail(error, "a frame in the scratch file is damaged");
    }
    return true;
}

bool GifWriter::add_frame(const platform::Bitmap &frame, int64_t time_ms, std::string *error) {
    if (!out_) return fail(error, "the GIF file is not open");
    if (frame.width() <= 0 || frame.height() <= 0 || frame.width() > 65535 || frame.height() > 65535) {
        return fail(error, "a frame of " + std::to_string(frame.width()) + "x" +
                               std::to_string(frame.height()) + " pixels cannot go into a GIF");
    }
    if (frames_ == 0) {
        width_ = frame.width();
        height_ = frame.height();
    } else if (frame.width() != width_ || frame.height() != height_) {
        return fail(error, "a frame of another size than the first");
    }
    if (!spill(frame, time_ms, error)) return false;
    count_colours(frame);
    ++frames_;
    return true;
}

// The most used colours first. All of them when they fit; with at most 255 the last
// index stays free to mark the unchanged pixels of a frame.
void GifWriter::choose_palette() {
    std::vector<std::pair<platform::Pixel, uint64_t>> colours(uses_.begin(), uses_.end());
    std::sort(colours.begin(), colours.end(), [](const auto &a, const auto &b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    const size_t kept = colours.size() == size_t(kPaletteSize) ? colours.size()
                                                               : std::min(colours.size(), size_t(kTransparent));
    transparency_ = kept < size_t(kPaletteSize);
    palette_.clear();
    index_of_.clear();
    for (size_t i = 0; i < kept; ++i) {
        index_of_[colours[i].first] = uint8_t(i);
        palette_.push_back(colours[i].first);
    }
    for (size_t i = kept; i < colours.size(); ++i) {
        const platform::Pixel colour = colours[i].first;
        size_t best = 0;
        for (size_t j = 1; j < palette_.size(); ++j) {
            if (distance(palette_[j], colour) < distance(palette_[best], colour)) best = j;
        }
        index_of_[colour] = uint8_t(best);
    }
    approximated_ = (long long)(colours.size() - kept);
}

namespace {

std::vector<uint8_t> indexed(const platform::Bitmap &frame,
                             const std::unordered_map<platform::Pixel, uint8_t> &index_of) {
    std::vector<uint8_t> out(size_t(frame.width()) * size_t(frame.height()));
    size_t at = 0;
    for (int y = 0; y < frame.height(); ++y) {
        const platform::Pixel *row = frame.row(y);
        uint8_t index = 0;
        for (int x = 0; x < frame.width(); ++x) {
            if (x == 0 || row[x] != row[x - 1]) index = index_of.at(row[x] | 0xFF000000u);
            out[at++] = index;
        }
    }
    return out;
}

}  // namespace

bool GifWriter::finish(std::string *error) {
    if (!out_) return fail(error, "the GIF file is not open");
    if (frames_ == 0) {
        discard();
        return fail(error, "no frames");
    }
    choose_palette();
    bool ok = true;
    {
        Encoder encoder;
        encoder.width = width_;
        encoder.height = height_;
        encoder.transparency = transparency_;
        ok = std::fseek(frames_file_, 0, SEEK_SET) == 0 || fail(error, std::strerror(errno));
        ok = ok && encoder.start(out_, palette_, error);
        platform::Bitmap frame, next;
        int64_t time = 0, next_time = 0;
        ok = ok && read_back(&frame, &time, error);
        for (int i = 0; ok && i < frames_; ++i) {
            const bool last = i + 1 == frames_;
            if (!last) ok = read_back(&next, &next_time, error);
            const int64_t stood = last ? kFrameMs : next_time - time;
            ok = ok && encoder.write(indexed(frame, index_of_), delay_cs(stood), error);
            std::swap(frame, next);
            time = next_time;
        }
        ok = ok && encoder.close(error);
    }
    ok = ok && ((platform::flush_to_disk(out_) && !std::ferror(out_)) ||
                fail(error, std::strerror(errno)));
    if (ok) {
        const bool closed = std::fclose(out_) == 0;
        out_ = nullptr;
        ok = (closed && platform::replace_file(temporary_, path_)) ||
             fail(error, std::strerror(errno));
        if (ok) temporary_.clear();
    }
    discard();
    return ok;
}
