// Animated GIF files: each frame's changed pixels kept in a scratch file, one palette chosen
// from the whole run, then every frame LZW-encoded against what the viewer shows.
#include "gif_writer.h"

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

#include "platform/pixel_changes.h"
#include "testing.h"

namespace {

constexpr int kPaletteSize = 256;
constexpr uint8_t kTransparent = kPaletteSize - 1;

using platform::fail;
using platform::Pixel;

// Red, green and blue weighted by how strongly the eye tells them apart.
long distance(Pixel a, Pixel b) {
    const long dr = long(platform::red_of(a)) - platform::red_of(b);
    const long dg = long(platform::green_of(a)) - platform::green_of(b);
    const long db = long(platform::blue_of(a)) - platform::blue_of(b);
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

// In hundredths of a second, as GIF delays go.
int delay_cs(int64_t stood_ms) {
    const long long frames = std::llround(double(std::max<int64_t>(stood_ms, 0)) / GifWriter::kFrameMs);
    return int(std::clamp<long long>(frames, 1, 6553) * (GifWriter::kFrameMs / 10));
}

void put_varint(std::vector<unsigned char> &out, uint32_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<unsigned char>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<unsigned char>(value));
}

bool get_varint(const unsigned char *&at, const unsigned char *end, uint32_t *value) {
    uint32_t result = 0;
    for (int shift = 0; shift < 35 && at < end; shift += 7) {
        const unsigned char byte = *at++;
        result |= uint32_t(byte & 0x7F) << shift;
        if (!(byte & 0x80)) {
            *value = result;
            return true;
        }
    }
    return false;
}

void put_le16(std::vector<unsigned char> &out, int value) {
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

// What a frame's record in the scratch file starts with.
struct RecordHead {
    uint32_t bytes = 0;   // what follows: the runs, then their pixels' colour numbers
    uint32_t runs = 0;
    uint32_t pixels = 0;
    uint32_t id_bytes = 0;  // 1, 2 or 4 for each colour number
};

}  // namespace

// Every colour the run used, numbered as first seen, with the pixels it covered in every
// frame so far. An open-addressing table: a colour, opaque, is never 0, the mark of a
// free slot.
struct GifWriter::Colours {
    // Pixels counted lazily: `current` pixels in every frame since frame `since`, not yet
    // added to `total`.
    struct Uses {
        uint64_t total = 0;
        uint64_t current = 0;
        int since = 0;
    };
    // The colour looked up last, as pixels come in runs of one colour.
    struct Last {
        Pixel colour = 0;
        uint32_t id = 0;
    };

    int shift = 22;  // 32 - log2 of the slots
    std::vector<Pixel> keys;
    std::vector<uint32_t> ids;
    std::vector<Pixel> colours;
    std::vector<Uses> uses;
    Last coming, going;  // for the pixels a frame brings and the ones it replaces

    Colours() : keys(size_t(1) << (32 - shift), 0), ids(keys.size(), 0) {}

    size_t slot_of(Pixel colour) const { return size_t(uint32_t(colour * 0x9E3779B1u) >> shift); }

    uint32_t id(Pixel colour, Last &last) {
        colour |= 0xFF000000u;
        if (colour == last.colour) return last.id;
        const size_t mask = keys.size() - 1;
        size_t slot = slot_of(colour);
        while (keys[slot] != colour && keys[slot] != 0) slot = (slot + 1) & mask;
        last.colour = colour;
        if (keys[slot] != 0) return last.id = ids[slot];
        keys[slot] = colour;
        ids[slot] = last.id = uint32_t(colours.size());
        colours.push_back(colour);
        uses.emplace_back();
        if (colours.size() * 2 > keys.size()) grow();
        return last.id;
    }

    // One pixel more (or fewer) of colour id from frame on.
    void count(uint32_t id, int frame, bool more) {
        Uses &use = uses[id];
        use.total += use.current * uint64_t(frame - use.since);
        use.since = frame;
        use.current = more ? use.current + 1 : use.current - 1;
    }

    uint64_t pixels(uint32_t id, int frames) const {
        return uses[id].total + uses[id].current * uint64_t(frames - uses[id].since);
    }

