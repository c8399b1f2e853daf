// Sound files written by the tests themselves, and a host that loads them the desktop host's way.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/audiodata.h"
#include "host/rtgame.h"

namespace sound_files {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes &b, unsigned v) {
    b.push_back(v & 0xFF);
    b.push_back(v >> 8 & 0xFF);
}
inline void put32(Bytes &b, unsigned long v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(v >> (8 * i) & 0xFF);
}
inline void put_tag(Bytes &b, const char *tag) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(tag[i]));
}

// One RIFF chunk; `claimed` overrides the length written in its header.
inline Bytes chunk(const char *tag, const Bytes &body, long long claimed = -1) {
    Bytes b;
    put_tag(b, tag);
    put32(b, claimed >= 0 ? static_cast<unsigned long>(claimed) : body.size());
    b.insert(b.end(), body.begin(), body.end());
    if (claimed < 0 && body.size() % 2) b.push_back(0);
    return b;
}

inline Bytes fmt_body(int formatTag, int channels, int rate, int bits, int extra = 0) {
    Bytes b;
    int align = channels * (bits / 8);
    put16(b, formatTag);
    put16(b, channels);
    put32(b, rate);
    put32(b, static_cast<unsigned long>(rate) * align);
    put16(b, align);
    put16(b, bits);
    for (int i = 0; i < extra; ++i)
        b.push_back(0);
    return b;
}

inline Bytes riff(const std::vector<Bytes> &chunks) {
    Bytes body;
    put_tag(body, "WAVE");
    for (auto &c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    Bytes b;
    put_tag(b, "RIFF");
    put32(b, body.size());
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// Interleaved PCM of a sine at `amp` of full scale, the same on every channel.
inline Bytes sine(int frames, int channels, int bits, int rate, double freq, double amp) {
    Bytes b;
    for (int i = 0; i < frames; ++i) {
        double v = amp * std::sin(2 * M_PI * freq * i / rate);
        for (int c = 0; c < channels; ++c) {
            if (bits == 8)
                b.push_back(static_cast<uint8_t>(128 + std::lround(v * 127)));
            else
                put16(b, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))));
        }
    }
    return b;
}

inline Bytes wav(int channels, int bits, int rate, const Bytes &pcm) {
    return riff({chunk("fmt ", fmt_body(1, channels, rate, bits)), chunk("data", pcm)});
}

// A fresh folder for one test's files, removed with its files at the end.
class TempDir {
  public:
    TempDir() {
        char name[] = "/tmp/tide-audio-XXXXXX";
        path = mkdtemp(name) ? name : "";
    }
    ~TempDir() {
        for (auto &f : files)
            std::remove(f.c_str());
        std::remove(path.c_str());
    }
    std::string write(const std::string &name, const Bytes &bytes) {
        std::string full = path + "/" + name;
        FILE *fp = std::fopen(full.c_str(), "wb");
        if (fp) {
            if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), fp);
            std::fclose(fp);
        }
        files.push_back(full);
        return full;
    }
    std::string file(const std::string &name) {
        files.push_back(path + "/" + name);
        return files.back();
    }
    std::string path;

  private:
    std::vector<std::string> files;
};

// Encodes a WAV file to Ogg Vorbis with Debian's encoder; false when that fails.
inline bool ogg_encode(const std::string &wavPath, const std::string &oggPath) {
    std::string cmd = "oggenc -Q -q 4 -o '" + oggPath + "' '" + wavPath + "'";
    return std::system(cmd.c_str()) == 0;
}

// Opens sound files by their plain path and decodes them with the device's decoders, as the desktop
// host does.
class FileHost : public RtGame {
  public:
    unsigned char *LoadAudioData(String path, int *length, int *channels, int *format, int *hertz) override {
        FILE *fp = OpenFile(path, String("rb"));
        if (!fp) return nullptr;
        unsigned char *data = LoadAudioFile(fp, path, length, channels, format, hertz);
        std::fclose(fp);
        return data;
    }
};

} // namespace sound_files
