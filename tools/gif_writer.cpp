// Animated GIF files through giflib: frames spilled (zlib-compressed) to a scratch file,
// one palette chosen from the whole run, frames differenced against what the viewer shows.
#include "gif_writer.h"

#include <gif_lib.h>
#include <zlib.h>
#ifndef _WIN32
#include <fcntl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
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

using Box = GifWriter::Box;

// The smallest box within `within` that holds every element that differs between two
// images of `width` columns.
template <typename T>
Box changed_box(const T *before, const T *after, int width, const Box &within) {
    Box box{within.right, within.bottom, within.left, within.top};
    const int span = within.right - within.left;
    for (int y = within.top; y < within.bottom; ++y) {
        const T *a = before + size_t(y) * size_t(width);
        const T *b = after + size_t(y) * size_t(width);
        if (span <= 0 || std::memcmp(a + within.left, b + within.left, size_t(span) * sizeof(T)) == 0) continue;
        int first = within.left, last = within.right - 1;
        while (a[first] == b[first]) ++first;
        while (a[last] == b[last]) --last;
        box.left = std::min(box.left, first);
        box.right = std::max(box.right, last + 1);
        box.top = std::min(box.top, y);
        box.bottom = y + 1;
    }
    if (box.right <= box.left) box = Box{};
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
    std::vector<GifPixelType> line;
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

    // frame differs from the frame before only within `changed`.
    bool write(const std::vector<uint8_t> &frame, const Box &changed, int delay, std::string *error) {
        Box box{0, 0, width, height};
        if (written > 0) {
            box = changed_box(shown.data(), frame.data(), width, changed);
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
        line.resize(static_cast<size_t>(box_width));
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

GifWriter::GifWriter() = default;

GifWriter::~GifWriter() {
    discard();
    if (deflater_) deflateEnd(deflater_.get());
    if (inflater_) inflateEnd(inflater_.get());
}

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
    const platform::OutputPlace place = platform::output_place(path);
    path_ = place.path;
    in_place_ = place.in_place;
    // Programs that kanvo-run starts do not inherit the files.
    out_ = in_place_ ? std::fopen(path_.c_str(), "wb") : platform::create_beside(path_, &temporary_);
#ifndef _WIN32
    if (out_ && in_place_) fcntl(fileno(out_), F_SETFD, FD_CLOEXEC);
#endif
    if (!out_) return fail(error, std::strerror(errno));
    frames_file_ = platform::scratch_file();
    if (!frames_file_) {
        const std::string reason = std::strerror(errno);
        discard();
        return fail(error, reason);
    }
    return true;
}

// Takes the pixels of box out of the count (change -1) or into it (+1) from frame
// frames_ on; colours are looked up once per run of equal pixels.
void GifWriter::count_colours(const platform::Bitmap &frame, const Box &box, int change) {
    for (int y = box.top; y < box.bottom; ++y) {
        const platform::Pixel *row = frame.row(y);
        for (int x = box.left; x < box.right;) {
            int end = x + 1;
            while (end < box.right && row[end] == row[x]) ++end;
            Uses &uses = uses_[row[x] | 0xFF000000u];
            uses.total += uses.current * uint64_t(frames_ - uses.since);
            uses.since = frames_;
            uses.current = change > 0 ? uses.current + uint64_t(end - x) : uses.current - uint64_t(end - x);
            x = end;
        }
    }
}

// The rectangle is kept as its difference (exclusive or) from the frame before, mostly
// zeros, which run-length deflate packs fast and small.
bool GifWriter::spill(const platform::Bitmap &frame, const Box &box, int64_t time_ms, std::string *error) {
    const int box_width = box.right - box.left;
    rect_.resize(size_t(box_width) * size_t(box.bottom - box.top));
    const bool first = frames_ == 0;
    for (int y = box.top; y < box.bottom; ++y) {
        platform::Pixel *out = rect_.data() + size_t(y - box.top) * size_t(box_width);
        const platform::Pixel *now = frame.row(y) + box.left, *before = previous_.row(y) + box.left;
        for (int x = 0; x < box_width; ++x) out[x] = first ? now[x] : now[x] ^ before[x];
    }
    const uLong raw = uLong(rect_.size() * sizeof(platform::Pixel));
    if (!deflater_) {
        deflater_ = std::make_unique<z_stream>();
        if (deflateInit2(deflater_.get(), 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            deflater_.reset();
            return fail(error, "cannot compress a frame");
        }
    }
    z_stream &stream = *deflater_;
    const uLong bound = deflateBound(&stream, raw);
    if (packed_.size() < bound) packed_.resize(bound);
    deflateReset(&stream);
    stream.next_in = reinterpret_cast<Bytef *>(rect_.data());
    stream.avail_in = uInt(raw);
    stream.next_out = packed_.data();
    stream.avail_out = uInt(bound);
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) return fail(error, "cannot compress a frame");
    const uLong packed = bound - stream.avail_out;
    const uint64_t size = packed;
    const int32_t corners[4] = {box.left, box.top, box.right, box.bottom};
    if (std::fwrite(&time_ms, sizeof time_ms, 1, frames_file_) != 1 ||
        std::fwrite(corners, sizeof corners, 1, frames_file_) != 1 ||
        std::fwrite(&size, sizeof size, 1, frames_file_) != 1 ||
        std::fwrite(packed_.data(), 1, packed, frames_file_) != packed) {
        return fail(error, std::string("cannot keep a frame in the scratch file: ") + std::strerror(errno));
    }
    return true;
}

// Reads the next kept rectangle into rect_; apply_rect puts it into previous_ (the frame
// being rebuilt).
bool GifWriter::read_back(Box *box, int64_t *time_ms, std::string *error) {
    uint64_t size = 0;
    int32_t corners[4];
    const auto damaged = [error]() { return fail(error, "cannot read a frame back from the scratch file"); };
    if (std::fread(time_ms, sizeof *time_ms, 1, frames_file_) != 1 ||
        std::fread(corners, sizeof corners, 1, frames_file_) != 1 ||
        std::fread(&size, sizeof size, 1, frames_file_) != 1) {
        return damaged();
    }
    *box = Box{corners[0], corners[1], corners[2], corners[3]};
    if (box->left < 0 || box->top < 0 || box->right > width_ || box->bottom > height_ ||
        box->right < box->left || box->bottom < box->top) {
        return damaged();
    }
    const int box_width = box->right - box->left;
    const uLong raw = uLong(size_t(box_width) * size_t(box->bottom - box->top) * sizeof(platform::Pixel));
    if (size > 2 * compressBound(raw) + 64) return damaged();
    if (packed_.size() < size) packed_.resize(size);
    if (std::fread(packed_.data(), 1, size, frames_file_) != size) return damaged();
    rect_.resize(raw / sizeof(platform::Pixel));
    if (!inflater_) {
        inflater_ = std::make_unique<z_stream>();
        if (inflateInit2(inflater_.get(), -15) != Z_OK) {
            inflater_.reset();
            return damaged();
        }
    }
    z_stream &stream = *inflater_;
    inflateReset(&stream);
    stream.next_in = packed_.data();
    stream.avail_in = uInt(size);
    stream.next_out = reinterpret_cast<Bytef *>(rect_.data());
    stream.avail_out = uInt(raw);
    if (inflate(&stream, Z_FINISH) != Z_STREAM_END || stream.avail_out != 0) {
        return fail(error, "a frame in the scratch file is damaged");
    }
    return true;
}

void GifWriter::apply_rect(const Box &box) {
    const int box_width = box.right - box.left;
    for (int y = box.top; y < box.bottom; ++y) {
        const platform::Pixel *change = rect_.data() + size_t(y - box.top) * size_t(box_width);
        platform::Pixel *pixel = previous_.row(y) + box.left;
        for (int x = 0; x < box_width; ++x) pixel[x] ^= change[x];
    }
}

bool GifWriter::add_frame(const platform::Bitmap &frame, int64_t time_ms, std::string *error) {
    if (!out_) return fail(error, "the GIF file is not open");
    if (frame.width() <= 0 || frame.height() <= 0 || frame.width() > 65535 || frame.height() > 65535) {
        return fail(error, "a frame of " + std::to_string(frame.width()) + "x" +
                               std::to_string(frame.height()) + " pixels cannot go into a GIF");
    }
    Box box{0, 0, frame.width(), frame.height()};
    if (frames_ == 0) {
        width_ = frame.width();
        height_ = frame.height();
        previous_ = frame;
    } else if (frame.width() != width_ || frame.height() != height_) {
        return fail(error, "a frame of another size than the first");
    } else {
        box = changed_box(previous_.pixels().data(), frame.pixels().data(), width_, box);
    }
    if (!spill(frame, box, time_ms, error)) return false;
    if (frames_ > 0) count_colours(previous_, box, -1);
    count_colours(frame, box, +1);
    for (int y = box.top; y < box.bottom; ++y) {
        std::copy(frame.row(y) + box.left, frame.row(y) + box.right, previous_.row(y) + box.left);
    }
    ++frames_;
    return true;
}

// The most used colours first. All of them when they fit; with at most 255 the last
// index stays free to mark the unchanged pixels of a frame.
void GifWriter::choose_palette() {
    std::vector<std::pair<platform::Pixel, uint64_t>> colours;
    for (const auto &[colour, uses] : uses_) {
        const uint64_t total = uses.total + uses.current * uint64_t(frames_ - uses.since);
        if (total > 0) colours.emplace_back(colour, total);
    }
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

// The palette indices of box's pixels, into out (a whole frame's worth).
void index_box(const platform::Bitmap &frame, const Box &box,
               const std::unordered_map<platform::Pixel, uint8_t> &index_of, std::vector<uint8_t> *out) {
    platform::Pixel last_colour = 0;
    uint8_t index = 0;
    bool known = false;
    for (int y = box.top; y < box.bottom; ++y) {
        const platform::Pixel *row = frame.row(y);
        uint8_t *indices = out->data() + size_t(y) * size_t(frame.width());
        for (int x = box.left; x < box.right; ++x) {
            if (!known || row[x] != last_colour) {
                last_colour = row[x];
                index = index_of.at(row[x] | 0xFF000000u);
                known = true;
            }
            indices[x] = index;
        }
    }
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
        // A frame's delay needs the next frame's time: the next rectangle is read before
        // this frame is written, and put in place after.
        std::vector<uint8_t> indices(size_t(width_) * size_t(height_));
        Box box, next_box;
        int64_t time = 0, next_time = 0;
        previous_ = platform::Bitmap(width_, height_, 0);  // the first frame is kept whole
        ok = ok && read_back(&box, &time, error);
        if (ok) apply_rect(box);
        for (int i = 0; ok && i < frames_; ++i) {
            index_box(previous_, box, index_of_, &indices);
            const bool last = i + 1 == frames_;
            if (!last) ok = read_back(&next_box, &next_time, error);
            const int64_t stood = last ? kFrameMs : next_time - time;
            ok = ok && encoder.write(indices, box, delay_cs(stood), error);
            if (ok && !last) apply_rect(next_box);
            box = next_box;
            time = next_time;
        }
        ok = ok && encoder.close(error);
    }
    ok = ok && (((in_place_ ? std::fflush(out_) == 0 : platform::flush_to_disk(out_)) && !std::ferror(out_)) ||
                fail(error, std::strerror(errno)));
    if (ok) {
        const bool closed = std::fclose(out_) == 0;
        out_ = nullptr;
        ok = (closed && (in_place_ || platform::replace_file(temporary_, path_))) ||
             fail(error, std::strerror(errno));
        if (ok) temporary_.clear();
    }
    discard();
    return ok;
}
