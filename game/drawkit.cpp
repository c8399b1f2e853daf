// The drawing kit. While the game updates, every drawing call only appends a 15-float record to the
// frame's draw list; the render step replays the list onto the window, scaled from the virtual screen.
// Also the game's own bitmap text with its button icons, the palette and the pointer hit tests.
#include <cmath>

#include "game/myapp.h"
#include "graphics/drawing.h"

namespace {

constexpr int kRecord = 15;
constexpr int kLastRecordStart = 37484; // at most 2499 records a frame
constexpr float kKindRect = -3717, kKindOval = -3716, kKindLine = -3715, kKindTri = -3714;
constexpr int kEscapeMark = 172; // the "not" sign introduces a button icon

// Advance adjustment of a character against the font's cell width.
int spacing(int c) {
    switch (c) {
    case 'm':
    case 'w':
        return 2;
    case 'M':
    case 'W':
        return 1;
    case 'f':
    case 'i':
    case 'l':
        return -3;
    case 'j':
    case 'k':
    case 'n':
    case 'r':
    case 's':
    case 't':
    case 'z':
        return -1;
    default:
        return 0;
    }
}

float clampf(float v, float lo, float hi) { return v < lo ? lo : v > hi ? hi : v; }

} // namespace

// ---------------------------------------------------------------------------------------------
// Draw state.

void c_MyApp::p_ResetDraw() {
    drawScaleX = drawScaleY = 1;
    drawR = drawG = drawB = 255;
    drawRot = 0;
    drawAlpha = 1;
    drawBlend = 1;
}

void c_MyApp::p_CLS2D(float r, float g, float b, float a) {
    if (r > kUnset) {
        clsR = r;
        clsG = g;
        clsB = b;
        clsAlpha = a;
    }
    p_ResetDraw();
    drawListLen = 0;
}

void c_MyApp::p_SetCol(float r, float g, float b, float a) {
    drawR = r;
    drawG = g;
    drawB = b;
    if (a > kUnset) drawAlpha = a;
}

void c_MyApp::p_Alpha(float a) { drawAlpha = a; }

void c_MyApp::p_SetSize(float sx, float sy) {
    drawScaleX = sx;
    drawScaleY = sy > kUnset ? sy : sx;
}

void c_MyApp::p_SetRot(float angle) { drawRot = -angle; }

void c_MyApp::p_Ink(int index, float brightness) {
    static const float kPalette[10][3] = {
        {0.3f, 0.3f, 0.3f}, {1.0f, 0.1f, 0.1f}, {1.0f, 0.5f, 0.1f}, {1.0f, 1.0f, 0.1f}, {0.1f, 1.0f, 0.1f},
        {0.1f, 1.0f, 1.0f}, {0.1f, 0.1f, 1.0f}, {0.5f, 0.1f, 1.0f}, {1.0f, 0.1f, 0.5f}, {1.0f, 1.0f, 1.0f}};
    const float *c = kPalette[index >= 1 && index <= 9 ? index : 0];
    drawR = clampf(c[0] * brightness * 255, 0, 255);
    drawG = clampf(c[1] * brightness * 255, 0, 255);
    drawB = clampf(c[2] * brightness * 255, 0, 255);
}

// ---------------------------------------------------------------------------------------------
// Records.

namespace {

// Appends one record with the current colour, alpha and blend; null when the list is full.
float *newRecord(c_MyApp *app) {
    if (app->drawListLen > kLastRecordStart) return nullptr;
    float *d = app->drawList.Data() + app->drawListLen;
    d[7] = app->drawAlpha;
    d[10] = app->drawR;
    d[11] = app->drawG;
    d[12] = app->drawB;
    d[13] = static_cast<float>(app->drawBlend);
    app->drawListLen += kRecord;
    return d;
}

} // namespace

// Images, rectangles, ovals and lines share one record layout: kind, position, rotation, three values.
static void rotated_record(c_MyApp *app, float kind, float x, float y, float a, float b, float c) {
    float *d = newRecord(app);
    if (!d) return;
    d[0] = kind;
    d[1] = x;
    d[2] = y;
    d[3] = app->drawRot;
    d[4] = a;
    d[5] = b;
    d[6] = c;
}

void c_MyApp::p_DrawImg(int slot, float x, float y, float frame) {
    rotated_record(this, static_cast<float>(slot), x, y, drawScaleX, drawScaleY, frame);
}

