#include "graphics/imagedata.h"

#include <stb/stb_image.h>

unsigned char *gxtkLoadImageFile(FILE *fp, int *width, int *height, int *depth) {
    if (!fp) return nullptr;
    int w = 0, h = 0, n = 0;
    // stb_image allocates with malloc (its default), so the surface's free() releases the block.
    unsigned char *data = stbi_load_from_file(fp, &w, &h, &n, 0);
    if (!data) return nullptr;
    if (w <= 0 || h <= 0 || n < 1 || n > 4) {
        stbi_image_free(data);
        return nullptr;
    }
    *width = w;
    *height = h;
    *depth = n;
    return data;
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
