// Plays the fight through the keyboard, looking at the screen: keeps the ship at the right end of its
// range, steers it to the Tidecrawler's height (or away from it) and taps fire.
#pragma once
#include <cstdio>
#include <string>

#include "tests/e2e/harness/game_driver.h"

namespace e2e {

class Pilot {
  public:
    enum class Aim {
        LineUp, // at the Tidecrawler's height: shots hit it, and what it throws hits the ship
        Dodge,  // as far from its height as the field allows
    };

    Pilot(XSession &x, GameDriver &game, const std::string &logPath = "");
    ~Pilot();
    Pilot(const Pilot &) = delete;
    Pilot &operator=(const Pilot &) = delete;

    // One look and one move. `shot` receives the picture it looked at.
    screens::FightView Step(Aim aim, Image *shot = nullptr);
    void ReleaseAll();

  private:
    void Hold(const std::string &key, bool down);
    XSession &x_;
    GameDriver &game_;
    bool up_ = false, down_ = false, right_ = false, fire_ = false;
    std::FILE *log_ = nullptr;
    double start_;
};

} // namespace e2e
