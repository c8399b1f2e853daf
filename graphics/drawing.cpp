// Images with frames and handles, and the drawing interface over the one graphics context. Colour, alpha,
// blend and scissor go to the renderer at once; the matrix goes lazily, just before the next draw.
#include "graphics/drawing.h"

#include <cmath>

#include "host/paths.h"
#include "runtime/error.h"

int c_Image::m_DefaultFlags;
gxtkGraphics *rt_graphics_device;
gxtkGraphics *rt_graphics_renderDevice;
c_GraphicsContext *rt_graphics_context;

static gc_root root_device(rt_graphics_device);
static gc_root root_render_device(rt_graphics_renderDevice);
static gc_root root_context(rt_graphics_context);

// The context is made on first use, once the collector is running.
static c_GraphicsContext *Context() {
    if (!rt_graphics_context) gc_assign(rt_graphics_context, (new c_GraphicsContext)->m_new());
    return rt_graphics_context;
}

c_Frame *c_Frame::m_new(int fx, int fy) {
    x = fx;
    y = fy;
    return this;
}

// ---- Images

c_Image *c_Image::p_Init(gxtkSurface *surf, int nframes, int iflags) {
    if (surface) rtError(String("Image already initialized"));
    // A strip of no frames has no frame width; refused here rather than dividing by zero.
    if (nframes < 1) rtError(String("Image frame count must be at least 1"));
    gc_assign(surface, surf);
    width = surf->Width() / nframes;
    height = surf->Height();
    gc_assign(frames, Array<c_Frame *>(nframes));
    for (int i = 0; i < nframes; ++i)
        gc_assign(frames[i], (new c_Frame)->m_new(i * width, 0));
    p_ApplyFlags(iflags);
    return this;
}

c_Image *c_Image::p_Init2(gxtkSurface *surf, int x, int y, int iwidth, int iheight, int nframes, int iflags,
                          c_Image *src, int srcx, int srcy, int srcw, int srch) {
    if (surface) rtError(String("Image already initialized"));
    gc_assign(surface, surf);
    gc_assign(source, src);
    width = iwidth;
    height = iheight;
    gc_assign(frames, Array<c_Frame *>(nframes));
    int cx = x, cy = y;
    for (int i = 0; i < nframes; ++i) {
        if (cx + width > srcw) {
            if (width > srcw) rtError(String("Image frame outside surface"));
            cy += height;
            cx = 0;
        }
        if (cy + height > srch) rtError(String("Image frame outside surface"));
        gc_assign(frames[i], (new c_Frame)->m_new(cx + srcx, cy + srcy));
        cx += width;
    }
    p_ApplyFlags(iflags);
    return this;
}

int c_Image::p_SetHandle(float htx, float hty) {
    tx = htx;
    ty = hty;
    flags &= ~HandleCentred;
    return 0;
}

int c_Image::p_ApplyFlags(int iflags) {
    flags = iflags;
    int n = frames.Length();
    if (flags & PadX) {
        for (int i = 0; i < n; ++i)
            frames[i]->x += 1;
        width -= 2;
    }
    if (flags & PadY) {
        for (int i = 0; i < n; ++i)
            frames[i]->y += 1;
        height -= 2;
    }
    if (flags & HandleCentred) {
        tx = width * 0.5f;
        ty = height * 0.5f;
        flags &= ~HandleCentred;
    }
    if (n == 1 && frames[0]->x == 0 && frames[0]->y == 0 && width == surface->Width() &&
        height == surface->Height())
        flags |= WholeSurface;
    return 0;
}

void c_Image::mark() {
    gc_mark_q(surface);
    gc_mark_q(frames);
    gc_mark_q(source);
}

// ---- The graphics context and its matrix

c_GraphicsContext *c_GraphicsContext::m_new() {
    gc_assign(matrixStack, Array<float>(192));
    return this;
}

