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

// Stack of display modes.
class c_Stack : public Object {
  public:
    Array<c_DisplayMode *> m_data;
    int m_length = 0;

    c_Stack *m_new();
    c_Stack *m_new2(Array<c_DisplayMode *> values);
    void p_Push(c_DisplayMode *value);
    void p_Push2(Array<c_DisplayMode *> values, int offset, int count);
    void p_Push3(Array<c_DisplayMode *> values, int offset);
    Array<c_DisplayMode *> p_ToArray();
    void p_Length(int n);
    int p_Length2() { return m_length; }
    c_DisplayMode *p_Get(int i) { return m_data[i]; }
    void p_Clear();
    void mark() override;
};

// Stack of strings.
class c_Stack2 : public Object {
  public:
    static String m_NIL;
    Array<String> m_data;
    int m_length = 0;

    c_Stack2 *m_new();
    c_Stack2 *m_new2(Array<String> values);
    void p_Push4(String value);
    void p_Push5(Array<String> values, int offset, int count);
    void p_Push6(Array<String> values, int offset);
    Array<String> p_ToArray();
    void p_Length(int n);
    int p_Length2() { return m_length; }
    String p_Get(int i) { return m_data[i]; }
    void p_Clear();
    void mark() override;
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
