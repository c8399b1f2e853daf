// The saves of the stress runs: numbered texts of changing length, each of which can be told whole.
#pragma once
#include <cstdlib>
#include <string>

// The text of save number `seq` (from 1).
inline std::string stress_save_text(long seq) {
    std::string head = "save " + std::to_string(seq) + " ";
    std::string body(static_cast<size_t>(100 + seq * 7919 % 6000), static_cast<char>('a' + seq % 26));
    return head + body + " end " + std::to_string(head.size() + body.size());
}

// The number of the save whose whole text this is; 0 for no text at all, -1 for anything else.
inline long stress_save_number(const std::string &text) {
    if (text.empty()) return 0;
    if (text.compare(0, 5, "save ") != 0) return -1;
    long seq = std::strtol(text.c_str() + 5, nullptr, 10);
    return seq > 0 && stress_save_text(seq) == text ? seq : -1;
}
