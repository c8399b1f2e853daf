// The batch renderer: shapes and textured quads go into one vertex array; a batch is drawn only when the
// primitive kind or the texture changes, when the array is full, or when GL state must change.
#include "graphics/graphics.h"

#include "host/rtgame.h"

#include <GL/gl.h>
#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

int glfwGraphicsSeq;

bool gxtkGraphics::timeFlushes = false;

gxtkGraphics::gxtkGraphics() {
    ReadWindowSize();
    for (int q = 0; q < MAX_QUADS; ++q) {
        unsigned short k = static_cast<unsigned short>(q * 4);
        unsigned short *p = &quadIndices[q * 6];
        p[0] = k;
        p[1] = k + 1;
        p[2] = k + 2;
        p[3] = k;
        p[4] = k + 2;
        p[5] = k + 3;
    }
}

void gxtkGraphics::ReadWindowSize() {
    // The host keeps the framebuffer size from its callbacks, which spares a round trip to the display server
    // every frame; a host without a window gives 0, and then the current context's framebuffer is asked.
    // Both are in pixels, which a high-density screen has more of than the window has units.
    RtGame *host = RtGame::_game;
    if (host && host->GetDeviceWidth() > 0 && host->GetDeviceHeight() > 0) {
        width = host->GetDeviceWidth();
        height = host->GetDeviceHeight();
        return;
    }
    if (GLFWwindow *window = glfwGetCurrentContext()) glfwGetFramebufferSize(window, &width, &height);
}

int gxtkGraphics::BeginRender() {
    ReadWindowSize();
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, VERTEX_SIZE, &vertices[0].x);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, VERTEX_SIZE, &vertices[0].u);
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, VERTEX_SIZE, &vertices[0].color);

    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_TEXTURE_2D);
    primCount = 0;
    drawCalls = 0;
    flushTime = 0;
    return 1;
}

void gxtkGraphics::EndRender() { Flush(); }

gxtkGraphics::Vertex *gxtkGraphics::Begin(int type, int count, gxtkSurface *surf) {
    if (type == primType && surf == primSurf && primCount + count <= MAX_VERTS) {
        Vertex *v = &vertices[primCount];
        primCount += count;
        return v;
    }
    if (primCount) Flush();
    primType = type;
    gc_assign(primSurf, surf);
    primCount = count;
    return &vertices[0];
}

void gxtkGraphics::Flush() {
    if (!primCount) return;
    timespec start{};
    if (timeFlushes) clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);

    if (primSurf) {
        glEnable(GL_TEXTURE_2D);
        primSurf->Bind();
    }
    switch (primType) {
    case 1:
        glDrawArrays(GL_POINTS, 0, primCount);
        ++drawCalls;
        break;
    case 2:
        glDrawArrays(GL_LINES, 0, primCount);
        ++drawCalls;
        break;
    case 3:
        glDrawArrays(GL_TRIANGLES, 0, primCount);
        ++drawCalls;
        break;
    case 4:
        glDrawElements(GL_TRIANGLES, primCount / 4 * 6, GL_UNSIGNED_SHORT, quadIndices);
        ++drawCalls;
        break;
    default:
        for (int j = 0; j < primCount; j += primType) {
            glDrawArrays(GL_TRIANGLE_FAN, j, primType);
            ++drawCalls;
        }
        break;
    }
    if (primSurf) glDisable(GL_TEXTURE_2D);
    primCount = 0;

    if (timeFlushes) {
        timespec end;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
        flushTime += static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) * 1e-9;
    }
}

