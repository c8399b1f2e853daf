// The 2D renderer and its texture surfaces. All drawing is collected into one client-side vertex array
// and sent to OpenGL 1.1 (fixed function, client arrays) in as few draw calls as the batches allow.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/object.h"

// Count of OpenGL contexts opened so far (0 while there is none). Whoever opens a window adds 1 (the
// desktop host, or a test's own context); a surface whose texture was made under an older value has lost it.
extern int glfwGraphicsSeq;

class gxtkSurface : public Object {
  public:
    unsigned char *data = nullptr; // rows top to bottom, depth bytes a pixel, premultiplied; free()d
    int width = 0;
    int height = 0;
    int depth = 0;
    int format = 0;
    int seq = -1;
    unsigned int texture = 0;
    float uscale = 0;
    float vscale = 0;
    size_t charged = 0; // bytes of `data` charged to the picture budget (a loaded picture's)

    // Tests set this to behave like a driver that refuses texture sizes that are not powers of two.
    static bool refuseNonPowerOfTwo;

    gxtkSurface() {}
    ~gxtkSurface() override;

    virtual void Discard();
    virtual int Width() { return width; }
    virtual int Height() { return height; }
    virtual bool Loaded() { return true; }
    virtual void OnUnsafeLoadComplete();

    void SetData(unsigned char *data, int width, int height, int depth);
    void SetSubData(int x, int y, int w, int h, unsigned int *pixels, int pitch);
    void Bind();
    // Frees the pixels and gives their charge back to the picture budget.
    void FreeData();

    // The next power of two at or above n (1 for n <= 1).
    static int PowerOfTwo(int n);
};

class gxtkGraphics : public Object {
  public:
    static constexpr int MAX_VERTS = 1024;
    static constexpr int MAX_QUADS = MAX_VERTS / 4;
    static constexpr int VERTEX_SIZE = 20;

    struct Vertex {
        float x, y, u, v;
        std::uint32_t color; // bytes R, G, B, A in memory
    };
    static_assert(sizeof(Vertex) == VERTEX_SIZE, "vertices are 20 bytes");

    int width = 0;
    int height = 0;
    std::uint32_t color = 0;
    float r = 0, g = 0, b = 0;
    float alpha = 0;
    float ix = 1, iy = 0, jx = 0, jy = 1, tx = 0, ty = 0;
    bool tformed = false;
    Vertex vertices[MAX_VERTS];
    unsigned short quadIndices[MAX_QUADS * 6];
    int primType = 0;
    int primCount = 0;
    gxtkSurface *primSurf = nullptr;

    // OpenGL draw calls issued since the last BeginRender, for tests and benchmarks.
    int drawCalls = 0;
    // When timeFlushes is set, flushTime accumulates the CPU seconds this thread spent flushing batches.
    static bool timeFlushes;
    double flushTime = 0;

    gxtkGraphics();

    virtual int Width() { return width; }
    virtual int Height() { return height; }
    virtual int BeginRender();
    virtual void EndRender();
    virtual void DiscardGraphics() {}
    virtual gxtkSurface *LoadSurface(String path);
    virtual gxtkSurface *CreateSurface(int width, int height);
    virtual bool LoadSurface__UNSAFE__(gxtkSurface *surface, String path);
    virtual int Cls(float r, float g, float b);
    virtual int SetAlpha(float alpha);
    virtual int SetColor(float r, float g, float b);
    virtual int SetBlend(int blend);
    virtual int SetScissor(int x, int y, int w, int h);
    virtual int SetMatrix(float ix, float iy, float jx, float jy, float tx, float ty);
    virtual int DrawPoint(float x, float y);
    virtual int DrawRect(float x, float y, float w, float h);
    virtual int DrawLine(float x1, float y1, float x2, float y2);
    virtual int DrawOval(float x, float y, float w, float h);
    virtual int DrawPoly(Array<float> verts);
    virtual int DrawPoly2(Array<float> verts, gxtkSurface *surface, int srcx, int srcy);
    virtual int DrawSurface(gxtkSurface *surface, float x, float y);
    virtual int DrawSurface2(gxtkSurface *surface, float x, float y, int srcx, int srcy, int srcw, int srch);
    virtual int ReadPixels(Array<int> pixels, int x, int y, int w, int h, int offset, int pitch);
    virtual int WritePixels2(gxtkSurface *surface, Array<int> pixels, int x, int y, int w, int h, int offset,
                             int pitch);

    Vertex *Begin(int type, int count, gxtkSurface *surf);
    void Flush();

    // The open batch is drawn with the surface it names, so the collector must keep that alive.
    void mark() override { gc_mark_q(primSurf); }

  private:
    void ReadWindowSize();
    void Put(Vertex *v, float x, float y) {
        if (tformed) {
            v->x = ix * x + jx * y + tx;
            v->y = iy * x + jy * y + ty;
        } else {
            v->x = x;
            v->y = y;
        }
        v->color = color;
    }
    void PutQuad(gxtkSurface *surf, float x0, float y0, float x1, float y1, float u0, float v0, float u1,
                 float v1);
};
