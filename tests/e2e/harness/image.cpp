#include "tests/e2e/harness/image.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>

namespace e2e {

Rect Image::Clip(Rect a) const {
    if (a.w <= 0 || a.h <= 0) return {0, 0, w_, h_};
    int x0 = std::clamp(a.x, 0, w_), y0 = std::clamp(a.y, 0, h_);
    int x1 = std::clamp(a.x + a.w, 0, w_), y1 = std::clamp(a.y + a.h, 0, h_);
    return {x0, y0, x1 - x0, y1 - y0};
}

Image Image::Crop(Rect r) const {
    r = Clip(r);
    Image out(r.w, r.h);
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x)
            out.Set(x, y, At(r.x + x, r.y + y));
    return out;
}

bool Image::SavePng(const std::string &path) const {
    if (Empty()) return false;
    return stbi_write_png(path.c_str(), w_, h_, 3, px_.data(), w_ * 3) != 0;
}

Image Image::LoadPng(const std::string &path) {
    int w = 0, h = 0, n = 0;
    unsigned char *data = stbi_load(path.c_str(), &w, &h, &n, 3);
    if (!data) return {};
    Image img(w, h);
    std::copy(data, data + static_cast<size_t>(w) * h * 3, img.px_.begin());
    stbi_image_free(data);
    return img;
}

long Image::Count(const std::function<bool(Rgb)> &test, Rect area) const {
    Rect r = Clip(area);
    long n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x)
            if (test(At(x, y))) ++n;
    return n;
}

double Image::Share(const std::function<bool(Rgb)> &test, Rect area) const {
    Rect r = Clip(area);
    long total = static_cast<long>(r.w) * r.h;
    return total > 0 ? static_cast<double>(Count(test, r)) / static_cast<double>(total) : 0.0;
}

bool Image::DiffersFrom(const Image &other, Rect area, long minPixels) const {
    if (other.w_ != w_ || other.h_ != h_) return true;
    Rect r = Clip(area);
    long n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) {
            Rgb a = At(x, y), b = other.At(x, y);
            if (a.r != b.r || a.g != b.g || a.b != b.b)
                if (++n > minPixels) return true;
        }
    return false;
}

