// Immutable, reference-counted text of 16-bit units, passed by value. Counts are not atomic: strings
// belong to the main thread, and workers take their own copies.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/gc.h"

typedef unsigned short Char;

template <class T> class Array;

class String {
  public:
    struct Rep {
        int refs;
        int length;
        Char *data() { return reinterpret_cast<Char *>(this + 1); }
        const Char *data() const { return reinterpret_cast<const Char *>(this + 1); }
        void retain() { ++refs; }
        void release();
        static Rep *alloc(int length);
    };
    static Rep nullRep;

    // A temporary 8-bit copy for C interfaces: every unit cut to its low byte.
    class CString {
      public:
        explicit CString(const String &s);
        operator const char *() const { return bytes.c_str(); }
        const char *c_str() const { return bytes.c_str(); }

      private:
        std::string bytes;
    };

    String() : rep(&nullRep) { rep->retain(); }
    String(const String &s) : rep(s.rep) { rep->retain(); }
    String(String &&s) noexcept : rep(s.rep) {
        s.rep = &nullRep;
        nullRep.retain();
    }
    String(const char *p);        // bytes widened as signed values
    String(const char *p, int n); // the same for n bytes
    String(const Char *p, int n);
    String(int n);
    String(float f);
    explicit String(Rep *r) : rep(r) {} // adopts a fresh rep
    ~String() { rep->release(); }

    String &operator=(const String &s) {
        s.rep->retain();
        rep->release();
        rep = s.rep;
        return *this;
    }

    int Length() const { return rep->length; }
    Char operator[](int i) const { return rep->data()[i]; }
    const Char *Data() const { return rep->data(); }
    bool SameRep(const String &s) const { return rep == s.rep; }

    int ToInt() const;
    String ToUpper() const;
    String ToLower() const;
    CString ToCString() const { return CString(*this); }
    std::string ToUtf8() const; // 1 to 3 bytes per unit
    static String FromChars(const std::vector<Char> &units);
    static String FromChar(int unit);

    int Find(const String &sub, int start = 0) const;
    int FindLast(const String &sub) const;
    bool StartsWith(const String &prefix) const;
    String Slice(int from) const { return Slice(from, Length()); }
    String Slice(int from, int term) const;
    Array<String> Split(const String &sep) const;
    String Join(Array<String> pieces) const;
    String Replace(const String &find, const String &repl) const;

    String operator+(const String &b) const;
    String &operator+=(const String &b) { return *this = *this + b; }
    bool operator==(const String &b) const;
    bool operator!=(const String &b) const { return !(*this == b); }

    // Decodes a whole file: byte-order marks, UTF-8, or one character per byte when it is not UTF-8.
    static String Load(FILE *fp);

  private:
    Rep *rep;
};

String operator+(const char *a, const String &b);

// "Invalid UTF-8" after String::Load met bytes that are not UTF-8, else empty.
extern String str_load_err;

// A decimal number as the C library's atoi reads it (leading blanks, an optional sign, digits up to the
// first other character), from at most the first 63 of the n units, each cut to 8 bits. Values beyond
// the int range saturate at its ends instead of being undefined; no digits give 0.
int rt_atoi(const Char *p, int n);

// Decodes UTF-8 in the 1-to-3-byte form the system writes; false on any other lead byte, a bad
// continuation byte or a sequence cut off at the end.
bool rt_utf8_decode(const unsigned char *p, int n, std::vector<Char> &out);
// Encodes units as UTF-8, 1 to 3 bytes each (surrogates one by one).
void rt_utf8_encode(const Char *p, int n, std::string &out);
