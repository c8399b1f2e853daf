// The WAV reader and the Ogg Vorbis decoder, on files the tests write.
#include <gtest/gtest.h>

#include <cstring>

#include "audio/audiodata.h"
#include "sound_files.h"

using namespace sound_files;

namespace {

struct Decoded {
    unsigned char *data = nullptr;
    int length = -1, channels = -1, format = -1, hertz = -1;
    ~Decoded() { std::free(data); }
};

void load(Decoded &d, const std::string &path) {
    FILE *fp = std::fopen(path.c_str(), "rb");
    ASSERT_NE(fp, nullptr) << path;
    d.data = LoadAudioFile(fp, String(path.c_str()), &d.length, &d.channels, &d.format, &d.hertz);
    std::fclose(fp);
}

// What PlayMusic looks at before it hands a file to the worker.
bool headers_readable(const std::string &path, AudioKind kind) {
    FILE *fp = std::fopen(path.c_str(), "rb");
    bool ok = fp && AudioHeadersReadable(fp, kind) && std::ftell(fp) == 0;
    if (fp) std::fclose(fp);
    return ok;
}

TEST(WavReader, ReadsPlainPcmAndItsLayout) {
    TempDir dir;
    Bytes pcm = sine(100, 1, 16, 22050, 440, 0.5);
    Decoded d;
    load(d, dir.write("mono16.wav", wav(1, 16, 22050, pcm)));
    ASSERT_NE(d.data, nullptr);
    EXPECT_EQ(d.length, 100);
    EXPECT_EQ(d.channels, 1);
    EXPECT_EQ(d.format, 2);
    EXPECT_EQ(d.hertz, 22050);
    EXPECT_EQ(std::memcmp(d.data, pcm.data(), pcm.size()), 0);

    Bytes pcm8 = sine(51, 2, 8, 11025, 300, 0.8);
    Decoded s;
    load(s, dir.write("stereo8.wav", wav(2, 8, 11025, pcm8)));
    ASSERT_NE(s.data, nullptr);
    EXPECT_EQ(s.length, 51);
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.format, 1);
    EXPECT_EQ(std::memcmp(s.data, pcm8.data(), pcm8.size()), 0);
}

TEST(WavReader, SkipsLongFormatChunksAndChunksBeforeTheData) {
    TempDir dir;
    Bytes pcm = sine(64, 2, 16, 44100, 1000, 0.3);
    Bytes list = {'I', 'N', 'F', 'O', 'x'}; // odd length: a pad byte follows
    Bytes file = riff({chunk("fmt ", fmt_body(1, 2, 44100, 16, 2)), chunk("LIST", list),
                       chunk("fact", Bytes(4, 7)), chunk("data", pcm)});
    Decoded d;
    load(d, dir.write("extras.wav", file));
    EXPECT_TRUE(headers_readable(dir.path + "/extras.wav", AudioKind::Wav));
    ASSERT_NE(d.data, nullptr);
    EXPECT_EQ(d.length, 64);
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.hertz, 44100);
    EXPECT_EQ(std::memcmp(d.data, pcm.data(), pcm.size()), 0);
}

TEST(WavReader, ExtensionIsMatchedWithoutRegardToCase) {
    TempDir dir;
    Bytes file = wav(1, 8, 8000, sine(10, 1, 8, 8000, 100, 0.5));
    Decoded upper, other;
    load(upper, dir.write("LOUD.WAV", file));
    EXPECT_NE(upper.data, nullptr);
    load(other, dir.write("sound.mp3", file));
    EXPECT_EQ(other.data, nullptr);
    int n;
    EXPECT_EQ(LoadAudioFile(nullptr, String("x.wav"), &n, &n, &n, &n), nullptr);
}

// Every one of these is refused the same way: no block, no crash. Each already shows in the headers,
// so a tune made of one is refused before any decoding starts.
TEST(WavReader, RejectsMalformedFiles) {
    Bytes pcm = sine(32, 1, 16, 22050, 440, 0.5);
    Bytes fmt = chunk("fmt ", fmt_body(1, 1, 22050, 16));
    Bytes data = chunk("data", pcm);
    Bytes notRiff = wav(1, 16, 22050, pcm);
    std::memcpy(notRiff.data(), "RIFX", 4);
    Bytes notWave = wav(1, 16, 22050, pcm);
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    Bytes truncated = wav(1, 16, 22050, pcm);
    truncated.resize(truncated.size() - 10);

    struct Case {
        const char *why;
        Bytes file;
    } cases[] = {
        {"empty file", {}},
        {"not RIFF", notRiff},
        {"not WAVE", notWave},
        {"data before fmt", riff({data, fmt})},
        {"compressed format", riff({chunk("fmt ", fmt_body(2, 1, 22050, 16)), data})},
        {"format chunk too short", riff({chunk("fmt ", Bytes(12, 1)), data})},
        {"zero channels", riff({chunk("fmt ", fmt_body(1, 0, 22050, 16)), data})},
        {"zero bits per sample", riff({chunk("fmt ", fmt_body(1, 1, 22050, 0)), data})},
        {"under one byte per sample", riff({chunk("fmt ", fmt_body(1, 1, 22050, 4)), data})},
        {"no data chunk", riff({fmt})},
        {"chunk running past the end", riff({fmt, chunk("LIST", Bytes(8, 0), 0x7FFFFFF0), data})},
        {"format chunk running past the end", riff({chunk("fmt ", fmt_body(1, 1, 22050, 16), 4000)})},
        {"truncated data chunk", truncated},
        {"data claiming more than the file", riff({fmt, chunk("data", pcm, 0xFFFFFFF0LL)})},
        {"data claiming a little more", riff({fmt, chunk("data", pcm, pcm.size() + 1)})},
    };
    TempDir dir;
    int i = 0;
    for (auto &c : cases) {
        Decoded d;
        std::string path = dir.write("bad" + std::to_string(i++) + ".wav", c.file);
        load(d, path);
        EXPECT_EQ(d.data, nullptr) << c.why;
        EXPECT_FALSE(headers_readable(path, AudioKind::Wav)) << c.why;
    }
}