int gxtkGraphics::Cls(float cr, float cg, float cb) {
    primCount = 0; // the clear covers whatever was waiting
    glClearColor(cr / 255.0f, cg / 255.0f, cb / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    return 0;
}

static inline std::uint32_t ColorByte(float v) { return static_cast<std::uint32_t>(static_cast<int>(v)); }

int gxtkGraphics::SetAlpha(float a) {
    alpha = a;
    color = ColorByte(255 * alpha) << 24 | ColorByte(b * alpha) << 16 | ColorByte(g * alpha) << 8 |
            ColorByte(r * alpha);
    return 0;
}

int gxtkGraphics::SetColor(float cr, float cg, float cb) {
    r = cr;
    g = cg;
    b = cb;
    color = ColorByte(255 * alpha) << 24 | ColorByte(b * alpha) << 16 | ColorByte(g * alpha) << 8 |
            ColorByte(r * alpha);
    return 0;
}

int gxtkGraphics::SetBlend(int blend) {
    Flush();
    if (blend == 1)
        glBlendFunc(GL_ONE, GL_ONE);
    else
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    return 0;
}

int gxtkGraphics::SetScissor(int x, int y, int w, int h) {
    Flush();
    if (x == 0 && y == 0 && w == Width() && h == Height()) {
        glDisable(GL_SCISSOR_TEST);
    } else {
        glEnable(GL_SCISSOR_TEST);
        glScissor(x, Height() - y - h, w, h);
    }
    return 0;
}

int gxtkGraphics::SetMatrix(float mix, float miy, float mjx, float mjy, float mtx, float mty) {
    ix = mix;
    iy = miy;
    jx = mjx;
    jy = mjy;
    tx = mtx;
    ty = mty;
    tformed = ix != 1 || iy != 0 || jx != 0 || jy != 1 || tx != 0 || ty != 0;
    return 0;
}

int gxtkGraphics::DrawPoint(float x, float y) {
    Vertex *v = Begin(1, 1, nullptr);
    Put(v, x, y);
    v->x += 0.5f;
    v->y += 0.5f;
    return 0;
}

int gxtkGraphics::DrawLine(float x1, float y1, float x2, float y2) {
    Vertex *v = Begin(2, 2, nullptr);
    Put(v, x1, y1);
    Put(v + 1, x2, y2);
    for (int i = 0; i < 2; ++i) {
        v[i].x += 0.5f;
        v[i].y += 0.5f;
    }
    return 0;
}

int gxtkGraphics::DrawRect(float x, float y, float w, float h) {
    Vertex *v = Begin(4, 4, nullptr);
    Put(v, x, y);
    Put(v + 1, x + w, y);
    Put(v + 2, x + w, y + h);
    Put(v + 3, x, y + h);
    return 0;
}

int gxtkGraphics::DrawOval(float x, float y, float w, float h) {
    float xr = w * 0.5f, yr = h * 0.5f;
    float est;
    if (tformed) {
        float dx = xr * ix, dy = xr * iy, ex = yr * jx, ey = yr * jy;
        est = std::sqrt(dx * dx + dy * dy) + std::sqrt(ex * ex + ey * ey);
    } else {
        est = std::fabs(std::trunc(xr)) + std::fabs(std::trunc(yr));
    }
    // Clamped before the conversion, so that huge or undefined sizes cannot overflow it.
    int segs;
    if (!(est < MAX_VERTS + 1.0f))
        segs = MAX_VERTS;
    else if (est < 12)
        segs = 12;
    else
        segs = static_cast<int>(est) & ~3;

    float cx = x + xr, cy = y + yr;
    Vertex *v = Begin(segs, segs, nullptr);
    for (int i = 0; i < segs; ++i) {
        float th = static_cast<float>(i) * 6.2831855f / static_cast<float>(segs);
        Put(v + i, cx + std::cos(th) * xr, cy - std::sin(th) * yr);
    }
    return 0;
}

int gxtkGraphics::DrawPoly(Array<float> verts) {
    int n = verts.Length() / 2;
    if (n < 1 || n > MAX_VERTS) return 0;
    Vertex *v = Begin(n, n, nullptr);
    for (int i = 0; i < n; ++i)
        Put(v + i, verts[i * 2], verts[i * 2 + 1]);
    return 0;
}

int gxtkGraphics::DrawPoly2(Array<float> verts, gxtkSurface *surface, int srcx, int srcy) {
    int n = verts.Length() / 4;
    if (n < 1 || n > MAX_VERTS) return 0;
    Vertex *v = Begin(n, n, surface);
    for (int i = 0; i < n; ++i) {
        const float *q = &verts[i * 4];
        Put(v + i, q[0], q[1]);
        v[i].u = (q[2] + srcx) * surface->uscale;
        v[i].v = (q[3] + srcy) * surface->vscale;
    }
    return 0;
}

void gxtkGraphics::PutQuad(gxtkSurface *surf, float x0, float y0, float x1, float y1, float u0, float v0,
                           float u1, float v1) {
    Vertex *v = Begin(4, 4, surf);
    Put(v, x0, y0);
    Put(v + 1, x1, y0);
    Put(v + 2, x1, y1);
    Put(v + 3, x0, y1);
    v[0].u = u0, v[0].v = v0;
    v[1].u = u1, v[1].v = v0;
    v[2].u = u1, v[2].v = v1;
    v[3].u = u0, v[3].v = v1;
}

int gxtkGraphics::DrawSurface(gxtkSurface *surface, float x, float y) {
    float w = static_cast<float>(surface->Width()), h = static_cast<float>(surface->Height());
    PutQuad(surface, x, y, x + w, y + h, 0, 0, w * surface->uscale, h * surface->vscale);
    return 0;
}

int gxtkGraphics::DrawSurface2(gxtkSurface *surface, float x, float y, int srcx, int srcy, int srcw,
                               int srch) {
    float us = surface->uscale, vs = surface->vscale;
    PutQuad(surface, x, y, x + srcw, y + srch, srcx * us, srcy * vs, (srcx + srcw) * us, (srcy + srch) * vs);
    return 0;
}

// Whether h rows of w ints, pitch apart from offset, lie inside the array. A block that does not fit is
// refused as a whole rather than read or written past the array's end.
static bool BlockFits(const Array<int> &pixels, int w, int h, int offset, int pitch) {
    if (w <= 0 || h <= 0) return false;
    long long span = static_cast<long long>(h - 1) * pitch;
    long long first = offset + (span < 0 ? span : 0), last = offset + (span > 0 ? span : 0) + w;
    return first >= 0 && last <= pixels.Length();
}

int gxtkGraphics::ReadPixels(Array<int> pixels, int x, int y, int w, int h, int offset, int pitch) {
    if (!BlockFits(pixels, w, h, offset, pitch)) return 0;
    Flush();
    unsigned int *buf = static_cast<unsigned int *>(std::malloc(static_cast<size_t>(w) * h * 4));
    if (!buf) return 0;
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x, height - y - h, w, h, GL_BGRA, GL_UNSIGNED_BYTE, buf);
    for (int i = 0; i < h; ++i) {
        const unsigned int *src = buf + static_cast<size_t>(h - 1 - i) * w;
        int *dst = &pixels[offset + i * pitch];
        for (int j = 0; j < w; ++j)
            dst[j] = static_cast<int>(src[j]);
    }
    std::free(buf);
    return 0;
}

int gxtkGraphics::WritePixels2(gxtkSurface *surface, Array<int> pixels, int x, int y, int w, int h,
                               int offset, int pitch) {
    if (!BlockFits(pixels, w, h, offset, pitch)) return 0;
    surface->SetSubData(x, y, w, h, reinterpret_cast<unsigned int *>(&pixels[offset]), pitch);
    return 0;
}

gxtkSurface *gxtkGraphics::LoadSurface(String path) {
    gxtkSurface *surface = new gxtkSurface();
    if (!LoadSurface__UNSAFE__(surface, path)) return nullptr;
    surface->Bind();
    return surface;
}

gxtkSurface *gxtkGraphics::CreateSurface(int w, int h) {
    gxtkSurface *surface = new gxtkSurface();
    surface->width = w;
    surface->height = h;
    surface->depth = 4;
    surface->format = GL_RGBA;
    surface->Bind();
    return surface;
}
