// Time per frame of the landscape painted by Kanvo's renderer and by its peers (cairo,
// QPainter with pen and brush, QPainter with the brush alone) against the floor, one
// write of every pixel. Run with --benchmark_repetitions and
// --benchmark_enable_random_interleaving to interleave the painters (peer_table.sh does).
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
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<Frame> frames;
    for (const std::string &path : frame_paths()) {
        Frame frame;
        std::string error;
        if (!read_frame(path, &frame, &error)) {
            std::fprintf(stderr, "kanvo-peer-bench: %s\n", error.c_str());
            return 1;
        }
        frames.push_back(std::move(frame));
    }
    std::vector<std::unique_ptr<Painter>> painters = all_painters();
    for (const Frame &frame : frames)
        for (const auto &painter : painters)
            benchmark::RegisterBenchmark((frame.name + "/" + painter->name()).c_str(), paint_frame,
                                         painter.get(), &frame)
                ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
