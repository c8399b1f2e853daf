// The saved string: its layout and checksums, section-by-section recovery from damage, and loading
// whatever the state file holds without crashing.
#include <cerrno>
#include <climits>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/game/shell_helpers.h"

namespace {

std::vector<std::string> fieldsOf(const String &s) {
    std::vector<std::string> out;
    std::string text = s.ToUtf8(), cur;
    for (char c : text) {
        if (c == '|') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

String join(const std::vector<std::string> &fields) {
    std::string out;
    for (const std::string &f : fields)
        out += f + "|";
    return String(out.c_str());
}

class SavedData : public ShellTest {
  protected:
    // Every value the three sections hold, for comparing a game's state before and after.
    struct Snapshot {
        std::vector<int> opt, hi;
        std::vector<bool> badges;
        bool operator==(const Snapshot &) const = default;
    };
    Snapshot snap() const {
        Snapshot s;
        for (int i = 0; i < 25; ++i)
            s.opt.push_back(app->opt[i]);
        for (int i = 0; i < 60; ++i)
            s.hi.push_back(app->hiScores[i]);
        for (int i = 0; i < 256; ++i)
            s.badges.push_back(app->badges[i]);
        return s;
    }
    // The start values of a new game before anything was loaded, with loading's clamps applied.
    void startValues() {
        for (int i = 0; i < 25; ++i)
            app->opt[i] = 0;
        app->opt[5] = 1;
        for (int i = 0; i < 256; ++i)
            app->badges[i] = false;
        for (int i = 0; i < 150; ++i)
            app->hiScores[i] = 0;
    }
    void fillSomething() {
        for (int i = 0; i < 25; ++i)
            app->opt[i] = 100 + 7 * i;
        app->opt[5] = 2;
        app->opt[14] = 1; // the desktop always keeps 1 here
        app->opt[15] = 0;
        for (int i : {0, 5, 31, 32, 77, 200, 255})
            app->badges[i] = true;
        for (int g = 0; g < 3; ++g)
            for (int k = 0; k < 10; ++k) {
                app->hiScores[10 * g + k] = 100000 * (g + 1) - 1000 * k;
                app->hiScores[30 + 10 * g + k] = 5000 * g + 13 * k + 1;
            }
    }
};

TEST_F(SavedData, LayoutAndChecksums) {
    for (int i = 0; i < 25; ++i)
        app->opt[i] = 0;
    app->opt[5] = 1;
    for (int i = 0; i < 256; ++i)
        app->badges[i] = false;
    app->badges[31] = true;
    app->badges[33] = true;
    for (int i = 0; i < 150; ++i)
        app->hiScores[i] = 0;
    app->hiScores[0] = 7;   // group 0, k 0: weight 4
    app->hiScores[31] = 11; // group 0's last ten, k 1: weight 0 + 1 + 3
    app->p_Save();

    std::string raw = host.state.ToUtf8();
    ASSERT_FALSE(raw.empty());
    EXPECT_EQ(raw.back(), '|');
    std::vector<std::string> f = fieldsOf(host.state);
    ASSERT_EQ(f.size(), 203u);
    EXPECT_EQ(f[5], "1");
    EXPECT_EQ(f[25], "5");
    EXPECT_EQ(f[26], "-2147483648"); // bit 31 is the sign bit
    EXPECT_EQ(f[27], "2");
    EXPECT_EQ(f[34], "-2147483646");
    EXPECT_EQ(f[35], "7");
    EXPECT_EQ(f[38], "11");
    EXPECT_EQ(f[55], std::to_string(4 * 7 + 4 * 11));
}

TEST_F(SavedData, RoundTripKeepsEverySection) {
    fillSomething();
    Snapshot saved = snap();
    app->p_Save();
    startValues();
    app->p_Load();
    EXPECT_TRUE(snap() == saved);
    EXPECT_EQ(rt_Brinefall_overscan, 0);
}

TEST_F(SavedData, OneDamagedSectionCostsOnlyItself) {
    fillSomething();
    Snapshot saved = snap();
    app->p_Save();
    std::vector<std::string> f = fieldsOf(host.state);

    // A score of set 2 (group 1 starts at field 56) edited by hand.
    std::vector<std::string> edited = f;
    edited[56 + 6] = "999999";
    host.state = join(edited);
    startValues();
    app->p_Load();
    Snapshot got = snap();
    EXPECT_EQ(got.opt, saved.opt);
    EXPECT_EQ(got.badges, saved.badges);
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(got.hi[k], saved.hi[k]);
        EXPECT_EQ(got.hi[30 + k], saved.hi[30 + k]);
        EXPECT_EQ(got.hi[20 + k], saved.hi[20 + k]);
        EXPECT_EQ(got.hi[50 + k], saved.hi[50 + k]);
        EXPECT_EQ(got.hi[10 + k], 0);
        EXPECT_EQ(got.hi[40 + k], 0);
    }

    // A damaged setting resets the settings to their defaults, nothing else.
    edited = f;
    edited[3] = "4";
    host.state = join(edited);
    startValues();
    fillSomething();
    app->p_Load();
    got = snap();
    for (int i = 0; i < 25; ++i) {
        int want = i == 5 ? 1 : i == 10 || i == 11 ? 64 : i == 12 ? 10 : i == 14 ? 1 : 0;
        EXPECT_EQ(got.opt[i], want) << "setting " << i;
    }
    EXPECT_EQ(got.badges, saved.badges);
    EXPECT_EQ(got.hi, saved.hi);

    // A damaged badge word clears every badge and keeps the rest.
    edited = f;
    edited[29] = "1";
    host.state = join(edited);
    app->p_Load();
    got = snap();
    EXPECT_EQ(got.opt, saved.opt);
    EXPECT_EQ(got.hi, saved.hi);
    for (bool b : got.badges)
        EXPECT_FALSE(b);
}

TEST_F(SavedData, ShortStatesHoldBadgesFromTheFirstField) {
    startValues();
    // Nine to twenty-four fields: no settings; badge words 0 to 7 and their checksum at 8.
    host.state = String("3|0|0|0|0|0|0|-2147483648|-2147483645|");
    app->p_Load();
    EXPECT_TRUE(app->badges[0]);
    EXPECT_TRUE(app->badges[1]);
    EXPECT_FALSE(app->badges[2]);
    EXPECT_TRUE(app->badges[255]);
    EXPECT_EQ(app->opt[5], 1);
    EXPECT_EQ(app->opt[10], 64);

    // Twenty-four fields (the piece after the last separator counts): still no settings, and no
    // score group can be complete.
    std::vector<std::string> f(23, "5");
    host.state = join(f);
    startValues();
    app->p_Load();
    EXPECT_EQ(app->opt[5], 1);
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(app->hiScores[i], 0);
}

TEST_F(SavedData, OverscanComesFromTheSettingsOnlyOnTheConsole) {
    fillSomething();
    app->opt[14] = 50;
    app->p_Save();
    app->p_Load();
    EXPECT_EQ(app->opt[14], 1);
    EXPECT_EQ(rt_Brinefall_overscan, 0);

    rt_Brinefall_isOuya = 1;
    app->opt[14] = 50;
    app->p_Save();
    app->opt[14] = 0;
    app->p_Load();
    EXPECT_EQ(app->opt[14], 50);
    EXPECT_EQ(rt_Brinefall_overscan, 50);

    // A saved overscan below 1 means the console's default border.
    app->opt[14] = 0;
    app->p_Save();
    app->p_Load();
    EXPECT_EQ(app->opt[14], 64);
}

TEST_F(SavedData, NumbersReadLikeTheCLibraryAndSaturate) {
    // Settings 1 to 4 hold odd texts; the checksum is what they read as.
    std::vector<std::string> f(26, "0");
    f[1] = "  42abc";
    f[2] = "-99999999999";
    f[3] = "99999999999";
    f[4] = "+0007";
    // 1 * 42 + 2 * INT_MIN + 3 * INT_MAX + 4 * 7, wrapping at 32 bits.
    unsigned sum = 42u + 2u * static_cast<unsigned>(INT_MIN) + 3u * static_cast<unsigned>(INT_MAX) + 28u;
    f[25] = std::to_string(static_cast<int>(sum));
    host.state = join(f);
    app->p_Load();
    EXPECT_EQ(app->opt[1], 42);
    EXPECT_EQ(app->opt[2], INT_MIN);
    EXPECT_EQ(app->opt[3], INT_MAX);
    EXPECT_EQ(app->opt[4], 7);

    // In range, a field reads exactly as it always did.
    f.assign(26, "0");
    f[1] = "2147483647";
    f[2] = "-2147483648";
    f[3] = "-";
    f[4] = " \t 12 34";
    sum = static_cast<unsigned>(INT_MAX) + 2u * static_cast<unsigned>(INT_MIN) + 48u;
    f[25] = std::to_string(static_cast<int>(sum));
    host.state = join(f);
    app->p_Load();
    EXPECT_EQ(app->opt[1], INT_MAX);
    EXPECT_EQ(app->opt[2], INT_MIN);
    EXPECT_EQ(app->opt[3], 0);
    EXPECT_EQ(app->opt[4], 12);
}

TEST_F(SavedData, BrokenStatesLoadWithoutHarm) {
    fillSomething();
    Snapshot saved = snap();
    app->p_Save();
    String good = host.state;
    std::string goodText = good.ToUtf8();

    host.state = String();
    startValues();
    app->p_Load();
    Snapshot start = snap();

    // Every cut of a good save: each section either loads exactly or keeps its start values.
    for (size_t cut = 0; cut < goodText.size(); cut += 3) {
        host.state = String(goodText.substr(0, cut).c_str());
        startValues();
        app->p_Load();
        Snapshot got = snap();
        EXPECT_TRUE(got.opt == saved.opt || got.opt == start.opt) << "cut " << cut;
        EXPECT_TRUE(got.badges == saved.badges || got.badges == start.badges) << "cut " << cut;
        for (int g = 0; g < 3; ++g) {
            bool asSaved = true, asStart = true;
            for (int k = 0; k < 10; ++k)
                for (int i : {10 * g + k, 30 + 10 * g + k}) {
                    asSaved = asSaved && got.hi[i] == saved.hi[i];
                    asStart = asStart && got.hi[i] == 0;
                }
            EXPECT_TRUE(asSaved || asStart) << "cut " << cut << " group " << g;
        }
    }

    // Settings cut off right before their checksum are not trusted.
    std::vector<std::string> f = fieldsOf(good);
    f.resize(25);
    std::string noSum;
    for (size_t i = 0; i < f.size(); ++i)
        noSum += (i ? "|" : "") + f[i];
    host.state = String(noSum.c_str());
    startValues();
    app->p_Load();
    EXPECT_TRUE(snap() == start);

    // Garbage, separators only, characters beyond 8 bits, and a string of several megabytes.
    std::vector<String> junk = {String(), String("|"), String("||||||||||||||||||||"), String("hello world"),
                                String("\xff\xfe\x01")};
    std::vector<Char> wide(300, 0x4e00);
    junk.push_back(String::FromChars(wide));
    std::string huge;
    for (int i = 0; i < 400000; ++i)
        huge += "123456789|";
    junk.push_back(String(huge.c_str()));
    junk.push_back(String(std::string(3000000, '7').c_str()));
    for (const String &s : junk) {
        host.state = s;
        startValues();
        app->p_Load();
        Snapshot got = snap();
        EXPECT_TRUE(got.opt == start.opt);
        EXPECT_TRUE(got.badges == start.badges);
    }
}

TEST_F(SavedData, FailedSaveSaysWhy) {
    std::string out;
    RunInChild(
        [&] {
            host.saveResult = -1;
            host.saveErrno = EACCES;
            app->p_Save();
            host.saveResult = -2;
            host.saveErrno = ENOSPC;
            app->p_Save();
            host.saveResult = 0;
            app->p_Save(); // a save that works says nothing
            std::fflush(stdout);
            _exit(0);
        },
        &out);
    EXPECT_EQ(out, "Save failed: the state file could not be created (Permission denied)\n"
                   "Save failed: the state file could not be written (No space left on device)\n");
}

TEST_F(SavedData, SavedDataSurvivesARestart) {
    fillSomething();
    app->p_Save();
    Snapshot saved = snap();
    String state = host.state;

    TestHost second;
    second.state = state;
    second.Boot();
    c_MyApp *again = second.App();
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(again->opt[i], saved.opt[i]);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(again->badges[i], saved.badges[i]);
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(again->hiScores[i], saved.hi[i]);
}

} // namespace