    void grow() {
        --shift;
        keys.assign(size_t(1) << (32 - shift), 0);
        ids.assign(keys.size(), 0);
        const size_t mask = keys.size() - 1;
        for (uint32_t i = 0; i < colours.size(); ++i) {
            size_t slot = slot_of(colours[i]);
            while (keys[slot] != 0) slot = (slot + 1) & mask;
            keys[slot] = colours[i];
            ids[slot] = i;
        }
    }
};

// GIF image data: LZW codes of 9 to 12 bits in 255-byte sub-blocks, a clear code when the
// table is full. The table is direct (a code and a byte lead to the longer code) and is
// emptied by moving to a new generation. Runs of the transparent index go along the codes
// for one, two, three... transparent pixels that the table holds, a code a step rather
// than a pixel a step.
struct GifWriter::Lzw {
    static constexpr uint32_t kClear = 256, kEnd = 257, kFirst = 258, kLimit = 4095;
    static constexpr int kGenerationShift = 12;

    std::vector<uint32_t> table = std::vector<uint32_t>(size_t(kLimit + 1) * 256, 0);
    uint32_t generation = 1;
    std::vector<uint16_t> chain = std::vector<uint16_t>(kLimit + 2, 0);  // chain[n]: n transparent pixels
    uint32_t longest = 0;       // the longest such string in the table
    int transparent = -1;
    int width = 9;
    uint32_t next = kFirst;
    int32_t current = -1;       // the code of the string being matched, -1 before a pixel
    uint32_t run_length = 0;    // its length when it is transparent pixels only, else 0
    uint64_t bits = 0;
    int bit_count = 0;
    std::vector<unsigned char> *out = nullptr;
    size_t block_at = 0;
    int block_length = 0;

    void start(std::vector<unsigned char> *data, int transparent_index) {
        out = data;
        transparent = transparent_index;
        out->push_back(8);  // the smallest code size, for 256 colours
        block_at = out->size();
        out->push_back(0);
        block_length = 0;
        bits = 0;
        bit_count = 0;
        current = -1;
        run_length = 0;
        width = 9;
        next = kFirst;
        emit(kClear);
        reset();
    }

    void reset() {
        next = kFirst;
        width = 9;
        if (++generation == (1u << (32 - kGenerationShift))) {
            std::fill(table.begin(), table.end(), 0u);
            generation = 1;
        }
        longest = transparent >= 0 ? 1 : 0;
        if (transparent >= 0) chain[1] = uint16_t(transparent);
    }

    void byte(unsigned char value) {
        if (block_length == 255) {
            (*out)[block_at] = 255;
            block_at = out->size();
            out->push_back(0);
            block_length = 0;
        }
        out->push_back(value);
        ++block_length;
    }

    // A code grows a bit when the next one to be made no longer fits, as decoders expect.
    void emit(uint32_t code) {
        bits |= uint64_t(code) << bit_count;
        bit_count += width;
        while (bit_count >= 8) {
            byte(static_cast<unsigned char>(bits & 0xFF));
            bits >>= 8;
            bit_count -= 8;
        }
        if (next >= (1u << width) && width < 12) ++width;
    }

    // current ends before pixel: out it goes, and current + pixel becomes a code.
    void emit_and_add(uint8_t pixel) {
        emit(uint32_t(current));
        if (next >= kLimit) {
            emit(kClear);
            reset();
            return;
        }
        table[size_t(current) * 256 + pixel] = (generation << kGenerationShift) | next;
        if (run_length != 0 && run_length == longest && pixel == transparent) chain[++longest] = uint16_t(next);
        ++next;
    }

    void put(uint8_t pixel) {
        if (current < 0) {
            current = pixel;
            run_length = pixel == transparent;
            return;
        }
        const uint32_t entry = table[size_t(current) * 256 + pixel];
        if ((entry >> kGenerationShift) == generation) {
            current = int32_t(entry & 0xFFF);
            run_length = run_length != 0 && pixel == transparent ? run_length + 1 : 0;
            return;
        }
        emit_and_add(pixel);
        current = pixel;
        run_length = pixel == transparent;
    }

    void put_span(const uint8_t *pixels, size_t count) {
        for (size_t i = 0; i < count; ++i) put(pixels[i]);
    }

    void put_transparent(size_t count) {
        while (count > 0) {
            if (run_length == 0) {  // a string that does not end in a transparent run
                put(uint8_t(transparent));
                --count;
                continue;
            }
            const size_t room = longest - run_length;
            if (count <= room) {
                run_length += uint32_t(count);
                current = chain[run_length];
                return;
            }
            count -= room + 1;
            run_length = longest;
            current = chain[longest];
            emit_and_add(uint8_t(transparent));
            current = transparent;
            run_length = 1;
        }
    }

