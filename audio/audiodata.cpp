#include "audio/audiodata.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include <vorbis/vorbisfile.h>

namespace {

bool read_bytes(FILE *fp, unsigned char *out, size_t n) { return std::fread(out, 1, n, fp) == n; }

bool read_u16(FILE *fp, unsigned *out) {
    unsigned char b[2];
    if (!read_bytes(fp, b, 2)) return false;
    *out = b[0] | b[1] << 8;
    return true;
}

bool read_u32(FILE *fp, unsigned long *out) {
    unsigned char b[4];
    if (!read_bytes(fp, b, 4)) return false;
    *out = static_cast<unsigned long>(b[0]) | static_cast<unsigned long>(b[1]) << 8 |
           static_cast<unsigned long>(b[2]) << 16 | static_cast<unsigned long>(b[3]) << 24;
    return true;
}

bool read_tag(FILE *fp, char tag[4]) { return read_bytes(fp, reinterpret_cast<unsigned char *>(tag), 4); }

bool tag_is(const char tag[4], const char *want) { return std::memcmp(tag, want, 4) == 0; }

// Reads and throws away n bytes; false when the file ends first.
bool skip_bytes(FILE *fp, unsigned long n) {
    unsigned char scrap[4096];
    while (n > 0) {
        size_t step = n < sizeof scrap ? n : sizeof scrap;
        if (!read_bytes(fp, scrap, step)) return false;
        n -= step;
    }
    return true;
}

// Chunks of odd length are followed by one pad byte.
bool skip_chunk(FILE *fp, unsigned long n) { return skip_bytes(fp, n + (n & 1)); }

// Reads a chunk body of n bytes. The block grows only as bytes actually arrive, so a length that
// claims more than the file holds costs no more memory than the file itself.
unsigned char *read_chunk(FILE *fp, unsigned long n) {
    if (n > static_cast<unsigned long>(INT_MAX)) return nullptr;
    size_t room = n < 65536 ? (n ? n : 1) : 65536, got = 0;
    unsigned char *block = static_cast<unsigned char *>(std::malloc(room));
    while (block && got < n) {
        if (got == room) {
            size_t bigger = room * 2 < n ? room * 2 : n;
            unsigned char *grown = static_cast<unsigned char *>(std::realloc(block, bigger));
            if (!grown) break;
            block = grown;
            room = bigger;
        }
        size_t want = room - got;
        size_t read = std::fread(block + got, 1, want, fp);
        got += read;
        if (read < want) break;
    }
    if (!block || got < n) {
        std::free(block);
        return nullptr;
    }
    return block;
}

// The header of a WAV file up to its sample data: the format chunk, which must come first and describe
// PCM the loader takes, then any chunks before "data". The file is left at the first sample byte.
struct WavHeader {
    unsigned chans = 0;
    int bytes = 0; // per sample
    unsigned long rate = 0;
    unsigned long dataLength = 0;
};

bool read_wav_header(FILE *fp, WavHeader &wav) {
    char tag[4];
    unsigned long size = 0;
    if (!read_tag(fp, tag) || !tag_is(tag, "RIFF") || !read_u32(fp, &size)) return false;
    if (!read_tag(fp, tag) || !tag_is(tag, "WAVE")) return false;

    unsigned long fmtLength = 0;
    if (!read_tag(fp, tag) || !tag_is(tag, "fmt ") || !read_u32(fp, &fmtLength)) return false;
    if (fmtLength < 16) return false;
    unsigned formatTag = 0, blockAlign = 0, bits = 0;
    unsigned long byteRate = 0;
    if (!read_u16(fp, &formatTag) || !read_u16(fp, &wav.chans) || !read_u32(fp, &wav.rate) ||
        !read_u32(fp, &byteRate) || !read_u16(fp, &blockAlign) || !read_u16(fp, &bits))
        return false;
    if (formatTag != 1) return false;
    wav.bytes = static_cast<int>(bits / 8);
    // Without channels or whole bytes per sample there is no frame size to divide by.
    if (wav.chans == 0 || wav.bytes == 0 || wav.rate > static_cast<unsigned long>(INT_MAX)) return false;
    if (!skip_chunk(fp, fmtLength - 16)) return false;

    for (;;) {
        if (!read_tag(fp, tag) || !read_u32(fp, &wav.dataLength)) return false;
        if (tag_is(tag, "data")) return true;
        if (!skip_chunk(fp, wav.dataLength)) return false;
    }
}

} // namespace

unsigned char *LoadWAV(FILE *fp, int *length, int *channels, int *format, int *hertz) {
    WavHeader wav;
    if (!read_wav_header(fp, wav)) return nullptr;
    unsigned char *data = read_chunk(fp, wav.dataLength);
    if (!data) return nullptr;
    *length = static_cast<int>(wav.dataLength / (wav.chans * wav.bytes));
    *channels = static_cast<int>(wav.chans);
    *format = wav.bytes;
    *hertz = static_cast<int>(wav.rate);
    return data;
}