int c_GraphicsContext::p_Validate() {
    if (matDirty) {
        if (rt_graphics_renderDevice) rt_graphics_renderDevice->SetMatrix(ix, iy, jx, jy, tx, ty);
        matDirty = 0;
    }
    return 0;
}

void c_GraphicsContext::mark() {
    gc_mark_q(defaultFont);
    gc_mark_q(font);
    gc_mark_q(matrixStack);
}

static inline void MatrixChanged(c_GraphicsContext *c) {
    c->tformed = c->ix != 1 || c->iy != 0 || c->jx != 0 || c->jy != 1 || c->tx != 0 || c->ty != 0;
    c->matDirty = 1;
}

int rt_graphics_SetGraphicsDevice(gxtkGraphics *dev) {
    gc_assign(rt_graphics_device, dev);
    return 0;
}

int rt_graphics_SetMatrix(float ix, float iy, float jx, float jy, float tx, float ty) {
    c_GraphicsContext *c = Context();
    c->ix = ix;
    c->iy = iy;
    c->jx = jx;
    c->jy = jy;
    c->tx = tx;
    c->ty = ty;
    MatrixChanged(c);
    return 0;
}

int rt_graphics_SetMatrix2(Array<float> m) {
    if (m.Length() < 6) return 0; // too short to hold a matrix
    return rt_graphics_SetMatrix(m[0], m[1], m[2], m[3], m[4], m[5]);
}

// The given matrix is applied first, then the current one.
static inline void Transform(c_GraphicsContext *c, float ix, float iy, float jx, float jy, float tx,
                             float ty) {
    float nix = ix * c->ix + iy * c->jx;
    float niy = ix * c->iy + iy * c->jy;
    float njx = jx * c->ix + jy * c->jx;
    float njy = jx * c->iy + jy * c->jy;
    float ntx = tx * c->ix + ty * c->jx + c->tx;
    float nty = tx * c->iy + ty * c->jy + c->ty;
    rt_graphics_SetMatrix(nix, niy, njx, njy, ntx, nty);
}

int rt_graphics_Transform(float ix, float iy, float jx, float jy, float tx, float ty) {
    Transform(Context(), ix, iy, jx, jy, tx, ty);
    return 0;
}

int rt_graphics_Transform2(Array<float> m) {
    if (m.Length() < 6) return 0;
    return rt_graphics_Transform(m[0], m[1], m[2], m[3], m[4], m[5]);
}

int rt_graphics_Translate(float x, float y) { return rt_graphics_Transform(1, 0, 0, 1, x, y); }
int rt_graphics_Scale(float x, float y) { return rt_graphics_Transform(x, 0, 0, y, 0, 0); }

static inline void Rotation(float angle, float &cosr, float &sinr) {
    float r = angle * 0.017453292f;
    cosr = static_cast<float>(std::cos(static_cast<double>(r)));
    sinr = static_cast<float>(std::sin(static_cast<double>(r)));
}

int rt_graphics_Rotate(float angle) {
    float cr, sr;
    Rotation(angle, cr, sr);
    return rt_graphics_Transform(cr, -sr, sr, cr, 0, 0);
}

static inline void PushMatrix(c_GraphicsContext *c) {
    if (c->matrixSp == c->matrixStack.Length()) {
        int n = c->matrixStack.Length();
        gc_assign(c->matrixStack, c->matrixStack.Resize(n ? n * 2 : 192));
    }
    float *m = &c->matrixStack[c->matrixSp];
    m[0] = c->ix;
    m[1] = c->iy;
    m[2] = c->jx;
    m[3] = c->jy;
    m[4] = c->tx;
    m[5] = c->ty;
    c->matrixSp += 6;
}

static inline void PopMatrix(c_GraphicsContext *c) {
    // An unmatched pop keeps the matrix instead of reading before the stack.
    if (c->matrixSp < 6) return;
    c->matrixSp -= 6;
    const float *m = &c->matrixStack[c->matrixSp];
    c->ix = m[0];
    c->iy = m[1];
    c->jx = m[2];
    c->jy = m[3];
    c->tx = m[4];
    c->ty = m[5];
    MatrixChanged(c);
}

