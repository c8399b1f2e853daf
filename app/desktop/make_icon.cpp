// Cuts the program's icon out of the game's own sprite sheet: one frame, trimmed to the sprite,
// centred on a square and written at the usual icon sizes.
//   make_icon SHEET FRAME_SIZE FRAME OUT_PREFIX SIZE...  ->  OUT_PREFIX-<size>.png
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s SHEET FRAME_SIZE FRAME OUT_PREFIX SIZE...\n", argv[0]);
        return 2;
    }
    int w = 0, h = 0, n = 0;
    unsigned char *sheet = stbi_load(argv[1], &w, &h, &n, 4);
    if (!sheet) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    int fs = std::atoi(argv[2]), frame = std::atoi(argv[3]);
    int perRow = fs > 0 ? w / fs : 0;
    if (fs <= 0 || perRow <= 0 || frame < 0 || (frame / perRow + 1) * fs > h) {
        std::fprintf(stderr, "%s: frame %d of %d pixels is not in the %dx%d sheet\n", argv[0], frame, fs, w,
                     h);
        return 1;
    }
    int fx = frame % perRow * fs, fy = frame / perRow * fs;
    auto alpha = [&](int x, int y) { return sheet[(static_cast<size_t>(fy + y) * w + fx + x) * 4 + 3]; };

    // The sprite's own extent within the frame.
    int x0 = fs, y0 = fs, x1 = -1, y1 = -1;
    for (int y = 0; y < fs; ++y)
        for (int x = 0; x < fs; ++x)
            if (alpha(x, y) > 8) {
                x0 = std::min(x0, x), y0 = std::min(y0, y);
                x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
    if (x1 < 0) {
        std::fprintf(stderr, "%s: frame %d is empty\n", argv[0], frame);
        return 1;
    }
    int side = std::max(x1 - x0, y1 - y0) + 1;
    side += side / 16; // a little air around it
    int cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    std::vector<unsigned char> square(static_cast<size_t>(side) * side * 4, 0);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            int sx = cx - side / 2 + x, sy = cy - side / 2 + y;
            if (sx < 0 || sy < 0 || sx >= fs || sy >= fs) continue;
            const unsigned char *p = &sheet[(static_cast<size_t>(fy + sy) * w + fx + sx) * 4];
            std::copy(p, p + 4, &square[(static_cast<size_t>(y) * side + x) * 4]);
        }
    stbi_image_free(sheet);

    for (int i = 5; i < argc; ++i) {
        int size = std::atoi(argv[i]);
        if (size <= 0) continue;
        std::vector<unsigned char> out(static_cast<size_t>(size) * size * 4);
        // sRGB-aware and alpha-weighted, so that the transparent edge does not darken the outline.
        if (!stbir_resize_uint8_srgb(square.data(), side, side, 0, out.data(), size, size, 0, 4, 3, 0))
            return 1;
        std::string path = std::string(argv[4]) + "-" + std::to_string(size) + ".png";
        if (!stbi_write_png(path.c_str(), size, size, 4, out.data(), size * 4)) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
            return 1;
        }
    }
    return 0;
}
