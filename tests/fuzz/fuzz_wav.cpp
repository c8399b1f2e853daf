// Sound effects: the WAV reader, reached the way the host reaches it, by the file's extension.
#include <cstdlib>

#include "audio/audiodata.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::MemoryFile file(data, size);
    int length = 0, channels = 0, format = 0, hertz = 0;
    unsigned char *samples =
        LoadAudioFile(file.get(), String("sfx/fuzz.WAV"), &length, &channels, &format, &hertz);
    if (samples) {
        if (length < 0 || channels < 1 || format < 1 || hertz < 0) std::abort();
        if (static_cast<size_t>(length) * channels * format > size) std::abort(); // more than the file held
        if (length > 0) {
            volatile unsigned char last = samples[static_cast<size_t>(length) * channels * format - 1];
            (void)last;
        }
        std::free(samples);
    }
    return 0;
}