void c_MyApp::p_Rect(float x, float y, float w, float h) { rotated_record(this, kKindRect, x, y, w, h, 0); }

void c_MyApp::p_Oval(float x, float y, float rx, float ry) {
    rotated_record(this, kKindOval, x, y, rx, ry, 0);
}

void c_MyApp::p_Line(float x1, float y1, float x2, float y2) {
    rotated_record(this, kKindLine, x1, y1, x2, y2, 0);
}

void c_MyApp::p_Tri(float x1, float y1, float x2, float y2, float x3, float y3) {
    float *d = newRecord(this);
    if (!d) return;
    d[0] = kKindTri;
    d[1] = x1;
    d[2] = y1;
    d[3] = x2;
    d[4] = y2;
    d[5] = x3;
    d[6] = y3;
}

// ---------------------------------------------------------------------------------------------
// Pointer tests.

int c_MyApp::p_MouseIn(float x, float y, float w, float h) {
    for (int i = 0; i < 10; ++i) {
        if (!touchDown[i]) continue;
        float tx = touchX[i], ty = touchY[i];
        if (x < tx && tx < x + w && y < ty && ty < y + h) return 1;
    }
    return 0;
}

int c_MyApp::p_MouseIn_Centered(float cx, float cy, float w, float h) {
    for (int i = 0; i < 10; ++i) {
        if (!touchDown[i]) continue;
        if (std::fabs(touchX[i] - cx) < w / 2 && std::fabs(touchY[i] - cy) < h / 2) return 1;
    }
    return 0;
}

int c_MyApp::p_MouseIn_Radius(float cx, float cy, float w, float h) {
    float r2 = (w / 2) * (w / 2) + (h / 2) * (h / 2);
    for (int i = 0; i < 10; ++i) {
        if (!touchDown[i]) continue;
        float dx = touchX[i] - cx, dy = touchY[i] - cy;
        if (dx * dx + dy * dy <= r2) return 1;
    }
    return 0;
}

int c_MyApp::p_Touch(float x, float y, float w, float h) {
    p_Rect(x, y, w, h);
    // Fingers are blunt: the box is forgiving, more so to the right and below.
    for (int i = 0; i < 10; ++i) {
        if (!touchDown[i]) continue;
        float tx = touchX[i], ty = touchY[i];
        if (x - 6 < tx && tx < x + w + 12 && y - 6 < ty && ty < y + h + 12) return 1;
    }
    return 0;
}

namespace {

// Half the drawn size of one frame of an image slot, in virtual pixels.
void halfSize(c_MyApp *app, int slot, float &hw, float &hh) {
    hw = hh = 0;
    if (slot < 0 || slot >= 100) return;
    hw = app->imgInfo[slot * 3] * app->imgScale * app->drawScaleX / 2;
    hh = app->imgInfo[slot * 3 + 1] * app->imgScale * app->drawScaleY / 2;
}

} // namespace

int c_MyApp::p_Button(int slot, float x, float y, float frame) {
    p_DrawImg(slot, x, y, frame);
    buttonHit = 0;
    if (mouseDown <= 0) return 0;
    float hw, hh;
    halfSize(this, slot, hw, hh);
    for (int i = 0; i < 10; ++i) {
        if (std::fabs(touchX[i] - x) < hw && std::fabs(touchY[i] - y) < hh) {
            buttonHit = 1;
            break;
        }
    }
    return buttonHit;
}

