// Frame times of the real game along a fixed script played through real input, in a private Xvfb with
// a window manager: start, loading screen and menu; a fight from the approach through the plates, the
// sinking and the reborn phase to game over; back to the menu; a second fight with a pause and a focus
// loss; a full-screen switch and back; then many short rounds of fight and menu for the memory figures.
//
//   bench_frames [--rounds N] [--menu-seconds S] [--out DIR] [--rounds-only]
//
// --rounds-only goes from the menu straight to the rounds, for a quick look at memory.
//
// The program records one line per buffer swap when TIDE_FRAME_LOG names a file (see RtGlfwGame::Run):
// when the swap happened, the game's own work since the previous swap (wall time), the swap's own time,
// the updates it ran, how late the latest of them started, what happened (tune, file load, window
// change, collection, save, suspend), and the game's work again in processor time of its thread.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/harness/game_driver.h"
#include "tests/e2e/harness/pilot.h"

using namespace e2e;

namespace {

struct Frame {
    double swap = 0, work = 0, swapTime = 0, late = 0, interval = 0, workCpu = -1;
    int updates = 0;
    unsigned marks = 0;
    std::string phase;
};

struct Phase {
    std::string name;
    double start, end;
    bool windowChange; // intervals here may stretch while the window is replaced
};

std::vector<Phase> phases;

void phase_begin(const std::string &name, bool windowChange = false) {
    if (!phases.empty() && phases.back().end < 0) phases.back().end = NowSec();
    phases.push_back({name, NowSec(), -1, windowChange});
}

const Phase *phase_at(double t) {
    for (const Phase &p : phases)
        if (t >= p.start && (p.end < 0 || t < p.end)) return &p;
    return nullptr;
}

std::vector<Frame> read_log(const std::string &path) {
    std::vector<Frame> frames;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        Frame f;
        std::istringstream fields(line);
        if (!(fields >> f.swap >> f.work >> f.swapTime >> f.updates >> f.late >> f.marks)) continue;
        fields >> f.workCpu; // recorded by later builds only
        if (!frames.empty()) f.interval = (f.swap - frames.back().swap) * 1000;
        const Phase *p = phase_at(f.swap);
        f.phase = p ? p->name : "start";
        frames.push_back(f);
    }
    return frames;
}

double percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(std::ceil(q * static_cast<double>(v.size()))) - (q > 0 ? 1 : 0);
    return v[std::min(i, v.size() - 1)];
}

// What made a frame late: the events marked in it, else where its time went.
std::string cause(const Frame &f) {
    static const char *names[] = {"tune", "file load", "window change", "collection", "save", "suspend"};
    std::string text;
    for (int b = 0; b < 6; ++b)
        if (f.marks & (1u << b)) text += (text.empty() ? "" : ", ") + std::string(names[b]);
    if (!text.empty()) return text;
    if (f.work > 1000.0 / 60)
        return f.workCpu >= 0 && f.workCpu < f.work / 2 ? "game work, mostly waiting for the processor" : "game work";
    if (f.swapTime > 1000.0 / 60) return "swap (software renderer)";
    return "outside the game (waiting for the processor)";
}

