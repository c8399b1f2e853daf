#include "graphics/imagedata.h"

#include <png.h>

#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace {

// Pictures past these sizes are refused before a byte of pixels is allocated: no picture of the game
// comes near them, and a file that claims more must not make the game ask for gigabytes.
constexpr png_uint_32 kMaxSide = 16384;
constexpr size_t kMaxPixelBytes = size_t(1) << 28;

// libpng reports errors by long jump; its messages are of no use to the player, so none is printed.
void on_png_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void on_png_warning(png_structp, png_const_charp) {}

// The decode itself, kept free of objects with destructors because an error leaves it by long jump.
// `pixels` and `rows` live in the caller, so what was allocated before a jump is still known there.
bool decode(FILE *fp, png_structp png, png_infop info, unsigned char **pixels, png_bytep **rows, int *width,
            int *height, int *depth) {
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

} // namespace

unsigned char *gxtkLoadImageFile(FILE *fp, int *width, int *height, int *depth) {
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
    bool ok = info && decode(fp, png, info, &pixels, &rows, &w, &h, &n);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    std::free(rows);
    if (!ok) {
        std::free(pixels);
        return nullptr;
    }
    *width = w;
    *height = h;
    *depth = n;
    return pixels;
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
