// Stamps: small shapes a context paints again and again (a picture's stars, petals,
// blades of grass, the short strokes of its drawings) kept as their runs of pixels, so that
// the same shape anywhere else is painted by writing the runs instead of stepping its
// edges and outline again. Shapes are painted the same wherever they lie (every rule
// works on differences of whole coordinates), so a stamp holds the runs relative to a
// point of the shape's own, its anchor (a triangle's first corner, a line's start).
#pragma once

#include <cstdint>
#include <vector>

#include "bitmap.h"

namespace platform {

struct StampRun {
    int16_t dy, x0, x1;  // [x0, x1) of row dy, from the anchor
};

struct Stamp {
    std::vector<StampRun> runs;     // row by row, top to bottom
    int16_t top, bottom, left, right;  // the runs' box: rows [top, bottom), columns [left, right)
};

// What a stamp is of: the kind of shape, its pen's width and its other points as offsets
// from the anchor.
enum class StampShape : uint8_t { solid_triangle = 1, wide_line = 2 };

class StampCache {
public:
    // Offsets from the anchor a stamped shape's points may have, each way, and the most
    // a pen may reach past them.
    static constexpr int kMostOffset = 63;
    static constexpr int kMostPenReach = 12;
    // The ink shapes are painted with on the scratch bitmap.
    static constexpr Pixel kInk = 0xFF000001;

    StampCache();

    // The key of a shape, or 0 when it is too large (or its pen too wide) to be stamped.
    static uint64_t key(StampShape shape, int pen_width, const int64_t *offsets, int count);

    // The stamp of the shape with this key, or nullptr. A shape's first sighting is only
    // noted (most shapes of a picture are not repeated, and building costs more than
    // painting); at the second, paint(scratch, anchor_x, anchor_y) paints the shape in
    // kInk onto a clean scratch bitmap, with its anchor there, and its runs are kept.
    template <typename Paint>
    const Stamp *find(uint64_t key, Paint paint) {
        Slot &slot = slots_[slot_of(key)];
        if (slot.key == key) {
            if (slot.built) {
                if (slot.hits < kMostHits) ++slot.hits;
                return &slot.stamp;
            }
            paint(scratch_, kAnchor, kAnchor);
            take_runs(&slot);
            return &slot.stamp;
        }
        note(&slot, key);
        return nullptr;
    }

private:
    static constexpr int kSlots = 512;
    static constexpr int kAnchor = kMostOffset + kMostPenReach + 1;
    static constexpr int kScratchSize = 2 * kAnchor + 1;
    static constexpr uint8_t kMostHits = 3;

    struct Slot {
        uint64_t key = 0;
        bool built = false;
        uint8_t hits = 0;  // a built stamp gives its slot up after this many other sightings
        Stamp stamp;
    };

    static int slot_of(uint64_t key) { return int((key * 0x9E3779B97F4A7C15ull) >> 55); }
    void note(Slot *slot, uint64_t key);
    void take_runs(Slot *slot);

    std::vector<Slot> slots_;
    Bitmap scratch_;
};

}  // namespace platform
