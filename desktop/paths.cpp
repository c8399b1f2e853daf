// The virtual path scheme: "zindle://" paths resolve against the program's own folder.
#include "host/paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "desktop/glfw_game.h"

// The running program's file name, as the bytes the system gives; empty when it cannot tell (a name
// longer than the system's path limit, say), with the reason in `err`.
static std::string program_file(int *err = nullptr) {
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) {
            if (err) *err = errno;
            return std::string();
        }
        if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

// Any bytes at all may name the folder; they must come back unchanged when files are opened.
String RtGlfwGame::ProgramPath() {
    std::string file = program_file();
    return rt_path_FromBytes(file.data(), file.size());
}

// Runs once, even when a worker thread's load is the first to need it.
void RtGlfwGame::FillAppPath() {
    String exe = ProgramPath();
    int slash = exe.FindLast(String("/"));
    if (slash < 0) {
        std::fputs("Cannot find the program's own folder\n", stderr);
        std::abort();
    }
    _appPath = exe.Slice(0, slash);
    _internalPath = _appPath + String("/internal");
}

bool RtGlfwGame::DataFolderReadable() {
    int err = ENOENT;
    std::string exe = program_file(&err);
    size_t slash = exe.rfind('/');
    // Without it every path the game opens would be wrong, and its first use would end the game.
    if (slash == std::string::npos) {
        rt_host_Say(std::string("Cannot find the program's own folder (") + std::strerror(err) + ")");
        return false;
    }
    std::string dir = exe.substr(0, slash + 1) + "data"; // as "zindle://data/" resolves
    struct stat st;
    err = stat(dir.c_str(), &st) != 0      ? errno
          : !S_ISDIR(st.st_mode)           ? ENOTDIR
          : access(dir.c_str(), X_OK) != 0 ? errno
                                           : 0;
    if (err) rt_host_Say("Cannot read the game's data folder " + dir + " (" + std::strerror(err) + ")");
    return err == 0;
}

// Builds base + rest as a fresh string: the cached paths are shared with worker threads and are only
// ever read, never copied, so their counts stay untouched.
static String join_path(const String &base, const char *middle, const String &rest) {
    std::vector<Char> units(base.Data(), base.Data() + base.Length());
    for (const char *p = middle; *p; ++p)
        units.push_back(static_cast<Char>(*p));
    units.insert(units.end(), rest.Data(), rest.Data() + rest.Length());
    return String::FromChars(units);
}

String RtGlfwGame::PathToFilePath(String path) {
    std::call_once(_pathsOnce, [this] { FillAppPath(); });
    if (!path.StartsWith(String("zindle:"))) return path;
    static const char data[] = "zindle://data/", internal[] = "zindle://internal/",
                      external[] = "zindle://external/";
    if (path.StartsWith(String(data))) return join_path(_appPath, "/data/", path.Slice(sizeof data - 1));
    if (path.StartsWith(String(internal)))
        return join_path(_internalPath, "/", path.Slice(sizeof internal - 1));
    if (path.StartsWith(String(external)))
        return join_path(_appPath, "/external/", path.Slice(sizeof external - 1));
    return String();
}

// rt_data_FixDataPath lives with the file loaders (files.cpp): the devices below the desktop host use it.
