// Byte buffers: a block from the C heap owned by a collectable object, with byte and string access.
// File loading fills them, and the socket layer sends and receives straight from and into them.
#pragma once
#include "runtime/object.h"

class RtDataBuffer : public Object {
  public:
    unsigned char *m_data = nullptr;
    int m_length = 0;

    ~RtDataBuffer() override;

    // Adopts `data` (a block from malloc) or allocates `length` bytes; false when a block is already held.
    bool _New(int length, void *data = nullptr);
    // Takes the host's whole-file load of `path`; false when a block is already held or the file is missing.
    bool _Load(String path);
    void Discard();
    int Length() const { return m_length; }
};

class c_DataBuffer : public RtDataBuffer {
  public:
    c_DataBuffer *m_new(int length);
    static c_DataBuffer *m_Load(String path);

    void p_PokeBytes(int address, Array<int> bytes, int offset, int count);
    void p_PeekBytes(int address, Array<int> bytes, int offset, int count);
    Array<int> p_PeekBytes2(int address, int count);
    void p_CopyBytes(int address, c_DataBuffer *destination, int destinationAddress, int count);
    int p_PokeString(int address, String text, String encoding);
    String p_PeekString(int address, int count, String encoding);
    String p_PeekString2(int address, String encoding);
};
