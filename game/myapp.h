// The game object. One class holds every piece of game state; its methods are spread over one .cpp per
// concern: state.cpp (modes, sound, random), controls.cpp, drawkit.cpp, assets.cpp, then the fight files
// (fight, throws, particles, marquee) and the shell files (menu, options, scores, saved data, quit guard).
//
// Ownership of this header: the core sections are kept by the core files; the two sections marked
// "---- fight ----" and "---- shell ----" belong to those files and are edited only from there.
#pragma once
#include "appframe/app.h"
#include "net/http.h"
#include "runtime/array.h"
#include "runtime/string.h"

class c_Image;
class c_Sound;

// Absent optional argument / finger that is up.
constexpr float kUnset = -3717.0f;

// Float to int dropping the fraction toward zero. Values that fit no int (NaN, infinities, huge
// numbers from a zero scale) give 0 or saturate instead of being undefined.
inline int tide_int(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

class c_MyApp : public c_App, public c_IOnHttpRequestComplete {
  public:
    c_MyApp();
    c_MyApp *m_new();
    void mark() override;

    // Host events.
    int p_OnCreate() override;
    int p_OnSuspend() override;
    int p_OnResume() override;
    int p_OnUpdate() override;
    int p_OnRender() override;

    // ================================ core: state and mode flow ================================
    int gameMode = 0;     // 1 menu, 2 back to menu, 4 quit guard, 5 wait for start, 10 game, 11 start game
    int loading = 0;      // loader step, 0 when idle
    int paused = 0;
    int pauseMenuOn = 0;  // -1 / -64 after p_OnCreate
    int pauseMenuY = 0;
    int hudHidden = 0;
    int ctrlScheme = 0;   // 0 keyboard, 1 pad, 2 pointer
    int lastMillis = 0, fps = 0, fpsSmooth = 0;
    int keyLatch = 0, pointerLatch = 0;
    int optionsOpen = 0, optionsTimer = 0;
    int sidePanelOpen = 0;
    float sidePanelX = 0;
    int overlayOpen = 0;  // the third overlay that the pause key closes together with the side panel
    Array<int> opt;       // 25 player settings; [5] sound mode

    // Sound.
    Array<c_Sound *> sfx; // 100 slots
    int sfxChannel = 0;
    Array<int> channelIds; // 33
    String lastTune;
    int tunePlaying = 0;

    // Shell fields the update step and start-up also touch (declared here so the core compiles alone).
    int gameSet = 0;
    int menuIntro = 0;
    int menuHold = 0;       // set to 50 at start-up
    int pointerCooldown = 0; // counted down by the update step while above 0
    int pauseSel = 0;
    int shownScore = 0;
    int gameOverTimer = 0;
    Array<int> toastBadge;  // 15
    Array<int> toastTime;   // 15
    Array<bool> badges;     // 256
    Array<int> hiScores;    // 150

    // Fight tables and values listed with the shared state.
    Array<float> players;  // 512
    Array<float> obj;      // 5100: records of 10 floats
    Array<float> part;     // 5100
    int maxParticles = 250;
    Array<float> stars;    // 5100
    int starCount = 100;
    Array<float> marquee;  // 5000000
    int score = 0;
    int gameOver = 0;
    int won = 0;
    float camX = 0, camY = 0, camTargetX = 0, camTargetY = 0;
    int firing = 0;
    int freeSlot = 0;
    int chuckKind = 0;

    int p_SeedRnd(int seed);
    int p_Rand(float lo, float hi);
    int p_PlaySFX(int id, float rate, float volume, float pan);
    int p_PlaySFXVol(int id, float volume); // rate 1, pan 0
    int p_PlaySFXRate(int id, float rate);  // volume 1, pan 0
    int p_PlayTune(String name, int loop);
    int p_StopTune();
    int p_FlushGame();
    int p_ResetObj();
    int p_ResetGrid();
    int p_ResetParticles(int n);
    int p_ResetPlayers();
    int p_InGame();
    int p_ModeStep(); // the mode dispatch of one update
    int p_SideAndOptions();
    int p_DebugLine();

    // ================================ core: controls ================================
    Array<int> iCadeState; // 20, one per action
    int iCadeChar = 0;
    float joyX = 0, joyY = 0;
    float keyRampX = 0, keyRampY = 0;
    int pointerAnchorX = -1, pointerAnchorY = 0; // -1: no pointer stick yet
    int mouseX = 0, mouseY = 0;
    int mouseStartX = 0, mouseStartY = 0;
    int mouseDown = 0, mouseDownOld = 0, mouseHit = 0;
    Array<int> touchDown, touchX, touchY; // 10 each
    int padX = 0, padY = 0;
    float padScale = 0;
    int pinchOn = 0, pinchLast = 0;
    float tiltX = 0, tiltY = 0, tiltSmoothX = 0, tiltSmoothY = 0;
    float tiltZeroX = 0, tiltZeroY = 0;

    int p_PlayKey(int action, int analogue, int joy);
    int p_PlayKeyAll(int action, int analogue);
    float p_StickX(int stick, int joy);
    float p_StickY(int stick, int joy);
    int p_AnalogueControl();
    int p_ResetSteering();
    int p_iCade(int on);
    int p_iCadeLetter(int ch); // one character of the cabinet's letter protocol
    int p_ReadPointer();       // update step 6
    int p_TouchPad();
    int p_TiltControl();

    // ================================ core: drawing kit and text ================================
    Array<float> drawList; // 37500: 2500 records of 15 floats
    int drawListLen = 0;
    float drawScaleX = 1, drawScaleY = 1, drawRot = 0;
    float drawR = 255, drawG = 255, drawB = 255, drawAlpha = 1;
    int drawBlend = 1;
    float clsR = 0, clsG = 0, clsB = 0, clsAlpha = 0;
    float scaleX = 0, scaleY = 0;
    int fitMode = 0, landscape = 0;
    float originX = 0, originY = 0; // device position of the virtual screen's top-left corner
    int lastDevW = 0, lastDevH = 0;
    int renderLastMillis = 0, renderFps = 0, renderFpsSmooth = 0;
    int buttonHit = 0;

    void p_ResetDraw();
    void p_CLS2D(float r = kUnset, float g = 0, float b = 0, float a = 1);
    void p_SetCol(float r, float g, float b, float a = kUnset);
    void p_Alpha(float a);
    void p_SetSize(float sx, float sy = kUnset);
    void p_SetRot(float angle);
    void p_Ink(int index, float brightness = 1);
    void p_DrawImg(int slot, float x, float y, float frame);
    void p_Rect(float x, float y, float w, float h);
    void p_Oval(float x, float y, float rx, float ry);
    void p_Line(float x1, float y1, float x2, float y2);
    void p_Tri(float x1, float y1, float x2, float y2, float x3, float y3);
    int p_MouseIn(float x, float y, float w, float h);
    int p_MouseIn_Centered(float cx, float cy, float w, float h);
    int p_MouseIn_Radius(float cx, float cy, float w, float h);
    int p_Touch(float x, float y, float w, float h);
    int p_Button(int slot, float x, float y, float frame);
    int p_Button0(int slot, float x, float y, float frame);
    void p_Text(float x, float y, String txt, float alignX = 0, float alignY = 0, int fontOffset = 0);
    String p_rstr(int value, int width, String pad);
    String p_Nth(int n);
    // Works out scaleX/Y, originX/Y, fitMode, landscape and the virtual screen for a device size.
    void p_FitScreen(int devW, int devH);

    // ================================ core: assets and loading ================================
    Array<c_Image *> img;  // 100 slots
    Array<int> imgInfo;    // 300: frame width, height, count per slot
    int hdLevel = 1;
    float imgScale = 1;
    int font = 0;
    int jinglePlayed = 0;
    int spin = 0;
    int minSide = 0;
    float bgR = 0, bgG = 0, bgB = 0;

    int p_LoadImg(int slot, String name, int w, int h, int frames, int flags);
    int p_LoadFont(int slot, String name, int w, int h);
    int p_LoadSFX(int n);
    int p_ReserveImg(int slot, int w, int h);
    int p_Reload();
    int p_Loader();
    int p_LoaderStep(int step);
    int p_WaitStart(int mode);
    int p_BankLoad();
    int p_HDLevel(); // sets hdLevel and imgScale from the device size
    String p_ImageFile(String name);
    static String p_SoundFile(int n);

    // ============ screens of the fight and the shell, called by the update step ============
    // Defined in the fight and shell files.
    int p_Menu();
    int p_LoadMenu();
    int p_OuyaQuit();
    int p_Game();
    int p_LoadGame();
    int p_GameOver();
    int p_OptionBox();
    int p_PauseMenu();
    int p_FullscreenFlip();
    int p_ShowBadges();
    int p_Load();
    int p_Save();
    int p_GetURL(String url, String query);
    int p_ResetStars(int n);
    void markFight(); // marks the collectable fields of the fight section
    void markShell(); // marks the collectable fields of the shell section

    // ---- fight ----
    // Indices of the fight record `players`.
    enum {
        kPlayerX = 1, kPlayerY = 2, kPlayerVX = 3, kPlayerVY = 4,
        kShotCooldown = 11, kShotDelay = 12, kHurtTimer = 15,
        kRebornTune = 88, kBurstLeft = 89, kThrowLevel = 90, kMouthOffset = 91, kThrowTimer = 92,
        kMouthTimer = 93, kPhase = 95, kLives = 99,
        kCrawlerX = 101, kCrawlerY = 102, kCrawlerVX = 103, kCrawlerVY = 104, kCrawlerAngle = 105,
        kCrawlerSpin = 106, kEndTimer = 108, kHitsToPlate = 109, kTargetX = 111, kTargetY = 112,
        kMarqueeLength = 198, kMarqueeCount = 199,
    };
    // Kinds of object records in `obj`.
    static constexpr int kObjFree = 0, kObjPlate = 1, kObjLoosePlate = 2, kObjShot = 10, kObjFish = 21,
                         kObjSwellFish = 22;
    static constexpr int kMarqueePlane = 100000; // glyph, x and sink planes of `marquee`

    float bgTargetR = 0, bgTargetG = 0, bgTargetB = 0; // background colour wanted (bgR.. is the one shown)
    float crawlerFrame = 0;                            // scratch: the Tidecrawler's frame this update

    static float m_Rnd(float lo, float hi);
    static float m_Sin(float degrees);
    static float m_Cos(float degrees);
    static int m_WhichWayDoIGo(float from, float to, int lo, int hi);

    int p_FreeObj(int max);
    int p_FightTexts();
    int p_FightPlates();
    int p_FightPlayer();
    int p_FightCrawler();
    int p_FightMouth();
    int p_FightFire();
    int p_FightObjects(); // returns the number of plates still attached
    int p_HitPlayer();
    int p_DoFish(int base, float sx, float sy);

    int p_Chuck(int kind);
    int p_ChuckPrelude();
    int p_ThrowFish(float direction, float speed);
    int p_ThrowSwellingFish(float x, float y, float timer);
    int p_BurstShot();

    int p_ThrowParticle(float x, float y, int kind, int colour, float angle, float speed);
    int p_ThrowParticle(float x, float y, float angle, float speed);
    int p_FreeParticle();
    int p_DoParticles(float scale);
    int p_DoStars(float dx, float dy);
    int p_DoBG(int r, int g, int b, float alpha);
    int p_ReseedFromClock();

    int p_AddTxt(String s);
    int p_AddMarqueeLines();
    int p_DoMarquee();
    // ---- end fight ----

    // ---- shell ----
    // Main menu.
    int menuRow = 1;         // selected area: 0 gear, 1 wheel, 2 side strip
    int menuPos = 0;         // selected wheel entry, 0 or below
    float menuScroll = 0;    // wanted wheel angle offset
    float menuShown = 0;     // displayed wheel angle offset, easing to menuScroll
    float menuVel = 0;       // drag speed of the wheel
    int menuDragging = 0;    // 1 after a drag selected an entry
    int dragAnchorX = -1, dragAnchorY = -1;
    float panelW = 140;      // width of the side strip
    float gearAngle = 0;     // shared by the menu gear and the options box
    float creditScroll = 0;
    int creditTop = 0;

    // Options box and pause screen.
    int optRow = 0;          // keyboard cursor: 0 the back gear, 1.. the lines
    int optKeyLatch = 0, optPointerLatch = 0;
    int fullscreen = 0;
    Array<float> toyPoints = Array<float>(204); // the line toy's trail, 102 points
    float toyAngleA = 0, toyAngleB = 0, toySpeed = 0, toyRadius = 0, toyHue = 0;

    // Game over and scores.
    int rank = 0;            // result of the last rank test, 0 when not placed
    int quitGame = 0;        // -1 when the game ended through the pause screen's quit

    // Housecall.
    String houseReply = String("N/A");
    c_HttpRequest *httpReq = nullptr; // the request in flight, matched on completion
    int houseDone = 0;

    int p_MenuStart();
    int p_MenuScoreLists();
    int p_MenuWheel(float cx, float cy);
    int p_MenuSheet();
    int p_OverscanLine(float cx, float y, int boxLatch);
    int p_OptionLines(float top);
    int p_OptionChoose(int row);
    int p_CloseOptions();
    int p_PauseToy();
    int p_PauseChoose(int item, int byPointer);
    int p_ScoreDisplay();
    String p_MyNth();
    int p_GameOverFan(float a);
    String p_BadgeID(int n);
    String p_BadgeName(int n);
    String p_BadgeDetail(int n);
    int p_GC_PostScore(int score, int set);
    int p_GC_Badges();
    void p_OnHttpRequestComplete(c_HttpRequest *req) override; // the completion interface returns nothing
    // ---- end shell ----
};

// Module globals of the game.
extern int rt_Brinefall_GameNum;
extern int rt_Brinefall_J_On_Allow;
extern int rt_Brinefall_J_On_Able;
extern float rt_Brinefall_overscan;
extern int rt_Brinefall_isOuya;
extern int rt_Brinefall_UseHDImages;
extern int rt_Brinefall_DebugMode;
extern float rt_Brinefall_rawscrw;
extern float rt_Brinefall_rawscrh;
extern float rt_Brinefall_jscrw;
extern float rt_Brinefall_jscrh;
extern int rt_Brinefall_iCadeControls;
extern int rt_Brinefall_HasMusicStream;
extern int rt_Brinefall_FadeOutStyle;
extern int rt_Brinefall_OnScreenControls;
extern int rt_Brinefall_AccelerometerControls;
extern Array<String> rt_Brinefall_MenuSet;
extern Array<String> rt_Brinefall_CreditText;

// The game's global initialiser and entry, called by the host at start-up.
void rtInit();
int rtMain();
