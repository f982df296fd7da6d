// Time per drawing call at the sizes the landscape uses, a full-surface fill against the
// cost of merely writing the surface's bytes, and a frame-sized batch of 400 shapes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "kanvo.h"
#include "testing.h"

namespace {

// What KANVO_open sets for the drawing window; the benchmark needs no window, and the
// description lines would only measure the log.
void prepare_library() {
    kanvo.windows.origin_x = kSurfaceWidth / 2;
    kanvo.windows.origin_y = kSurfaceHeight / 2;
    kanvo.events.logging_on = 0;
    ensure_surface();
}

void BM_Circle20(benchmark::State &state) {
    prepare_library();
    for (auto _ : state) KANVO_circle(KANVO_YELLOW, 150, 180, 20);
}
BENCHMARK(BM_Circle20);

void BM_StarTriangle(benchmark::State &state) {
    prepare_library();
    for (auto _ : state) KANVO_triangle(KANVO_CHALK, 40, 209, 43, 198, 37, 198, 0);
}
BENCHMARK(BM_StarTriangle);

void BM_MountainTriangle(benchmark::State &state) {
    prepare_library();
    for (auto _ : state) KANVO_triangle(KANVO_GRAY_50, -300, -50, 300, -50, -100, 187, 0);
}
BENCHMARK(BM_MountainTriangle);

void BM_WaveOval20x12(benchmark::State &state) {
    prepare_library();
    for (auto _ : state) KANVO_oval(KANVO_BLUE, -200, -60, -180, -72, 0);
}
BENCHMARK(BM_WaveOval20x12);

void BM_LineWidth2(benchmark::State &state) {
    prepare_library();
    for (auto _ : state) KANVO_line(KANVO_FOREST_GREEN, 100, -150, 100, -165, 2);
}
BENCHMARK(BM_LineWidth2);

void BM_TextLabel12(benchmark::State &state) {
    prepare_library();
    for (auto _ : state) KANVO_text(KANVO_BLACK, -285, 227, 12, "Alter Tree Tops");
}
BENCHMARK(BM_TextLabel12);

void BM_SkyRectangle600x500(benchmark::State &state) {
    prepare_library();
    for (auto _ : state) KANVO_rectangle(KANVO_ICE_BLUE, -300, -250, 300, 250, 0);
}
BENCHMARK(BM_SkyRectangle600x500);

void BM_FullSurfaceFill(benchmark::State &state) {
    prepare_library();
    DrawCommand fill;
    fill.kind = kind_rectangle;
    fill.color = KANVO_SEA_GREEN;
    fill.x1 = -kanvo.windows.origin_x;
    fill.y1 = kanvo.windows.origin_y;
    fill.x2 = kSurfaceWidth - 1 - kanvo.windows.origin_x;
    fill.y2 = kanvo.windows.origin_y - (kSurfaceHeight - 1);
    for (auto _ : state) render_command(fill);
    state.SetBytesProcessed(int64_t(state.iterations()) * kSurfaceWidth * kSurfaceHeight * 4);
}
BENCHMARK(BM_FullSurfaceFill);

void BM_ClearSurface(benchmark::State &state) {
    prepare_library();
    // Written out each time: a clear alone waits for what comes after it.
    for (auto _ : state) {
        clear_surface();
        settle_surface();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSurfaceWidth * kSurfaceHeight * 4);
}
BENCHMARK(BM_ClearSurface);

// A frame's start: the clear, then a sky over nearly all of it, as the wait shows them.
void BM_ClearThenSky(benchmark::State &state) {
    prepare_library();
    for (auto _ : state) {
        clear_surface();
        KANVO_rectangle(KANVO_DUSTY_PLUM, -300, -250, 300, 250, 0);
        settle_surface();
    }
}
BENCHMARK(BM_ClearThenSky);

// A 64 by 64 sprite against a filled rectangle of its size, and mixed colours against the
// palette's.
void BM_Rectangle64x64(benchmark::State &state) {
    prepare_library();
    for (auto _ : state) KANVO_rectangle(KANVO_ORANGE, -40, 50, 23, -13, 0);
}
BENCHMARK(BM_Rectangle64x64);

void BM_Rectangle64x64Rgb(benchmark::State &state) {
    prepare_library();
    const int orange = KANVO_rgb(255, 102, 0);
    for (auto _ : state) KANVO_rectangle(orange, -40, 50, 23, -13, 0);
}
BENCHMARK(BM_Rectangle64x64Rgb);

void BM_Circle20Rgb(benchmark::State &state) {
    prepare_library();
    const int yellow = KANVO_rgb(255, 255, 0);
    for (auto _ : state) KANVO_circle(yellow, 150, 180, 20);
}
BENCHMARK(BM_Circle20Rgb);

// A picture held in the library's list as KANVO_load_picture leaves it; alpha(x, y) gives
// each pixel's alpha.
template <typename Alpha>
int add_sprite(Alpha alpha) {
    platform::Bitmap pixels(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            pixels.set_pixel(x, y, platform::argb(uint8_t(alpha(x, y)), uint8_t(4 * x), 120, uint8_t(4 * y)));
    auto loaded = std::make_unique<LoadedPicture>();
    loaded->path = "sprite";
    loaded->picture = platform::AlphaPicture(std::move(pixels));
    kanvo.pictures.pictures.push_back(std::move(loaded));
    return int(kanvo.pictures.pictures.size());
}

// A round sprite: opaque inside, a soft edge two pixels wide, transparent corners.
void BM_Picture64x64Sprite(benchmark::State &state) {
    prepare_library();
    const int sprite = add_sprite([](int x, int y) {
        const double d = std::sqrt((x - 31.5) * (x - 31.5) + (y - 31.5) * (y - 31.5));
        return d < 29 ? 255 : d < 31 ? int(255 * (31 - d) / 2) : 0;
    });
    for (auto _ : state) KANVO_picture(sprite, -8, 18);
}
BENCHMARK(BM_Picture64x64Sprite);

// The same disc with a hard edge: copies and skips only.
void BM_Picture64x64HardEdge(benchmark::State &state) {
    prepare_library();
    const int sprite = add_sprite([](int x, int y) {
        return (x - 31.5) * (x - 31.5) + (y - 31.5) * (y - 31.5) < 31 * 31 ? 255 : 0;
    });
    for (auto _ : state) KANVO_picture(sprite, -8, 18);
}
BENCHMARK(BM_Picture64x64HardEdge);

// The worst case: every pixel half transparent, every one blended.
void BM_Picture64x64AllBlended(benchmark::State &state) {
    prepare_library();
    const int sprite = add_sprite([](int, int) { return 128; });
    for (auto _ : state) KANVO_picture(sprite, -8, 18);
}
BENCHMARK(BM_Picture64x64AllBlended);

// The floor: writing every byte of a surface-sized buffer once.
void BM_FloorWriteSurfaceBytes(benchmark::State &state) {
    std::vector<uint8_t> buffer(size_t(kSurfaceWidth) * kSurfaceHeight * 4);
    int value = 0;
    for (auto _ : state) {
        std::memset(buffer.data(), value++ & 0xFF, buffer.size());
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(buffer.size()));
}
BENCHMARK(BM_FloorWriteSurfaceBytes);

// One of 400 shapes of a busy landscape frame: the sky and the big pieces once, then
// stars, snowflakes, waves, flowers, bugs, lines and the panel's labels.
void draw_frame_shape(int i) {
    if (i == 0) {
        KANVO_rectangle(KANVO_DUSTY_PLUM, -300, -250, 300, 250, 0);
    } else if (i <= 5) {
        KANVO_triangle(KANVO_GRAY_20 - i % 3, -300, -50, 300, -50, -37 - 30 * i, 208 - 8 * i, 0);
    } else if (i == 6) {
        KANVO_rectangle(KANVO_SEA_GREEN, -300, -250, 300, -50, 0);
    } else if (i == 7) {
        KANVO_oval(KANVO_BLUE, -400, -50, 100, -100, 0);
    } else if (i < 60) {
        const int x = -280 + (i * 37) % 560, y = 60 + (i * 23) % 180;
        KANVO_triangle(KANVO_CHALK, x, y + 6, x + 5, y - 3, x - 5, y - 3, 0);
    } else if (i < 140) {
        KANVO_circle(KANVO_WHITE, -290 + (i * 41) % 580, -240 + (i * 29) % 480, 3);
    } else if (i < 230) {
        const int u = -380 + (i % 15) * 30, v = -60 - (i % 3) * 13;
        KANVO_oval(i % 2 ? KANVO_BLACK : KANVO_BLUE, u, v, u + 20, v - 12, 0);
    } else if (i < 300) {
        // A flower's centre: a black ring under a coloured disc, one shape per call.
        const int k = i / 2, x = -250 + (k * 13) % 500, y = -240 + (k * 7) % 150;
        if (i % 2 == 0)
            KANVO_circle(KANVO_BLACK, x, y, 6);
        else
            KANVO_circle(KANVO_PINK, x, y, 5);
    } else if (i < 370) {
        const int x = -250 + (i * 17) % 500, y = -230 + (i * 11) % 150;
        KANVO_line(KANVO_FOREST_GREEN, x, y, x + 5, y + 12, 2);
    } else if (i < 390) {
        KANVO_circle(KANVO_YELLOW, 150 + i % 7, 180, 20);
    } else if (i < 395) {
        KANVO_rectangle(KANVO_BLACK, -295, 245 - 25 * (i - 390), -195, 220 - 25 * (i - 390), 1);
    } else {
        KANVO_printf(KANVO_BLACK, -285, 227 - 25 * (i - 395), 12, "%s", "Simulate Wind");
    }
}

void draw_frame() {
    for (int i = 0; i < 400; ++i) draw_frame_shape(i);
}

void BM_Frame400Shapes(benchmark::State &state) {
    prepare_library();
    for (auto _ : state) draw_frame();
    state.SetItemsProcessed(int64_t(state.iterations()) * 400);
}
BENCHMARK(BM_Frame400Shapes)->Unit(benchmark::kMicrosecond);

// The same frame with every shape painted afresh, as no stamp were kept (stamps.h).
void BM_Frame400ShapesWithoutStamps(benchmark::State &state) {
    prepare_library();
    kanvo.surface.surface_dc->keep_stamps(false);
    for (auto _ : state) draw_frame();
    kanvo.surface.surface_dc->keep_stamps(true);
    state.SetItemsProcessed(int64_t(state.iterations()) * 400);
}
BENCHMARK(BM_Frame400ShapesWithoutStamps)->Unit(benchmark::kMicrosecond);

// A scene's first two frames on a new surface: the first notes the repeated shapes, the
// second builds their stamps.
void BM_FirstTwoFrames400Shapes(benchmark::State &state) {
    prepare_library();
    for (auto _ : state) {
        state.PauseTiming();
        kanvo.surface.surface_dc.reset();
        ensure_surface();
        state.ResumeTiming();
        draw_frame();
        draw_frame();
    }
}
BENCHMARK(BM_FirstTwoFrames400Shapes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