int rt_graphics_PushMatrix() {
    PushMatrix(Context());
    return 0;
}

int rt_graphics_PopMatrix() {
    PopMatrix(Context());
    return 0;
}

// ---- Frame bracket and state forwarding

int rt_graphics_BeginRender() {
    c_GraphicsContext *c = Context();
    gc_assign(rt_graphics_renderDevice, rt_graphics_device);
    c->matrixSp = 0;
    c->ix = 1, c->iy = 0, c->jx = 0, c->jy = 1, c->tx = 0, c->ty = 0;
    c->tformed = 0;
    c->matDirty = 1;
    rt_graphics_SetColor(255, 255, 255);
    rt_graphics_SetAlpha(1);
    rt_graphics_SetBlend(0);
    // The renderer has just read the window size, so the full-window scissor switches the test off.
    gxtkGraphics *dev = rt_graphics_renderDevice;
    rt_graphics_SetScissor(0, 0, dev ? static_cast<float>(dev->Width()) : 0,
                           dev ? static_cast<float>(dev->Height()) : 0);
    return 0;
}

int rt_graphics_EndRender() {
    rt_graphics_renderDevice = nullptr;
    return 0;
}

int rt_graphics_SetColor(float r, float g, float b) {
    c_GraphicsContext *c = Context();
    c->colorR = r;
    c->colorG = g;
    c->colorB = b;
    if (rt_graphics_renderDevice) rt_graphics_renderDevice->SetColor(r, g, b);
    return 0;
}

int rt_graphics_SetAlpha(float alpha) {
    Context()->alpha = alpha;
    if (rt_graphics_renderDevice) rt_graphics_renderDevice->SetAlpha(alpha);
    return 0;
}

int rt_graphics_SetBlend(int blend) {
    Context()->blend = blend;
    if (rt_graphics_renderDevice) rt_graphics_renderDevice->SetBlend(blend);
    return 0;
}

int rt_graphics_SetScissor(float x, float y, float w, float h) {
    c_GraphicsContext *c = Context();
    c->scissorX = x;
    c->scissorY = y;
    c->scissorW = w;
    c->scissorH = h;
    if (rt_graphics_renderDevice)
        rt_graphics_renderDevice->SetScissor(static_cast<int>(x), static_cast<int>(y), static_cast<int>(w),
                                             static_cast<int>(h));
    return 0;
}

// ---- Drawing. Outside a frame there is no renderer to draw with, so the calls draw nothing.

// The renderer to draw with, after sending it the matrix if that changed; null outside a frame.
static inline gxtkGraphics *Validated(c_GraphicsContext *&c) {
    gxtkGraphics *dev = rt_graphics_renderDevice;
    if (!dev) return nullptr;
    c = Context();
    if (c->matDirty) {
        dev->SetMatrix(c->ix, c->iy, c->jx, c->jy, c->tx, c->ty);
        c->matDirty = 0;
    }
    return dev;
}

int rt_graphics_DrawRect(float x, float y, float w, float h) {
    c_GraphicsContext *c;
    if (gxtkGraphics *dev = Validated(c)) dev->DrawRect(x, y, w, h);
    return 0;
}

int rt_graphics_DrawLine(float x1, float y1, float x2, float y2) {
    c_GraphicsContext *c;
    if (gxtkGraphics *dev = Validated(c)) dev->DrawLine(x1, y1, x2, y2);
    return 0;
}

int rt_graphics_DrawEllipse(float x, float y, float w, float h) {
    c_GraphicsContext *c;
    if (gxtkGraphics *dev = Validated(c)) dev->DrawOval(x, y, w, h);
    return 0;
}

int rt_graphics_DrawPoly(Array<float> verts) {
    c_GraphicsContext *c;
    if (gxtkGraphics *dev = Validated(c)) dev->DrawPoly(verts);
    return 0;
}