int c_MyApp::p_Button0(int slot, float x, float y, float frame) {
    p_DrawImg(slot, x, y, frame);
    if (mouseDown <= 0) return 0;
    float hw, hh;
    halfSize(this, slot, hw, hh);
    return std::fabs(touchX[0] - x) < hw && std::fabs(touchY[0] - y) < hh ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Text.

namespace {

// The icon frame and advance of the letter after an escape mark. The font sheets carry a game-pad set
// of icons (frames 96 to 110, with pressed looks) and a keyboard set 16 frames further on.
void escapeGlyph(int letter, int scheme, int millis, int &frame, int &adjust) {
    struct Icon {
        char letter;
        int frame, blink, adjust;
    };
    static const Icon kIcons[] = {
        {'J', 96, 109, 4},  {'K', 97, 109, 4},  {'L', 98, 109, 4}, {'I', 99, 109, 4}, {'U', 100, 110, 6},
        {'O', 101, 110, 6}, {'Q', 102, -1, 4},  {'E', 103, -1, 4}, {'F', 104, -1, 4}, {'W', 105, 104, 4},
        {'S', 106, 104, 4}, {'A', 107, 104, 4}, {'D', 108, 104, 4}};
    for (const Icon &icon : kIcons) {
        if (icon.letter != letter) continue;
        frame = icon.frame;
        adjust = icon.adjust;
        if (scheme == 0)
            frame += 16;
        else if (scheme == 1 && icon.blink >= 0 && ((millis % 500) + 500) % 500 < 200)
            frame = icon.blink;
        return;
    }
    frame = letter - 32;
    adjust = spacing(letter);
}

} // namespace

void c_MyApp::p_Text(float x, float y, String txt, float alignX, float alignY, int fontOffset) {
    if (font < 0 || font >= 100) return;
    const float W = static_cast<float>(imgInfo[font * 3]);
    const float H = static_cast<float>(imgInfo[font * 3 + 1]);
    const float xs = drawScaleX, ys = drawScaleY;
    const double theta = -drawRot * 0.017453292519943295;
    const float dx = static_cast<float>(std::cos(theta)), dy = static_cast<float>(std::sin(theta));
    const float ux = dy, uy = -dx; // up; down is its negation

    String s = String(" ") + txt;
    const int n = s.Length();
    // The width to align by: the leading space is measured and the last character is not, and an escape
    // pair counts as one cell and a bit.
    int w = 0;
    for (int i = 0; i < n - 1; ++i) {
        int adj;
        if (s[i] == kEscapeMark) {
            ++i;
            adj = 2;
        } else {
            adj = spacing(s[i]);
        }
        w = tide_int(w + (W + adj) * xs);
    }

    const float p0x = x - dx * (w * alignX / 2) + ux * (H * ys * (alignY - 1) / 2);
    const float p0y = y - dy * (w * alignX / 2) + uy * (H * ys * (alignY - 1) / 2);
    float penX = p0x, penY = p0y;
    int lines = 0;
    const int millis = rt_app_Millisecs();

    for (int i = 0; i < n;) {
        int code = s[i], frame, adj;
        if (code == kEscapeMark && i + 1 < n) {
            ++i;
            code = s[i];
            escapeGlyph(code, ctrlScheme, millis, frame, adj);
        } else {
            frame = code - 32;
            adj = spacing(code);
        }
        if (s[i] == '\\' && i + 1 < n && s[i + 1] == 'n') {
            ++lines;
            i += 2;
            penX = p0x - ux * (lines * H * ys) + dx * (W * xs);
            penY = p0y - uy * (lines * H * ys) + dy * (W * xs);
            continue;
        }
        if (frame >= 1 && frame <= 127) p_DrawImg(font + fontOffset, penX, penY, static_cast<float>(frame));
        if (code != 0) {
            penX += dx * (W + adj) * xs;
            penY += dy * (W + adj) * xs;
        }
        ++i;
    }
}

String c_MyApp::p_rstr(int value, int width, String pad) {
    if (width <= 0) return String();
    String s;
    for (int i = 0; i <= width; ++i)
        s += pad;
    s += String(value);
    return s.Length() > width ? s.Slice(s.Length() - width) : s;
}

String c_MyApp::p_Nth(int n) {
    if (n < 1 || n > 30) return String();
    int last = n % 10;
    const char *suffix = "th";
    if (n < 11 || n > 13) {
        if (last == 1)
            suffix = "st";
        else if (last == 2)
            suffix = "nd";
        else if (last == 3)
            suffix = "rd";
    }
    return String(n) + String(suffix);
}

// ---------------------------------------------------------------------------------------------
// Replay.

void c_MyApp::p_FitScreen(int devW, int devH) {
    if (devW <= 0 || devH <= 0) return; // no window yet: keep the last fit
    const float ov = rt_Brinefall_overscan;
    const float f = devW >= devH ? 1.0f : 1.5f;
    originX = ov;
    originY = ov * devH / devW;
    scaleX = (devW - 2 * ov) / (rt_Brinefall_rawscrw * f);
    scaleY = (devH - 2 * ov) / (rt_Brinefall_rawscrh * f);
    // The larger scale wins on both axes: that side keeps its design length and the other side of the
    // virtual screen follows the window's shape, so nothing is cut off. The kept side is the design length
    // itself: dividing the device size by a rounded factor gave 479.99997 for 1024, and layouts that count
    // lines in the height lost one.
    double kept;
    if (scaleY > scaleX) {
        fitMode = 2;
        kept = rt_Brinefall_rawscrh * static_cast<double>(f);
        scaleX = scaleY;
        rt_Brinefall_jscrh = static_cast<float>(kept);
        rt_Brinefall_jscrw = static_cast<float>(kept * devW / devH);
    } else {
        fitMode = 1;
        kept = rt_Brinefall_rawscrw * static_cast<double>(f);
        scaleY = scaleX;
        rt_Brinefall_jscrw = static_cast<float>(kept);
        rt_Brinefall_jscrh = static_cast<float>(kept * devH / devW);
    }
    landscape = rt_Brinefall_jscrh <= rt_Brinefall_jscrw ? 1 : 0;
}

int c_MyApp::p_OnRender() {
    int now = rt_app_Millisecs();
    int dt = now - renderLastMillis;
    if (dt > 0) renderFps = 1000 / dt;
    renderFpsSmooth = (renderFps + 9 * renderFpsSmooth) / 10;
    renderLastMillis = now;

    const int devW = rt_app_DeviceWidth(), devH = rt_app_DeviceHeight();
    if (devW != lastDevW || devH != lastDevH) {
        // The surfaces may have gone with the old window: load everything again.
        lastDevW = devW;
        lastDevH = devH;
        loading = 1;
    }
    p_FitScreen(devW, devH);
    const float sx = scaleX, sy = scaleY;
    const float ox = originX, oy = originY;

    // A clear alpha below 1 leaves trails of the last frame; none at all leaves it untouched. The
    // renderer does not clamp, so colours and alphas are kept in range here.
    if (clsAlpha > 0) {
        rt_graphics_SetColor(clampf(clsR, 0, 255), clampf(clsG, 0, 255), clampf(clsB, 0, 255));
        rt_graphics_SetAlpha(clampf(clsAlpha, 0, 1));
        rt_graphics_DrawRect(-1, -1, devW + 2, devH + 2);
    }
    rt_graphics_SetColor(255, 255, 255);
    rt_graphics_SetAlpha(1);

    int blend = 0; // the drawing interface starts each frame with alpha blending
    const float *list = drawList.Data();
    for (int at = 0; at + kRecord <= drawListLen; at += kRecord) {
        const float *d = list + at;
        rt_graphics_SetAlpha(clampf(d[7], 0, 1));
        rt_graphics_SetColor(clampf(d[10], 0, 255), clampf(d[11], 0, 255), clampf(d[12], 0, 255));
        int want = d[13] == 3 ? 1 : 0;
        if (want != blend) {
            // Blend changes flush the renderer's batch, so only real changes are passed on.
            rt_graphics_SetBlend(want);
            blend = want;
        }
        const float kind = d[0];
        if (kind == kKindRect) {
            rt_graphics_DrawRect(d[1] * sx + ox, d[2] * sy + oy, d[4] * sx, d[5] * sy);
        } else if (kind == kKindOval) {
            float rx = d[4] * sx, ry = d[5] * sy;
            rt_graphics_DrawEllipse(d[1] * sx + ox - rx, d[2] * sy + oy - ry, 2 * rx, 2 * ry);
        } else if (kind == kKindLine) {
            rt_graphics_DrawLine(d[1] * sx + ox, d[2] * sy + oy, d[4] * sx + ox, d[5] * sy + oy);
        } else if (kind == kKindTri) {
            Array<float> verts(6);
            verts[0] = d[1] * sx + ox;
            verts[1] = d[2] * sy + oy;
            verts[2] = d[3] * sx + ox;
            verts[3] = d[4] * sy + oy;
            verts[4] = d[5] * sx + ox;
            verts[5] = d[6] * sy + oy;
            rt_graphics_DrawPoly(verts);
        } else if (kind > -1 && kind < 100) {
            c_Image *image = img[tide_int(kind)];
            int frame = tide_int(d[6]);
            // An empty slot, or a frame the picture does not have, draws nothing.
            if (image && frame >= 0 && frame < image->frames.Length())
                rt_graphics_DrawImage2(image, d[1] * sx + ox, d[2] * sy + oy, d[3], d[4] * sx * imgScale,
                                       d[5] * sy * imgScale, frame);
        }
    }
    return 0;
}