namespace screens {

// The game draws a 640 x 480 screen scaled to the window; places below are given in those units.
namespace {
struct Scale {
    double sx, sy;
    explicit Scale(const Image &img) : sx(img.Width() / 640.0), sy(img.Height() / 480.0) {}
    Rect operator()(double x, double y, double w, double h) const {
        return {static_cast<int>(x * sx), static_cast<int>(y * sy), static_cast<int>(w * sx),
                static_cast<int>(h * sy)};
    }
    long Pixels(double n) const { return static_cast<long>(n * sx * sy); }
};

// Colours as they reach the screen (backgrounds eased to their targets, overlays blended over them).
bool menu_blue(Rgb c) { return Near(c, 19, 79, 159, 12); }
bool fight_blue(Rgb c) { return Near(c, 0, 0, 80, 10); }
bool paused_blue(Rgb c) { return Near(c, 0, 0, 30, 10); }
// The box's brown is blended over whatever lies below it (the menu's blue, the dimmed play field).
bool options_brown(Rgb c) {
    return c.r > 105 && c.r < 155 && c.g > 45 && c.g < 95 && c.b < 45 && c.r > c.g + 35;
}
bool white(Rgb c) { return c.r > 200 && c.g > 200 && c.b > 200; }
bool art_gold(Rgb c) { return c.r > 180 && c.g > 120 && c.b < 110; }
// The overlay bars are half transparent over a darkened play field.
bool bar_yellow(Rgb c) { return c.r > 90 && c.g > 90 && std::abs(c.r - c.g) < 40 && c.b < 70; }
bool bar_orange(Rgb c) { return c.r > 90 && c.g > 35 && c.g < c.r - 35 && c.b < 70; }
bool reborn_red(Rgb c) { return c.r > 120 && c.r - c.g > 60 && c.r > c.b + 20; }
// Sprites on the play field: clearly off the background, and not the faint bubbles.
bool sprite(Rgb c) {
    int off = c.r + c.g + std::abs(c.b - 80);
    return off > 150 && std::max({c.r, c.g, c.b}) > 70;
}
} // namespace

bool HasContent(const Image &shot) {
    return shot.Count([](Rgb c) { return c.r + c.g + c.b > 60; }) > Scale(shot).Pixels(200);
}

bool IsMenu(const Image &shot) { return shot.Share(menu_blue) > 0.35; }

bool HasTitleArt(const Image &shot) {
    Scale s(shot);
    return shot.Count(art_gold, s(0, 0, 500, 170)) > s.Pixels(300);
}

bool IsPlayField(const Image &shot) { return shot.Share(fight_blue) > 0.75; }

bool IsPauseDimmed(const Image &shot) { return shot.Share(paused_blue) > 0.6; }

bool IsFight(const Image &shot) {
    Scale s(shot);
    return shot.Share(fight_blue) > 0.75 && shot.Count(sprite) > s.Pixels(600);
}

bool IsPaused(const Image &shot) {
    Scale s(shot);
    return shot.Share(paused_blue) > 0.6 && shot.Count(white, s(200, 160, 440, 160)) > s.Pixels(300);
}

bool IsOptionsBox(const Image &shot) { return shot.Share(options_brown) > 0.35; }

bool HasGameOverBars(const Image &shot) {
    Scale s(shot);
    // Yellow: 16 high at 0.45 of the height, from the left edge; orange: at 0.55, ending at the right.
    double yellow = shot.Share(bar_yellow, s(0, 211, 320, 10));
    double orange = shot.Share(bar_orange, s(320, 259, 320, 10));
    return yellow > 0.6 && orange > 0.6;
}

bool ShowsRebornTidecrawler(const Image &shot) {
    Scale s(shot);
    return shot.Share(fight_blue) > 0.6 && shot.Count(reborn_red, s(200, 40, 440, 400)) > s.Pixels(1200);
}

// The row (within [y0, y1)) around which `test` holds for the most pixels of the columns, found with
// a sliding window of `band` rows; -1 when the best window holds fewer than `minPixels`.
static int busiest_row(const Image &img, Rect cols, int band, long minPixels,
                       const std::function<bool(Rgb)> &test, long *found) {
    std::vector<long> rows(static_cast<size_t>(std::max(cols.h, 0)), 0);
    for (int y = 0; y < cols.h; ++y)
        for (int x = cols.x; x < cols.x + cols.w; ++x)
            if (test(img.At(x, cols.y + y))) ++rows[static_cast<size_t>(y)];
    long sum = 0, best = -1;
    int bestY = -1;
    for (int y = 0; y < cols.h; ++y) {
        sum += rows[static_cast<size_t>(y)];
        if (y >= band) sum -= rows[static_cast<size_t>(y - band)];
        if (y >= band - 1 && sum > best) {
            best = sum;
            bestY = cols.y + y - band / 2;
        }
    }
    if (found) *found = std::max(best, 0L);
    return best >= minPixels ? bestY : -1;
}

FightView LookAtFight(const Image &shot, int shipLeft, int shipRight) {
    FightView v;
    if (shot.Empty()) return v;
    Scale s(shot);
    // Below the score line at the top.
    int top = static_cast<int>(48 * s.sy), bottom = static_cast<int>(470 * s.sy);
    // The Tidecrawler: the largest mass of sprite colour right of the ship (shots and bubbles are
    // white or faint and do not count).
    auto fishy = [](Rgb c) { return sprite(c) && !white(c); };
    Rect right{shipRight + static_cast<int>(8 * s.sx), top, 0, bottom - top};
    right.w = shot.Width() - right.x;
    if (right.w > 0) {
        v.fishY = busiest_row(shot, right, static_cast<int>(48 * s.sy), s.Pixels(500), fishy, &v.fishPixels);
        if (v.fishY >= 0) {
            long best = -1;
            int band = static_cast<int>(36 * s.sy);
            for (int x = right.x; x < shot.Width(); x += 4) {
                long n = shot.Count(fishy, {x, v.fishY - band, 4, 2 * band});
                if (n > best) best = n, v.fishX = x + 2;
            }
        }
    }
    // The ship: bright sprite colour within its own columns.
    Rect cols{shipLeft, top, shipRight - shipLeft, 0};
    cols.h = shot.Height() - cols.y;
    v.shipY = busiest_row(
        shot, cols, static_cast<int>(24 * s.sy), s.Pixels(150),
        [](Rgb c) {
            return sprite(c) && std::max({c.r, c.g, c.b}) > 150;
        },
        nullptr);
    return v;
}

} // namespace screens
} // namespace e2e
