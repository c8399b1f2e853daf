#include "databuffer/databuffer.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/rtgame.h"
#include "runtime/error.h"

namespace {

// How many of `count` units starting at `at` lie inside a block of `size`. A start outside the block
// reaches nothing, so a bad address is refused instead of touching memory that is not ours.
int fit(int count, int at, int size) {
    if (at < 0 || at > size || count <= 0) return 0;
    return count < size - at ? count : size - at;
}

[[noreturn]] void bad_encoding(const String &encoding) {
    rtError(String("Invalid string encoding:") + encoding);
}

const String &ascii_name() {
    static const String name("ascii");
    return name;
}

const String &utf8_name() {
    static const String name("utf8");
    return name;
}

} // namespace

// ---- RtDataBuffer ----

RtDataBuffer::~RtDataBuffer() { std::free(m_data); }

bool RtDataBuffer::_New(int length, void *data) {
    if (m_data || length < 0) return false;
    if (!data) {
        // Never a null block, so an empty buffer still counts as allocated.
        data = std::malloc(length > 0 ? static_cast<size_t>(length) : 1);
        if (!data) return false;
        gc_ext_malloced(length);
    }
    m_data = static_cast<unsigned char *>(data);
    m_length = length;
    return true;
}

bool RtDataBuffer::_Load(String path) {
    if (m_data || !RtGame::_game) return false;
    int length = 0;
    unsigned char *data = RtGame::_game->LoadData(path, &length);
    if (!data) return false;
    m_data = data;
    m_length = length;
    return true;
}

void RtDataBuffer::Discard() {
    std::free(m_data);
    m_data = nullptr;
    m_length = 0;
}

// ---- c_DataBuffer ----

c_DataBuffer *c_DataBuffer::m_new(int length) {
    if (!_New(length)) rtError(String("Allocate DataBuffer failed"));
    return this;
}

c_DataBuffer *c_DataBuffer::m_Load(String path) {
    c_DataBuffer *buf = new c_DataBuffer;
    return buf->_Load(path) ? buf : nullptr;
}

void c_DataBuffer::p_PokeBytes(int address, Array<int> bytes, int offset, int count) {
    count = fit(fit(count, address, m_length), offset, bytes.Length());
    for (int i = 0; i < count; ++i)
        m_data[address + i] = static_cast<unsigned char>(bytes[offset + i]);
}

void c_DataBuffer::p_PeekBytes(int address, Array<int> bytes, int offset, int count) {
    count = fit(fit(count, address, m_length), offset, bytes.Length());
    for (int i = 0; i < count; ++i)
        bytes[offset + i] = static_cast<signed char>(m_data[address + i]);
}

Array<int> c_DataBuffer::p_PeekBytes2(int address, int count) {
    count = fit(count, address, m_length);
    Array<int> bytes(count);
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<signed char>(m_data[address + i]);
    return bytes;
}

void c_DataBuffer::p_CopyBytes(int address, c_DataBuffer *destination, int destinationAddress, int count) {
    if (!destination) return;
    count = fit(fit(count, address, m_length), destinationAddress, destination->m_length);
    unsigned char *src = m_data + address;
    unsigned char *dst = destination->m_data + destinationAddress;
    // Byte by byte in the direction that never reads a byte already overwritten, so that a copy
    // within one buffer shifts its bytes cleanly.
    if (address < destinationAddress) {
        for (int i = count - 1; i >= 0; --i)
            dst[i] = src[i];
    } else {
        for (int i = 0; i < count; ++i)
            dst[i] = src[i];
    }
}

int c_DataBuffer::p_PokeString(int address, String text, String encoding) {
    if (encoding == utf8_name()) {
        std::string bytes;
        rt_utf8_encode(text.Data(), text.Length(), bytes);
        int n = static_cast<int>(bytes.size());
        int fits = fit(n, address, m_length);
        if (fits > 0) std::memcpy(m_data + address, bytes.data(), static_cast<size_t>(fits));
        return n; // the whole encoded length, so a caller can tell that it did not fit
    }
    if (encoding == ascii_name()) {
        int fits = fit(text.Length(), address, m_length);
        for (int i = 0; i < fits; ++i)
            m_data[address + i] = static_cast<unsigned char>(text[i]);
        return text.Length();
    }
    bad_encoding(encoding);
}

String c_DataBuffer::p_PeekString(int address, int count, String encoding) {
    bool utf8 = encoding == utf8_name();
    if (!utf8 && encoding != ascii_name()) bad_encoding(encoding);
    count = fit(count, address, m_length);
    if (count == 0) return String();
    const unsigned char *p = m_data + address;
    if (utf8) {
        std::vector<Char> units;
        if (rt_utf8_decode(p, count, units)) return String::FromChars(units);
        // Not UTF-8: one character per byte, widened as a signed byte.
        return String(reinterpret_cast<const char *>(p), count);
    }
    std::vector<Char> units(p, p + count);
    return String::FromChars(units);
}

String c_DataBuffer::p_PeekString2(int address, String encoding) {
    // An address outside the block reaches no byte; m_length - address must not overflow for it.
    int count = address >= 0 && address <= m_length ? m_length - address : 0;
    return p_PeekString(address, count, encoding);
}
