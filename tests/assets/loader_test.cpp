// Every file the game loads, read by the game's own decoders: pictures through stb_image at all three
// levels with room for their frame grids, sounds through the WAV reader, tunes through the Ogg decoder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/audiodata.h"
#include "graphics/imagedata.h"

namespace {

const std::string data_dir = std::string(TIDE_SOURCE_DIR) + "/data/";

struct Sheet {
    const char *name;
    int frameW, frameH, frames;
};

const Sheet sheets[] = {
    {"gfx", 36, 36, 49},          {"fish", 8, 8, 16},           {"parts", 8, 8, 256},
    {"common/icons", 32, 32, 16}, {"common/Buttons", 64, 64, 16}, {"common/dpad", 32, 32, 16},
    {"common/circle", 256, 256, 4}, {"common/light", 32, 32, 4}, {"common/VorloLogo", 256, 256, 1},
    {"logo", 256, 128, 1},        {"menu", 256, 256, 4},        {"BadgesA", 64, 64, 64},
    {"fonts/shadow_editundo", 16, 16, 128}, {"fonts/shadow_editundow", 16, 16, 128},
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
            EXPECT_TRUE(grid_fits(pic.width, pic.height, s.frameW * level, s.frameH * level, s.frames)) << file;
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

} // namespace