// A frame number outside the image would read past its frame table; such a draw is skipped.
static inline c_Frame *FrameOf(c_Image *image, int frame) {
    if (!image || static_cast<unsigned>(frame) >= static_cast<unsigned>(image->frames.Length()))
        return nullptr;
    return image->frames[frame];
}

int rt_graphics_DrawPoly2(Array<float> verts, c_Image *image, int frame) {
    c_Frame *f = FrameOf(image, frame);
    if (!f) return 0;
    c_GraphicsContext *c;
    if (gxtkGraphics *dev = Validated(c)) dev->DrawPoly2(verts, image->surface, f->x, f->y);
    return 0;
}

static inline void DrawFrame(gxtkGraphics *dev, c_Image *image, c_Frame *f, float x, float y) {
    if (image->flags & c_Image::WholeSurface)
        dev->DrawSurface(image->surface, x, y);
    else
        dev->DrawSurface2(image->surface, x, y, f->x, f->y, image->width, image->height);
}

int rt_graphics_DrawImage(c_Image *image, float x, float y, int frame) {
    c_Frame *f = FrameOf(image, frame);
    if (!f) return 0;
    c_GraphicsContext *c;
    if (gxtkGraphics *dev = Validated(c)) DrawFrame(dev, image, f, x - image->tx, y - image->ty);
    return 0;
}

int rt_graphics_DrawImage2(c_Image *image, float x, float y, float rotation, float scaleX, float scaleY,
                           int frame) {
    c_Frame *f = FrameOf(image, frame);
    if (!f || !rt_graphics_renderDevice) return 0;
    c_GraphicsContext *c = Context();
    PushMatrix(c);
    float cr, sr;
    Rotation(rotation, cr, sr);
    Transform(c, 1, 0, 0, 1, x, y);
    Transform(c, cr, -sr, sr, cr, 0, 0);
    Transform(c, scaleX, 0, 0, scaleY, 0, 0);
    Transform(c, 1, 0, 0, 1, -image->tx, -image->ty);
    gxtkGraphics *dev = Validated(c);
    DrawFrame(dev, image, f, 0, 0);
    PopMatrix(c);
    return 0;
}

// ---- Loading

c_Image *rt_graphics_LoadImage(String path, int frameCount, int flags) {
    if (!rt_graphics_device) return nullptr;
    gxtkSurface *surface = rt_graphics_device->LoadSurface(rt_data_FixDataPath(path));
    if (!surface) return nullptr;
    return (new c_Image)->m_new()->p_Init(surface, frameCount, flags);
}

c_Image *rt_graphics_LoadImage2(String path, int frameWidth, int frameHeight, int frameCount, int flags) {
    if (!rt_graphics_device) return nullptr;
    gxtkSurface *surface = rt_graphics_device->LoadSurface(rt_data_FixDataPath(path));
    if (!surface) return nullptr;
    return (new c_Image)
        ->m_new()
        ->p_Init2(surface, 0, 0, frameWidth, frameHeight, frameCount, flags, nullptr, 0, 0, surface->Width(),
                  surface->Height());
}

c_Image *rt_graphics_CreateImage(int width, int height, int frameCount, int flags) {
    if (!rt_graphics_device) return nullptr;
    gxtkSurface *surface = rt_graphics_device->CreateSurface(width * frameCount, height);
    if (!surface) return nullptr;
    return (new c_Image)->m_new()->p_Init(surface, frameCount, flags);
}

int rt_graphics_SetFont(c_Image *font, int firstChar) {
    c_GraphicsContext *c = Context();
    if (!font) {
        if (!c->defaultFont) gc_assign(c->defaultFont, rt_graphics_LoadImage(String("tovu_font.png"), 96, 2));
        font = c->defaultFont;
        firstChar = 32;
    }
    gc_assign(c->font, font);
    c->firstChar = firstChar;
    return 0;
}
