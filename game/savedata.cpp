// The saved string: settings, badge flags and score lists as "|"-separated decimal numbers, three
// sections each guarded by its own weighted checksum. A section that fails its check is reset on
// loading; the others load normally, so one damaged value never costs more than its own section.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "game/myapp.h"

namespace {

constexpr int kSettings = 25;
constexpr int kBadgeWords = 8;
constexpr int kScoreGroups = 8;  // written; only the first three are read back
constexpr int kGroupFields = 21; // ten pairs and a checksum
// Fields past this one are never looked at, so a huge state string is not split beyond it.
constexpr int kFieldsNeeded = 35 + 3 * kGroupFields + 1;

// Sums wrap around as 32-bit signed numbers do; unsigned arithmetic keeps that defined.
inline int wrap(uint32_t v) { return static_cast<int>(v); }

int settingsSum(const Array<int> &opt) {
    uint32_t sum = 0;
    for (int i = 0; i < kSettings; ++i)
        sum += static_cast<uint32_t>(i) * static_cast<uint32_t>(opt[i]);
    return wrap(sum);
}

int badgeWord(const Array<bool> &badges, int b) {
    uint32_t w = 0;
    for (int k = 0; k < 32; ++k)
        if (badges[32 * b + k]) w |= 1u << k;
    return wrap(w);
}

int groupSum(const Array<int> &hi, int g) {
    uint32_t sum = 0;
    for (int k = 0; k < 10; ++k) {
        sum += static_cast<uint32_t>(k + 4) * static_cast<uint32_t>(hi[10 * g + k]);
        sum += static_cast<uint32_t>(g + k + 3) * static_cast<uint32_t>(hi[10 * g + k + 30]);
    }
    return wrap(sum);
}

// The fields of the state string: where each starts and ends, and how many there are in all (up to
// the limit; any count at or above it behaves the same for every rule of loading).
struct Fields {
    const String &text;
    int start[kFieldsNeeded + 1];
    int end[kFieldsNeeded + 1];
    int count = 0;

    explicit Fields(const String &s) : text(s) {
        int from = 0;
        const Char *p = s.Data();
        for (int i = 0; i < s.Length() && count < kFieldsNeeded; ++i) {
            if (p[i] == '|') {
                start[count] = from;
                end[count++] = i;
                from = i + 1;
            }
        }
        if (count < kFieldsNeeded) { // the piece after the last separator is a field too
            start[count] = from;
            end[count++] = s.Length();
        }
    }

    // A field read as a decimal number (see rt_atoi: values beyond the int range saturate); a field
    // that is missing reads as 0.
    int number(int f) const {
        if (f < 0 || f >= count) return 0;
        return rt_atoi(text.Data() + start[f], end[f] - start[f]);
    }

    bool has(int f) const { return f < count; }
};

} // namespace

int c_MyApp::p_Save() {
    std::string out;
    out.reserve(2048);
    auto put = [&out](int v) {
        out += std::to_string(v);
        out += '|';
    };
    for (int i = 0; i < kSettings; ++i)
        put(opt[i]);
    put(settingsSum(opt));

    uint32_t words = 0;
    for (int b = 0; b < kBadgeWords; ++b) {
        int w = badgeWord(badges, b);
        words += static_cast<uint32_t>(w);
        put(w);
    }
    put(wrap(words));

    for (int g = 0; g < kScoreGroups; ++g) {
        for (int k = 0; k < 10; ++k) {
            put(hiScores[10 * g + k]);
            put(hiScores[10 * g + k + 30]);
        }
        put(groupSum(hiScores, g));
    }

    String state(out.c_str());
    if (rt_Brinefall_DebugMode == 1) rtPrint(state);
    int result = rt_app_SaveState(state);
    if (result != 0) {
        // Never silent: the player's settings and scores did not reach the disk.
        int err = errno;
        const char *step = result == -1 ? "could not be created" : "could not be written";
        std::string why =
            std::string("Save failed: the state file ") + step + " (" + std::strerror(err) + ")";
        rtPrint(String(why.c_str()));
    }
    return 0;
}

int c_MyApp::p_Load() {
    String state = rt_app_LoadState();
    Fields f(state);

    // Settings, when the string has room for all of them; a string too short for that holds badges
    // and scores only, starting at its first field.
    int badgeStart = 0;
    if (f.count >= kSettings) {
        for (int i = 0; i < kSettings; ++i)
            opt[i] = f.number(i);
        // A string cut off right after the settings has no checksum to vouch for them.
        if (f.has(kSettings) && settingsSum(opt) == f.number(kSettings)) {
            rtPrint(String("Settings Loaded"));
        } else {
            rtPrint(String("Settings Checksum Invalid"));
            for (int i = 0; i < kSettings; ++i)
                opt[i] = 0;
            opt[5] = 1;
        }
        badgeStart = kSettings + 1;
    }

    if (opt[10] < 64) opt[10] = 64;
    if (opt[11] < 64) opt[11] = 64;
    if (opt[12] < 8) opt[12] = 10;
    if (opt[14] < 1) opt[14] = 64;
    if (rt_Brinefall_isOuya == 1) {
        rt_Brinefall_overscan = static_cast<float>(opt[14]);
    } else {
        opt[14] = 1;
        rt_Brinefall_overscan = 0;
    }

    int badgeSum = badgeStart + kBadgeWords;
    if (f.count > badgeSum) {
        uint32_t sum = 0;
        for (int b = 0; b < kBadgeWords; ++b) {
            uint32_t w = static_cast<uint32_t>(f.number(badgeStart + b));
            for (int k = 0; k < 32; ++k)
                badges[32 * b + k] = ((w >> k) & 1u) != 0;
            sum += w;
        }
        if (wrap(sum) == f.number(badgeSum)) {
            rtPrint(String("Badges Loaded"));
        } else {
            rtPrint(String("Badge Checksum Invalid"));
            for (int i = 0; i < 256; ++i)
                badges[i] = false;
        }
    }

    int start = badgeStart + kBadgeWords + 1;
    for (int g = 0; g < 3; ++g, start += kGroupFields) {
        if (!f.has(start + 20)) continue;
        for (int k = 0; k < 10; ++k) {
            hiScores[10 * g + k] = f.number(start + 2 * k);
            hiScores[10 * g + k + 30] = f.number(start + 2 * k + 1);
        }
        if (groupSum(hiScores, g) != f.number(start + 20)) {
            for (int k = 0; k < 10; ++k)
                hiScores[10 * g + k] = hiScores[10 * g + k + 30] = 0;
        }
    }
    rtPrint(String("Highscores Loaded"));
    return 0;
}
