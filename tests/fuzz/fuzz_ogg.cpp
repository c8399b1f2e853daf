// Music: the Ogg Vorbis decoder.
#include <cstdlib>

#include "audio/audiodata.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::MemoryFile file(data, size);
    int length = 0, channels = 0, format = 0, hertz = 0;
    unsigned char *samples = LoadOGG(file.get(), &length, &channels, &format, &hertz);
    if (samples) {
        if (length < 0 || channels < 1 || format != 2 || hertz < 1) std::abort();
        // Touch the last sample: the block must hold every frame it claims.
        if (length > 0) {
            volatile unsigned char last = samples[static_cast<size_t>(length) * channels * 2 - 1];
            (void)last;
        }
        std::free(samples);
    }
    return 0;
}