    void finish() {
        if (current >= 0) emit(uint32_t(current));
        emit(kEnd);
        if (bit_count > 0) byte(static_cast<unsigned char>(bits & 0xFF));
        (*out)[block_at] = static_cast<unsigned char>(block_length);
        if (block_length > 0) out->push_back(0);
        out = nullptr;
    }
};

GifWriter::GifWriter() = default;

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
    times_.clear();
    colours_ = std::make_unique<Colours>();
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

// A run of changed pixels, gap pixels after the end of the run before, into the record;
// before is what they replace (none in the first frame).
void GifWriter::keep_run(const Pixel *pixels, const Pixel *before, uint32_t gap, uint32_t length) {
    put_varint(record_, gap);
    put_varint(record_, length);
    ++runs_;
    Colours &colours = *colours_;
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t id = colours.id(pixels[i], colours.coming);
        colours.count(id, frames_, true);
        if (before) colours.count(colours.id(before[i], colours.going), frames_, false);
        ids_.push_back(id);
    }
}

// Finds the runs of pixels that differ from the frame before (all of the first frame),
// puts them into previous_ and keeps them in the scratch file.
bool GifWriter::keep_frame(const platform::Bitmap &picture, std::string *error) {
    record_.clear();
    ids_.clear();
    runs_ = 0;
    const int width = width_;
    uint32_t end_of_last = 0;
    for (int y = 0; y < height_; ++y) {
        const Pixel *now = picture.row(y);
        Pixel *before = previous_.row(y);
        const uint32_t row_start = uint32_t(y) * uint32_t(width);
        if (frames_ == 0) {
            keep_run(now, nullptr, row_start - end_of_last, uint32_t(width));
            std::memcpy(before, now, size_t(width) * sizeof(Pixel));
            end_of_last = row_start + uint32_t(width);
            continue;
        }
        if (std::memcmp(now, before, size_t(width) * sizeof(Pixel)) == 0) continue;
        for (int x = platform::first_difference(before, now, 0, width); x < width;
             x = platform::first_difference(before, now, x, width)) {
            int stop = x + 1;
            while (stop < width && before[stop] != now[stop]) ++stop;
            const uint32_t start = row_start + uint32_t(x);
            keep_run(now + x, before + x, start - end_of_last, uint32_t(stop - x));
            std::memcpy(before + x, now + x, size_t(stop - x) * sizeof(Pixel));
            end_of_last = start + uint32_t(stop - x);
            x = stop;
        }
    }
    // Colour numbers take as few bytes as the colours seen so far need.
    const size_t seen = colours_->colours.size();
    const uint32_t id_bytes = seen <= 256 ? 1 : seen <= 65536 ? 2 : 4;
    const size_t runs_end = record_.size();
    record_.resize(runs_end + ids_.size() * id_bytes);
    unsigned char *at = record_.data() + runs_end;
    if (id_bytes == 1) {
        for (const uint32_t id : ids_) *at++ = static_cast<unsigned char>(id);
    } else if (id_bytes == 2) {
        for (const uint32_t id : ids_) {
            const uint16_t narrow = uint16_t(id);
            std::memcpy(at, &narrow, 2);
            at += 2;
        }
    } else {
        std::memcpy(at, ids_.data(), ids_.size() * 4);
    }
    const RecordHead head{uint32_t(record_.size()), runs_, uint32_t(ids_.size()), id_bytes};
    if (std::fwrite(&head, sizeof head, 1, frames_file_) != 1 ||
        std::fwrite(record_.data(), 1, record_.size(), frames_file_) != record_.size()) {
        return fail(error, std::string("cannot keep a frame in the scratch file: ") + std::strerror(errno));
    }
    return true;
}

bool GifWriter::add_frame(const platform::Bitmap &picture, int width, int height, int64_t time_ms,
                          std::string *error) {
    if (!out_) return fail(error, "the GIF file is not open");
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535 || width > picture.width() ||
        height > picture.height()) {
        return fail(error, "a frame of " + std::to_string(width) + "x" + std::to_string(height) +
                               " pixels cannot go into a GIF");
    }
    if (frames_ == 0) {
        if (int64_t(width) * height > int64_t(UINT32_MAX / 4)) {
            return fail(error, "a frame of " + std::to_string(width) + "x" + std::to_string(height) +
                                   " pixels is too large for a GIF");
        }
        width_ = width;
        height_ = height;
        previous_.reset(width, height);
    } else if (width != width_ || height != height_) {
        return fail(error, "a frame of another size than the first");
    }
    if (!keep_frame(picture, error)) return false;
    times_.push_back(time_ms);
    ++frames_;
    return true;
}

