// Comparing a learner's run with the model's: frames pixel by pixel, the drawing-call
// records call by call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "grade_results.h"
#include "grade_run.h"
#include "testing.h"

namespace grade {

struct PixelDifference {
    long long count = 0;   // pixels that differ (all of the larger frame when sizes differ)
    long long total = 0;
    int left = 0, top = 0, right = 0, bottom = 0;  // their bounding box, right and bottom excluded
};

PixelDifference compare_frames(const Frame &expected, const Frame &actual);

uint64_t frame_hash(const Frame &frame);

platform::Bitmap to_bitmap(const Frame &frame);

// The expected picture faded, with the pixels that differ in red (compare's style).
platform::Bitmap difference_picture(const Frame &expected, const Frame &actual);

// A quarter-size picture for the class page.
platform::Bitmap thumbnail(const Frame &frame);

// The first call where the learner's record leaves the model's, with what kind of
// difference it is; index is its position in both records. No value when they agree.
struct CallDifference {
    size_t index = 0;
    FirstDifference what;
    std::optional<size_t> learner_call;  // the learner's call to locate in the source
    uint64_t frame = 0;                  // the first wait whose frame it concerns
};
std::optional<CallDifference> first_call_difference(const std::vector<Call> &model,
                                                    const std::vector<Call> &learner);

}  // namespace grade
