// The real game program in a private X session: started, watched, photographed and played.
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/harness/image.h"
#include "tests/e2e/harness/process.h"
#include "tests/e2e/harness/x_session.h"

namespace e2e {

extern const char *const kWindowTitle;
// The program as the build leaves it, with its data folder beside it.
std::string BuiltGame();

struct Launch {
    std::string program = BuiltGame();
    std::string workDir;               // where the state file is written
    std::string audioDrivers = "null"; // OpenAL Soft's backend list
    std::vector<std::pair<std::string, std::string>> env; // more environment settings
};

class GameDriver {
  public:
    // Screenshots and the program's output go to `outDir`.
    GameDriver(XSession &x, std::string outDir);
    ~GameDriver();

    bool Start(const Launch &launch);
    Process &Proc() { return proc_; }
    std::string Stdout() const { return ReadFile(outDir_ + "/stdout.txt"); }
    std::string Stderr() const { return ReadFile(outDir_ + "/stderr.txt"); }

    // The game's window as it is now (the game replaces it on a full-screen switch).
    WindowInfo Window() { return x_.FindWindow(kWindowTitle); }
    bool WaitForWindow(double timeoutSec);
    // Waits for the window manager to give the game the focus; clicks its title bar if it does not.
    bool WaitForFocus(double timeoutSec);

    Image Shot();
    void Save(const Image &shot, const std::string &name) const;
    // Photographs the window until `test` holds (true) or the time is up (false); the last picture is
    // saved as <name>.png either way and handed back through `last`.
    bool WaitFor(const std::string &name, const std::function<bool(const Image &)> &test, double timeoutSec,
                 Image *last = nullptr);

    // Mouse clicks on the window manager's decoration: the title bar, and the close button.
    void ClickTitleBar();
    void ClickCloseButton();

    // Processor share of one core used over `sec` seconds, 0 to 1 (and more with several threads).
    double CpuShare(double sec);

    const std::string &OutDir() const { return outDir_; }

  private:
    XSession &x_;
    std::string outDir_;
    Process proc_;
};

} // namespace e2e