// The colours that covered the most pixels over all frames first. All of them when they fit; with at most 255 the last
// index stays free to mark the unchanged pixels of a frame.
void GifWriter::choose_palette() {
    const Colours &colours = *colours_;
    std::vector<uint32_t> order(colours.colours.size());
    std::vector<uint64_t> used(order.size());
    for (uint32_t i = 0; i < order.size(); ++i) {
        order[i] = i;
        used[i] = colours.pixels(i, frames_);
    }
    std::sort(order.begin(), order.end(), [&colours, &used](uint32_t a, uint32_t b) {
        return used[a] != used[b] ? used[a] > used[b] : colours.colours[a] < colours.colours[b];
    });
    const size_t kept = order.size() == size_t(kPaletteSize) ? order.size()
                                                             : std::min(order.size(), size_t(kTransparent));
    transparency_ = kept < size_t(kPaletteSize);
    palette_.clear();
    index_of_.assign(order.size(), 0);
    for (size_t i = 0; i < kept; ++i) {
        index_of_[order[i]] = uint8_t(i);
        palette_.push_back(colours.colours[order[i]]);
    }
    for (size_t i = kept; i < order.size(); ++i) {
        const Pixel colour = colours.colours[order[i]];
        size_t best = 0;
        for (size_t j = 1; j < palette_.size(); ++j) {
            if (distance(palette_[j], colour) < distance(palette_[best], colour)) best = j;
        }
        index_of_[order[i]] = uint8_t(best);
    }
    approximated_ = (long long)(order.size() - kept);
}

// Reads the next frame's record, maps its colours to the palette, and writes the frame:
// the box around the pixels whose index changed, the others in it transparent.
bool GifWriter::write_frame(bool first, int delay, Lzw &lzw, std::string *error) {
    const auto damaged = [error]() { return fail(error, "a frame in the scratch file is damaged"); };
    RecordHead head;
    const uint64_t frame_pixels = uint64_t(width_) * uint64_t(height_);
    if (std::fread(&head, sizeof head, 1, frames_file_) != 1) return damaged();
    if (head.pixels > frame_pixels || head.runs > head.pixels ||
        (head.id_bytes != 1 && head.id_bytes != 2 && head.id_bytes != 4) ||
        uint64_t(head.bytes) < uint64_t(head.pixels) * head.id_bytes ||
        uint64_t(head.bytes) > uint64_t(head.pixels) * head.id_bytes + uint64_t(head.runs) * 10) {
        return damaged();
    }
    record_.resize(head.bytes);
    if (std::fread(record_.data(), 1, head.bytes, frames_file_) != head.bytes) return damaged();

    const unsigned char *at = record_.data();
    const unsigned char *ids = record_.data() + (head.bytes - size_t(head.pixels) * head.id_bytes);
    changed_.clear();
    changed_indices_.clear();
    uint64_t position = 0, taken = 0;
    for (uint32_t run = 0; run < head.runs; ++run) {
        uint32_t gap = 0, length = 0;
        if (!get_varint(at, ids, &gap) || !get_varint(at, ids, &length)) return damaged();
        const uint64_t start = position + gap;
        if (length == 0 || start + length > frame_pixels || taken + length > head.pixels) return damaged();
        for (uint64_t p = start; p < start + length; ++p, ++taken) {
            uint32_t id = 0;
            if (head.id_bytes == 1) {
                id = ids[taken];
            } else if (head.id_bytes == 2) {
                uint16_t narrow = 0;
                std::memcpy(&narrow, ids + taken * 2, 2);
                id = narrow;
            } else {
                std::memcpy(&id, ids + taken * 4, 4);
            }
            if (id >= index_of_.size()) return damaged();
            const uint8_t index = index_of_[id];
            if (!first && shown_[p] == index) continue;  // a colour shown by the same index
            shown_[p] = index;
            const size_t count = changed_.size();
            if (count > 0 && uint64_t(changed_[count - 2]) + changed_[count - 1] == p) {
                ++changed_[count - 1];
            } else {
                changed_.push_back(uint32_t(p));
                changed_.push_back(1);
            }
            changed_indices_.push_back(index);
        }
        position = start + length;
    }
    if (taken != head.pixels || at != ids) return damaged();

    Box box{0, 0, 1, 1};  // nothing changed: one pixel
    if (first) {
        box = Box{0, 0, width_, height_};
    } else if (!changed_.empty()) {
        const uint32_t w = uint32_t(width_);
        box = Box{width_, int(changed_.front() / w), 0, 0};
        for (size_t i = 0; i < changed_.size(); i += 2) {
            const uint32_t start = changed_[i], end = changed_[i] + changed_[i + 1];
            const int left = int(start % w), right = int((end - 1) % w) + 1;
            if ((start / w) != (end - 1) / w) {
                box.left = 0;
                box.right = width_;
            } else {
                box.left = std::min(box.left, left);
                box.right = std::max(box.right, right);
            }
        }
        box.bottom = int((changed_[changed_.size() - 2] + changed_.back() - 1) / w) + 1;
    }
    const int box_width = box.right - box.left, box_height = box.bottom - box.top;
    const bool see_through = !first && transparency_;

    data_.clear();
    // The graphic control extension: left in place, the delay, the transparent index.
    data_.insert(data_.end(), {0x21, 0xF9, 0x04, static_cast<unsigned char>((1 << 2) | (see_through ? 1 : 0))});
    put_le16(data_, delay);
    data_.push_back(kTransparent);  // read only when the flag says so
    data_.push_back(0);
    data_.push_back(0x2C);  // the image descriptor, no colour table of its own
    put_le16(data_, box.left);
    put_le16(data_, box.top);
    put_le16(data_, box_width);
    put_le16(data_, box_height);
    data_.push_back(0);
    lzw.start(&data_, see_through ? kTransparent : -1);
    if (!see_through) {
        for (int y = box.top; y < box.bottom; ++y) {
            lzw.put_span(shown_.data() + size_t(y) * size_t(width_) + size_t(box.left), size_t(box_width));
        }
    } else {
        const uint32_t w = uint32_t(width_);
        uint64_t cursor = 0;
        const uint8_t *indices = changed_indices_.data();
        for (size_t i = 0; i < changed_.size(); i += 2) {
            const uint32_t start = changed_[i], length = changed_[i + 1];
            const uint64_t stream = uint64_t(start / w - uint32_t(box.top)) * uint64_t(box_width) +
                                    (start % w - uint32_t(box.left));
            lzw.put_transparent(size_t(stream - cursor));
            lzw.put_span(indices, length);
            indices += length;
            cursor = stream + length;
        }
        lzw.put_transparent(size_t(uint64_t(box_width) * uint64_t(box_height) - cursor));
    }
    lzw.finish();
    if (std::fwrite(data_.data(), 1, data_.size(), out_) != data_.size()) {
        return fail(error, std::strerror(errno));
    }
    return true;
}

