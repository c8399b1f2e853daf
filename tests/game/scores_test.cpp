// Ranking and entering scores, the play field's score line, the game-over overlay and the badge toasts.
#include <string>

#include "tests/game/shell_helpers.h"

namespace {

class Scores : public ShellTest {
  protected:
    void setBest(std::initializer_list<int> values) {
        int k = 0;
        for (int v : values)
            app->hiScores[k++] = v;
    }
    std::vector<int> best() const {
        std::vector<int> out;
        for (int k = 0; k < 10; ++k)
            out.push_back(app->hiScores[k]);
        return out;
    }
    std::vector<int> last() const {
        std::vector<int> out;
        for (int k = 0; k < 10; ++k)
            out.push_back(app->hiScores[30 + k]);
        return out;
    }
    // Draws only the score line, and gives back its text.
    std::string scoreLine() {
        app->p_CLS2D();
        app->p_ScoreDisplay();
        return text();
    }
};

TEST_F(Scores, RankTestAndEntryTreatTiesDifferently) {
    app->gameSet = 1;
    for (int k = 0; k < 10; ++k)
        app->hiScores[30 + k] = k + 1;

    // All best scores 0: a score of 0 ranks first but is not greater than any of them.
    app->score = 0;
    EXPECT_EQ(app->p_MyNth().ToUtf8(), "1st!");
    EXPECT_EQ(app->rank, 1);
    app->p_LoadMenu();
    EXPECT_EQ(best(), std::vector<int>(10, 0));
    EXPECT_EQ(last(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

    setBest({500, 450, 400, 350, 300, 250, 200, 150, 100, 50});
    app->score = 500;
    EXPECT_EQ(app->p_MyNth().ToUtf8(), "1st!");
    host.state = String();
    app->p_LoadMenu();
    EXPECT_EQ(best(), (std::vector<int>{500, 500, 450, 400, 350, 300, 250, 200, 150, 100}));
    EXPECT_EQ(app->hiScores[30], 500);
    EXPECT_GT(host.state.Length(), 0); // entering a score saves

    struct Case {
        int score;
        const char *text;
        int rank;
    } cases[] = {{501, "1st!", 1},  {499, "3rd", 3}, {450, "3rd", 3}, {349, "6th", 6},
                 {100, "10th", 10}, {99, "", 0},     {-5, "", 0}};
    for (const Case &c : cases) {
        app->score = c.score;
        EXPECT_EQ(app->p_MyNth().ToUtf8(), c.text) << c.score;
        EXPECT_EQ(app->rank, c.rank) << c.score;
    }

    // Unplaced: only the last-ten list takes it.
    std::vector<int> before = best();
    app->score = 99;
    app->p_LoadMenu();
    EXPECT_EQ(best(), before);
    EXPECT_EQ(app->hiScores[30], 99);
    EXPECT_EQ(app->hiScores[31], 500);

    // Set 2 keeps its own lists.
    app->gameSet = 2;
    app->score = 7;
    app->p_LoadMenu();
    EXPECT_EQ(app->hiScores[10], 7);
    EXPECT_EQ(app->hiScores[40], 7);
    EXPECT_EQ(best(), before);
}

TEST_F(Scores, ScoreLineShowsEightDigitsAndThePlaceToBeat) {
    app->gameSet = 1;
    setBest({1000, 900, 800, 700, 600, 500, 400, 300, 200, 100});
    app->players[c_MyApp::kLives] = 3;

    app->score = app->shownScore = 50;
    EXPECT_EQ(scoreLine(), "0000005010th00000100");
    EXPECT_EQ(host.Records(97).size(), 3u); // a life icon per life

    app->score = app->shownScore = 950; // past the second best
    EXPECT_EQ(scoreLine(), "000009501st00001000");

    app->score = app->shownScore = 123456789;
    EXPECT_EQ(scoreLine().substr(0, 8), "23456789");

    // With empty lists every zero entry counts as beaten.
    for (int k = 0; k < 10; ++k)
        app->hiScores[k] = 0;
    app->score = app->shownScore = 0;
    EXPECT_EQ(scoreLine(), "000000001st00000000");

    app->hudHidden = 1;
    EXPECT_EQ(scoreLine(), "");
}

TEST_F(Scores, ShownScoreEasesTowardsTheScore) {
    app->score = 600;
    app->shownScore = 0;
    std::vector<int> seen;
    for (int i = 0; i < 40 && app->shownScore != 600; ++i) {
        scoreLine();
        seen.push_back(app->shownScore);
    }
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0], 100);
    EXPECT_EQ(seen[1], 183);
    EXPECT_EQ(seen.back(), 600);
}

TEST_F(Scores, GameOverOverlayLeadsBackToTheMenuWithTheScoreEntered) {
    startFight();
    app->score = 4321;
    app->gameOver = 1;
    std::string seen;
    int updates = 0;
    while (app->gameMode == 10 && updates < 200) {
        host.Update();
        ++updates;
        if (updates == 60) seen = text();
    }
    EXPECT_EQ(updates, 90);
    EXPECT_EQ(app->gameMode, 2);
    EXPECT_EQ(app->gameOverTimer, 75);
    EXPECT_NE(seen.find("GAME"), std::string::npos);
    EXPECT_NE(seen.find("OVER"), std::string::npos);
    EXPECT_NE(seen.find("NewHighscore1st!"), std::string::npos);

    int score = app->score;
    host.Update();
    EXPECT_EQ(app->gameMode, 1);
    EXPECT_EQ(app->hiScores[0], score);
    EXPECT_EQ(app->hiScores[30], score);
    EXPECT_GT(host.state.Length(), 0);
    EXPECT_NE(text().find(std::to_string(score)), std::string::npos); // in the menu's lists

    // The overlay fades out over the menu.
    host.Update(40);
    EXPECT_EQ(app->gameOverTimer, 0);
}

// The notice is one text of two lines, "New Highscore", a line break, eleven spaces and the place, at
// the middle of the screen a third of the bars' reach above the bottom, aligned a quarter of its width
// left and its lower line's top on that point; the box is three tenths of the screen wide from 0.35 of it.
TEST_F(Scores, TheNewHighscoreNoticeIsOneTextOverItsBox) {
    app->score = 0; // ranks first among the empty best ten
    app->gameMode = 10;
    app->gameOverTimer = 10; // the bars reach 120: the notice sits at 480 - 120 / 1.5 = 400
    app->p_CLS2D();
    app->p_GameOver();
    ASSERT_EQ(app->rank, 1);
    int boxes = 0;
    for (int i : host.Records(-3717)) {
        const float *r = host.Record(i);
        if (r[10] != 0 || r[11] != 125 || r[12] != 255) continue;
        ++boxes;
        EXPECT_EQ(r[1], 224);
        EXPECT_EQ(r[2], 384);
        EXPECT_EQ(r[4], 192);
        EXPECT_EQ(r[5], 32);
    }
    EXPECT_EQ(boxes, 1);
    // Measured at scale 2 the text is 408 wide (30 cells of 7, 6 narrower on balance), so it starts
    // 102 left of the middle, one cell before its first letter; the lines are 20 apart around 400.
    auto glyphAt = [&](char c) {
        for (int i : host.Records(static_cast<float>(app->font))) {
            const float *r = host.Record(i);
            if (r[6] == c - 32 && r[4] == 2) return std::pair<float, float>(r[1], r[2]);
        }
        return std::pair<float, float>(-1, -1);
    };
    EXPECT_EQ(glyphAt('N'), std::make_pair(232.0f, 390.0f));
    EXPECT_EQ(glyphAt('1'), std::make_pair(218.0f + 14 + 11 * 14, 410.0f));
    EXPECT_EQ(text().find("NewHighscore1st!"), 8u); // after "GAME" and "OVER"
}

TEST_F(Scores, FanBackdropGrowsInTheGameAndShrinksInTheMenu) {
    rt_Brinefall_FadeOutStyle = 2;
    auto triangles = [&](int mode, int timer) {
        app->gameMode = mode;
        app->gameOverTimer = timer;
        app->p_CLS2D();
        app->p_GameOver();
        return host.Records(-3714).size();
    };
    EXPECT_EQ(triangles(10, 1), 1u);
    EXPECT_EQ(triangles(10, 20), 11u);
    EXPECT_EQ(triangles(10, 30), 16u);
    EXPECT_EQ(triangles(10, 48), 25u);
    EXPECT_EQ(triangles(10, 80), 25u);
    EXPECT_EQ(triangles(1, 70), 18u);
    EXPECT_EQ(triangles(1, 2), 1u);
    EXPECT_EQ(triangles(1, 0), 0u); // no overlay without a timer

    rt_Brinefall_FadeOutStyle = 3;
    EXPECT_EQ(triangles(10, 30), 0u);
    EXPECT_GE(host.Records(-3717).size(), 3u);
}

TEST_F(Scores, BadgesAndTheirToasts) {
    EXPECT_EQ(app->p_BadgeName(5).ToUtf8(), "Odd Badge");
    EXPECT_EQ(app->p_BadgeDetail(5).ToUtf8(), "This badge hasn't been defined!");
    EXPECT_EQ(app->p_BadgeName(0).ToUtf8(), "Test Badge");
    EXPECT_EQ(app->p_BadgeDetail(0).ToUtf8(), "This is a Test Badge which has no purpose.");
    EXPECT_EQ(app->p_GC_PostScore(1, 2), 0);
    EXPECT_EQ(app->p_GC_Badges(), 0);

    app->toastBadge[2] = 0;
    app->toastTime[2] = 1;
    app->p_CLS2D();
    app->p_ShowBadges();
    std::vector<int> rects = host.Records(-3717);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(host.Record(rects[0])[1], 16 * 2 - 160);
    EXPECT_EQ(host.Record(rects[0])[2], 480 - 34 * 3);
    EXPECT_EQ(text(), "TestBadge");
    EXPECT_EQ(host.Records(80).size(), 1u);

    for (int i = 0; i < 200; ++i)
        app->p_ShowBadges();
    app->p_CLS2D();
    app->p_ShowBadges();
    EXPECT_EQ(host.Record(host.Records(-3717)[0])[1], 0); // resting
    for (int i = 0; i < 40; ++i)
        app->p_ShowBadges();
    EXPECT_EQ(app->toastTime[2], 0);
}

} // namespace
