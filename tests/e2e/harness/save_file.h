// Reads the game's state file back the way the format defines it, and says what is wrong with it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

struct SaveFile {
    bool valid = false;
    std::string problem; // why it is not valid
    std::vector<int32_t> field;

    int32_t Opt(int i) const { return field[static_cast<size_t>(i)]; }
    bool Badge(int n) const { return (static_cast<uint32_t>(field[26 + n / 32]) >> (n % 32)) & 1u; }
    // Best ten (best first) and last ten (newest first) of score set `set` (1 to 3), place k 0 to 9.
    int32_t Top(int set, int k) const { return field[static_cast<size_t>(35 + 21 * (set - 1) + 2 * k)]; }
    int32_t Last(int set, int k) const { return field[static_cast<size_t>(35 + 21 * (set - 1) + 2 * k + 1)]; }
};

// 203 decimal fields, each followed by '|': 25 settings and their weighted sum, 8 badge words and their
// sum, 8 score groups of 10 pairs and a weighted sum each; all sums wrap at 32 bits.
SaveFile ReadSaveFile(const std::string &text);

} // namespace e2e