bool GifWriter::finish(std::string *error) {
    if (!out_) return fail(error, "the GIF file is not open");
    if (frames_ == 0) {
        discard();
        return fail(error, "no frames");
    }
    choose_palette();
    // The header, the screen with one 256-colour table, and the loop that has viewers play
    // the animation over and over.
    data_.clear();
    for (const char c : std::string("GIF89a")) data_.push_back(static_cast<unsigned char>(c));
    put_le16(data_, width_);
    put_le16(data_, height_);
    data_.insert(data_.end(), {0xF7, 0, 0});
    for (int i = 0; i < kPaletteSize; ++i) {
        const Pixel colour = size_t(i) < palette_.size() ? palette_[size_t(i)] : 0;
        data_.insert(data_.end(), {platform::red_of(colour), platform::green_of(colour), platform::blue_of(colour)});
    }
    data_.insert(data_.end(), {0x21, 0xFF, 11});
    for (const char c : std::string("NETSCAPE2.0")) data_.push_back(static_cast<unsigned char>(c));
    data_.insert(data_.end(), {3, 1, 0, 0, 0});
    bool ok = std::fseek(frames_file_, 0, SEEK_SET) == 0 || fail(error, std::strerror(errno));
    ok = ok && (std::fwrite(data_.data(), 1, data_.size(), out_) == data_.size() || fail(error, std::strerror(errno)));
    if (ok) {
        const auto lzw = std::make_unique<Lzw>();
        shown_.assign(size_t(width_) * size_t(height_), 0);
        for (int i = 0; ok && i < frames_; ++i) {
            // A frame stands until the next one's time; the last one a tenth of a second.
            const int64_t stood = i + 1 < frames_ ? times_[size_t(i) + 1] - times_[size_t(i)] : kFrameMs;
            ok = write_frame(i == 0, delay_cs(stood), *lzw, error);
        }
    }
    ok = ok && (std::fputc(0x3B, out_) != EOF || fail(error, std::strerror(errno)));
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
