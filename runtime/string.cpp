#include "runtime/string.h"

#include <cstdlib>
#include <cwctype>

#include "runtime/array.h"

String::Rep String::nullRep = {1, 0};
String str_load_err;

void String::Rep::release() {
    if (--refs == 0 && this != &nullRep) std::free(this);
}

String::Rep *String::Rep::alloc(int length) {
    if (length <= 0) {
        nullRep.retain();
        return &nullRep;
    }
    Rep *r = static_cast<Rep *>(std::malloc(sizeof(Rep) + sizeof(Char) * static_cast<size_t>(length)));
    if (!r) {
        std::fputs("Out of memory\n", stdout);
        std::exit(-1);
    }
    r->refs = 1;
    r->length = length;
    return r;
}

String::CString::CString(const String &s) {
    bytes.resize(s.Length());
    for (int i = 0; i < s.Length(); ++i)
        bytes[i] = static_cast<char>(s[i] & 0xff);
}

String::String(const char *p) : String(p, p ? static_cast<int>(std::strlen(p)) : 0) {}

String::String(const char *p, int n) : rep(Rep::alloc(n)) {
    Char *d = rep->data();
    for (int i = 0; i < n; ++i)
        d[i] = static_cast<Char>(static_cast<signed char>(p[i]));
}

String::String(const Char *p, int n) : rep(Rep::alloc(n)) {
    if (n > 0) std::memcpy(rep->data(), p, sizeof(Char) * n);
}

namespace {
std::string format_int(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%i", n);
    return buf;
}

std::string format_float(float f) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17lg", static_cast<double>(f));
    if (!std::strchr(buf, '.') && !std::strchr(buf, 'e')) std::strcat(buf, ".0");
    return buf;
}
} // namespace

String::String(int n) : String(format_int(n).c_str()) {}

String::String(float f) : String(format_float(f).c_str()) {}

String String::FromChars(const std::vector<Char> &units) {
    return String(units.data(), static_cast<int>(units.size()));
}

String String::FromChar(int unit) {
    Char c = static_cast<Char>(unit);
    return String(&c, 1);
}

int rt_atoi(const Char *p, int n) {
    if (n > 63) n = 63;
    int i = 0;
    auto at = [&](int j) { return j < n ? static_cast<unsigned char>(p[j] & 0xff) : 0; };
    while (at(i) == ' ' || (at(i) >= '\t' && at(i) <= '\r'))
        ++i;
    bool negative = false;
    if (at(i) == '+' || at(i) == '-') negative = at(i++) == '-';
    long long value = 0;
    for (; at(i) >= '0' && at(i) <= '9'; ++i) {
        value = value * 10 + (at(i) - '0');
        if (value > 2147483648LL) value = 2147483648LL; // already past either end
    }
    if (negative) value = -value;
    if (value > 2147483647LL) value = 2147483647LL;
    return static_cast<int>(value);
}

int String::ToInt() const { return rt_atoi(Data(), Length()); }

namespace {
template <class F> String map_units(const String &s, F f) {
    int n = s.Length();
    int i = 0;
    while (i < n && static_cast<Char>(f(s[i])) == s[i])
        ++i;
    if (i == n) return s;
    String::Rep *r = String::Rep::alloc(n);
    Char *d = r->data();
    for (int j = 0; j < n; ++j)
        d[j] = static_cast<Char>(f(s[j]));
    return String(r);
}
} // namespace

String String::ToUpper() const {
    return map_units(*this, [](Char c) { return std::towupper(c); });
}
String String::ToLower() const {
    return map_units(*this, [](Char c) { return std::towlower(c); });
}

