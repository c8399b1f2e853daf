// A small program on the real start-up path: its own game initialiser and main, and a delegate that
// prints the events it gets. The close key ends it the way the application frame does; with
// HOST_CHILD_FULLSCREEN set it goes full screen at the desktop's size first, and F4 ends it as the game's
// quit does, E as a runtime error, S as a fault, and B blocks the main thread for good. With
// HOST_CHILD_SAVES it saves the state file in its working folder on every update.
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3.h>
#include <GLFW/glfw3native.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "desktop/glfw_game.h"
#include "tests/host/stress_save.h"

namespace {

class PrintingDelegate : public RtGameDelegate {
    long saves_ = 0; // saves per update
    long saved_ = 0; // number of the last save

  public:
    void StartGame() override {
        RtGlfwGame *host = RtGlfwGame::_glfwGame;
        if (const char *n = std::getenv("HOST_CHILD_SAVES")) {
            saves_ = std::atol(n);
            saved_ = std::max(0L, stress_save_number(host->LoadState().ToUtf8()));
        }
        if (std::getenv("HOST_CHILD_FULLSCREEN")) {
            RtDisplayMode *desktop = host->GetDesktopMode();
            host->SetDeviceWindow(desktop->width, desktop->height, 1);
        }
        std::string line = "start " + std::to_string(host->GetDeviceWidth()) + "x" +
                           std::to_string(host->GetDeviceHeight()) + " window " +
                           std::to_string(glfwGetX11Window(host->Window()));
        rtPrint(String(line.c_str()));
    }
    // With HOST_CHILD_SAVES set, saves on and on, each save numbered one after the last one found.
    void UpdateGame() override {
        for (long i = 0; i < saves_; ++i)
            RtGame::_game->SaveState(String(stress_save_text(++saved_).c_str()));
    }
    void KeyEvent(int event, int data) override {
        rtPrint(String("key ") + String(event) + String(":") + String(data));
        if (event != 1) return;
        if (data == 416 || data == 432 || data == 115) rtError(String());
        if (data == 'E') rtError(String("asked for"));
        if (data == 'S') std::raise(SIGFPE);
        if (data == 'B') { // a main thread stuck for good, as in an open that never returns
            rtPrint(String("blocked"));
            for (;;)
                pause();
        }
    }
};

} // namespace

void rtInit() { rtPrint(String("init")); }

int rtMain() {
    rtPrint(String("main"));
    RtGame::_game->SetDelegate(new PrintingDelegate);
    return 0;
}

int main(int argc, char **argv) { return RtZindleGame::Main(argc, argv); }
