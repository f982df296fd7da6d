// Animated GIF files for kanvo-run and kanvo-replay. What changed in each frame is kept in
// a scratch file until the run is over, so that the one palette that all frames share is
// chosen from every colour the run used: exactly those colours when they are at most 256
// (the palette colours and the shades of anti-aliased text often are), otherwise the 255
// most used, the rest shown by the nearest of them. Every frame after the first holds
// only the rectangle that changed, with the pixels inside it that did not change left
// transparent, so that a long animation stays small. A frame costs about what changed in
// it: only changed pixels are counted, kept and looked up, and the unchanged ones between
// them are encoded a run at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "testing.h"

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
    bool add_frame(const platform::Bitmap &frame, int64_t time_ms, std::string *error) {
        return add_frame(frame, frame.width(), frame.height(), time_ms, error);
    }
    // The same for the top-left width by height pixels of picture, taken where they are.
    bool add_frame(const platform::Bitmap &picture, int width, int height, int64_t time_ms,
                   std::string *error);

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
    struct Colours;
    struct Lzw;

    bool keep_frame(const platform::Bitmap &picture, std::string *error);
    void keep_run(const platform::Pixel *pixels, const platform::Pixel *before, uint32_t gap, uint32_t length);
    bool write_frame(bool first, int delay_cs, Lzw &lzw, std::string *error);
    void choose_palette();

    std::string path_, temporary_;
    bool in_place_ = false;  // a device or FIFO, written straight into
    std::FILE *out_ = nullptr;    // the GIF, under its temporary name
    std::FILE *frames_file_ = nullptr;  // the frames' changes, until finish
    int width_ = 0, height_ = 0;
    int frames_ = 0;
    std::vector<int64_t> times_;           // when each frame went on screen
    std::unique_ptr<Colours> colours_;     // every colour of the run and its pixels
    platform::Bitmap previous_;            // the frame before, to find what changed
    std::vector<unsigned char> record_;    // one frame's changes: runs, then colours
    std::vector<uint32_t> ids_;            // the colours of a frame's changed pixels
    uint32_t runs_ = 0;
    std::vector<platform::Pixel> palette_;
    std::vector<uint8_t> index_of_;        // palette index of each colour of the run
    std::vector<uint8_t> shown_;           // what a viewer shows, as palette indices
    std::vector<uint32_t> changed_;        // a frame's runs of changed indices: start, length
    std::vector<uint8_t> changed_indices_;
    std::vector<unsigned char> data_;      // a frame's image data
    bool transparency_ = false;  // the palette keeps index 255 free for unchanged pixels
    long long approximated_ = 0;
};
