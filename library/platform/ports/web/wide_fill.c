/* Runs of pixels are written with wmemset (platform/raster.cpp), which the browser's C
 * library does one wide character at a time: a window-sized fill took about 0.1 ms a
 * frame. Pages get this one instead, four 16-byte SIMD stores a step; linked ahead of
 * the C library, it takes the place of that library's own. */
#include <stddef.h>
#include <wasm_simd128.h>
#include <wchar.h>

wchar_t *wmemset(wchar_t *target, wchar_t c, size_t count) {
    wchar_t *p = target;
    if (count < 4) {
        for (; count > 0; --count) *p++ = c;
        return target;
    }
    const v128_t v = wasm_i32x4_splat((int)c);
    wchar_t *end = target + count;
    for (; end - p >= 16; p += 16) {
        wasm_v128_store(p, v);
        wasm_v128_store(p + 4, v);
        wasm_v128_store(p + 8, v);
        wasm_v128_store(p + 12, v);
    }
    for (; end - p >= 4; p += 4) wasm_v128_store(p, v);
    /* The last four, overlapping the store before rather than one by one. */
    wasm_v128_store(end - 4, v);
    return target;
}
