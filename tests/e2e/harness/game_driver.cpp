#include "tests/e2e/harness/game_driver.h"

#ifndef TIDE_BINARY_DIR
#error "TIDE_BINARY_DIR must name the build tree"
#endif

namespace e2e {

const char *const kWindowTitle = "The Final Tidecrawler";

std::string BuiltGame() { return TIDE_BINARY_DIR "/tidecrawler"; }

GameDriver::GameDriver(XSession &x, std::string outDir) : x_(x), outDir_(std::move(outDir)) {
    MakeDirs(outDir_);
}

GameDriver::~GameDriver() { proc_.Stop(2.0); }

bool GameDriver::Start(const Launch &launch) {
    SpawnOptions o;
    o.argv = {launch.program};
    o.cwd = launch.workDir;
    o.env = {{"DISPLAY", x_.DisplayName()}, {"ALSOFT_DRIVERS", launch.audioDrivers}};
    o.env.insert(o.env.end(), launch.env.begin(), launch.env.end());
    o.outFile = outDir_ + "/stdout.txt";
    o.errFile = outDir_ + "/stderr.txt";
    return proc_.Start(o);
}

bool GameDriver::WaitForWindow(double timeoutSec) {
    double end = NowSec() + timeoutSec;
    while (NowSec() < end) {
        if (Window().Valid()) return true;
        if (!proc_.Running()) return false;
        SleepSec(0.05);
    }
    return false;
}

bool GameDriver::WaitForFocus(double timeoutSec) {
    double end = NowSec() + timeoutSec, nextClick = NowSec() + 2.0;
    while (NowSec() < end) {
        WindowInfo w = Window();
        if (x_.HasFocus(w)) return true;
        if (NowSec() > nextClick && w.Valid()) {
            ClickTitleBar();
            nextClick = NowSec() + 2.0;
        }
        SleepSec(0.05);
    }
    return false;
}

Image GameDriver::Shot() {
    WindowInfo w = Window();
    return w.Valid() ? x_.CaptureWindow(w) : Image{};
}

void GameDriver::Save(const Image &shot, const std::string &name) const {
    shot.SavePng(outDir_ + "/" + name + ".png");
}

bool GameDriver::WaitFor(const std::string &name, const std::function<bool(const Image &)> &test,
                         double timeoutSec, Image *last) {
    double end = NowSec() + timeoutSec;
    Image shot;
    bool ok = false;
    for (;;) {
        shot = Shot();
        if (!shot.Empty() && test(shot)) {
            ok = true;
            break;
        }
        if (NowSec() >= end || !proc_.Running()) break;
        SleepSec(0.1);
    }
    // On a failure the whole screen says more than the window (which may be gone).
    Save(shot.Empty() ? x_.Capture() : shot, name);
    if (last) *last = shot;
    return ok;
}

void GameDriver::ClickTitleBar() {
    WindowInfo w = Window();
    if (!w.Valid() || w.frameTop <= 0) return;
    x_.Click(w.area.x + w.area.w / 3, w.area.y - w.frameTop / 2);
}

void GameDriver::ClickCloseButton() {
    WindowInfo w = Window();
    if (!w.Valid() || w.frameTop <= 0) return;
    // The close button is the right-most in the title bar, about as wide as the bar is high.
    int button = w.frameTop;
    x_.Click(w.area.x + w.area.w + w.frameRight - button / 2 - 2, w.area.y - w.frameTop / 2);
}

double GameDriver::CpuShare(double sec) {
    long before = proc_.CpuTicks();
    double t0 = NowSec();
    SleepSec(sec);
    long after = proc_.CpuTicks();
    double elapsed = NowSec() - t0;
    if (before < 0 || after < 0 || elapsed <= 0) return -1;
    return static_cast<double>(after - before) / static_cast<double>(Process::TicksPerSecond()) / elapsed;
}

} // namespace e2e