class OggDecoder : public ::testing::Test {
  protected:
    TempDir dir;
    std::string encode(const std::string &name, const Bytes &wavFile) {
        std::string in = dir.write(name + ".wav", wavFile), out = dir.file(name + ".ogg");
        EXPECT_TRUE(ogg_encode(in, out)) << "oggenc (vorbis-tools) is needed to write the test's Ogg files";
        return out;
    }
};

TEST_F(OggDecoder, DecodesToSixteenBitSamples) {
    const int frames = 22050;
    std::string path = encode("tone", wav(2, 16, 22050, sine(frames, 2, 16, 22050, 440, 0.5)));
    Decoded d;
    load(d, path);
    ASSERT_NE(d.data, nullptr);
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.format, 2);
    EXPECT_EQ(d.hertz, 22050);
    EXPECT_NEAR(d.length, frames, 64);
    const int16_t *s = reinterpret_cast<const int16_t *>(d.data);
    int peak = 0;
    for (int i = 0; i < d.length * 2; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    EXPECT_NEAR(peak, 16384, 2500); // the sine at half of full scale survives the codec

    // An 8-bit source still decodes to 16-bit samples; an upper-case extension is found too.
    std::string path8 = encode("tone8", wav(1, 8, 11025, sine(5000, 1, 8, 11025, 300, 0.5)));
    std::string upper = dir.file("TONE8.OGG");
    ASSERT_EQ(std::rename(path8.c_str(), upper.c_str()), 0);
    Decoded e;
    load(e, upper);
    ASSERT_NE(e.data, nullptr);
    EXPECT_EQ(e.format, 2);
    EXPECT_EQ(e.channels, 1);
    EXPECT_EQ(e.hertz, 11025);
}

TEST_F(OggDecoder, RejectsFilesThatAreNotVorbis) {
    Decoded wavAsOgg;
    load(wavAsOgg, dir.write("wave.ogg", wav(1, 16, 22050, sine(100, 1, 16, 22050, 440, 0.5))));
    EXPECT_EQ(wavAsOgg.data, nullptr);
    Decoded empty;
    load(empty, dir.write("empty.ogg", {}));
    EXPECT_EQ(empty.data, nullptr);
}

// Cut and damaged copies of a real file: the decoder gives none or a sound, never a crash, and never
// more samples than its cap allows (ASan and LSan in the sanitizer build catch the rest).
TEST_F(OggDecoder, CutOrDamagedFilesGiveNoneOrABoundedSound) {
    std::string path = encode("short", wav(2, 16, 22050, sine(11025, 2, 16, 22050, 440, 0.5)));
    FILE *fp = std::fopen(path.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    Bytes file;
    for (int c; (c = std::fgetc(fp)) != EOF;)
        file.push_back(static_cast<unsigned char>(c));
    std::fclose(fp);
    ASSERT_GT(file.size(), 4000u);

    auto decode = [](Bytes bytes) {
        Decoded d;
        FILE *mem = fmemopen(bytes.data(), bytes.size(), "rb");
        d.data = LoadOGG(mem, &d.length, &d.channels, &d.format, &d.hertz);
        std::fclose(mem);
        if (d.data) {
            EXPECT_EQ(d.channels, 2);
            EXPECT_LE(d.length, 11025 + 4096);
        }
        return d.data != nullptr;
    };
    int decoded = 0;
    for (size_t keep = 1; keep < 4000; ++keep)
        decoded += decode(Bytes(file.begin(), file.begin() + keep));
    EXPECT_EQ(decoded > 0, true); // once the headers are in, a cut file plays what it has

    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int round = 0; round < 3000; ++round) {
        Bytes damaged = file;
        for (int k = 1 + next() % 4; k > 0; --k)
            damaged[next() % damaged.size()] ^= static_cast<unsigned char>(1 + next() % 255);
        decode(damaged);
    }
}

// Music is decoded whole; a file that decodes to more than 64 MiB of samples (here six minutes of
// stereo silence, 22 KB of Ogg) is refused instead of taking whatever memory it asks for.
TEST_F(OggDecoder, MusicPastTheSizeCapIsRefused) {
    std::string path = dir.file("long.ogg");
    std::string cmd =
        "head -c 68000000 /dev/zero | oggenc -Q -r -B 16 -C 2 -R 48000 -q -1 -o '" + path + "' -";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    Decoded d;
    load(d, path);
    EXPECT_EQ(d.data, nullptr);
}

} // namespace
