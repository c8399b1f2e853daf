// Processor time of a running program with an empty scene: the frame loop, the devices and the window
// system's calls, but no game. The program runs itself as the game in a child process and samples the
// child's processor time (all its threads) while it is focused and while it is suspended.
//
//     xvfb-run -a build/bench/bench_host [seconds]
#include <GL/gl.h>
#include <X11/Xlib.h>
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "appframe/app.h"
#include "desktop/glfw_game.h"

extern char **environ;

// ---- the game side: an application that only clears the screen ----

namespace {

class EmptyApp : public c_App {
  public:
    int updates = 0;
    int p_OnCreate() override {
        rt_app_SetUpdateRate(60);
        return 0;
    }
    int p_OnUpdate() override {
        if (++updates % 60 == 0) rtPrint(String("tick"));
        return 0;
    }
    int p_OnRender() override {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        return 0;
    }
    int p_OnSuspend() override {
        rtPrint(String("suspended"));
        return 0;
    }
    int p_OnResume() override {
        rtPrint(String("resumed"));
        return 0;
    }
};

} // namespace

void rtInit() { rt_app__game = RtGame::_game; }

int rtMain() {
    (new EmptyApp)->m_new();
    return 0;
}

// ---- the measuring side ----

namespace {

using Clock = std::chrono::steady_clock;

// Processor time of the process in nanoseconds, split into its main thread (the frame loop, the game and
// the OpenGL calls), the software renderer's workers, and every other thread (the audio mixer).
struct CpuTime {
    long long main = 0, renderer = 0, other = 0;
    long long Total() const { return main + renderer + other; }
};

CpuTime process_cpu(pid_t pid) {
    CpuTime t;
    std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR *d = opendir(dir.c_str());
    if (!d) return t;
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::string task = dir + "/" + e->d_name;
        std::ifstream stat(task + "/schedstat"), comm(task + "/comm");
        long long ns = 0;
        std::string name;
        if (!(stat >> ns)) continue;
        std::getline(comm, name);
        if (std::atoi(e->d_name) == pid)
            t.main += ns;
        else if (name.rfind("llvmpipe", 0) == 0)
            t.renderer += ns;
        else
            t.other += ns;
    }
    closedir(d);
    return t;
}

class Game {
  public:
    std::string out;
    pid_t pid = -1;

    bool Start(const char *self) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&fa, fds[0]);
        char arg0[] = "bench_host", arg1[] = "--game";
        char *argv[] = {arg0, arg1, nullptr};
        setenv("ALSOFT_DRIVERS", "null", 1);
        int rc = posix_spawn(&pid, self, &fa, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        fd = fds[0];
        return rc == 0;
    }
    // Reads the game's output for the given time; counts the lines equal to `line`.
    int Read(double seconds, const std::string &line = "") {
        int count = 0;
        auto end = Clock::now() +
                   std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        std::string partial;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) break;
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char buf[256];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0) break;
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] != '\n') {
                    partial += buf[i];
                    continue;
                }
                out += partial + "\n";
                if (partial == line) ++count;
                partial.clear();
            }
        }
        return count;
    }
    bool WaitFor(const std::string &line, double seconds) {
        auto end = Clock::now() +
                   std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        while (Clock::now() < end)
            if (Read(0.05, line) > 0 || out.find(line + "\n") != std::string::npos) return true;
        return false;
    }
    ~Game() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (fd >= 0) close(fd);
    }

  private:
    int fd = -1;
};

struct Figures {
    double total = 0, main = 0, renderer = 0, other = 0; // ms of processor time per second
    double updatesPerSecond = 0;
};

// Samples the game's processor time over `seconds` while `during` runs every 20 ms.
Figures measure(Game &game, double seconds, const std::function<void()> &during = {}) {
    CpuTime c0 = process_cpu(game.pid);
    auto t0 = Clock::now();
    int ticks = 0;
    while (std::chrono::duration<double>(Clock::now() - t0).count() < seconds) {
        if (during) during();
        ticks += game.Read(0.02, "tick");
    }
    CpuTime c1 = process_cpu(game.pid);
    double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    auto rate = [&](long long a, long long b) { return (b - a) / 1e6 / wall; };
    return {rate(c0.Total(), c1.Total()), rate(c0.main, c1.main), rate(c0.renderer, c1.renderer),
            rate(c0.other, c1.other), ticks * 60 / wall};
}

void report(const char *name, const Figures &f) {
    std::printf("%-40s %7.2f %7.2f %8.2f %7.2f   %5.2f%%  %5.1f\n", name, f.total, f.main, f.renderer,
                f.other, f.main / 10, f.updatesPerSecond);
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], "--game") == 0) return RtZindleGame::Main(argc, argv);

    double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    if (!(seconds > 0)) seconds = 3.0;
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "bench_host needs a display: run it under xvfb-run -a\n");
        return 1;
    }
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return 1;
    self[n] = '\0';

    Game game;
    if (!game.Start(self) || !game.WaitFor("tick", 20)) {
        std::fprintf(stderr, "the game did not start:\n%s\n", game.out.c_str());
        return 1;
    }
    game.Read(1.0); // let start-up settle
    if (game.out.find("suspended") != std::string::npos) {
        std::fprintf(stderr, "the game window did not get the focus\n");
        return 1;
    }
    std::printf(
        "Processor time of the running program, %.1f s per case, empty scene, 640x480 window.\n"
        "ms per second: all threads, main thread (loop, game, GL calls), software renderer's workers,\n"
        "other threads (audio mixer); then the main thread as a share of one core, and updates/s.\n\n",
        seconds);
    std::printf("%-40s %7s %7s %8s %7s   %6s  %5s\n", "case", "total", "main", "renderer", "other", "main%",
                "upd/s");
    report("focused, 60 updates per second", measure(game, seconds));

    // Someone else takes the focus: the game suspends and waits for events.
    XSetInputFocus(dpy, None, RevertToNone, CurrentTime);
    XFlush(dpy);
    if (!game.WaitFor("suspended", 5)) {
        std::fprintf(stderr, "the game did not suspend\n");
        return 1;
    }
    game.Read(0.5);
    report("unfocused (suspended), no events", measure(game, seconds));

    // The pointer crossing the suspended window: each event wakes the loop for one render.
    int sw = DisplayWidth(dpy, DefaultScreen(dpy)), sh = DisplayHeight(dpy, DefaultScreen(dpy));
    int step = 0;
    Figures moving = measure(game, seconds, [&] {
        ++step;
        XWarpPointer(dpy, None, DefaultRootWindow(dpy), 0, 0, 0, 0, sw / 2 - 200 + (step * 37) % 400,
                     sh / 2 - 150 + (step * 53) % 300);
        XFlush(dpy);
    });
    report("unfocused, pointer moving (50 events/s)", moving);
    XCloseDisplay(dpy);
    return 0;
}
