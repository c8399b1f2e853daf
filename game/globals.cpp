// Module globals of the game, their start values, and the start of the program.
#include "game/myapp.h"
#include "runtime/mathrand.h"

int rt_Brinefall_GameNum;
int rt_Brinefall_J_On_Allow;
int rt_Brinefall_J_On_Able;
float rt_Brinefall_overscan;
int rt_Brinefall_isOuya;
int rt_Brinefall_UseHDImages;
int rt_Brinefall_DebugMode;
float rt_Brinefall_rawscrw;
float rt_Brinefall_rawscrh;
float rt_Brinefall_jscrw;
float rt_Brinefall_jscrh;
int rt_Brinefall_iCadeControls;
int rt_Brinefall_HasMusicStream;
int rt_Brinefall_FadeOutStyle;
int rt_Brinefall_OnScreenControls;
int rt_Brinefall_AccelerometerControls;
Array<String> rt_Brinefall_MenuSet;
Array<String> rt_Brinefall_CreditText;

static gc_root root_menuset(rt_Brinefall_MenuSet);
static gc_root root_credits(rt_Brinefall_CreditText);

// The credits roll: a heading, its names, an empty line and a divider per group. The last line is
// never scrolled into view; it only marks the end.
static const char *const kCredits[] = {
    "A Game by",
    "Glimmerkelp Games",
    "",
    "-=-=-",
    "",
    "Design",
    "The Glimmerkelp Crew",
    "",
    "-=-=-",
    "",
    "Developed using",
    "C++20",
    "GCC and CMake",
    "GLFW",
    "OpenGL",
    "OpenAL Soft",
    "libpng",
    "libvorbis",
    "",
    "-=-=-",
    "",
    "Code",
    "Core Team",
    "Fight Team",
    "Shell Team",
    "",
    "-=-=-",
    "",
    "Graphics",
    "Drawn in code",
    "by the Asset Team",
    "",
    "-=-=-",
    "",
    "Audio",
    "Synthesised sounds",
    "by the Asset Team",
    "",
    "-=-=-",
    "",
    "Hello to",
    "Everyone at the harbour",
    "The night-shift testers",
    "",
    "-=-=-",
    "",
    "Thanks to",
    "The GLFW developers",
    "The OpenAL Soft team",
    "The Vorbis and PNG teams",
    "The Debian project",
    "",
    "-=-=-",
    "Special thanks",
    "You, for playing!",
    "",
    "End",
};
static_assert(sizeof(kCredits) / sizeof(kCredits[0]) == 57);

void rtInit() {
    rt_app__game = RtGame::_game; // the host is not a collectable object
    rt_Brinefall_GameNum = 415;
    rt_Brinefall_J_On_Allow = 0;
    rt_Brinefall_J_On_Able = 0;
    rt_Brinefall_overscan = 0;
    rt_Brinefall_isOuya = 0;
    rt_Brinefall_UseHDImages = 1;
    rt_Brinefall_DebugMode = 0;
    rt_Brinefall_rawscrw = 640;
    rt_Brinefall_rawscrh = 480;
    rt_Brinefall_jscrw = 640;
    rt_Brinefall_jscrh = 480;
    rt_Brinefall_iCadeControls = 0;
    rt_Brinefall_HasMusicStream = 1;
    rt_Brinefall_FadeOutStyle = 1;
    rt_Brinefall_OnScreenControls = 0;
    rt_Brinefall_AccelerometerControls = 0;

    // A backslash followed by n is the line break of the game's text drawing.
    static const char *const menu[] = {"Fight",  "Fight the Final\\nTidecrawler.",
                                       "Normal", "Just right!\\nTough, but not hard.",
                                       "Hard",   "Maybe TOO hard!\\nIf you like it like that"};
    Array<String> set(6);
    for (int i = 0; i < 6; ++i)
        set[i] = String(menu[i]);
    gc_assign(rt_Brinefall_MenuSet, set);

    Array<String> credits(57);
    for (int i = 0; i < 57; ++i)
        credits[i] = String(kCredits[i]);
    gc_assign(rt_Brinefall_CreditText, credits);

    rt_random_Seed = 1234;
}

int rtMain() {
    (new c_MyApp())->m_new();
    return 0;
}
