#include "tests/e2e/harness/save_file.h"

namespace e2e {

static bool parse_field(const std::string &s, int32_t *out) {
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && s[i] == '-') neg = true, ++i;
    if (i == s.size() || s.size() - i > 10) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    v = neg ? -v : v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    *out = static_cast<int32_t>(v);
    return true;
}

// Sums wrap around as 32-bit signed integers do in the game.
static int32_t wrap(uint32_t v) { return static_cast<int32_t>(v); }

SaveFile ReadSaveFile(const std::string &text) {
    SaveFile f;
    if (text.empty() || text.back() != '|') {
        f.problem = "does not end with '|'";
        return f;
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t bar = text.find('|', start);
        int32_t v = 0;
        if (!parse_field(text.substr(start, bar - start), &v)) {
            f.problem = "field " + std::to_string(f.field.size()) + " is not a number: \"" +
                        text.substr(start, bar - start) + "\"";
            return f;
        }
        f.field.push_back(v);
        start = bar + 1;
    }
    if (f.field.size() != 203) {
        f.problem = "holds " + std::to_string(f.field.size()) + " fields instead of 203";
        return f;
    }
    auto u = [&](size_t i) { return static_cast<uint32_t>(f.field[i]); };
    uint32_t sum = 0;
    for (uint32_t i = 0; i < 25; ++i)
        sum += i * u(i);
    if (wrap(sum) != f.field[25]) {
        f.problem =
            "settings checksum " + std::to_string(f.field[25]) + " should be " + std::to_string(wrap(sum));
        return f;
    }
    sum = 0;
    for (size_t b = 0; b < 8; ++b)
        sum += u(26 + b);
    if (wrap(sum) != f.field[34]) {
        f.problem =
            "badge checksum " + std::to_string(f.field[34]) + " should be " + std::to_string(wrap(sum));
        return f;
    }
    for (uint32_t g = 0; g < 8; ++g) {
        size_t base = 35 + 21 * g;
        sum = 0;
        for (uint32_t k = 0; k < 10; ++k)
            sum += (k + 4) * u(base + 2 * k) + (g + k + 3) * u(base + 2 * k + 1);
        if (wrap(sum) != f.field[base + 20]) {
            f.problem = "score group " + std::to_string(g) + " checksum " +
                        std::to_string(f.field[base + 20]) + " should be " + std::to_string(wrap(sum));
            return f;
        }
    }
    // Groups 3 to 7 write slots of the score table again: slot 30 + 10s + k is both the second value of
    // group s and the first of group s + 3 (the last ten of each set, and the unused slots after them).
    for (size_t g = 3; g < 8; ++g)
        for (size_t k = 0; k < 10; ++k)
            if (f.field[35 + 21 * g + 2 * k] != f.field[35 + 21 * (g - 3) + 2 * k + 1]) {
                f.problem =
                    "score group " + std::to_string(g) + " does not repeat group " + std::to_string(g - 3);
                return f;
            }
    f.valid = true;
    return f;
}

} // namespace e2e
