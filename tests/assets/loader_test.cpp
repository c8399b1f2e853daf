// Every file the game loads, read by the game's own decoders: pictures at all three levels with room
// for their frame grids, sounds through the WAV reader, tunes through the Ogg decoder. The pictures also
// decode to exactly the pixels of stb_image, the game's earlier decoder; the tunes to the same length,
// channels and rate as with stb_vorbis, every sample within one step of its value there (the two
// decoders round the last bit differently).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <stb/stb_image.h>
#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

#include "audio/audiodata.h"
#include "graphics/imagedata.h"

namespace {

const std::string data_dir = std::string(TIDE_SOURCE_DIR) + "/data/";

struct Sheet {
    const char *name;
    int frameW, frameH, frames;
};

const Sheet sheets[] = {
    {"gfx", 36, 36, 49},
    {"fish", 8, 8, 16},
    {"parts", 8, 8, 256},
    {"common/icons", 32, 32, 16},
    {"common/Buttons", 64, 64, 16},
    {"common/dpad", 32, 32, 16},
    {"common/circle", 256, 256, 4},
    {"common/light", 32, 32, 4},
    {"common/VorloLogo", 256, 256, 1},
    {"logo", 256, 128, 1},
    {"menu", 256, 256, 4},
    {"BadgesA", 64, 64, 64},
    {"fonts/shadow_editundo", 16, 16, 128},
    {"fonts/shadow_editundow", 16, 16, 128},
};

struct Picture {
    unsigned char *pixels = nullptr;
    int width = 0, height = 0, depth = 0;
    explicit Picture(const std::string &path) {
        if (FILE *fp = std::fopen(path.c_str(), "rb")) {
            pixels = gxtkLoadImageFile(fp, &width, &height, &depth);
            std::fclose(fp);
        }
    }
    ~Picture() { std::free(pixels); }
};

// Frames run left to right and wrap at the sheet's width; true when every frame fits.
bool grid_fits(int sheetW, int sheetH, int fw, int fh, int count) {
    int x = 0, y = 0;
    for (int i = 0; i < count; ++i) {
        if (x + fw > sheetW) {
            x = 0;
            y += fh;
        }
        if (fw > sheetW || y + fh > sheetH) return false;
        x += fw;
    }
    return true;
}

TEST(GameData, EveryPictureDecodesWithRoomForItsFramesAtEachLevel) {
    const std::pair<const char *, int> levels[] = {{"", 1}, {"-hd", 2}, {"-hd2", 4}};
    for (const Sheet &s : sheets) {
        for (auto [suffix, level] : levels) {
            std::string file = std::string(s.name) + suffix + ".png";
            Picture pic(data_dir + file);
            ASSERT_NE(pic.pixels, nullptr) << file;
            EXPECT_EQ(pic.depth, 4) << file;
            EXPECT_TRUE(grid_fits(pic.width, pic.height, s.frameW * level, s.frameH * level, s.frames))
                << file;
        }
    }
}

TEST(GameData, DefaultFontIsOneRowOf96PaddedGlyphs) {
    Picture pic(data_dir + "tovu_font.png");
    ASSERT_NE(pic.pixels, nullptr);
    ASSERT_EQ(pic.width % 96, 0);
    int cell = pic.width / 96;
    ASSERT_GT(cell, 2);
    // The loader cuts one column off each side of a glyph: those columns must stay clear.
    for (int g = 0; g < 96; ++g) {
        for (int y = 0; y < pic.height; ++y) {
            for (int x : {g * cell, g * cell + cell - 1}) {
                ASSERT_EQ(pic.pixels[(y * pic.width + x) * pic.depth + pic.depth - 1], 0) << "glyph " << g;
            }
        }
    }
}

TEST(GameData, EveryPictureDecodesToThePixelsOfTheEarlierDecoder) {
    int files = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(data_dir)) {
        if (entry.path().extension() != ".png") continue;
        std::string file = entry.path().string();
        Picture pic(file);
        int w = 0, h = 0, n = 0;
        unsigned char *want = stbi_load(file.c_str(), &w, &h, &n, 0);
        ASSERT_NE(want, nullptr) << file;
        ASSERT_NE(pic.pixels, nullptr) << file;
        EXPECT_EQ(pic.width, w) << file;
        EXPECT_EQ(pic.height, h) << file;
        EXPECT_EQ(pic.depth, n) << file;
        if (pic.width == w && pic.height == h && pic.depth == n) {
            EXPECT_EQ(std::memcmp(pic.pixels, want, size_t(w) * h * n), 0) << file;
        }
        stbi_image_free(want);
        ++files;
    }
    EXPECT_GE(files, 43);
}

struct Sound {
    unsigned char *samples = nullptr;
    int length = 0, channels = 0, format = 0, hertz = 0;
    explicit Sound(const std::string &name) {
        if (FILE *fp = std::fopen((data_dir + name).c_str(), "rb")) {
            samples = LoadAudioFile(fp, String(name.c_str()), &length, &channels, &format, &hertz);
            std::fclose(fp);
        }
    }
    ~Sound() { std::free(samples); }
};

TEST(GameData, EverySoundEffectIsShortSixteenBitPcm) {
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 95, 96, 98, 99}) {
        char name[32];
        std::snprintf(name, sizeof name, "sfx/%03d.wav", n);
        Sound s(name);
        ASSERT_NE(s.samples, nullptr) << name;
        EXPECT_EQ(s.format, 2) << name;
        EXPECT_TRUE(s.channels == 1 || s.channels == 2) << name;
        EXPECT_GT(s.length, 0) << name;
        EXPECT_LT(s.length, s.hertz) << name << " should last under a second";
    }
}

TEST(GameData, EveryTuneDecodesToHalfAMinuteOrMore) {
    for (const char *name : {"sfx/fish.ogg", "sfx/fishb.ogg", "sfx/fishc.ogg", "sfx/testmusic.ogg"}) {
        Sound s(name);
        ASSERT_NE(s.samples, nullptr) << name;
        EXPECT_EQ(s.format, 2) << name;
        ASSERT_GT(s.hertz, 0) << name;
        double seconds = static_cast<double>(s.length) / s.hertz;
        EXPECT_GE(seconds, 30) << name;
        EXPECT_LE(seconds, 90) << name;
    }
}

TEST(GameData, EveryTuneDecodesAsTheEarlierDecoderDecodedIt) {
    for (const char *name : {"sfx/fish.ogg", "sfx/fishb.ogg", "sfx/fishc.ogg", "sfx/testmusic.ogg"}) {
        Sound s(name);
        ASSERT_NE(s.samples, nullptr) << name;
        int chans = 0, rate = 0;
        short *want = nullptr;
        int frames = stb_vorbis_decode_filename((data_dir + name).c_str(), &chans, &rate, &want);
        ASSERT_GT(frames, 0) << name;
        EXPECT_EQ(s.channels, chans) << name;
        EXPECT_EQ(s.hertz, rate) << name;
        EXPECT_EQ(s.length, frames) << name;
        const short *got = reinterpret_cast<const short *>(s.samples);
        long n = static_cast<long>(std::min(s.length, frames)) * chans, differ = 0;
        int worst = 0;
        for (long i = 0; i < n; ++i) {
            int d = std::abs(got[i] - want[i]);
            worst = std::max(worst, d);
            differ += d != 0;
        }
        std::printf("%s: %d frames, %ld of %ld samples differ, by %d at most\n", name, frames, differ, n,
                    worst);
        EXPECT_LE(worst, 1) << name;
        std::free(want);
    }
}

} // namespace
