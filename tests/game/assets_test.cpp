#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "tests/support/testhost.h"

namespace {

bool requested(const TestHost &host, const std::string &file) {
    return std::find(host.loaded.begin(), host.loaded.end(), file) != host.loaded.end();
}

// Boots at a window size and runs the whole loader.
struct Loaded {
    TestHost host;
    Loaded(int w, int h, int useHD = 1) {
        host.devW = w;
        host.devH = h;
        host.Boot();
        rt_Brinefall_UseHDImages = useHD;
        host.FinishLoading();
    }
};

TEST(Assets, PictureFilesFollowTheWindowSize) {
    {
        Loaded l(800, 600);
        EXPECT_TRUE(requested(l.host, "menu-hd.png"));
        EXPECT_EQ(l.host.App()->imgInfo[99 * 3], 512);
        EXPECT_EQ(l.host.App()->imgScale, 0.5f);
        EXPECT_TRUE(requested(l.host, "fonts/shadow_editundow-hd.png"));
        EXPECT_EQ(l.host.App()->imgInfo[90 * 3], 7); // font metrics stay in virtual pixels
    }
    {
        Loaded l(1920, 1080);
        EXPECT_TRUE(requested(l.host, "menu-hd2.png"));
        EXPECT_EQ(l.host.App()->imgInfo[99 * 3 + 1], 1024);
        EXPECT_EQ(l.host.App()->imgScale, 0.25f);
        // Font metrics are the same at every resolution of the files.
        EXPECT_EQ(l.host.App()->imgInfo[90 * 3], 7);
        EXPECT_EQ(l.host.App()->imgInfo[90 * 3 + 1], 10);
    }
    {
        // 640 is above 630: the doubled pictures serve the standard window too.
        Loaded l(640, 480);
        EXPECT_TRUE(requested(l.host, "menu-hd.png"));
        EXPECT_FALSE(requested(l.host, "menu.png"));
    }
    {
        Loaded l(600, 400);
        EXPECT_TRUE(requested(l.host, "menu.png"));
        EXPECT_EQ(l.host.App()->imgScale, 1);
    }
    {
        Loaded l(1920, 1080, 0);
        EXPECT_TRUE(requested(l.host, "menu.png"));
        EXPECT_TRUE(requested(l.host, "common/circle.png"));
        EXPECT_FALSE(requested(l.host, "menu-hd2.png"));
    }
}

TEST(Assets, SoundFilesCarryThreeDigits) {
    EXPECT_EQ(c_MyApp::p_SoundFile(7).ToUtf8(), "sfx/007.wav");
    EXPECT_EQ(c_MyApp::p_SoundFile(42).ToUtf8(), "sfx/042.wav");
    Loaded l(640, 480);
    for (int n : {1, 2, 9, 10, 14, 15, 16, 17, 18, 95, 96, 98, 99})
        EXPECT_TRUE(requested(l.host, c_MyApp::p_SoundFile(n).ToUtf8())) << n;
    // Sound 1 is read twice in one load (steps 2 and 11).
    EXPECT_EQ(std::count(l.host.loaded.begin(), l.host.loaded.end(), "sfx/001.wav"), 2);
}

TEST(Assets, TheLoaderTakes31UpdatesAndEndsWithTheMenuFont) {
    TestHost host;
    host.Boot();
    c_MyApp *app = host.App();
    EXPECT_EQ(app->loading, 1);
    EXPECT_EQ(app->clsAlpha, 1);
    int updates = 0;
    while (app->loading > 0 && updates < 100) {
        host.Update();
        ++updates;
        // The loading screen is drawn on every step: three rings of 11 dots and the logo.
        ASSERT_EQ(host.Records(-3716).size(), 33u);
        ASSERT_EQ(host.Records(93).size(), 1u);
    }
    EXPECT_EQ(updates, 31);
    EXPECT_EQ(app->font, 90);
    EXPECT_EQ(app->gameMode, 1);
    EXPECT_EQ(app->spin, 93);
}

TEST(Assets, WaitForStartGoesToTheMenuAndReloads) {
    TestHost host;
    host.Boot();
    c_MyApp *app = host.App();
    host.FinishLoading();
    app->gameMode = 5;
    app->bgB = 80;
    host.Update();
    EXPECT_EQ(app->gameMode, 1);
    EXPECT_EQ(app->loading, 1);
    EXPECT_EQ(app->pointerLatch, 1);
    EXPECT_EQ(app->bgB, 70);                   // the background fades by an eighth
    EXPECT_EQ(host.Records(-3716).size(), 0u); // no rings on the start prompt
}

// A minimal mono 16-bit WAV file.
void writeWav(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const int samples = 64, bytes = samples * 2;
    auto u32 = [&](unsigned v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [&](unsigned short v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1);
    u16(1);
    u32(22050);
    u32(44100);
    u16(2);
    u16(16);
    std::fwrite("data", 1, 4, f);
    u32(bytes);
    for (int i = 0; i < samples; ++i)
        u16(static_cast<unsigned short>(i * 100));
    std::fclose(f);
}

TEST(Assets, TheJinglePlaysOnceAndMissingPicturesAreNamed) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("tide_assets_" + std::to_string(::getpid()));
    fs::create_directories(dir / "sfx");
    writeWav((dir / "sfx" / "096.wav").string());

    { // a picture that is there but broken
        FILE *f = std::fopen((dir / "logo-hd.png").c_str(), "wb");
        std::fputs("\x89PNG\r\n\x1a\n cut short", f);
        std::fclose(f);
    }

    TestHost host;
    host.dataDir = dir.string() + "/";
    testing::internal::CaptureStderr();
    host.Boot();
    c_MyApp *app = host.App();
    host.FinishLoading();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(app->sfx[96], nullptr);
    EXPECT_EQ(app->sfx[95], nullptr);
    EXPECT_EQ(app->img[99], nullptr);
    // The terminal names every picture that could not be loaded, and why.
    EXPECT_NE(said.find("Picture " + dir.string() +
                        "/menu-hd.png could not be loaded: the file cannot be opened\n"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("Picture " + dir.string() + "/logo-hd.png could not be loaded: it is not a PNG"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("/fonts/shadow_editundow-hd.png could not be loaded"), std::string::npos);
    EXPECT_EQ(app->jinglePlayed, 1);
    EXPECT_EQ(app->sfxChannel, 1); // played once

    // A change of window size loads everything again, quietly.
    app->loading = 1;
    host.FinishLoading();
    EXPECT_NE(app->sfx[96], nullptr);
    EXPECT_EQ(app->sfxChannel, 1);
    fs::remove_all(dir);
}

// The fight's tune cut short or damaged: the fight starts and runs without its music instead of the
// decoder taking the game down. The damaged copy (kept with the Ogg fuzz target's inputs) crashed the
// game's earlier decoder.
TEST(Assets, DamagedFightTuneLeavesTheFightSilent) {
    namespace fs = std::filesystem;
    const fs::path data = fs::path(TIDE_SOURCE_DIR) / "data";
    auto bytes_of = [](const fs::path &file) {
        std::string out;
        FILE *f = std::fopen(file.c_str(), "rb");
        EXPECT_NE(f, nullptr) << file;
        for (int c; f && (c = std::fgetc(f)) != EOF;)
            out += static_cast<char>(c);
        if (f) std::fclose(f);
        return out;
    };
    std::string tune = bytes_of(data / "sfx" / "testmusic.ogg");
    std::string damaged = bytes_of(fs::path(TIDE_SOURCE_DIR) / "tests/fuzz/ogg/damaged_tune.ogg");
    for (const std::string &bad : {damaged, tune.substr(0, 168), tune.substr(0, 1543)}) {
        fs::path dir = fs::temp_directory_path() / ("tide_tune_" + std::to_string(::getpid()));
        fs::create_directories(dir / "sfx");
        for (const auto &e : fs::directory_iterator(data))
            if (e.path().filename() != "sfx") fs::create_symlink(e.path(), dir / e.path().filename());
        for (const auto &e : fs::directory_iterator(data / "sfx"))
            if (e.path().filename() != "testmusic.ogg")
                fs::create_symlink(e.path(), dir / "sfx" / e.path().filename());
        FILE *f = std::fopen((dir / "sfx" / "testmusic.ogg").c_str(), "wb");
        std::fwrite(bad.data(), 1, bad.size(), f);
        std::fclose(f);

        TestHost host;
        host.dataDir = dir.string() + "/";
        host.Boot();
        c_MyApp *app = host.App();
        ASSERT_TRUE(host.FinishLoading());
        app->gameMode = 11; // what the menu does to start a fight
        host.Update(30);
        EXPECT_EQ(app->gameMode, 10) << bad.size() << " bytes";
        fs::remove_all(dir);
    }
}

} // namespace
