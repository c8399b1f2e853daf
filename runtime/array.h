// Fixed-length arrays held through a collectable rep. Every element type shares one static empty rep.
#pragma once
#include <cstring>
#include <new>
#include <type_traits>

#include "runtime/gc.h"
#include "runtime/string.h"

template <class T> class Array {
  public:
    struct Rep : public gc_object {
        int length;

        Rep() : gc_object(gc_static_tag{}), length(0) {}
        explicit Rep(int n) : length(n) {
            T *d = data();
            for (int i = 0; i < n; ++i)
                new (&d[i]) T();
        }
        ~Rep() override {
            if constexpr (!std::is_trivially_destructible_v<T>) {
                T *d = data();
                for (int i = 0; i < length; ++i)
                    d[i].~T();
            }
        }
        T *data() { return reinterpret_cast<T *>(reinterpret_cast<char *>(this) + sizeof(Rep)); }

        void mark() override {
            if constexpr (std::is_pointer_v<T>) {
                T *d = data();
                for (int i = 0; i < length; ++i)
                    if (d[i]) gc_mark(gc_as_object(d[i]));
            }
        }

        static Rep *alloc(int n) {
            // In size_t: n elements of a large type overflow an int long before they exhaust memory.
            void *block = gc_object_alloc(sizeof(Rep) + sizeof(T) * static_cast<size_t>(n));
            return new (block) Rep(n);
        }
        static Rep *empty() {
            static Rep nullRep;
            return &nullRep;
        }
    };

    Array() : rep(Rep::empty()) {}
    explicit Array(int n) : rep(n > 0 ? Rep::alloc(n) : Rep::empty()) {}
    Array(const T *p, int n) : Array(n) {
        for (int i = 0; i < n; ++i)
            rep->data()[i] = p[i];
    }
    explicit Array(Rep *r) : rep(r) {}

    int Length() const { return rep->length; }
    T &operator[](int i) const { return rep->data()[i]; }
    T *Data() const { return rep->data(); }

    Array Resize(int n) const {
        Array r(n);
        int keep = n < Length() ? n : Length();
        for (int i = 0; i < keep; ++i)
            r.rep->data()[i] = rep->data()[i];
        return r;
    }
    Array Slice(int from) const { return Slice(from, Length()); }
    Array Slice(int from, int term) const {
        int len = Length();
        if (from < 0) from = from + len < 0 ? 0 : from + len;
        if (term > len) term = len;
        if (term < 0) term = term + len < 0 ? 0 : term + len;
        if (from >= term) return Array();
        Array r(term - from);
        for (int i = from; i < term; ++i)
            r.rep->data()[i - from] = rep->data()[i];
        return r;
    }

    bool operator==(const Array &b) const { return rep == b.rep; }
    bool operator!=(const Array &b) const { return rep != b.rep; }

    Rep *rep;
};

// Write barrier for array fields and globals.
template <class T> inline void gc_assign(Array<T> &lhs, const Array<T> &rhs) {
    gc_mark_q(rhs.rep);
    lhs = rhs;
}
template <class T> inline void gc_mark_q(const Array<T> &a) { gc_mark_q(a.rep); }
template <class T> inline void gc_mark(const Array<T> &a) { gc_mark(a.rep); }

template <class T> inline void gc_register_root(Array<T> &slot) { gc_register_root(slot.rep); }

// Raw storage of strings (placement construction and release).
inline String *t_create(int n, String *p) {
    for (int i = 0; i < n; ++i)
        new (&p[i]) String();
    return p + n;
}
inline String *t_create(int n, String *p, const String *src) {
    for (int i = 0; i < n; ++i)
        new (&p[i]) String(src[i]);
    return p + n;
}
inline void t_destroy(int n, String *p) {
    for (int i = 0; i < n; ++i)
        p[i].~String();
}
