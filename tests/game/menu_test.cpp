// The main menu: score lists, the wheel's keys and drags, moving between its areas, the side sheet, and
// the ways it starts a fight or ends the program.
#include <string>
#include <vector>

#include "audio/audio.h"
#include "tests/game/shell_helpers.h"

namespace {

using Menu = ShellTest;

// Left edge of the score lists once the menu has slid in and the strip is closed.
constexpr float kListX = 640 - 140 + 20;

TEST_F(Menu, ScoreListsFitTheScreenHeight) {
    for (int k = 0; k < 10; ++k) {
        app->hiScores[k] = 1000 - k;
        app->hiScores[30 + k] = 2000 + k;
    }
    host.Update();
    std::string lists = text(kListX - 1);
    EXPECT_EQ(lists.substr(0, 5), "Top10");
    EXPECT_NE(lists.find("Last10"), std::string::npos);
    EXPECT_NE(lists.find("991"), std::string::npos);  // the tenth best
    EXPECT_NE(lists.find("2009"), std::string::npos); // the tenth last
    EXPECT_EQ(textRows(kListX - 1), 22);

    host.devW = 1280; // a virtual screen of 640 x 320: (320 - 90 - 160) / 15 lines of 10 at scale 1.5
    host.devH = 640;
    host.Update();
    lists = text(kListX - 1);
    EXPECT_EQ(lists.substr(0, 4), "Top4");
    EXPECT_NE(lists.find("Last4"), std::string::npos);
    EXPECT_EQ(lists.find("996"), std::string::npos);
    EXPECT_EQ(textRows(kListX - 1), 10);

    // The options box hides them.
    host.devW = 640;
    host.devH = 480;
    app->optionsOpen = 1;
    host.Update();
    EXPECT_EQ(text(kListX - 1).find("Top"), std::string::npos);
}

// The selected entry's description shows under the wheel where the virtual screen is wider than 600: in
// the standard window, not on a 5:4 screen (600 x 480).
TEST_F(Menu, TheWheelEntryIsDescribedOnScreensWiderThan600) {
    EXPECT_NE(text().find("FighttheFinal"), std::string::npos);
    host.devW = 1280;
    host.devH = 1024;
    host.Update();
    ASSERT_EQ(rt_Brinefall_jscrw, 600);
    EXPECT_EQ(text().find("FighttheFinal"), std::string::npos);
}

TEST_F(Menu, HeldDownStepsAfterShrinkingDelays) {
    std::vector<int> steps;
    float before = app->players[26];
    host.KeyDown(keys::kDown);
    for (int u = 1; u <= 70; ++u) {
        host.Update();
        if (app->players[26] > before) steps.push_back(u);
        before = app->players[26];
    }
    host.KeyUp(keys::kDown);
    ASSERT_GE(steps.size(), 6u);
    std::vector<int> gaps;
    for (size_t i = 1; i < 6; ++i)
        gaps.push_back(steps[i] - steps[i - 1]);
    EXPECT_EQ(steps[0], 1);
    EXPECT_EQ(gaps, (std::vector<int>{30, 18, 6, 3, 3}));

    // Letting go starts the pace again.
    host.Update();
    EXPECT_EQ(app->players[27], 30);
    EXPECT_EQ(app->players[26], 0);
}

TEST_F(Menu, PressOnTheSelectedEntryStartsAFight) {
    host.MouseDown(171, 296); // entry 0 of the wheel
    host.Update();
    EXPECT_EQ(app->gameMode, 11);
    EXPECT_EQ(app->ctrlScheme, 2);
    host.MouseUp(171, 296);
    host.Update();
    EXPECT_EQ(app->gameMode, 10);
}

TEST_F(Menu, DragAcrossTheWheelIsNotAPress) {
    const float path[][2] = {{250, 400}, {230, 380}, {210, 360}, {190, 330}, {171, 296}, {171, 296}};
    host.MouseDown(path[0][0], path[0][1]);
    host.Update();
    for (int i = 1; i < 6; ++i) {
        host.MouseMove(path[i][0], path[i][1]);
        host.Update();
        EXPECT_EQ(app->gameMode, 1) << "step " << i;
    }
    EXPECT_EQ(app->pointerLatch, -1);
    EXPECT_EQ(app->menuRow, 1);
    host.MouseUp(171, 296);
    host.Update(120);
    EXPECT_EQ(app->gameMode, 1);
    EXPECT_EQ(app->menuVel, 0); // the wheel came to rest
}

TEST_F(Menu, AFlungWheelComesToRest) {
    for (float scroll : {400.0f, 170.0f, -500.0f, 1000.0f}) {
        app->menuScroll = app->menuShown = scroll;
        app->menuVel = 10;
        host.Update(400);
        EXPECT_EQ(app->menuVel, 0) << scroll;
        EXPECT_EQ(app->menuShown, app->menuScroll) << scroll;
    }
}

TEST_F(Menu, KeysMoveBetweenTheAreas) {
    tap(keys::kLeft);
    EXPECT_EQ(app->menuRow, 0);
    tap(keys::kLeft);
    EXPECT_EQ(app->menuRow, 0);
    tap(keys::kSpace);
    EXPECT_EQ(app->optionsOpen, 1);
    host.Update(30);
    tap(keys::kEscape); // closes the box; the menu does not see it
    EXPECT_EQ(app->optionsOpen, 0);
    host.Update(31);
    EXPECT_EQ(app->optionsTimer, 0);

    tap(keys::kRight);
    tap(keys::kRight);
    tap(keys::kRight);
    EXPECT_EQ(app->menuRow, 2);
    tap(keys::kSpace);
    EXPECT_EQ(app->sidePanelOpen, 1);
    host.Update(60);
    EXPECT_EQ(app->sidePanelX, 640 - 140);
    std::string sheet = text();
    EXPECT_NE(sheet.find("DebugStats"), std::string::npos);
    EXPECT_NE(sheet.find("640x480"), std::string::npos);
    EXPECT_EQ(host.Records(-3716).size(), 11u); // the ring of circles
    tap(keys::kSpace);
    EXPECT_EQ(app->sidePanelOpen, 0);
    EXPECT_EQ(app->gameMode, 1);
}

// The sound slots of the effects played last, oldest first: each play takes the next channel.
std::vector<int> lastSounds(c_MyApp *app, int n) {
    std::vector<int> ids;
    for (int k = n - 1; k >= 0; --k) {
        const int turn = ((app->sfxChannel - k) % 24 + 24) % 24;
        const gxtkSample *sample = rt_audio_device->channels[app->channelIds[turn]].sample;
        int id = -1;
        for (int slot = 0; slot < 100 && id < 0; ++slot)
            if (app->sfx[slot] && app->sfx[slot]->m_sample == sample) id = slot;
        ids.push_back(id);
    }
    return ids;
}

// Fire starts every area with the start sound; the gear and the strip follow it with their own.
TEST_F(Menu, FireOnEveryAreaSoundsTheStartFirst) {
    ASSERT_TRUE(app->sfx[98] && app->sfx[99] && app->sfx[98]->m_sample && app->sfx[99]->m_sample);
    tap(keys::kLeft);
    tap(keys::kSpace);
    ASSERT_EQ(app->optionsOpen, 1);
    EXPECT_EQ(lastSounds(app, 2), (std::vector<int>{98, 99})) << "gear";
    host.Update(30);
    tap(keys::kEscape);
    host.Update(31);

    tap(keys::kRight);
    tap(keys::kRight);
    ASSERT_EQ(app->menuRow, 2);
    tap(keys::kSpace);
    ASSERT_EQ(app->sidePanelOpen, 1);
    EXPECT_EQ(lastSounds(app, 2), (std::vector<int>{98, 99})) << "score strip";
    tap(keys::kSpace);

    tap(keys::kLeft);
    ASSERT_EQ(app->menuRow, 1);
    host.KeyDown(keys::kSpace);
    host.Update();
    ASSERT_EQ(app->gameMode, 11);
    EXPECT_EQ(lastSounds(app, 2), (std::vector<int>{99, 98})) << "wheel";
}

TEST_F(Menu, PointerOnTheStrip) {
    // The play icon sits in the strip and starts a fight.
    host.MouseDown(570, 432);
    host.Update();
    EXPECT_EQ(app->gameMode, 11);
}

// The pointer selects the strip, however often it presses there; fire opens the sheet, and a press
// anywhere on the sheet closes it.
TEST_F(Menu, PointerSelectsTheStripAndClosesTheSheet) {
    for (int press = 0; press < 2; ++press) {
        host.MouseDown(570, 100);
        host.Update();
        EXPECT_EQ(app->menuRow, 2);
        EXPECT_EQ(app->sidePanelOpen, 0) << "press " << press;
        host.MouseUp(570, 100);
        host.Update();
    }
    tap(keys::kSpace);
    ASSERT_EQ(app->sidePanelOpen, 1);
    host.Update(40);
    host.MouseDown(300, 200);
    host.Update();
    EXPECT_EQ(app->sidePanelOpen, 0);
    EXPECT_EQ(app->gameMode, 1);
}

TEST_F(Menu, TheConsoleWheelHasAQuitEntry) {
    rt_Brinefall_isOuya = 1;
    tap(keys::kUp);
    EXPECT_EQ(app->menuPos, -1);
    tap(keys::kUp);
    EXPECT_EQ(app->menuPos, -1);
    std::string out;
    int status = RunInChild(
        [&] {
            host.KeyDown(keys::kSpace);
            host.Update();
        },
        &out);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "");

    tap(keys::kDown);
    EXPECT_EQ(app->menuPos, 0);
}

TEST_F(Menu, PauseKeyEndsTheProgramOnTheDesktop) {
    int status = RunInChild([&] {
        host.KeyDown(keys::kEscape);
        host.Update();
    });
    EXPECT_EQ(status, 0);
}

} // namespace
