// menu-colours [-v] FILE: tells whether a screen dump (the XWD file that `Xvfb -fbdir` keeps) shows
// the game's main menu, by its colours: mostly the blue of the sea, the green play arrow and the red
// wheel. Exits 0 if it does, 1 if not, 2 if the file cannot be read. With -v it prints the shares.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

static uint32_t be32(const unsigned char *p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

int main(int argc, char **argv) {
    bool verbose = argc > 2 && std::strcmp(argv[1], "-v") == 0;
    const char *path = argv[argc - 1];
    if (argc < 2) return 2;
    FILE *fp = std::fopen(path, "rb");
    if (!fp) return 2;
    std::vector<unsigned char> file;
    unsigned char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, fp)) > 0;) file.insert(file.end(), chunk, chunk + n);
    std::fclose(fp);
    if (file.size() < 100) return 2;
    const unsigned char *h = file.data();
    uint32_t headerSize = be32(h), format = be32(h + 8), width = be32(h + 16), height = be32(h + 20);
    uint32_t byteOrder = be32(h + 28), bpp = be32(h + 44), stride = be32(h + 48), colours = be32(h + 76);
    uint64_t start = uint64_t(headerSize) + uint64_t(colours) * 12;
    if (format != 2 || bpp != 32 || width == 0 || height == 0 || stride < width * 4 ||
        start + uint64_t(stride) * height > file.size())
        return 2;
    uint64_t blue = 0, green = 0, red = 0;
    for (uint32_t y = 0; y < height; ++y) {
        const unsigned char *row = h + start + uint64_t(y) * stride;
        for (uint32_t x = 0; x < width; ++x) {
            const unsigned char *p = row + x * 4;
            int r = byteOrder == 0 ? p[2] : p[1], g = byteOrder == 0 ? p[1] : p[2], b = byteOrder == 0 ? p[0] : p[3];
            if (b > 100 && b > r + 60 && b > g + 30) ++blue;
            if (g > 100 && g > r + 50 && g > b + 30) ++green;
            if (r > 150 && r > g + 70 && r > b + 70) ++red;
        }
    }
    double n = double(width) * height;
    if (verbose)
        std::printf("screen %ux%u: sea blue %.1f%%, arrow green %.2f%%, wheel red %.2f%%\n", width, height,
                    100 * blue / n, 100 * green / n, 100 * red / n);
    return blue / n > 0.5 && green / n > 0.003 && red / n > 0.004 ? 0 : 1;
}
