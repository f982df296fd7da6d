// Small shapes kept as runs of pixels (stamps.h).
#include "platform/stamps.h"

#include <algorithm>

namespace platform {

namespace {

// A key: a marker bit (no key is 0), the shape, the pen's width, and up to four offsets
// of 8 bits each, counted from -128.
constexpr uint64_t kKeyMarker = uint64_t(1) << 63;
constexpr int kMostOffsets = 4;

int offset_in(uint64_t key, int i) { return int((key >> (8 * i)) & 0xFF) - 128; }

}  // namespace

StampCache::StampCache()
    : slots_(kSlots), scratch_(kScratchSize, kScratchSize, 0) {}

uint64_t StampCache::key(StampShape shape, int pen_width, const int64_t *offsets, int count) {
    if (count > kMostOffsets || pen_width < 0 || pen_width / 2 + 2 > kMostPenReach) return 0;
    uint64_t key = kKeyMarker | (uint64_t(shape) << 40) | (uint64_t(pen_width) << 32);
    for (int i = 0; i < kMostOffsets; ++i) {
        const int64_t offset = i < count ? offsets[i] : 0;
        if (offset < -kMostOffset || offset > kMostOffset) return 0;
        key |= uint64_t(offset + 128) << (8 * i);
    }
    return key;
}

// A slot holding a stamp in use keeps it against a few sightings of other shapes, so that
// a picture's repeated shapes stay while shapes it draws once pass through.
void StampCache::note(Slot *slot, uint64_t key) {
    if (slot->built && slot->hits > 0) {
        --slot->hits;
        return;
    }
    slot->key = key;
    slot->built = false;
    slot->hits = 0;
    slot->stamp.runs.clear();
}

// Reads the runs of ink off the scratch bitmap and cleans it again. Only the box the
// shape's offsets and its pen can reach is read.
void StampCache::take_runs(Slot *slot) {
    int low_x = 0, high_x = 0, low_y = 0, high_y = 0;
    for (int i = 0; i < kMostOffsets; i += 2) {
        low_x = std::min(low_x, offset_in(slot->key, i));
        high_x = std::max(high_x, offset_in(slot->key, i));
        low_y = std::min(low_y, offset_in(slot->key, i + 1));
        high_y = std::max(high_y, offset_in(slot->key, i + 1));
    }
    const int left = kAnchor + low_x - kMostPenReach, right = kAnchor + high_x + kMostPenReach + 1;
    const int top = kAnchor + low_y - kMostPenReach, bottom = kAnchor + high_y + kMostPenReach + 1;
    Stamp &stamp = slot->stamp;
    stamp.runs.clear();
    stamp.top = stamp.left = INT16_MAX;
    stamp.bottom = stamp.right = INT16_MIN;
    for (int y = top; y < bottom; ++y) {
        Pixel *row = scratch_.row(y);
        for (int x = left; x < right;) {
            if (row[x] != kInk) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < right && row[x] == kInk) row[x++] = 0;
            const int16_t dy = int16_t(y - kAnchor), x0 = int16_t(start - kAnchor), x1 = int16_t(x - kAnchor);
            stamp.runs.push_back(StampRun{dy, x0, x1});
            stamp.top = std::min(stamp.top, dy);
            stamp.bottom = std::max(stamp.bottom, int16_t(dy + 1));
            stamp.left = std::min(stamp.left, x0);
            stamp.right = std::max(stamp.right, x1);
        }
    }
    if (stamp.runs.empty()) stamp.top = stamp.bottom = stamp.left = stamp.right = 0;
    slot->built = true;
}

}  // namespace platform
