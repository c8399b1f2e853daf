// Text files: String::Load (byte-order marks, UTF-8 or bytes) and the UTF-8 decoder and encoder.
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/string.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::start();
    fuzz::MemoryFile file(data, size);
    String text = String::Load(file.get());
    if (text.Length() > static_cast<int>(size)) std::abort(); // never more units than bytes

    // What decodes once re-encodes to bytes that decode to the same units.
    std::vector<Char> units;
    if (rt_utf8_decode(data, static_cast<int>(size), units)) {
        std::string bytes;
        rt_utf8_encode(units.data(), static_cast<int>(units.size()), bytes);
        std::vector<Char> again;
        if (!rt_utf8_decode(reinterpret_cast<const unsigned char *>(bytes.data()),
                            static_cast<int>(bytes.size()), again) ||
            again != units)
            std::abort();
    }
    (void)text.ToInt();
    return 0;
}
