// The game object's life: construction, start-up, the order of work in one update, the mode machine,
// suspend and resume, the random generator and the sound calls.
#include <cmath>
#include <cstring>

#include "audio/audio.h"
#include "game/myapp.h"
#include "graphics/drawing.h"
#include "input/input.h"
#include "net/socket.h"
#include "runtime/mathrand.h"

// Where the housecall goes when it is allowed. The switch is off in every build we ship.
static const char *const kHousecallUrl = "http://127.0.0.1/housecall.php";

// Sentinel seed that asks for the clock instead.
static constexpr int kSeedFromClock = -37171650;

c_MyApp::c_MyApp() {
    gc_assign(opt, Array<int>(25));
    gc_assign(sfx, Array<c_Sound *>(100));
    gc_assign(channelIds, Array<int>(33));
    gc_assign(toastBadge, Array<int>(15));
    gc_assign(toastTime, Array<int>(15));
    gc_assign(badges, Array<bool>(256));
    gc_assign(hiScores, Array<int>(150));
    gc_assign(players, Array<float>(512));
    gc_assign(obj, Array<float>(5100));
    gc_assign(part, Array<float>(5100));
    gc_assign(stars, Array<float>(5100));
    gc_assign(marquee, Array<float>(5000000));
    gc_assign(iCadeState, Array<int>(20));
    gc_assign(touchDown, Array<int>(10));
    gc_assign(touchX, Array<int>(10));
    gc_assign(touchY, Array<int>(10));
    gc_assign(drawList, Array<float>(37500));
    gc_assign(img, Array<c_Image *>(100));
    gc_assign(imgInfo, Array<int>(300));
}

c_MyApp *c_MyApp::m_new() {
    c_App::m_new();
    return this;
}

void c_MyApp::mark() {
    gc_mark_q(opt);
    gc_mark_q(sfx);
    gc_mark_q(channelIds);
    gc_mark_q(toastBadge);
    gc_mark_q(toastTime);
    gc_mark_q(badges);
    gc_mark_q(hiScores);
    gc_mark_q(players);
    gc_mark_q(obj);
    gc_mark_q(part);
    gc_mark_q(stars);
    gc_mark_q(marquee);
    gc_mark_q(iCadeState);
    gc_mark_q(touchDown);
    gc_mark_q(touchX);
    gc_mark_q(touchY);
    gc_mark_q(drawList);
    gc_mark_q(img);
    gc_mark_q(imgInfo);
    markFight();
    markShell();
}