void rt_utf8_encode(const Char *p, int n, std::string &out) {
    for (int i = 0; i < n; ++i) {
        unsigned c = p[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xe0 | c >> 12);
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
}

std::string String::ToUtf8() const {
    std::string out;
    out.reserve(Length());
    rt_utf8_encode(Data(), Length(), out);
    return out;
}

bool rt_utf8_decode(const unsigned char *p, int n, std::vector<Char> &out) {
    int i = 0;
    while (i < n) {
        unsigned c = p[i++];
        if (c < 0x80) {
            out.push_back(static_cast<Char>(c));
        } else if ((c & 0xe0) == 0xc0) {
            if (i >= n || (p[i] & 0xc0) != 0x80) return false;
            out.push_back(static_cast<Char>(((c & 0x1f) << 6) | (p[i] & 0x3f)));
            i += 1;
        } else if ((c & 0xf0) == 0xe0) {
            if (i + 1 >= n || (p[i] & 0xc0) != 0x80 || (p[i + 1] & 0xc0) != 0x80) return false;
            out.push_back(static_cast<Char>((c << 12) | ((p[i] & 0x3f) << 6) | (p[i + 1] & 0x3f)));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

int String::Find(const String &sub, int start) const {
    if (start < 0) start = 0;
    int n = sub.Length();
    for (int p = start; p + n <= Length(); ++p) {
        if (n == 0 || std::memcmp(Data() + p, sub.Data(), sizeof(Char) * n) == 0) return p;
    }
    return -1;
}

int String::FindLast(const String &sub) const {
    for (int p = Length() - sub.Length(); p >= 0; --p) {
        if (std::memcmp(Data() + p, sub.Data(), sizeof(Char) * sub.Length()) == 0) return p;
    }
    return -1;
}

bool String::StartsWith(const String &prefix) const {
    return prefix.Length() <= Length() &&
           std::memcmp(Data(), prefix.Data(), sizeof(Char) * prefix.Length()) == 0;
}

String String::Slice(int from, int term) const {
    int len = Length();
    if (from < 0) {
        from += len;
        if (from < 0) from = 0;
    } else if (from > len) {
        from = len;
    }
    if (term < 0) {
        term += len;
    } else if (term > len) {
        term = len;
    }
    if (from > term) return String();
    if (from == 0 && term == len) return *this;
    return String(Data() + from, term - from);
}

Array<String> String::Split(const String &sep) const {
    if (sep.Length() == 0) {
        Array<String> out(Length());
        for (int i = 0; i < Length(); ++i)
            out[i] = String(Data() + i, 1);
        return out;
    }
    int count = 1;
    for (int i = Find(sep, 0); i != -1; i = Find(sep, i + sep.Length()))
        ++count;
    if (count == 1) {
        Array<String> out(1);
        out[0] = *this;
        return out;
    }
    Array<String> out(count);
    int start = 0, k = 0;
    for (int i = Find(sep, 0); i != -1; i = Find(sep, start)) {
        out[k++] = Slice(start, i);
        start = i + sep.Length();
    }
    out[k] = Slice(start);
    return out;
}

String String::Join(Array<String> pieces) const {
    int n = pieces.Length();
    if (n == 0) return String();
    if (n == 1) return pieces[0];
    int total = Length() * (n - 1);
    for (int i = 0; i < n; ++i)
        total += pieces[i].Length();
    Rep *r = Rep::alloc(total);
    Char *d = r->data();
    for (int i = 0; i < n; ++i) {
        if (i > 0) {
            std::memcpy(d, Data(), sizeof(Char) * Length());
            d += Length();
        }
        std::memcpy(d, pieces[i].Data(), sizeof(Char) * pieces[i].Length());
        d += pieces[i].Length();
    }
    return String(r);
}

String String::Replace(const String &find, const String &repl) const {
    if (find.Length() == 0) return *this; // never asked for: leave the text alone
    int matches = 0;
    for (int i = Find(find, 0); i != -1; i = Find(find, i + find.Length()))
        ++matches;
    if (matches == 0) return *this;
    Rep *r = Rep::alloc(Length() + matches * (repl.Length() - find.Length()));
    Char *d = r->data();
    int start = 0;
    for (int i = Find(find, 0); i != -1; i = Find(find, start)) {
        std::memcpy(d, Data() + start, sizeof(Char) * (i - start));
        d += i - start;
        std::memcpy(d, repl.Data(), sizeof(Char) * repl.Length());
        d += repl.Length();
        start = i + find.Length();
    }
    std::memcpy(d, Data() + start, sizeof(Char) * (Length() - start));
    return String(r);
}

String String::operator+(const String &b) const {
    if (Length() == 0) return b;
    if (b.Length() == 0) return *this;
    Rep *r = Rep::alloc(Length() + b.Length());
    std::memcpy(r->data(), Data(), sizeof(Char) * Length());
    std::memcpy(r->data() + Length(), b.Data(), sizeof(Char) * b.Length());
    return String(r);
}

String operator+(const char *a, const String &b) { return String(a) + b; }

bool String::operator==(const String &b) const {
    return Length() == b.Length() && std::memcmp(Data(), b.Data(), sizeof(Char) * Length()) == 0;
}

String String::Load(FILE *fp) {
    std::vector<unsigned char> buf;
    unsigned char chunk[4096];
    for (;;) {
        size_t n = std::fread(chunk, 1, sizeof chunk, fp);
        buf.insert(buf.end(), chunk, chunk + n);
        if (n < sizeof chunk) break;
    }
    if (buf.empty()) return String();
    str_load_err = String();

    const unsigned char *p = buf.data();
    int n = static_cast<int>(buf.size());
    std::vector<Char> units;
    if (n >= 2 && ((p[0] == 0xfe && p[1] == 0xff) || (p[0] == 0xff && p[1] == 0xfe))) {
        bool big = p[0] == 0xfe;
        for (int i = 2; i + 1 < n; i += 2)
            units.push_back(static_cast<Char>(big ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i])));
        return FromChars(units);
    }
    if (n >= 3 && p[0] == 0xef && p[1] == 0xbb && p[2] == 0xbf) {
        p += 3;
        n -= 3;
    }
    if (!rt_utf8_decode(p, n, units)) {
        str_load_err = String("Invalid UTF-8");
        units.assign(p, p + n); // one character per byte
    }
    return FromChars(units);
}
