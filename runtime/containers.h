// Growable stacks (one class per element type) and an ordered integer map on a red-black tree.
#pragma once
#include "runtime/object.h"

// A display mode (width, height) as the application sees it; the stack and map below hold these.
class c_DisplayMode : public Object {
  public:
    int m_width = 0;
    int m_height = 0;
    c_DisplayMode *m_new(int width, int height) {
        m_width = width;
        m_height = height;
        return this;
    }
};

// The shape every stack shares: the live elements are the first m_length of m_data, whose length is
// the capacity; freed slots are blanked to the element's empty value so nothing stays reachable.
template <class T> class c_StackOf : public Object {
  public:
    Array<T> m_data;
    int m_length = 0;

    void p_Init() {
        gc_assign(m_data, Array<T>());
        m_length = 0;
    }
    void p_Init(Array<T> values) {
        gc_assign(m_data, values.Slice(0));
        m_length = values.Length();
    }
    void p_PushOne(T value) {
        if (m_length == m_data.Length()) gc_assign(m_data, m_data.Resize(m_length * 2 + 10));
        if constexpr (std::is_pointer_v<T>)
            gc_assign(m_data[m_length], value);
        else
            m_data[m_length] = value;
        m_length += 1;
    }
    void p_PushRange(Array<T> values, int offset, int count) {
        for (int i = 0; i < count; ++i) p_PushOne(values[offset + i]);
    }
    Array<T> p_ToArray() {
        Array<T> out(m_length);
        for (int i = 0; i < m_length; ++i) out[i] = m_data[i];
        return out;
    }
    void p_Length(int n) {
        if (n < m_length) {
            for (int i = n; i < m_length; ++i) m_data[i] = T();
        } else if (n > m_data.Length()) {
            int cap = m_length * 2 + 10;
            gc_assign(m_data, m_data.Resize(cap > n ? cap : n));
        }
        m_length = n;
    }
    int p_Length2() { return m_length; }
    T p_Get(int i) { return m_data[i]; }
    bool p_Contains(T value) {
        for (int i = 0; i < m_length; ++i)
            if (m_data[i] == value) return true;
        return false;
    }
    void p_Clear() {
        for (int i = 0; i < m_length; ++i) m_data[i] = T();
        m_length = 0;
    }
    void mark() override { gc_mark_q(m_data); }
};

// Stack of display modes.
class c_Stack : public c_StackOf<c_DisplayMode *> {
  public:
    c_Stack *m_new() { p_Init(); return this; }
    c_Stack *m_new2(Array<c_DisplayMode *> values) { p_Init(values); return this; }
    void p_Push(c_DisplayMode *value) { p_PushOne(value); }
    void p_Push2(Array<c_DisplayMode *> values, int offset, int count) { p_PushRange(values, offset, count); }
    void p_Push3(Array<c_DisplayMode *> values, int offset) { p_PushRange(values, offset, values.Length() - offset); }
};

// Stack of strings.
class c_Stack2 : public c_StackOf<String> {
  public:
    c_Stack2 *m_new() { p_Init(); return this; }
    c_Stack2 *m_new2(Array<String> values) { p_Init(values); return this; }
    void p_Push4(String value) { p_PushOne(value); }
    void p_Push5(Array<String> values, int offset, int count) { p_PushRange(values, offset, count); }
    void p_Push6(Array<String> values, int offset) { p_PushRange(values, offset, values.Length() - offset); }
};

class c_StringStack : public c_Stack2 {
  public:
    c_StringStack *m_new() { c_Stack2::m_new(); return this; }
    c_StringStack *m_new2(Array<String> values) { c_Stack2::m_new2(values); return this; }
    String p_Join(String separator);
};

class c_Node : public Object {
  public:
    int m_key = 0;
    c_Node *m_right = nullptr;
    c_Node *m_left = nullptr;
    c_DisplayMode *m_value = nullptr;
    int m_color = 0; // -1 red, 1 black
    c_Node *m_parent = nullptr;

    c_Node *m_new(int key, c_DisplayMode *value, int color, c_Node *parent);
    void mark() override;
};

class c_Map : public Object {
  public:
    c_Node *m_root = nullptr;

    c_Map *m_new() { return this; }
    virtual int p_Compare(int a, int b) = 0;
    c_Node *p_FindNode(int key);
    bool p_Contains(int key) { return p_FindNode(key) != nullptr; }
    c_DisplayMode *p_Get(int key);
    int p_Set(int key, c_DisplayMode *value);
    int p_Insert(int key, c_DisplayMode *value) { return p_Set(key, value); }
    void mark() override;

  private:
    void p_InsertFixup(c_Node *node);
    void p_RotateLeft(c_Node *node);
    void p_RotateRight(c_Node *node);
};

class c_IntMap : public c_Map {
  public:
    c_IntMap *m_new() { c_Map::m_new(); return this; }
    int p_Compare(int a, int b) override {
        return static_cast<int>(static_cast<unsigned>(a) - static_cast<unsigned>(b));
    }
};
