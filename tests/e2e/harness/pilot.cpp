#include "tests/e2e/harness/pilot.h"

namespace e2e {

Pilot::Pilot(XSession &x, GameDriver &game, const std::string &logPath)
    : x_(x), game_(game), start_(NowSec()) {
    if (!logPath.empty()) log_ = std::fopen(logPath.c_str(), "w");
}

Pilot::~Pilot() {
    ReleaseAll();
    if (log_) std::fclose(log_);
}

void Pilot::Hold(const std::string &key, bool down) {
    bool &held = key == "Up" ? up_ : key == "Down" ? down_ : key == "Right" ? right_ : fire_;
    if (held == down) return;
    if (down)
        x_.KeyDown(key);
    else
        x_.KeyUp(key);
    held = down;
}

void Pilot::ReleaseAll() {
    Hold("Up", false);
    Hold("Down", false);
    Hold("Right", false);
    Hold("z", false);
}

screens::FightView Pilot::Step(Aim aim, Image *shotOut) {
    Image shot = game_.Shot();
    if (shotOut) *shotOut = shot;
    if (shot.Empty()) return {};
    double sx = shot.Width() / 640.0, sy = shot.Height() / 480.0;
    // Held to the right, the ship stays at the middle of the screen (the furthest it may go), 72 wide.
    screens::FightView v = screens::LookAtFight(shot, static_cast<int>(290 * sx), static_cast<int>(350 * sx));
    Hold("Right", true);

    int target = static_cast<int>(240 * sy);
    if (v.fishY >= 0) {
        if (aim == Aim::LineUp)
            target = v.fishY;
        else
            target = static_cast<int>((v.fishY < 240 * sy ? 420 : 70) * sy);
    }
    // The ship drifts on for a few updates after a key is let go, hence the dead band.
    int dead = static_cast<int>(12 * sy);
    bool wantUp = false, wantDown = false;
    if (v.shipY >= 0) {
        wantDown = target - v.shipY > dead;
        wantUp = v.shipY - target > dead;
    }
    Hold("Up", wantUp);
    Hold("Down", wantDown);
    // Fire is tapped: every press shoots at once, while a held key shoots ever more slowly.
    Hold("z", !fire_);
    if (log_)
        std::fprintf(log_, "%7.2f fish %4d,%4d (%5ld px) ship %4d target %4d %s\n", NowSec() - start_,
                     v.fishX, v.fishY, v.fishPixels, v.shipY, target,
                     wantUp     ? "up"
                     : wantDown ? "down"
                                : "-");
    return v;
}

} // namespace e2e
