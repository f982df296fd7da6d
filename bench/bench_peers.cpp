// Time per frame of the landscape painted by Kanvo's renderer and by its peers (cairo,
// QPainter with pen and brush, QPainter with the brush alone) against two floors: one
// write of every pixel of the surface, and the frame's own pixel writes (every pixel each
// step covers, overdraw included) at the same speed. Run with --benchmark_repetitions
// and --benchmark_enable_random_interleaving to interleave the painters (peer_table.sh
// does).
//   kanvo-peer-bench [BENCHMARK OPTIONS] [FRAME.txt ...]   (default: bench/frames)
#include <benchmark/benchmark.h>

#include <cstdio>

#include "peers.h"

namespace {

void paint_frame(benchmark::State &state, Painter *painter, const Frame *frame) {
    painter->reset();
    for (auto _ : state) {
        painter->paint(*frame);
        benchmark::ClobberMemory();
    }
    state.counters["shapes"] = frame->shapes;
    state.counters["pixel_writes"] = double(frame->pixel_writes);
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<std::string> paths(argv + 1, argv + argc);
    for (const std::string &path : paths)
        if (path.rfind("--", 0) == 0) {
            std::fprintf(stderr, "kanvo-peer-bench: unknown option %s\n", path.c_str());
            return 1;
        }
    if (paths.empty()) paths = frame_paths();
    std::vector<Frame> frames;
    frames.reserve(paths.size());
    for (const std::string &path : paths) {
        Frame frame;
        std::string error;
        if (!read_frame(path, &frame, &error)) {
            std::fprintf(stderr, "kanvo-peer-bench: %s\n", error.c_str());
            return 1;
        }
        frame.pixel_writes = count_pixel_writes(frame);
        frames.push_back(std::move(frame));
    }
    std::vector<std::unique_ptr<Painter>> painters = all_painters();
    for (const Frame &frame : frames)
        for (const auto &painter : painters)
            benchmark::RegisterBenchmark((frame.name + "/" + painter->name()).c_str(), paint_frame,
                                         painter.get(), &frame)
                ->Unit(benchmark::kMicrosecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