namespace {

// The Ogg decoder reads the stdio file as a stream, from where it stands to its end; the file stays
// open for the caller to close.
size_t ogg_read(void *out, size_t size, size_t count, void *fp) {
    return std::fread(out, size, count, static_cast<FILE *>(fp));
}

// Decoded music is held whole in memory. Minutes of stereo are far more than any tune of the game
// needs, and the cap keeps a file whose packets expand without limit from eating the machine.
constexpr long kMaxOggBytes = 64L << 20;

} // namespace

unsigned char *LoadOGG(FILE *fp, int *length, int *channels, int *format, int *hertz,
                       const std::atomic<bool> *stop) {
    OggVorbis_File vf;
    ov_callbacks io = {ogg_read, nullptr, nullptr, nullptr};
    // A failed open releases what it allocated itself.
    if (ov_open_callbacks(fp, &vf, nullptr, 0, io) != 0) return nullptr;
    vorbis_info *info = ov_info(&vf, -1);
    int chans = info ? info->channels : 0;
    long rate = info ? info->rate : 0;
    if (chans <= 0 || rate <= 0 || rate > INT_MAX) {
        ov_clear(&vf);
        return nullptr;
    }
    // Sizes in bytes of 16-bit little-endian samples. The decoder hands out whole sample frames only,
    // so the room doubles whenever less than a large block's worth of frames is left.
    const long frame = static_cast<long>(chans) * 2, step = frame * 4096;
    long room = 4 * step, total = 0;
    char *samples = static_cast<char *>(std::malloc(room));
    bool ok = samples != nullptr;
    while (ok) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            ok = false;
            break;
        }
        if (room - total < step) {
            char *grown =
                room < kMaxOggBytes ? static_cast<char *>(std::realloc(samples, room * 2)) : nullptr;
            if (!grown) {
                ok = false;
                break;
            }
            samples = grown;
            room *= 2;
        }
        int section = 0;
        long n = ov_read(&vf, samples + total, static_cast<int>(room - total), 0, 2, 1, &section);
        if (n == 0) break;          // the end of the stream
        if (n == OV_HOLE) continue; // a gap between pages: decoding carries on after it
        if (n < 0 || n % frame != 0) {
            ok = false;
            break;
        }
        // A chained file whose next stream has other channels or another rate is not one sound.
        vorbis_info *now = ov_info(&vf, -1);
        if (!now || now->channels != chans || now->rate != rate) break;
        total += n;
    }
    ov_clear(&vf);
    if (!ok) {
        std::free(samples);
        return nullptr;
    }
    if (total > 0) {
        char *shrunk = static_cast<char *>(std::realloc(samples, total));
        if (shrunk) samples = shrunk;
    }
    *length = static_cast<int>(total / frame);
    *channels = chans;
    *format = 2;
    *hertz = static_cast<int>(rate);
    return reinterpret_cast<unsigned char *>(samples);
}

AudioKind AudioKindOf(String path) {
    String lower = path.ToLower();
    int n = lower.Length();
    if (n >= 4 && lower.Slice(n - 4) == String(".wav")) return AudioKind::Wav;
    if (n >= 4 && lower.Slice(n - 4) == String(".ogg")) return AudioKind::Ogg;
    return AudioKind::None;
}

unsigned char *DecodeAudio(FILE *fp, AudioKind kind, int *length, int *channels, int *format, int *hertz,
                           const std::atomic<bool> *stop) {
    if (!fp) return nullptr;
    if (kind == AudioKind::Wav) return LoadWAV(fp, length, channels, format, hertz);
    if (kind == AudioKind::Ogg) return LoadOGG(fp, length, channels, format, hertz, stop);
    return nullptr;
}

unsigned char *LoadAudioFile(FILE *fp, String path, int *length, int *channels, int *format, int *hertz) {
    return DecodeAudio(fp, AudioKindOf(path), length, channels, format, hertz);
}

bool AudioHeadersReadable(FILE *fp, AudioKind kind) {
    if (!fp) return false;
    bool ok = false;
    if (kind == AudioKind::Wav) {
        // A format the loader takes, and sample data that the file really holds.
        WavHeader wav;
        long at = read_wav_header(fp, wav) ? std::ftell(fp) : -1;
        long end = at >= 0 && std::fseek(fp, 0, SEEK_END) == 0 ? std::ftell(fp) : -1;
        ok = at >= 0 && end >= at && wav.dataLength <= static_cast<unsigned long>(end - at);
    } else if (kind == AudioKind::Ogg) {
        OggVorbis_File vf;
        ov_callbacks io = {ogg_read, nullptr, nullptr, nullptr};
        if (ov_test_callbacks(fp, &vf, nullptr, 0, io) == 0) {
            vorbis_info *info = ov_info(&vf, -1);
            ok = info && info->channels > 0 && info->rate > 0 && info->rate <= INT_MAX;
            ov_clear(&vf);
        }
    }
    return std::fseek(fp, 0, SEEK_SET) == 0 && ok;
}
