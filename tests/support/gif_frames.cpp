// Decodes an animated GIF with giflib into the pictures a viewer shows frame by frame.
#include "support/gif_frames.h"
#include "testing.h"

#include <gif_lib.h>

#include <cstring>
#include <memory>

namespace {

struct Closer {
    void operator()(GifFileType *gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};

using platform::fail;

// giflib keeps the extensions read before an image with that image.
bool has_loop_extension(const GifFileType *gif) {
    if (gif->ImageCount == 0) return false;
    const SavedImage &first = gif->SavedImages[0];
    for (int i = 0; i + 1 < first.ExtensionBlockCount; ++i) {
        const ExtensionBlock &block = first.ExtensionBlocks[i];
        if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
            std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool decode_gif(const std::string &path, DecodedGif *decoded, std::string *error) {
    int code = 0;
    std::unique_ptr<GifFileType, Closer> gif(DGifOpenFileName(path.c_str(), &code));
    if (!gif) return fail(error, GifErrorString(code));
    if (DGifSlurp(gif.get()) != GIF_OK) return fail(error, GifErrorString(gif->Error));
    if (!gif->SColorMap) return fail(error, "no global colour table");
    *decoded = DecodedGif{};
    decoded->loops = has_loop_extension(gif.get());
    platform::Bitmap canvas(gif->SWidth, gif->SHeight, platform::kBlack);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage &saved = gif->SavedImages[i];
        GraphicsControlBlock control{};
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif.get(), i, &control);
        if (saved.ImageDesc.ColorMap) return fail(error, "a local colour table");
        if (control.DisposalMode != DISPOSE_DO_NOT) return fail(error, "a frame is disposed of");
        const GifImageDesc &desc = saved.ImageDesc;
        if (desc.Left + desc.Width > gif->SWidth || desc.Top + desc.Height > gif->SHeight) {
            return fail(error, "a frame reaches beyond the picture");
        }
        for (int y = 0; y < desc.Height; ++y) {
            for (int x = 0; x < desc.Width; ++x) {
                const int index = saved.RasterBits[y * desc.Width + x];
                if (index == control.TransparentColor) continue;
                if (index >= gif->SColorMap->ColorCount) return fail(error, "an index beyond the palette");
                const GifColorType colour = gif->SColorMap->Colors[index];
                canvas.set_pixel(desc.Left + x, desc.Top + y, platform::rgb(colour.Red, colour.Green, colour.Blue));
            }
        }
        decoded->frames.push_back(canvas);
        decoded->images.push_back(GifImage{desc.Left, desc.Top, desc.Width, desc.Height,
                                           control.DelayTime,
                                           control.TransparentColor != NO_TRANSPARENT_COLOR});
    }
    return true;
}
