// The game-facing drawing layer: images cut into frames with a handle, and the rt_graphics_ functions over
// one graphics context (colour, alpha, blend, scissor, matrix stack, font) that feed the renderer.
#pragma once
#include "graphics/graphics.h"

class c_Frame : public Object {
  public:
    int x = 0;
    int y = 0;
    c_Frame *m_new(int x, int y);
};

class c_Image : public Object {
  public:
    static constexpr int HandleCentred = 1;
    static constexpr int PadX = 2;
    static constexpr int PadY = 4;
    static constexpr int WholeSurface = 65536;
    static int m_DefaultFlags;

    gxtkSurface *surface = nullptr;
    int width = 0;
    int height = 0;
    Array<c_Frame *> frames;
    int flags = 0;
    float tx = 0;
    float ty = 0;
    c_Image *source = nullptr;

    c_Image *m_new() { return this; }
    c_Image *p_Init(gxtkSurface *surface, int nframes, int iflags);
    c_Image *p_Init2(gxtkSurface *surface, int x, int y, int iwidth, int iheight, int nframes, int iflags,
                     c_Image *src, int srcx, int srcy, int srcw, int srch);
    int p_SetHandle(float tx, float ty);
    int p_ApplyFlags(int iflags);
    void mark() override;
};

class c_GraphicsContext : public Object {
  public:
    c_Image *defaultFont = nullptr;
    c_Image *font = nullptr;
    int firstChar = 0;
    int matrixSp = 0;
    float ix = 1, iy = 0, jx = 0, jy = 1, tx = 0, ty = 0;
    int tformed = 0;
    int matDirty = 0;
    float colorR = 0, colorG = 0, colorB = 0;
    float alpha = 0;
    int blend = 0;
    float scissorX = 0, scissorY = 0, scissorW = 0, scissorH = 0;
    Array<float> matrixStack;

    c_GraphicsContext *m_new();
    int p_Validate();
    void mark() override;
};

extern gxtkGraphics *rt_graphics_device;
extern gxtkGraphics *rt_graphics_renderDevice;
extern c_GraphicsContext *rt_graphics_context;

int rt_graphics_SetGraphicsDevice(gxtkGraphics *dev);
int rt_graphics_BeginRender();
int rt_graphics_EndRender();
int rt_graphics_SetColor(float r, float g, float b);
int rt_graphics_SetAlpha(float alpha);
int rt_graphics_SetBlend(int blend);
int rt_graphics_SetScissor(float x, float y, float w, float h);
int rt_graphics_SetMatrix(float ix, float iy, float jx, float jy, float tx, float ty);
int rt_graphics_SetMatrix2(Array<float> m);
int rt_graphics_Transform(float ix, float iy, float jx, float jy, float tx, float ty);
int rt_graphics_Transform2(Array<float> m);
int rt_graphics_Translate(float x, float y);
int rt_graphics_Scale(float x, float y);
int rt_graphics_Rotate(float angle);
int rt_graphics_PushMatrix();
int rt_graphics_PopMatrix();
int rt_graphics_DrawRect(float x, float y, float w, float h);
int rt_graphics_DrawLine(float x1, float y1, float x2, float y2);
int rt_graphics_DrawEllipse(float x, float y, float w, float h);
int rt_graphics_DrawPoly(Array<float> verts);
int rt_graphics_DrawPoly2(Array<float> verts, c_Image *image, int frame);
int rt_graphics_DrawImage(c_Image *image, float x, float y, int frame);
int rt_graphics_DrawImage2(c_Image *image, float x, float y, float rotation, float scaleX, float scaleY,
                           int frame);
c_Image *rt_graphics_LoadImage(String path, int frameCount, int flags);
c_Image *rt_graphics_LoadImage2(String path, int frameWidth, int frameHeight, int frameCount, int flags);
c_Image *rt_graphics_CreateImage(int width, int height, int frameCount, int flags);
int rt_graphics_SetFont(c_Image *font, int firstChar);
