// Frames and call records compared.
#include "grade_compare.h"

#include <algorithm>

namespace grade {

PixelDifference compare_frames(const Frame &expected, const Frame &actual) {
    PixelDifference diff;
    const uint32_t width = std::max(expected.width, actual.width);
    const uint32_t height = std::max(expected.height, actual.height);
    diff.total = (long long)width * height;
    diff.left = int(width);
    diff.top = int(height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const bool in_expected = x < expected.width && y < expected.height;
            const bool in_actual = x < actual.width && y < actual.height;
            const bool same = in_expected && in_actual &&
                              expected.pixels[size_t(y) * expected.width + x] ==
                                  actual.pixels[size_t(y) * actual.width + x];
            if (same) continue;
            ++diff.count;
            diff.left = std::min(diff.left, int(x));
            diff.top = std::min(diff.top, int(y));
            diff.right = std::max(diff.right, int(x) + 1);
            diff.bottom = std::max(diff.bottom, int(y) + 1);
        }
    }
    if (diff.count == 0) diff.left = diff.top = 0;
    return diff;
}

uint64_t frame_hash(const Frame &frame) {
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ (uint64_t(frame.width) << 32 | frame.height);
    for (uint32_t pixel : frame.pixels) hash = (hash ^ pixel) * 0x100000001B3ull + (hash >> 29);
    return hash;
}

platform::Bitmap to_bitmap(const Frame &frame) {
    platform::Bitmap bitmap(int(frame.width), int(frame.height));
    for (uint32_t y = 0; y < frame.height; ++y) {
        std::copy_n(frame.pixels.data() + size_t(y) * frame.width, frame.width, bitmap.row(int(y)));
    }
    return bitmap;
}

platform::Bitmap difference_picture(const Frame &expected, const Frame &actual) {
    const int width = int(std::max(expected.width, actual.width));
    const int height = int(std::max(expected.height, actual.height));
    platform::Bitmap picture(std::max(width, 1), std::max(height, 1));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool in_expected = uint32_t(x) < expected.width && uint32_t(y) < expected.height;
            const bool in_actual = uint32_t(x) < actual.width && uint32_t(y) < actual.height;
            const uint32_t e = in_expected ? expected.pixels[size_t(y) * expected.width + x] : 0xFFFFFFFFu;
            const uint32_t a = in_actual ? actual.pixels[size_t(y) * actual.width + x] : 0xFFFFFFFFu;
            if (!in_expected || !in_actual || e != a) {
                picture.set_pixel(x, y, platform::rgb(237, 28, 36));
                continue;
            }
            // The picture shows through, faded to a fifth.
            auto fade = [](uint8_t c) { return uint8_t(255 - (255 - c) / 5); };
            picture.set_pixel(x, y, platform::rgb(fade(platform::red_of(e)), fade(platform::green_of(e)),
                                                  fade(platform::blue_of(e))));
        }
    }
    return picture;
}

platform::Bitmap thumbnail(const Frame &frame) {
    const int width = std::max(1, int(frame.width) / 4), height = std::max(1, int(frame.height) / 4);
    platform::Bitmap small(width, height);
    for (int y = 0; y < height && frame.width >= 4 && frame.height >= 4; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned r = 0, g = 0, b = 0;
            for (int dy = 0; dy < 4; ++dy) {
                for (int dx = 0; dx < 4; ++dx) {
                    const uint32_t p = frame.pixels[size_t(y * 4 + dy) * frame.width + size_t(x * 4 + dx)];
                    r += platform::red_of(p);
                    g += platform::green_of(p);
                    b += platform::blue_of(p);
                }
            }
            small.set_pixel(x, y, platform::rgb(uint8_t(r / 16), uint8_t(g / 16), uint8_t(b / 16)));
        }
    }
    return small;
}

namespace {

bool same_call(const Call &a, const Call &b) { return a.frame == b.frame && a.line == b.line; }

// Where the call appears among the next few calls of the same frame, if it does.
std::optional<size_t> find_ahead(const std::vector<Call> &calls, size_t from, const Call &call) {
    constexpr size_t kLookAhead = 64;
    for (size_t i = from; i < calls.size() && i < from + kLookAhead; ++i) {
        if (calls[i].frame != call.frame) break;
        if (calls[i].line == call.line) return i;
    }
    return std::nullopt;
}

std::string quoted(const std::string &line) { return "`" + line + "`"; }

}  // namespace

std::optional<CallDifference> first_call_difference(const std::vector<Call> &model,
                                                    const std::vector<Call> &learner) {
    size_t d = 0;
    while (d < model.size() && d < learner.size() && same_call(model[d], learner[d])) ++d;
    if (d == model.size() && d == learner.size()) return std::nullopt;
    CallDifference diff;
    diff.index = d;
    FirstDifference &what = diff.what;
    if (d < model.size()) what.expected = model[d].line;
    if (d < learner.size()) what.actual = learner[d].line;
    const std::string after = [&](uint64_t frame) {
        return frame == 0 ? std::string("before the first event")
                          : "after event " + std::to_string(frame);
    }(d < model.size() ? model[d].frame : learner[d].frame);
    if (d >= learner.size()) {
        what.kind = "missing";
        what.message = "expected " + quoted(what.expected) + " " + after + ", got no more calls";
        diff.frame = model[d].frame;
        if (!learner.empty()) diff.learner_call = learner.size() - 1;
    } else if (d >= model.size()) {
        what.kind = "extra";
        what.message = "extra call " + quoted(what.actual) + " " + after + ": the model makes no more calls";
        diff.frame = learner[d].frame;
        diff.learner_call = d;
    } else {
        diff.frame = std::min(model[d].frame, learner[d].frame);
        diff.learner_call = d;
        const Call &expected = model[d], &actual = learner[d];
        if (expected.line == actual.line) {
            what.kind = "moved";
            what.message = quoted(expected.line) + " made after event " + std::to_string(actual.frame) +
                           ", the model's after event " + std::to_string(expected.frame);
        } else {
            const auto expected_later = find_ahead(learner, d + 1, expected);
            const auto actual_later = find_ahead(model, d + 1, actual);
            if (expected_later && actual_later) {
                what.kind = "order";
                what.message = "expected " + quoted(expected.line) + ", got " + quoted(actual.line) +
                               " " + after + ": the same calls in another order";
            } else if (actual_later) {
                what.kind = "missing";
                what.message = "missing call " + quoted(expected.line) + " " + after + " (expected it before " +
                               quoted(actual.line) + ")";
            } else if (expected_later) {
                what.kind = "extra";
                what.message = "extra call " + quoted(actual.line) + " " + after + " (before the expected " +
                               quoted(expected.line) + ")";
            } else {
                what.kind = "changed";
                what.message = "expected " + quoted(expected.line) + ", got " + quoted(actual.line) + " " + after;
            }
        }
    }
    what.frame = diff.frame;
    return diff;
}

}  // namespace grade
