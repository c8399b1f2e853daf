#include "tests/e2e/wayland/sway_session.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#ifndef TIDE_VIRTUAL_KEYBOARD
#error "TIDE_VIRTUAL_KEYBOARD must name the virtual keyboard tool"
#endif

namespace e2e {

SwaySession::SwaySession(int width, int height, int scale, const std::string &logDir)
    : width_(width), height_(height), scale_(scale), logDir_(logDir) {
    MakeDirs(logDir);
    if (runtime_.Path().empty()) {
        error_ = "no runtime folder";
        return;
    }
    if (StartCompositor(logDir)) StartKeyboard(logDir);
}

SwaySession::~SwaySession() { StopCompositor(); }

void SwaySession::StopCompositor() {
    if (keys_ >= 0) close(keys_); // the keyboard leaves when its FIFO closes
    keys_ = -1;
    if (!keyboard_.WaitExit(2)) keyboard_.Stop(1.0);
    sway_.Stop(3.0);
}

bool SwaySession::StartCompositor(const std::string &logDir) {
    // The session's own configuration: one output, floating windows without borders (so that a window
    // keeps the size it asks for and its inside is exactly its area), no X server.
    std::string config = runtime_ / "sway.config";
    WriteFile(config, "output HEADLESS-1 resolution " + std::to_string(width_ * scale_) + "x" +
                          std::to_string(height_ * scale_) + " scale " + std::to_string(scale_) +
                          "\n"
                          "default_border none\n"
                          "default_floating_border none\n"
                          "for_window [title=\".*\"] floating enable\n"
                          "focus_follows_mouse no\n"
                          "xwayland disable\n");
    SpawnOptions o;
    o.argv = {"sway", "-c", config};
    o.env = {{"XDG_RUNTIME_DIR", runtime_.Path()},
             {"WLR_BACKENDS", "headless"},
             {"WLR_RENDERER", "pixman"},
             {"WLR_LIBINPUT_NO_DEVICES", "1"}};
    o.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK"};
    o.outFile = o.errFile = logDir + "/sway.log";
    if (!sway_.Start(o)) {
        error_ = "cannot start sway";
        return false;
    }
    // sway names its sockets itself: the display's, and the one for its commands.
    for (double end = NowSec() + 20; NowSec() < end && (socket_.empty() || ipc_.empty());) {
        if (!sway_.Running()) break;
        std::error_code ec;
        for (const auto &e : std::filesystem::directory_iterator(runtime_.Path(), ec)) {
            std::string name = e.path().filename();
            if (!e.is_socket()) continue;
            if (name.rfind("wayland-", 0) == 0) socket_ = name;
            if (name.rfind("sway-ipc.", 0) == 0) ipc_ = e.path();
        }
        SleepSec(0.05);
    }
    if (socket_.empty() || ipc_.empty()) {
        error_ = "sway did not start; its log:\n" + ReadFile(logDir + "/sway.log");
        return false;
    }
    return true;
}

bool SwaySession::StartKeyboard(const std::string &logDir) {
    std::string fifo = runtime_ / "keys";
    if (mkfifo(fifo.c_str(), 0600) != 0) {
        error_ = "cannot make the keyboard's FIFO";
        return false;
    }
    SpawnOptions o;
    o.argv = {TIDE_VIRTUAL_KEYBOARD, fifo};
    o.env = ClientEnv();
    std::string log = logDir + "/keyboard.log";
    o.outFile = o.errFile = log;
    if (!keyboard_.Start(o)) {
        error_ = "cannot start the virtual keyboard";
        return false;
    }
    for (double end = NowSec() + 10; NowSec() < end && keyboard_.Running(); SleepSec(0.05)) {
        if (ReadFile(log).find("ready") == std::string::npos) continue;
        // The keyboard waits in its open of the FIFO: a writer that does not block finds it there.
        keys_ = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (keys_ >= 0) {
            fcntl(keys_, F_SETFL, 0);
            return true;
        }
        if (errno != ENXIO) break;
    }
    error_ = "the virtual keyboard did not start; its output:\n" + ReadFile(log);
    return false;
}

std::vector<std::pair<std::string, std::string>> SwaySession::ClientEnv() const {
    // A Wayland session's login sets the session type too.
    return {{"XDG_RUNTIME_DIR", runtime_.Path()},
            {"WAYLAND_DISPLAY", socket_},
            {"SWAYSOCK", ipc_},
            {"XDG_SESSION_TYPE", "wayland"}};
}

int SwaySession::Run(const std::vector<std::string> &argv, std::string *out) {
    SpawnOptions o;
    o.argv = argv;
    o.env = ClientEnv();
    o.unsetEnv = ClientUnsetEnv();
    std::string file = runtime_ / "command.out";
    o.outFile = file;
    o.errFile = logDir_ + "/commands.log";
    int status = RunCommand(o, 15);
    if (out) *out = ReadFile(file);
    return status;
}

bool SwaySession::Command(const std::string &command) { return Run({"swaymsg", command}) == 0; }

// The tree is JSON with the fields of each node in a fixed order: its area and focus come before the
// client's process id, its visibility and full-screen state after it (a client's window has no
// children, so nothing else comes between).
View SwaySession::FindView(int pid) {
    std::string tree;
    View v;
    if (Run({"swaymsg", "-t", "get_tree"}, &tree) != 0) return v;
    size_t at = tree.find("\"pid\": " + std::to_string(pid) + ",");
    if (at == std::string::npos) return v;
    auto number = [&](const std::string &key, size_t from) {
        size_t p = tree.find("\"" + key + "\": ", from);
        return p == std::string::npos ? -1 : std::atoi(tree.c_str() + p + key.size() + 4);
    };
    auto flag = [&](size_t p) { return p != std::string::npos && tree.compare(p, 4, "true") == 0; };
    size_t rect = tree.rfind("\"rect\": {", at);
    size_t focused = tree.rfind("\"focused\": ", at);
    size_t visible = tree.find("\"visible\": ", at);
    if (rect == std::string::npos || focused == std::string::npos || visible == std::string::npos) return v;
    v.found = true;
    v.area = {number("x", rect), number("y", rect), number("width", rect), number("height", rect)};
    v.focused = flag(focused + 11);
    v.visible = flag(visible + 11);
    v.fullScreen = number("fullscreen_mode", rect) > 0;
    return v;
}

Image SwaySession::Capture(Rect area) {
    std::string file = runtime_ / "shot.png";
    std::vector<std::string> argv = {"grim"};
    if (area.w > 0 && area.h > 0)
        argv.insert(argv.end(), {"-g", std::to_string(area.x) + "," + std::to_string(area.y) + " " +
                                           std::to_string(area.w) + "x" + std::to_string(area.h)});
    argv.push_back(file);
    std::filesystem::remove(file);
    if (Run(argv) != 0) return {};
    return Image::LoadPng(file);
}

void SwaySession::Key(const std::string &key, bool down) {
    static const std::map<std::string, int> codes = {
        {"Escape", 1}, {"Return", 28}, {"z", 44},     {"x", 45},      {"space", 57},
        {"F11", 87},   {"Up", 103},    {"Left", 105}, {"Right", 106}, {"Down", 108}};
    auto code = codes.find(key);
    if (code == codes.end()) {
        std::fprintf(stderr, "the virtual keyboard has no key %s\n", key.c_str());
        std::abort();
    }
    std::string line = std::string(down ? "down " : "up ") + std::to_string(code->second) + "\n";
    // A short write only happens once the keyboard is gone, and then the test sees no answer anyway.
    if (keys_ >= 0 && write(keys_, line.data(), line.size()) < 0) std::perror("virtual keyboard");
}

void SwaySession::KeyDown(const std::string &key) { Key(key, true); }
void SwaySession::KeyUp(const std::string &key) { Key(key, false); }

void SwaySession::Tap(const std::string &key, double holdSec) {
    KeyDown(key);
    SleepSec(holdSec);
    KeyUp(key);
    SleepSec(holdSec);
}

} // namespace e2e
