// Whole-program figures of the real game, measured from outside as a player's machine would see it:
// the program runs in a private Xvfb with a window manager and is played through real input.
//
//   bench_game_e2e [--starts N] [--seconds S]
//
// Start-up: from starting the process to its window, to the first frame with something drawn, and to
// the main menu (median of N starts, each in a fresh folder). Processor share of one core (user and
// system time of all the program's threads, from /proc) over S seconds: in the main menu, in the fight
// while the Tidecrawler approaches, in the reborn phase (the Tidecrawler throwing fish, the marquee
// scrolling, shots and particles flying), and suspended with the focus on another window. Peak
// resident memory of the whole run.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/harness/game_driver.h"
#include "tests/e2e/harness/pilot.h"

using namespace e2e;

namespace {

struct StartTimes {
    double window = -1, firstFrame = -1, menu = -1;
};

StartTimes time_one_start(XSession &x, const std::string &outDir) {
    TempDir work("bench");
    GameDriver game(x, outDir);
    Launch l;
    l.workDir = work.Path();
    StartTimes t;
    double t0 = NowSec();
    if (!game.Start(l)) return t;
    double end = t0 + 60;
    while (NowSec() < end && game.Proc().Running()) {
        WindowInfo w = game.Window();
        if (w.Valid()) {
            if (t.window < 0) t.window = NowSec() - t0;
            Image shot = x.CaptureWindow(w);
            if (t.firstFrame < 0 && screens::HasContent(shot)) t.firstFrame = NowSec() - t0;
            if (screens::IsMenu(shot)) {
                t.menu = NowSec() - t0;
                break;
            }
        }
        SleepSec(0.005);
    }
    game.ClickCloseButton();
    if (!game.Proc().WaitExit(10)) game.Proc().Stop();
    return t;
}

double median(std::vector<double> v) {
    v.erase(std::remove_if(v.begin(), v.end(), [](double d) { return d < 0; }), v.end());
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void print_times(const char *what, const std::vector<double> &v) {
    std::vector<double> ok;
    for (double d : v)
        if (d >= 0) ok.push_back(d);
    if (ok.empty()) {
        std::printf("  %-30s not reached\n", what);
        return;
    }
    std::printf("  %-30s %6.0f ms  (min %.0f, max %.0f)\n", what, median(ok) * 1000,
                *std::min_element(ok.begin(), ok.end()) * 1000,
                *std::max_element(ok.begin(), ok.end()) * 1000);
}

// Processor share while the pilot keeps playing (its own work is in this process, not the game's).
double share_while_playing(GameDriver &game, Pilot &pilot, Pilot::Aim aim, double sec) {
    long before = game.Proc().CpuTicks();
    double t0 = NowSec();
    while (NowSec() < t0 + sec)
        pilot.Step(aim);
    long after = game.Proc().CpuTicks();
    return static_cast<double>(after - before) / static_cast<double>(Process::TicksPerSecond()) /
           (NowSec() - t0);
}

} // namespace

int main(int argc, char **argv) {
    int starts = 3;
    double seconds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--starts")) starts = std::max(1, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--seconds")) seconds = std::max(1.0, std::atof(argv[i + 1]));
    }
    std::string out = TIDE_BINARY_DIR "/bench/game_e2e-output";
    MakeDirs(out);
    XSession x(800, 600, out + "/x");
    if (!x.Ok()) {
        std::fprintf(stderr, "no X session: %s\n", x.Error().c_str());
        return 1;
    }
    std::printf("The Final Tidecrawler, whole program: Xvfb 800x600, Mesa software OpenGL, openbox,\n"
                "OpenAL Soft null output; window 640x480.\n\n");

    std::vector<double> window, frame, menu;
    for (int i = 0; i < starts; ++i) {
        StartTimes t = time_one_start(x, out + "/start-" + std::to_string(i));
        window.push_back(t.window);
        frame.push_back(t.firstFrame);
        menu.push_back(t.menu);
    }
    std::printf("Start-up, median of %d starts:\n", starts);
    print_times("start to window", window);
    print_times("start to first rendered frame", frame);
    print_times("start to main menu", menu);

    TempDir work("bench");
    GameDriver game(x, out + "/play");
    Launch l;
    l.workDir = work.Path();
    if (!game.Start(l) || !game.WaitForWindow(30) || !game.WaitForFocus(15) ||
        !game.WaitFor("menu", screens::IsMenu, 60)) {
        std::fprintf(stderr, "the game did not reach its menu\n");
        return 1;
    }
    SleepSec(2.5); // the menu's slide-in
    std::printf("\nProcessor share of one core, over %.0f s each:\n", seconds);
    std::printf("  %-30s %5.1f %%\n", "main menu", 100 * game.CpuShare(seconds));

    x.Tap("space");
    if (!game.WaitFor("fight", screens::IsFight, 15)) {
        std::fprintf(stderr, "no fight\n");
        return 1;
    }
    Pilot pilot(x, game, out + "/pilot.log");
    std::printf("  %-30s %5.1f %%\n", "fight, approach",
                100 * share_while_playing(game, pilot, Pilot::Aim::LineUp, seconds));
    std::fflush(stdout);

    // Shoot the armour off; once reborn, the Tidecrawler needs a few seconds to rise and start throwing.
    double rebornBy = NowSec() + 180, reborn = -1;
    Image shot;
    while (NowSec() < rebornBy && game.Proc().Running()) {
        pilot.Step(Pilot::Aim::LineUp, &shot);
        if (reborn < 0 && screens::ShowsRebornTidecrawler(shot)) reborn = NowSec();
        if (reborn > 0 && NowSec() > reborn + 5) break;
    }
    if (reborn < 0) {
        std::printf("  %-30s not reached\n", "fight, reborn phase");
    } else {
        // Dodging, so that the ship lives on through the measurement.
        double share = share_while_playing(game, pilot, Pilot::Aim::Dodge, seconds);
        game.Save(game.Shot(), "reborn");
        std::printf("  %-30s %5.1f %%\n", "fight, reborn phase", 100 * share);
    }
    pilot.ReleaseAll();

    WindowInfo decoy = x.OpenDecoy(4, 4, 60, 30);
    x.Click(decoy.area.x + decoy.area.w / 2, decoy.area.y + decoy.area.h / 2);
    SleepSec(1.0);
    std::printf("  %-30s %5.1f %%\n", "suspended (focus elsewhere)", 100 * game.CpuShare(seconds));

    std::printf("\nPeak resident memory: %.1f MB\n", game.Proc().PeakRssKb() / 1024.0);
    game.ClickTitleBar();
    SleepSec(0.5);
    game.ClickCloseButton();
    if (!game.Proc().WaitExit(10)) {
        std::fprintf(stderr, "the game did not end on the close request\n");
        return 1;
    }
    return 0;
}
