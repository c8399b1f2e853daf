// Data buffers: string peeks and pokes at addresses and counts taken from the input, over the rest of
// the input as the buffer's bytes.
#include <cstdlib>
#include <cstring>

#include "databuffer/databuffer.h"
#include "tests/fuzz/fuzz_support.h"

namespace {
int take_int(const uint8_t *&data, size_t &size) {
    int v = 0;
    if (size >= 4) {
        std::memcpy(&v, data, 4);
        data += 4;
        size -= 4;
    }
    return v;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::start();
    int address = take_int(data, size), count = take_int(data, size), poke = take_int(data, size);
    c_DataBuffer *buf = (new c_DataBuffer)->m_new(static_cast<int>(size));
    if (size) std::memcpy(buf->m_data, data, size);
    const String utf8("utf8"), ascii("ascii");
    for (const String &enc : {utf8, ascii}) {
        String a = buf->p_PeekString(address, count, enc);
        String b = buf->p_PeekString2(address, enc);
        if (a.Length() > static_cast<int>(size) || b.Length() > static_cast<int>(size)) std::abort();
        buf->p_PokeString(poke, b, enc);
    }
    Array<int> bytes = buf->p_PeekBytes2(address, count);
    buf->p_PokeBytes(poke, bytes, count & 7, count);
    buf->p_CopyBytes(address, buf, poke, count);
    fuzz::collect();
    return 0;
}