long rss_kb(Process &p) {
    std::istringstream in(ReadFile("/proc/" + std::to_string(p.Pid()) + "/status"));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

bool fail(const char *what) {
    std::fprintf(stderr, "bench_frames: %s\n", what);
    return false;
}

void quit_through_pause(XSession &x, GameDriver &game) {
    if (!screens::IsPauseDimmed(game.Shot())) x.Tap("Escape");
    game.WaitFor("pause-before-quit", screens::IsPauseDimmed, 10);
    x.Tap("Up");
    x.Tap("Up");
    x.Tap("z");
}

bool back_to_menu(GameDriver &game) {
    return game.WaitFor("game-over", screens::HasGameOverBars, 15) && game.WaitFor("menu", screens::IsMenu, 20);
}

void fly(Pilot &pilot, Pilot::Aim aim, double sec) {
    double end = NowSec() + sec;
    while (NowSec() < end)
        pilot.Step(aim);
}

struct Memory {
    long round4 = 0, last = 0, peak = 0;
    int rounds = 0;
    std::vector<long> perRound;
};

// Short rounds from the menu: a fight, quit through the pause screen, back to the menu.
bool play_rounds(XSession &x, GameDriver &game, int rounds, Memory &mem) {
    phase_begin("rounds of fight and menu");
    for (int r = 1; r <= rounds && game.Proc().Running(); ++r) {
        x.Tap("space");
        if (!game.WaitFor("round-fight", screens::IsFight, 15)) return fail("a round gave no fight");
        SleepSec(1.5);
        quit_through_pause(x, game);
        if (!back_to_menu(game)) return fail("a round did not come back to the menu");
        SleepSec(0.5);
        mem.rounds = r;
        mem.last = rss_kb(game.Proc());
        mem.perRound.push_back(mem.last);
        if (r == 4) mem.round4 = mem.last;
    }
    mem.peak = game.Proc().PeakRssKb();
    phase_begin("close");
    return true;
}

// The script; false (with a message) when the game did not go where it was sent.
bool play(XSession &x, GameDriver &game, int rounds, double menuSec, bool roundsOnly, Memory &mem) {
    phase_begin("start and loading");
    if (!game.WaitForWindow(30) || !game.WaitForFocus(15)) return fail("no window");
    if (!game.WaitFor("menu", screens::IsMenu, 60)) return fail("no menu");
    SleepSec(2.5); // the menu slides in
    if (roundsOnly) return play_rounds(x, game, rounds, mem);
    phase_begin("menu");
    SleepSec(menuSec);

    phase_begin("fight 1: approach and plates");
    x.Tap("space");
    if (!game.WaitFor("fight", screens::IsFight, 15)) return fail("no fight");
    Pilot pilot(x, game, game.OutDir() + "/pilot.log");
    Image shot;
    double rebornBy = NowSec() + 180, reborn = -1, overBy = 0;
    bool over = false;
    while (!over && game.Proc().Running()) {
        pilot.Step(Pilot::Aim::LineUp, &shot);
        if (reborn < 0 && screens::ShowsRebornTidecrawler(shot)) {
            reborn = NowSec();
            overBy = reborn + 90;
            phase_begin("fight 1: reborn");
        }
        over = screens::HasGameOverBars(shot);
        if ((reborn < 0 && NowSec() > rebornBy) || (reborn > 0 && NowSec() > overBy)) break;
    }
    pilot.ReleaseAll();
    phase_begin("game over");
    if (!over) quit_through_pause(x, game);
    if (!back_to_menu(game)) return fail("no way back to the menu after the first fight");

    phase_begin("fight 2");
    SleepSec(1.0);
    x.Tap("space");
    if (!game.WaitFor("fight-2", screens::IsFight, 15)) return fail("no second fight");
    fly(pilot, Pilot::Aim::LineUp, 5);
    pilot.ReleaseAll();
    phase_begin("pause and resume");
    x.Tap("Escape");
    if (!game.WaitFor("paused", screens::IsPaused, 10)) return fail("no pause");
    SleepSec(1.0);
    x.Tap("Escape");
    if (!game.WaitFor("resumed", screens::IsFight, 10)) return fail("no resume");
    fly(pilot, Pilot::Aim::Dodge, 3);
    pilot.ReleaseAll();

    phase_begin("focus loss", true);
    WindowInfo decoy = x.OpenDecoy(4, 4, 60, 30);
    x.Click(decoy.area.x + decoy.area.w / 2, decoy.area.y + decoy.area.h / 2);
    SleepSec(1.0);
    double suspendedCpu = game.CpuShare(3);
    game.ClickTitleBar();
    if (!game.WaitForFocus(10)) return fail("the focus did not come back");
    phase_begin("fight 2 after focus");
    fly(pilot, Pilot::Aim::Dodge, 3);
    pilot.ReleaseAll();
    phase_begin("game over 2");
    quit_through_pause(x, game);
    if (!back_to_menu(game)) return fail("no way back to the menu after the second fight");

    phase_begin("full screen and back", true);
    x.Tap("F11");
    game.WaitFor("full-screen", [&](const Image &s) { return s.Width() == x.ScreenWidth() && screens::IsMenu(s); },
                 20);
    game.WaitForFocus(10);
    SleepSec(1.0);
    x.Tap("F11");
    game.WaitFor("windowed", [](const Image &s) { return s.Width() == 640 && screens::IsMenu(s); }, 20);
    game.WaitForFocus(10);
    SleepSec(1.0);

    if (!play_rounds(x, game, rounds, mem)) return false;
    std::printf("Processor share while suspended (focus elsewhere, 3 s): %.1f %% of one core\n",
                100 * suspendedCpu);
    return true;
}

void report(const std::vector<Frame> &frames) {
    std::vector<double> intervals, work, workCpu, menuJitter, menuLate;
    int over25 = 0, over33 = 0;
    std::vector<const Frame *> slow;
    for (size_t i = 1; i < frames.size(); ++i) {
        const Frame &f = frames[i];
        work.push_back(f.work);
        if (f.workCpu >= 0) workCpu.push_back(f.workCpu);
        const Phase *p = phase_at(f.swap);
        bool windowChange = (p && p->windowChange) || (f.marks & 36) || (frames[i - 1].marks & 36);
        if (f.phase == "menu") {
            menuJitter.push_back(std::fabs(f.interval - 1000.0 / 60));
            menuLate.push_back(f.late);
        }
        if (windowChange) continue;
        intervals.push_back(f.interval);
        over25 += f.interval > 25;
        over33 += f.interval > 33;
        if (f.interval > 33) slow.push_back(&f);
    }
    std::printf("\nFrames recorded: %zu (%zu intervals outside window changes and focus loss)\n", frames.size(),
                intervals.size());
    std::printf("Interval between buffer swaps: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", percentile(intervals, 0.5),
                percentile(intervals, 0.99), percentile(intervals, 1));
    std::printf("Intervals over 25 ms: %d (%.2f per 1000); over 33 ms: %d\n", over25,
                intervals.empty() ? 0.0 : 1000.0 * over25 / static_cast<double>(intervals.size()), over33);
    std::printf("Game's own work per frame (updates, draw list, submission): p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                percentile(work, 0.5), percentile(work, 0.99), percentile(work, 1));
    if (!workCpu.empty())
        std::printf("  the same in processor time of the game's thread: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                    percentile(workCpu, 0.5), percentile(workCpu, 0.99), percentile(workCpu, 1));
    std::printf("Menu pacing (%zu frames): p99 |interval - 16.7 ms| %.2f ms; update start after its due time: "
                "p50 %.2f ms, p99 %.2f ms\n",
                menuJitter.size(), percentile(menuJitter, 0.99), percentile(menuLate, 0.5), percentile(menuLate, 0.99));
    std::printf("Frames over 33 ms (outside window changes), with their cause:\n");
    if (slow.empty()) std::printf("  none\n");
    std::vector<std::pair<std::string, int>> byCause;
    for (const Frame *f : slow) {
        std::string why = cause(*f);
        std::printf("  %7.1f ms at %7.2f s  %-28s work %5.1f ms, swap %5.1f ms, %d updates: %s\n", f->interval,
                    f->swap - frames.front().swap, f->phase.c_str(), f->work, f->swapTime, f->updates, why.c_str());
        auto at = std::find_if(byCause.begin(), byCause.end(), [&](auto &c) { return c.first == why; });
        if (at == byCause.end())
            byCause.push_back({why, 1});
        else
            ++at->second;
    }
    for (auto &c : byCause)
        std::printf("  %4d frames: %s\n", c.second, c.first.c_str());
}

} // namespace

int main(int argc, char **argv) {
    int rounds = 40;
    double menuSec = 10;
    bool roundsOnly = false;
    std::string out = TIDE_BINARY_DIR "/bench/frames-output";
    for (int i = 1; i < argc; ++i) {
        bool more = i + 1 < argc;
        if (!std::strcmp(argv[i], "--rounds-only"))
            roundsOnly = true;
        else if (more && !std::strcmp(argv[i], "--rounds"))
            rounds = std::max(4, std::atoi(argv[++i]));
        else if (more && !std::strcmp(argv[i], "--menu-seconds"))
            menuSec = std::max(1.0, std::atof(argv[++i]));
        else if (more && !std::strcmp(argv[i], "--out"))
            out = argv[++i];
    }
    MakeDirs(out);
    XSession x(800, 600, out + "/x");
    if (!x.Ok()) {
        std::fprintf(stderr, "no X session: %s\n", x.Error().c_str());
        return 1;
    }
    std::printf("The Final Tidecrawler, frame times along a scripted game: Xvfb 800x600, Mesa software\n"
                "OpenGL, openbox, OpenAL Soft null output; window 640x480; %d rounds of fight and menu.\n\n",
                rounds);
    std::fflush(stdout);

    TempDir work("bench");
    std::string log = out + "/frames.log";
    GameDriver game(x, out + "/play");
    Launch l;
    l.workDir = work.Path();
    l.env = {{"TIDE_FRAME_LOG", log}};
    if (!game.Start(l)) return fail("the game did not start"), 1;
    Memory mem;
    bool ok = play(x, game, rounds, menuSec, roundsOnly, mem);
    game.ClickTitleBar();
    SleepSec(0.3);
    game.ClickCloseButton();
    if (!game.Proc().WaitExit(10)) game.Proc().Stop();
    if (!phases.empty()) phases.back().end = NowSec();

    report(read_log(log));
    std::printf("\nPeak resident memory: %.1f MB\n", mem.peak / 1024.0);
    if (mem.rounds >= 4)
        std::printf("Resident memory after round 4: %.1f MB; after round %d: %.1f MB (%+.1f MB)\n", mem.round4 / 1024.0,
                    mem.rounds, mem.last / 1024.0, (mem.last - mem.round4) / 1024.0);
    if (!mem.perRound.empty()) {
        std::printf("Resident memory after each round (MB):");
        for (long kb : mem.perRound)
            std::printf(" %.0f", kb / 1024.0);
        std::printf("\n");
    }
    return ok ? 0 : 1;
}
