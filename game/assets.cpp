// Pictures and sounds in numbered slots, the resolution level of the picture files, and the loader
// that spreads the whole set over about thirty updates behind the loading screen.
#include <cmath>

#include "audio/audio.h"
#include "game/myapp.h"
#include "graphics/drawing.h"
#include "host/paths.h"

namespace {

bool validSlot(int slot) { return slot >= 0 && slot < 100; }

// Glyph advance and line height of the game fonts in virtual pixels, the same in the files of every
// resolution: the marquee spaces its targets by the advance, so a finer file must not change the game.
constexpr int kFontAdvance = 7, kFontLineHeight = 10;

// Cuts a loaded picture into a grid of frames, as the image loader would, but refuses a picture that is
// too small for the grid instead of stopping the program: a bad file only leaves its slot empty.
c_Image *gridImage(gxtkSurface *surface, int fw, int fh, int frames, int flags) {
    if (!surface || fw <= 0 || fh <= 0 || frames <= 0) return nullptr;
    const int sw = surface->Width(), sh = surface->Height();
    if (fw > sw || fh > sh) return nullptr;
    const long long perRow = sw / fw;
    const long long rows = (frames + perRow - 1) / perRow;
    if (rows * fh > sh) return nullptr;
    return (new c_Image())->m_new()->p_Init2(surface, 0, 0, fw, fh, frames, flags, nullptr, 0, 0, sw, sh);
}

} // namespace

int c_MyApp::p_HDLevel() {
    const int w = rt_app_DeviceWidth(), h = rt_app_DeviceHeight();
    hdLevel = 1;
    if (w > 630 || h > 630) hdLevel = 2;
    if (w > 1230 || h > 1230) hdLevel = 4;
    if (rt_Brinefall_UseHDImages == 0) hdLevel = 1;
    imgScale = 1.0f / hdLevel;
    return hdLevel;
}

String c_MyApp::p_ImageFile(String name) {
    if (hdLevel == 4) return name + String("-hd2.png");
    if (hdLevel == 2) return name + String("-hd.png");
    return name + String(".png");
}

String c_MyApp::p_SoundFile(int n) {
    return String(n < 10 ? "sfx/00" : "sfx/0") + String(n) + String(".wav");
}

int c_MyApp::p_LoadImg(int slot, String name, int w, int h, int frames, int flags) {
    if (!validSlot(slot)) return 0;
    gc_assign(img[slot], nullptr);
    const int fw = w * hdLevel, fh = h * hdLevel;
    imgInfo[slot * 3] = fw;
    imgInfo[slot * 3 + 1] = fh;
    imgInfo[slot * 3 + 2] = frames;
    if (!rt_graphics_device) return 0;
    gxtkSurface *surface = rt_graphics_device->LoadSurface(rt_data_FixDataPath(p_ImageFile(name)));
    gc_assign(img[slot], gridImage(surface, fw, fh, frames, flags));
    return 0;
}

int c_MyApp::p_LoadFont(int slot, String name, int w, int h) {
    if (!validSlot(slot)) return 0;
    gc_assign(img[slot], nullptr);
    // Glyph advance and line height are kept in virtual pixels, whatever the file's resolution.
    imgInfo[slot * 3] = w;
    imgInfo[slot * 3 + 1] = h;
    imgInfo[slot * 3 + 2] = 128;
    font = slot;
    if (!rt_graphics_device) return 0;
    const int cell = 16 * hdLevel;
    gxtkSurface *surface = rt_graphics_device->LoadSurface(rt_data_FixDataPath(p_ImageFile(name)));
    gc_assign(img[slot], gridImage(surface, cell, cell, 128, c_Image::HandleCentred));
    return 0;
}

int c_MyApp::p_LoadSFX(int n) {
    if (!validSlot(n)) return 0;
    gc_assign(sfx[n], nullptr);
    if (!rt_audio_device) return 0;
    gc_assign(sfx[n], rt_audio_LoadSound(p_SoundFile(n)));
    return 0;
}

int c_MyApp::p_ReserveImg(int slot, int w, int h) {
    if (!validSlot(slot)) return 0;
    gc_assign(img[slot], nullptr);
    imgInfo[slot * 3] = w;
    imgInfo[slot * 3 + 1] = h;
    imgInfo[slot * 3 + 2] = 1;
    if (!rt_graphics_device || w <= 0 || h <= 0) return 0;
    gxtkSurface *surface = rt_graphics_device->CreateSurface(w, h);
    if (surface) gc_assign(img[slot], (new c_Image())->m_new()->p_Init(surface, 1, c_Image::HandleCentred));
    return 0;
}

