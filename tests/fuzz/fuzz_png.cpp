// Pictures: the PNG decoder and the premultiplication every loaded picture goes through.
#include <cstdlib>

#include "graphics/imagedata.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::MemoryFile file(data, size);
    int w = 0, h = 0, depth = 0;
    unsigned char *pixels = gxtkLoadImageFile(file.get(), &w, &h, &depth);
    if (pixels) {
        if (w <= 0 || h <= 0 || depth < 1 || depth > 4) std::abort();
        gxtkPremultiply(pixels, w, h, depth);
        std::free(pixels);
    }
    return 0;
}
