#include "graphics/imagedata.h"

#include <png.h>

#include <atomic>
#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Pictures past these sizes are refused before a byte of pixels is allocated: no picture of the game
// comes near them, and a file that claims more must not make the game ask for gigabytes.
constexpr png_uint_32 kMaxSide = 16384;
constexpr size_t kMaxPixelBytes = size_t(1) << 28;

std::atomic<size_t> picture_bytes{0};

// Charges `bytes` to the picture budget; false (nothing charged) when they do not fit.
bool charge_picture(size_t bytes) {
    size_t used = picture_bytes.load(std::memory_order_relaxed);
    do {
        if (bytes > gxtkPictureBudget || used > gxtkPictureBudget - bytes) return false;
    } while (!picture_bytes.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed));
    return true;
}

// libpng reports errors by long jump; its messages are of no use to the player, so none is printed.
void on_png_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void on_png_warning(png_structp, png_const_charp) {}

// The decode itself, kept free of objects with destructors because an error leaves it by long jump.
// `pixels`, `rows` and `charged` live in the caller, so what was allocated or charged before a jump is
// still known there. With `charged`, the pixel block is charged to the picture budget before it is
// allocated; `overBudget` tells a picture refused for that.
bool decode(FILE *fp, png_structp png, png_infop info, unsigned char **pixels, png_bytep **rows, int *width,
            int *height, int *depth, size_t *charged, bool *overBudget) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, fp);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);

    png_uint_32 w = 0, h = 0;
    int bits = 0, colour = 0;
    png_get_IHDR(png, info, &w, &h, &bits, &colour, nullptr, nullptr, nullptr);
    // Eight bits per channel, with the file's own channels: a palette becomes RGB, grey below eight
    // bits is widened, sixteen bits keep their high byte, and a transparency chunk becomes alpha.
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && bits < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (bits == 16) png_set_strip_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    int channels = png_get_channels(png, info);
    size_t stride = png_get_rowbytes(png, info);
    if (channels < 1 || channels > 4 || stride != size_t(w) * size_t(channels)) return false;
    if (w == 0 || h == 0 || stride * h > kMaxPixelBytes) return false;
    if (charged) {
        if (!charge_picture(stride * h)) {
            *overBudget = true;
            return false;
        }
        *charged = stride * h;
    }

    *pixels = static_cast<unsigned char *>(std::malloc(stride * h));
    *rows = static_cast<png_bytep *>(std::malloc(sizeof(png_bytep) * h));
    if (!*pixels || !*rows) return false;
    for (png_uint_32 y = 0; y < h; ++y)
        (*rows)[y] = *pixels + stride * y;
    png_read_image(png, *rows);
    png_read_end(png, nullptr);

    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    *depth = channels;
    return true;
}

// The decoder behind both entry points; see decode for `charge` and `overBudget`.
unsigned char *load(FILE *fp, int *width, int *height, int *depth, bool charge, bool *overBudget) {
    if (!fp) return nullptr;
    // Only a PNG is decoded, whatever else the file might be.
    unsigned char signature[8];
    if (std::fread(signature, 1, 8, fp) != 8 || png_sig_cmp(signature, 0, 8) != 0) return nullptr;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, on_png_warning);
    if (!png) return nullptr;
    png_infop info = png_create_info_struct(png);
    unsigned char *pixels = nullptr;
    png_bytep *rows = nullptr;
    int w = 0, h = 0, n = 0;
    size_t charged = 0;
    bool ok =
        info && decode(fp, png, info, &pixels, &rows, &w, &h, &n, charge ? &charged : nullptr, overBudget);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    std::free(rows);
    if (!ok) {
        std::free(pixels);
        gxtkReleasePicture(charged);
        return nullptr;
    }
    *width = w;
    *height = h;
    *depth = n;
    return pixels;
}

} // namespace

size_t gxtkPictureBudget = size_t(1) << 29;

size_t gxtkPictureBytes() { return picture_bytes.load(std::memory_order_relaxed); }

void gxtkReleasePicture(size_t bytes) {
    // Never below zero, whatever a caller gives back.
    size_t used = picture_bytes.load(std::memory_order_relaxed);
    while (!picture_bytes.compare_exchange_weak(used, used > bytes ? used - bytes : 0,
                                                std::memory_order_relaxed)) {
    }
}

unsigned char *gxtkLoadImageFile(FILE *fp, int *width, int *height, int *depth) {
    return load(fp, width, height, depth, false, nullptr);
}

unsigned char *gxtkLoadPicture(FILE *fp, const String &name, int *width, int *height, int *depth) {
    bool overBudget = false;
    unsigned char *pixels = load(fp, width, height, depth, true, &overBudget);
    if (pixels) return pixels;
    const std::string file = name.ToUtf8();
    if (!fp)
        std::fprintf(stderr, "Picture %s could not be loaded: the file cannot be opened\n", file.c_str());
    else if (overBudget)
        std::fprintf(
            stderr,
            "Picture %s could not be loaded: the pictures in memory would pass their budget of %zu MiB\n",
            file.c_str(), gxtkPictureBudget >> 20);
    else
        std::fprintf(stderr, "Picture %s could not be loaded: it is not a PNG picture that can be read\n",
                     file.c_str());
    return nullptr;
}

void gxtkPremultiply(unsigned char *data, int width, int height, int depth) {
    if (!data || width <= 0 || height <= 0) return;
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    unsigned char *p = data;
    if (depth == 2) {
        for (size_t i = 0; i < count; ++i, p += 2)
            p[0] = static_cast<unsigned char>(p[0] * p[1] / 255);
    } else if (depth == 4) {
        for (size_t i = 0; i < count; ++i, p += 4) {
            unsigned a = p[3];
            p[0] = static_cast<unsigned char>(p[0] * a / 255);
            p[1] = static_cast<unsigned char>(p[1] * a / 255);
            p[2] = static_cast<unsigned char>(p[2] * a / 255);
        }
    }
}
