// Root of every collectable class, and the throwable base the event guards catch.
#pragma once
#include "runtime/array.h"
#include "runtime/gc.h"
#include "runtime/string.h"

class Object : public gc_object {
  public:
    virtual bool Equals(Object *obj) { return obj == this; }
    virtual int Compare(Object *obj) {
        return static_cast<int>(reinterpret_cast<char *>(this) - reinterpret_cast<char *>(obj));
    }
    virtual String debug() { return String("Object\n"); }
};

class ThrowableObject : public Object {};