int c_MyApp::p_Reload() {
    clsR = clsG = clsB = 0;
    clsAlpha = 1;
    p_HDLevel();
    p_LoadImg(93, String("common/VorloLogo"), 256, 256, 1, 1);
    p_LoadFont(90, String("fonts/shadow_editundo"), kFontAdvance, kFontLineHeight);
    loading = 1;
    return 0;
}

int c_MyApp::p_LoaderStep(int step) {
    switch (step) {
    case 1:
        p_LoadImg(97, String("common/icons"), 32, 32, 16, 1);
        p_LoadSFX(96);
        p_ReserveImg(81, 2048, 2048);
        break;
    case 2:
        p_LoadImg(95, String("common/Buttons"), 64, 64, 16, 1);
        p_LoadSFX(1);
        break;
    case 3:
        p_LoadImg(94, String("common/dpad"), 32, 32, 16, 1);
        p_LoadSFX(98);
        break;
    case 4:
        p_LoadImg(93, String("common/VorloLogo"), 256, 256, 1, 1);
        // The jingle belongs to the first start only; reloads after a window change stay quiet.
        if (jinglePlayed == 0) {
            p_PlaySFXVol(96, 1);
            jinglePlayed = 1;
        }
        break;
    case 5:
        p_LoadFont(89, String("fonts/shadow_editundo"), kFontAdvance, kFontLineHeight);
        p_LoadSFX(99);
        p_LoadFont(90, String("fonts/shadow_editundow"), kFontAdvance, kFontLineHeight);
        break;
    case 6:
        p_LoadImg(99, String("menu"), 256, 256, 4, 1);
        p_LoadSFX(95);
        p_LoadImg(98, String("logo"), 256, 128, 1, 1);
        break;
    case 7:
        p_LoadImg(80, String("BadgesA"), 64, 64, 64, 1);
        p_LoadImg(96, String("parts"), 8, 8, 256, 1);
        break;
    case 8:
        p_LoadImg(85, String("common/circle"), 256, 256, 4, 1);
        p_LoadImg(86, String("common/light"), 32, 32, 4, 1);
        break;
    case 9:
        p_LoadImg(1, String("gfx"), 36, 36, 49, 1);
        break;
    case 10:
        p_LoadImg(2, String("fish"), 8, 8, 16, 1);
        break;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
    case 16:
    case 17:
        p_LoadSFX(2 * (step - 11) + 1);
        p_LoadSFX(2 * (step - 11) + 2);
        break;
    case 18:
        p_LoadSFX(15);
        break;
    case 24:
        p_LoadSFX(16);
        break;
    case 30:
        p_LoadSFX(17);
        p_LoadSFX(18);
        break;
    default:
        break;
    }
    return 0;
}

int c_MyApp::p_Loader() {
    p_HDLevel();
    const int step = loading;
    p_LoaderStep(step);
    loading = step >= 31 ? 0 : step + 1;
    p_WaitStart(1);
    return 0;
}

int c_MyApp::p_WaitStart(int mode) {
    bgR -= bgR / 8;
    bgG -= bgG / 8;
    bgB -= bgB / 8;
    p_CLS2D(bgR, bgG, bgB, 1);
    const float w = rt_Brinefall_jscrw, h = rt_Brinefall_jscrh;
    minSide = tide_int(std::fmin(w, h));
    spin += 3;

    // A ring of eleven dots fading in along the arc, at angle a and distance dist from the centre.
    auto ring = [&](float r, float g, float b, float radius, float start, float dist) {
        for (int i = 0; i <= 10; ++i) {
            p_SetCol(r, g, b, i / 10.0f);
            double a = (start + 4 * i) * 0.017453292519943295;
            p_Oval(static_cast<float>(w / 2 + std::sin(a) * minSide * dist),
                   static_cast<float>(h / 2 - std::cos(a) * minSide * dist), radius, radius);
        }
    };

    if (mode == 1) ring(0, 125, 255, 16, static_cast<float>(spin), 0.45f);
    p_SetSize(2);
    p_SetCol(255, 255, 255, 1);
    p_DrawImg(93, w / 2, h * 0.48f, 0);
    p_SetSize(1);
    if (mode == 1) {
        ring(255, 125, 0, 12, static_cast<float>(spin + 120), 0.4f);
        ring(255, 125, 0, 8, static_cast<float>(spin + 240), 0.35f);
    }
    p_SetCol(255, 255, 255, 1);
    p_SetSize(1);
    p_Text(w / 2, h - 32, String("Loading..."), 1, 1, 0);

    if (mode == 0) {
        pointerLatch = 1;
        gameMode = 1;
        p_Reload();
        rt_app__updateRate = 60;
        rt_app_SetUpdateRate(60);
    }
    return 0;
}

int c_MyApp::p_BankLoad() { return 0; }
