// Texture surfaces: the pixels stay in memory (premultiplied once, at load) and the OpenGL texture is
// made from them at the first bind under each new context, so a surface outlives a window change.
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

#include "graphics/graphics.h"
#include "graphics/imagedata.h"
#include "host/rtgame.h"

bool gxtkSurface::refuseNonPowerOfTwo = false;

gxtkSurface::~gxtkSurface() { gxtkSurface::Discard(); }

void gxtkSurface::Discard() {
    // A texture of an older context went away with that context.
    if (seq == glfwGraphicsSeq) {
        glDeleteTextures(1, &texture);
        seq = -1;
    }
    FreeData();
}

void gxtkSurface::FreeData() {
    std::free(data);
    data = nullptr;
    gxtkReleasePicture(charged);
    charged = 0;
}

void gxtkSurface::OnUnsafeLoadComplete() { Bind(); }

int gxtkSurface::PowerOfTwo(int n) {
    int p = 1;
    while (p < n && p < (1 << 30))
        p <<= 1;
    return p;
}

static int FormatOfDepth(int depth, int previous) {
    switch (depth) {
    case 1:
        return GL_LUMINANCE;
    case 2:
        return GL_LUMINANCE_ALPHA;
    case 3:
        return GL_RGB;
    case 4:
        return GL_RGBA;
    default:
        return previous;
    }
}

void gxtkSurface::SetData(unsigned char *pixels, int w, int h, int d) {
    if (data != pixels) FreeData(); // a second picture must not leak the first
    data = pixels;
    width = w;
    height = h;
    depth = d;
    format = FormatOfDepth(d, format);
    gxtkPremultiply(data, w, h, d);
}

static bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

void gxtkSurface::Bind() {
    if (glfwGraphicsSeq == 0) return;
    if (seq == glfwGraphicsSeq) {
        glBindTexture(GL_TEXTURE_2D, texture);
        return;
    }
    seq = glfwGraphicsSeq;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    // The failed allocation is the only test for a driver that wants power-of-two sizes, so an error left
    // over from earlier calls must not be mistaken for it.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
    int texw = width, texh = height;
    bool refused;
    if (refuseNonPowerOfTwo && !(IsPowerOfTwo(width) && IsPowerOfTwo(height))) {
        refused = true;
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, format, texw, texh, 0, format, GL_UNSIGNED_BYTE, nullptr);
        refused = glGetError() != GL_NO_ERROR;
    }
    if (refused) {
        texw = PowerOfTwo(width);
        texh = PowerOfTwo(height);
        glTexImage2D(GL_TEXTURE_2D, 0, format, texw, texh, 0, format, GL_UNSIGNED_BYTE, nullptr);
    }
    uscale = 1.0f / static_cast<float>(texw);
    vscale = 1.0f / static_cast<float>(texh);

    if (data) {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE, data);
    }
}

void gxtkSurface::SetSubData(int x, int y, int w, int h, unsigned int *pixels, int pitch) {
    if (format != GL_RGBA) return;
    // A block reaching outside the picture would write past the pixel memory: refuse it whole.
    if (w <= 0 || h <= 0 || x < 0 || y < 0 || x > width - w || y > height - h) return;
    if (!data) {
        // Cleared, so that the parts never written show as transparent rather than as stale memory.
        data = static_cast<unsigned char *>(std::calloc(static_cast<size_t>(width) * height, 4));
        if (!data) return;
    }
    for (int row = 0; row < h; ++row) {
        const unsigned int *src = pixels + static_cast<long>(row) * pitch;
        unsigned char *dst = data + (static_cast<size_t>(y + row) * width + x) * 4;
        for (int col = 0; col < w; ++col, dst += 4) {
            unsigned int p = src[col];
            unsigned int a = p >> 24;
            dst[0] = static_cast<unsigned char>((p >> 16 & 0xff) * a / 255);
            dst[1] = static_cast<unsigned char>((p >> 8 & 0xff) * a / 255);
            dst[2] = static_cast<unsigned char>((p & 0xff) * a / 255);
            dst[3] = static_cast<unsigned char>(a);
        }
    }
    if (seq != glfwGraphicsSeq) return; // the next Bind uploads everything
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (w == width) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, format, GL_UNSIGNED_BYTE,
                        data + static_cast<size_t>(y) * width * 4);
    } else {
        for (int row = 0; row < h; ++row)
            glTexSubImage2D(GL_TEXTURE_2D, 0, x, y + row, w, 1, format, GL_UNSIGNED_BYTE,
                            data + (static_cast<size_t>(y + row) * width + x) * 4);
    }
}

bool gxtkGraphics::LoadSurface__UNSAFE__(gxtkSurface *surface, String path) {
    if (!RtGame::_game) return false;
    int w = 0, h = 0, depth = 0;
    unsigned char *pixels = RtGame::_game->LoadImageData(path, &w, &h, &depth);
    if (!pixels) return false;
    surface->SetData(pixels, w, h, depth);
    // The host's block comes charged to the picture budget; the surface gives the charge back with it.
    surface->charged = static_cast<size_t>(w) * static_cast<size_t>(h) * static_cast<size_t>(depth);
    return true;
}