int c_MyApp::p_OnCreate() {
    drawListLen = 0;
    clsR = clsG = clsB = clsAlpha = 0;
    sidePanelOpen = 0;
    sidePanelX = -0.0f;
    optionsOpen = optionsTimer = 0;
    overlayOpen = 0;
    if (rt_Brinefall_isOuya == 1) {
        ctrlScheme = 1;
        rt_Brinefall_overscan = 64;
    }
    if (rt_Brinefall_J_On_Allow == 1)
        p_GetURL(String(kHousecallUrl), String("hello=1&gameID=") + String(rt_Brinefall_GameNum));
    gameMode = 1;
    rt_app__updateRate = 60;
    rt_app_SetUpdateRate(60);
    // The first replay must not mistake start-up for a change of window size.
    lastDevW = rt_app_DeviceWidth();
    lastDevH = rt_app_DeviceHeight();
    tiltZeroX = tiltZeroY = 0;
    p_Reload();
    gameSet = 2;
    menuIntro = -32;
    menuHold = 50;
    paused = 0;
    pauseMenuOn = -1;
    pauseMenuY = -64;
    for (int i = 0; i < 15; ++i)
        toastBadge[i] = toastTime[i] = 0;
    for (int i = 0; i < 128; ++i)
        badges[i] = false;
    for (int i = 0; i <= 18; ++i)
        iCadeState[i] = 0;
    for (int i = 0; i < 25; ++i)
        opt[i] = 0;
    opt[5] = 1;
    for (int i = 0; i <= 30; ++i)
        hiScores[i] = 0;
    p_Load();
    for (int i = 0; i <= 32; ++i)
        channelIds[i] = i;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// One update.

int c_MyApp::p_OnUpdate() {
    // Back key mirror.
    if (rt_Brinefall_isOuya == 0)
        iCadeState[19] = rt_input_KeyHit(416);
    else
        iCadeState[19] = rt_input_KeyHit(270) ? 1 : 0;

    // Function keys. Quitting comes first: nothing else of this update may run.
    if (rt_input_KeyHit(115) || rt_input_KeyHit(432)) rtError(String());
    if (rt_input_KeyHit(112)) rt_Brinefall_DebugMode = rt_Brinefall_DebugMode ? 0 : 1;
    if (rt_input_KeyHit(113)) hudHidden = hudHidden ? 0 : 1;
    if (rt_input_KeyHit(122)) p_FullscreenFlip();

    rt_asyncevent_UpdateAsyncEvents();

    if (rt_Brinefall_HasMusicStream == 1 && tunePlaying == 1) {
        if (paused == 0)
            rt_audio_ResumeMusic();
        else
            rt_audio_PauseMusic();
    }

    int t = rt_app_Millisecs();
    if (t > lastMillis) fps = tide_int(1000.0 / (static_cast<double>(t) - lastMillis));
    fpsSmooth = (fps + 9 * fpsSmooth) / 10;
    lastMillis = t;

    // The pointer maps through the fit of the last rendered frame, the one the player saw.
    p_ReadPointer();

    // Menu key latch: a held key acts once across screens.
    static const int kLatchActions[] = {0, 3, 5, 8, 10, 11, 12, 13, 14, 15, 16, 17, 99};
    int held = 0, pauseHeld = 0;
    for (int joy = 0; joy < 4; ++joy) {
        for (int action : kLatchActions)
            if (p_PlayKey(action, 1, joy)) {
                held = 1;
                if (action == 99) pauseHeld = 1;
            }
    }
    if (!held) {
        keyLatch = 0;
    } else if (keyLatch == 0 && pointerLatch == 0 && pauseHeld && gameMode == 1 &&
               (optionsOpen != 0 || sidePanelOpen != 0 || overlayOpen != 0)) {
        sidePanelOpen = 0;
        overlayOpen = 0;
        keyLatch = pointerLatch = 1;
    }
    if (optionsOpen == 1) keyLatch = pointerLatch = 1;

    if (loading == 0) {
        p_ModeStep();
        p_SideAndOptions();
    } else {
        p_Loader();
    }

    // iCade letters.
    if (rt_Brinefall_iCadeControls == 1) {
        for (int ch = rt_input_GetChar(); ch != 0; ch = rt_input_GetChar()) {
            iCadeChar = ch;
            p_iCadeLetter(ch);
        }
    }
    // Touch buttons press for one update; held cabinet buttons stay.
    for (int i = 0; i <= 18; ++i)
        if (iCadeState[i] == 1) iCadeState[i] = 0;

    if (rt_Brinefall_OnScreenControls == 1 && gameMode > 5 && rt_Brinefall_iCadeControls == 0) p_TouchPad();
    if (rt_Brinefall_AccelerometerControls == 1 && rt_Brinefall_iCadeControls == 0) p_TiltControl();

    if (rt_Brinefall_DebugMode == 1 && gameMode != 5) p_DebugLine();
    p_ShowBadges();
    return 0;
}

int c_MyApp::p_ModeStep() {
    switch (gameMode) {
    case 1:
        p_Menu();
        break;
    case 2:
        p_LoadMenu();
        p_PlaySFXVol(96, 1);
        gameMode = 1;
        // Whatever is still held from the fight (fire through the last hit) must not act on the menu.
        keyLatch = pointerLatch = 1;
        p_Menu();
        break;
    case 4:
        p_OuyaQuit();
        break;
    case 5:
        p_WaitStart(0);
        break;
    case 10:
        if (paused == 0) p_Game();
        p_InGame();
        break;
    case 11:
        p_LoadGame();
        break;
    default:
        break;
    }
    if (gameMode == 1 || gameMode == 2 || (gameMode == 10 && gameOver > 0)) p_GameOver();
    return 0;
}

int c_MyApp::p_SideAndOptions() {
    if (optionsOpen == 1 || optionsTimer > 0) {
        p_OptionBox();
        if (optionsOpen == 1) {
            if (optionsTimer < 30) ++optionsTimer;
        } else if (optionsTimer > 0) {
            --optionsTimer;
        }
    }
    if (sidePanelOpen == 0) {
        sidePanelX -= sidePanelX / 8;
        if (sidePanelX < 8) sidePanelX = 0;
    } else {
        float target = rt_Brinefall_jscrw - 140;
        sidePanelX += (target - sidePanelX) / 8;
        if (std::fabs(target - sidePanelX) < 8) sidePanelX = target;
    }
    return 0;
}

int c_MyApp::p_DebugLine() {
    p_ResetDraw();
    float y = (rt_Brinefall_AccelerometerControls == 1 && rt_Brinefall_iCadeControls == 0)
                  ? rt_Brinefall_jscrh / 2
                  : rt_Brinefall_jscrh - 16;
    String line = String(drawListLen / 15) + String(" - ") + String(scaleY) + String(",") + String(scaleX) +
                  String(":") + String(renderFpsSmooth);
    p_Text(16, y, line, 0, 0, 0);
    return 0;
}

int c_MyApp::p_InGame() {
    p_ResetDraw();
    int pauseKey = p_PlayKeyAll(99, 0) > 0 || (rt_Brinefall_isOuya == 1 && p_PlayKeyAll(13, 0) > 0);
    if (pauseKey && paused == 0 && keyLatch == 0) {
        keyLatch = 1;
        paused = 1;
        pauseMenuOn = 1;
        pauseSel = 0;
        p_PlaySFXVol(98, 0.5f);
    }
    if (hudHidden == 0) {
        p_Alpha(ctrlScheme == 2 ? 1.0f : 0.2f);
        p_DrawImg(97, 16, 16, 0);
        p_Alpha(1);
        float hw = imgInfo[97 * 3] * imgScale * drawScaleX / 2;
        float hh = imgInfo[97 * 3 + 1] * imgScale * drawScaleY / 2;
        if (mouseDown > 0 && paused == 0) {
            for (int i = 0; i < 10; ++i) {
                if (std::fabs(touchX[i] - 16.0f) < hw && std::fabs(touchY[i] - 16.0f) < hh) {
                    paused = 1;
                    pauseMenuOn = 1;
                    pointerLatch = 1;
                    pauseSel = 0;
                    p_PlaySFXVol(98, 0.5f);
                    break;
                }
            }
        }
    }
    if (paused == 1) p_PauseMenu();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Suspend and resume.

// Focus changes drop the cabinet's held letters, since their releases may never arrive.
static void forget_icade(c_MyApp *app) {
    rt_input_DisableKeyboard();
    for (int i = 0; i <= 18; ++i)
        app->iCadeState[i] = 0;
    rt_Brinefall_iCadeControls = 0;
}

// A running game comes back paused, with its menu already in place and Resume selected; the menus are
// never paused.
static void pause_for_focus(c_MyApp *app) {
    if (app->gameMode < 10) {
        app->paused = app->pauseMenuOn = app->pauseMenuY = 0;
    } else {
        app->paused = 1;
        app->pauseMenuOn = 1;
        app->pauseMenuY = tide_int(rt_Brinefall_jscrh / 2);
        app->pauseSel = 0;
    }
}

int c_MyApp::p_OnSuspend() {
    forget_icade(this);
    pause_for_focus(this);
    rt_app__updateRate = 5;
    rt_app_SetUpdateRate(5);
    p_Save();
    return 0;
}

int c_MyApp::p_OnResume() {
    pause_for_focus(this);
    rt_app__updateRate = 60;
    rt_app_SetUpdateRate(60);
    forget_icade(this);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Random numbers.

int c_MyApp::p_SeedRnd(int seed) {
    rt_random_Seed = seed == kSeedFromClock ? rt_app_Millisecs() : seed;
    for (int i = 0; i < 21; ++i)
        rt_random_Rnd();
    return 0;
}

int c_MyApp::p_Rand(float lo, float hi) {
    double r = rt_random_Rnd();
    return tide_int(std::floor(r * ((static_cast<double>(hi) + 0.99) - lo) + lo));
}

// ---------------------------------------------------------------------------------------------
// Sound.

int c_MyApp::p_PlaySFX(int id, float rate, float volume, float pan) {
    if (opt[5] != 1 && opt[5] != 2) return 0;
    if (id < 0 || id >= sfx.Length() || !sfx[id]) return 0;
    sfxChannel = (sfxChannel + 1) % 24;
    int channel = channelIds[sfxChannel];
    rt_audio_StopChannel(channel);
    rt_audio_PlaySound(sfx[id], channel, 0);
    rt_audio_SetChannelRate(channel, rate);
    rt_audio_SetChannelVolume(channel, volume);
    rt_audio_SetChannelPan(channel, pan);
    return 0;
}

int c_MyApp::p_PlaySFXVol(int id, float volume) { return p_PlaySFX(id, 1, volume, 0); }
int c_MyApp::p_PlaySFXRate(int id, float rate) { return p_PlaySFX(id, rate, 1, 0); }

int c_MyApp::p_PlayTune(String name, int loop) {
    if (rt_Brinefall_HasMusicStream == 0) return 0;
    if (name == String("-1") && lastTune.Length() > 0) name = lastTune;
    if (name.Length() == 0) return 0;
    lastTune = name;
    if (tunePlaying == 1) {
        rt_audio_StopMusic();
        tunePlaying = 0;
    }
    if (opt[5] == 1 || opt[5] == 3) {
        rt_audio_PlayMusic(String("sfx/") + name + String(".ogg"), loop);
        tunePlaying = 1;
    }
    return 0;
}

int c_MyApp::p_StopTune() {
    rt_audio_StopMusic();
    tunePlaying = 0;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Clearing the fight.

int c_MyApp::p_FlushGame() {
    p_ResetObj();
    p_ResetGrid();
    p_ResetStars(50);
    maxParticles = 250;
    for (int p = 0; p <= 250; ++p)
        part[p * 10] = 0;
    p_ResetPlayers();
    paused = score = gameOver = 0;
    shownScore = gameOverTimer = 0;
    camX = camY = camTargetX = camTargetY = 0;
    return 0;
}

int c_MyApp::p_ResetObj() {
    std::memset(obj.Data(), 0, sizeof(float) * obj.Length());
    return 0;
}

int c_MyApp::p_ResetGrid() {
    std::memset(marquee.Data(), 0, sizeof(float) * marquee.Length());
    return 0;
}

int c_MyApp::p_ResetParticles(int n) {
    if (n >= 1 && n <= 499) maxParticles = n;
    if (maxParticles >= 0)
        for (int p = 0; p <= maxParticles; ++p)
            part[p * 10] = 0;
    return 0;
}

int c_MyApp::p_ResetPlayers() {
    for (int i = 0; i < 500; ++i)
        players[i] = 0;
    return 0;
}
