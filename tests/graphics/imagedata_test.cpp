// The image decoder on the seed pictures of its fuzz target: every PNG form decodes to the channels and
// pixels stb_image (the earlier decoder) gives, and a file that is not a PNG is refused whatever it is.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "graphics/imagedata.h"

namespace {

const std::filesystem::path seeds = std::filesystem::path(TIDE_SOURCE_DIR) / "tests/fuzz/png";

struct Decoded {
    unsigned char *pixels = nullptr;
    int width = 0, height = 0, depth = 0;
    explicit Decoded(FILE *fp) {
        if (fp) pixels = gxtkLoadImageFile(fp, &width, &height, &depth);
    }
    ~Decoded() { std::free(pixels); }
};

std::vector<unsigned char> bytes_of(const std::filesystem::path &file) {
    std::vector<unsigned char> out(std::filesystem::file_size(file));
    FILE *fp = std::fopen(file.c_str(), "rb");
    EXPECT_EQ(std::fread(out.data(), 1, out.size(), fp), out.size());
    std::fclose(fp);
    return out;
}

// The CRC-32 that closes every PNG chunk, so that an edited header is still a well-formed one.
unsigned crc32_of(const unsigned char *p, size_t n) {
    unsigned c = 0xffffffffu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
}

TEST(ImageData, EveryPngFormDecodesAsTheEarlierDecoderDid) {
    int pngs = 0;
    for (const auto &entry : std::filesystem::directory_iterator(seeds)) {
        if (entry.path().extension() != ".png") continue;
        FILE *fp = std::fopen(entry.path().c_str(), "rb");
        Decoded got(fp);
        std::fclose(fp);
        int w = 0, h = 0, n = 0;
        unsigned char *want = stbi_load(entry.path().c_str(), &w, &h, &n, 0);
        ASSERT_NE(want, nullptr) << entry.path();
        ASSERT_NE(got.pixels, nullptr) << entry.path();
        EXPECT_EQ(got.width, w) << entry.path();
        EXPECT_EQ(got.height, h) << entry.path();
        ASSERT_EQ(got.depth, n) << entry.path();
        EXPECT_EQ(std::memcmp(got.pixels, want, size_t(w) * h * n), 0) << entry.path();
        stbi_image_free(want);
        ++pngs;
    }
    EXPECT_GE(pngs, 10);
}

TEST(ImageData, FilesThatAreNotPngAreRefused) {
    for (const char *name : {"not_png.jpg", "not_png.gif", "not_png.bmp"}) {
        FILE *fp = std::fopen((seeds / name).c_str(), "rb");
        ASSERT_NE(fp, nullptr) << name;
        Decoded got(fp);
        std::fclose(fp);
        EXPECT_EQ(got.pixels, nullptr) << name;
    }
}

TEST(ImageData, CutOrDamagedPngGivesNone) {
    std::vector<unsigned char> png = bytes_of(seeds / "rgba8.png");
    for (size_t keep = 0; keep + 12 < png.size(); ++keep) { // every cut before the closing chunk
        FILE *fp = fmemopen(png.data(), keep ? keep : 1, "rb");
        Decoded got(keep ? fp : nullptr);
        std::fclose(fp);
        EXPECT_EQ(got.pixels, nullptr) << keep << " bytes";
    }
    // A header claiming a picture far beyond any the game has is refused before its pixels exist.
    std::vector<unsigned char> huge = png;
    const unsigned char side[4] = {0x00, 0x01, 0x00, 0x00}; // 65536
    std::memcpy(&huge[16], side, 4);
    std::memcpy(&huge[20], side, 4);
    unsigned crc = crc32_of(&huge[12], 17); // the chunk type and its 13 bytes
    for (int k = 0; k < 4; ++k)
        huge[29 + k] = static_cast<unsigned char>(crc >> (24 - 8 * k));
    FILE *fp = fmemopen(huge.data(), huge.size(), "rb");
    Decoded got(fp);
    std::fclose(fp);
    EXPECT_EQ(got.pixels, nullptr);
}

} // namespace
