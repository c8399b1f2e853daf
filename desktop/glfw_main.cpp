// The process's start-up on the desktop. Kept apart from the host so that programs which bring their
// own entry point (tests, tools) can use the host without the game's initialiser and main.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>

#include "desktop/glfw_game.h"

int rt_argc;
char **rt_argv;

static void explain_init_failure() {
    const char *why = nullptr;
    glfwGetError(&why);
    const char *x = std::getenv("DISPLAY");
    const char *wl = std::getenv("WAYLAND_DISPLAY");
    if ((!x || !*x) && (!wl || !*wl))
        std::fputs("No display was found: start the game from a desktop session (DISPLAY is not set).\n",
                   stderr);
    else
        std::fprintf(stderr, "The display %s could not be opened%s%s\n", x && *x ? x : wl, why ? ": " : ".",
                     why ? why : "");
}

static pthread_t main_thread;

// Destroying a full-screen window gives the monitor back the mode it had before; X keeps a changed mode
// after the process is gone. GLFW may only be ended from the thread that started it.
static void end_window_system() {
    if (pthread_equal(pthread_self(), main_thread)) glfwTerminate();
}

int RtZindleGame::Main(int argc, char **argv) {
#ifdef GLFW_PLATFORM
    // Started from an X11 session, the game stays on X11: probing Wayland there only gets libwayland's
    // complaints about a runtime folder on standard error.
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    const char *x11 = std::getenv("DISPLAY");
    if (x11 && *x11 && !(wayland && *wayland)) glfwInitHint(GLFW_PLATFORM, GLFW_PLATFORM_X11);
#endif
    if (!glfwInit()) {
        std::fputs("glfwInit failed\n", stdout);
        std::fflush(stdout);
        explain_init_failure();
        std::exit(-1);
    }
    // Every way out ends the window system: the quit keys, the close button and runtime errors end
    // through exit, a termination signal through the main loop and then exit (or, when the loop is
    // stuck, in the handler that interrupts it), a fatal signal in its handler.
    main_thread = pthread_self();
    std::atexit(end_window_system);
    rtSetFatalSignalCleanup(end_window_system);
    rtWatchStopSignals(glfwPostEmptyEvent);
    RtGlfwGame::LoadPadMappings();
    RtZindleGame *game = new RtZindleGame();
    rt_argc = argc;
    rt_argv = argv;
    rtInstallSignalHandlers();
    if (!std::setlocale(LC_CTYPE, "en_US.UTF-8")) std::setlocale(LC_CTYPE, "");
    gc_init();
    try {
        rtInit();
        gc_mark_roots();
        rtMain();
    } catch (ThrowableObject *ex) {
        glfwTerminate();
        game->Die(ex);
    }
    if (game->Delegate()) game->Run();
    bool failed = game->WindowFailed();
    glfwTerminate();
    return failed ? -1 : 0;
}
