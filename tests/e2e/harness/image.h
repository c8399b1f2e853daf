// Screenshots and the loose checks made on them.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

class Image {
  public:
    Image() = default;
    Image(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 3, 0) {}
    int Width() const { return w_; }
    int Height() const { return h_; }
    bool Empty() const { return w_ <= 0 || h_ <= 0; }
    Rgb At(int x, int y) const {
        const uint8_t *p = &px_[(static_cast<size_t>(y) * w_ + x) * 3];
        return {p[0], p[1], p[2]};
    }
    void Set(int x, int y, Rgb c) {
        uint8_t *p = &px_[(static_cast<size_t>(y) * w_ + x) * 3];
        p[0] = static_cast<uint8_t>(c.r);
        p[1] = static_cast<uint8_t>(c.g);
        p[2] = static_cast<uint8_t>(c.b);
    }
    Image Crop(Rect r) const;
    bool SavePng(const std::string &path) const;
    static Image LoadPng(const std::string &path);
    // Share of the pixels in the area (the whole image by default) for which the test holds, 0 to 1.
    double Share(const std::function<bool(Rgb)> &test, Rect area = {}) const;
    long Count(const std::function<bool(Rgb)> &test, Rect area = {}) const;
    // True when the two images differ in more than `minPixels` pixels of the area.
    bool DiffersFrom(const Image &other, Rect area = {}, long minPixels = 0) const;

  private:
    Rect Clip(Rect area) const;
    int w_ = 0, h_ = 0;
    std::vector<uint8_t> px_;
};

inline bool Near(Rgb c, int r, int g, int b, int tol) {
    return std::abs(c.r - r) <= tol && std::abs(c.g - g) <= tol && std::abs(c.b - b) <= tol;
}

// What the game's screens look like, loosely. Each takes a picture of the game window's inside
// (any size: the game scales its 640 x 480 screen to the window).
namespace screens {
// Loading screen or later: anything but a black window.
bool HasContent(const Image &shot);
// Main menu: its blue background dominates.
bool IsMenu(const Image &shot);
// The title art is drawn in the menu's top part (so the data folder was found).
bool HasTitleArt(const Image &shot);
// Play field: dark blue, with sprites on it.
bool IsFight(const Image &shot);
// The play field's blue, with or without sprites (the game draws no pictures without its data).
bool IsPlayField(const Image &shot);
// Pause screen: the dimmed play field, with the white "PAUSED" caption.
bool IsPauseDimmed(const Image &shot);
bool IsPaused(const Image &shot);
// Options box: the brown panel covers most of the screen.
bool IsOptionsBox(const Image &shot);
// Game-over overlay: the yellow bar from the left and the orange bar from the right.
bool HasGameOverBars(const Image &shot);
// The reborn (red) Tidecrawler is on the play field.
bool ShowsRebornTidecrawler(const Image &shot);

// Where things are on the play field, in window pixels; -1 when not found.
struct FightView {
    int fishY = -1, fishX = -1; // centre of the Tidecrawler
    int shipY = -1;             // centre of the player's ship
    long fishPixels = 0;
};
// `shipColumns`: the screen columns the ship occupies (the pilot keeps it there).
FightView LookAtFight(const Image &shot, int shipLeft, int shipRight);
} // namespace screens

} // namespace e2e
