// The mixed output that OpenAL Soft's wave backend writes: a RIFF/WAVE file of 16-bit or 32-bit float
// samples, read back into fractions of full scale, and the levels the sound checks look at.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace mixed_output {

struct Recording {
    bool ok = false; // a format and a data chunk were found
    int channels = 0, rate = 0;
    std::vector<float> samples; // interleaved, full scale is 1
};

inline Recording Read(const std::string &path) {
    Recording r;
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t fmt = bytes.find("fmt "), data = bytes.find("data");
    if (fmt == std::string::npos || data == std::string::npos || fmt + 24 > bytes.size()) return r;
    auto u16 = [&](size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) |
                                     static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    r.channels = static_cast<int>(u16(fmt + 10));
    r.rate = static_cast<int>(u16(fmt + 12) | u16(fmt + 14) << 16);
    unsigned bits = u16(fmt + 22);
    if (bits != 16 && bits != 32) return r;
    // The backend fills in the chunk's size only when the device closes: read to the end of the file.
    for (size_t at = data + 8; at + bits / 8 <= bytes.size(); at += bits / 8) {
        if (bits == 32) {
            float f;
            std::memcpy(&f, bytes.data() + at, 4);
            r.samples.push_back(f);
        } else {
            int16_t s;
            std::memcpy(&s, bytes.data() + at, 2);
            r.samples.push_back(static_cast<float>(s / 32768.0));
        }
    }
    r.ok = true;
    return r;
}

struct Levels {
    double peak = -1; // largest sample size, fraction of full scale; -1 without samples
    double rms = 0;   // over every sample of every channel
    long clipped = 0; // samples at or beyond 0.999 of full scale
};

inline Levels Measure(const std::vector<float> &samples) {
    Levels l;
    double sum = 0;
    for (float s : samples) {
        double a = std::fabs(static_cast<double>(s));
        l.peak = std::max(l.peak, a);
        l.clipped += a >= 0.999;
        sum += a * a;
    }
    if (!samples.empty()) l.rms = std::sqrt(sum / static_cast<double>(samples.size()));
    return l;
}

inline double Dbfs(double amplitude) { return 20 * std::log10(std::max(amplitude, 1e-10)); }

} // namespace mixed_output
