// Animated GIF files through giflib, for kanvo-run and kanvo-replay. Frames are kept,
// compressed, in a scratch file until the run is over, so that the one palette that all
// frames share is chosen from every colour the run used: exactly those colours when they
// are at most 256 (the palette colours and the shades of anti-aliased text often are),
// otherwise the 255 most used, the rest shown by the nearest of them. Every frame after
// the first holds only the rectangle that changed, with the pixels inside it that did not
// change left transparent, so that a long animation stays small. A frame costs in
// proportion to what changed in it: only that rectangle is compared, counted, kept and
// encoded.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "testing.h"

struct GifFileType;
struct z_stream_s;

class GifWriter {
public:
    // The GIF plays at ten frames a second, the pace of Kanvo's animation: a frame stands
    // for the time it stood on screen rounded to whole tenths of a second, at least one
    // (a replayed script delivers its events faster than the animation ran when it was
    // recorded). The last frame stands one tenth.
    static constexpr int64_t kFrameMs = 100;

    GifWriter();
    ~GifWriter();  // an unfinished file is removed
    GifWriter(const GifWriter &) = delete;
    GifWriter &operator=(const GifWriter &) = delete;

    // Starts the file: a temporary beside path that finish() renames into place, so a
    // failed run leaves no half-written picture. On failure returns false with a reason.
    bool open(const std::string &path, std::string *error);
    bool is_open() const { return out_ != nullptr; }

    // A frame that went on screen at time_ms (a clock in milliseconds that never goes
    // back), until the next frame's time. Every frame has the first one's size.
    bool add_frame(const platform::Bitmap &frame, int64_t time_ms, std::string *error);

    // Chooses the palette, writes every frame and renames the file into place.
    bool finish(std::string *error);
    // Gives up: removes the unfinished file; is_open() is false from now on.
    void discard();

    int frames() const { return frames_; }
    // After finish: distinct colours that did not fit and are shown by the nearest one kept.
    long long approximated_colours() const { return approximated_; }

    // A rectangle of a frame; right and bottom excluded, empty when right <= left.
    struct Box {
        int left = 0, top = 0, right = 0, bottom = 0;
    };

private:
    struct Encoder;
    // Pixels of one colour in the frames so far, counted lazily: `current` pixels in
    // every frame since frame `since`, not yet added to `total`.
    struct Uses {
        uint64_t total = 0;
        uint64_t current = 0;
        int since = 0;
    };

    bool spill(const platform::Bitmap &frame, const Box &box, int64_t time_ms, std::string *error);
    bool read_back(Box *box, int64_t *time_ms, std::string *error);
    void apply_rect(const Box &box);
    void count_colours(const platform::Bitmap &frame, const Box &box, int change);
    void choose_palette();

    std::string path_, temporary_;
    bool in_place_ = false;  // a device or FIFO, written straight into
    std::FILE *out_ = nullptr;    // the GIF, under its temporary name
    std::FILE *frames_file_ = nullptr;  // the frames, until finish
    int width_ = 0, height_ = 0;
    int frames_ = 0;
    std::unordered_map<platform::Pixel, Uses> uses_;  // pixels of each colour, all frames
    platform::Bitmap previous_;            // the frame before, to find what changed
    std::vector<platform::Pixel> rect_;    // a changed rectangle's pixels, row by row
    std::vector<unsigned char> packed_;    // the same compressed
    std::unique_ptr<z_stream_s> deflater_, inflater_;  // made once, reset for every frame
    std::vector<platform::Pixel> palette_;
    std::unordered_map<platform::Pixel, uint8_t> index_of_;
    bool transparency_ = false;  // the palette keeps index 255 free for unchanged pixels
    long long approximated_ = 0;
};
