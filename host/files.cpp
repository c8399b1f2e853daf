// Opening files through the virtual path scheme, whole-file loaders and the state file.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "host/paths.h"
#include "host/rtgame.h"
#include "runtime/framelog.h"

const char *const rt_state_file_name = "./.zindlestate";

FILE *RtGame::OpenFile(String path, String mode) {
    String file = PathToFilePath(path);
    if (file.Length() == 0) return nullptr;
    return std::fopen(file.ToUtf8().c_str(), mode.ToUtf8().c_str());
}

String RtGame::LoadString(String path) {
    FILE *fp = OpenFile(path, String("rb"));
    if (!fp) return String();
    String text = String::Load(fp);
    std::fclose(fp);
    return text;
}

unsigned char *RtGame::LoadData(String path, int *plength) {
    FILE *fp = OpenFile(path, String("rb"));
    if (!fp) return nullptr;
    std::vector<unsigned char *> chunks;
    size_t total = 0, last = 0;
    bool ok = true;
    for (;;) {
        unsigned char *chunk = static_cast<unsigned char *>(std::malloc(4096));
        if (!chunk) {
            ok = false;
            break;
        }
        last = std::fread(chunk, 1, 4096, fp);
        chunks.push_back(chunk);
        total += last;
        if (last < 4096) break;
        // The length is an int: a bigger file is refused rather than cut short.
        if (total > static_cast<size_t>(INT_MAX) - 4096) {
            ok = false;
            break;
        }
    }
    std::fclose(fp);
    unsigned char *data = ok ? static_cast<unsigned char *>(std::malloc(total ? total : 1)) : nullptr;
    size_t at = 0;
    for (size_t i = 0; i < chunks.size(); ++i) {
        size_t n = i + 1 == chunks.size() ? last : 4096;
        if (data) std::memcpy(data + at, chunks[i], n);
        at += n;
        std::free(chunks[i]);
    }
    if (!data) return nullptr;
    *plength = static_cast<int>(total);
    gc_ext_malloced(static_cast<int>(total));
    return data;
}

namespace {

// Where a save of `path` really goes: through every symbolic link, dangling or not, to the file the
// last one names, so that a link is written through and never replaced. Gives up after 40 links.
std::string save_target(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> link(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        ssize_t n = readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<size_t>(n) >= link.size()) return path;
        std::string to(link.data(), static_cast<size_t>(n));
        size_t slash = path.rfind('/');
        path = to[0] == '/' || slash == std::string::npos ? to : path.substr(0, slash + 1) + to;
    }
    return path;
}

// Removes the temporary files that earlier saves of `target` left behind when their process died
// between creating and renaming them. A save holds a lock on its temporary file while it works, and
// the lock goes with the process, so a file whose lock can be taken belongs to nobody any more.
void remove_leftovers(const std::string &target) {
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash ? slash : 1);
    std::string prefix = (slash == std::string::npos ? target : target.substr(slash + 1)) + ".";
    DIR *d = opendir(dir.c_str());
    if (!d) return;
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        // Exactly the names mkstemps makes from our pattern: six characters between prefix and suffix.
        if (name.size() != prefix.size() + 10 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - 4, 4, ".tmp") != 0)
            continue;
        std::string path = dir + "/" + name;
        int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
            unlink(path.c_str());
        close(fd);
    }
    closedir(d);
}

} // namespace

// The new state goes to a temporary file beside the old one, reaches the disk, and only then replaces
// it by rename: a failure at any step leaves the previous save as it was. errno tells why a save failed.
int RtGame::SaveState(String state) {
    framelog::Note(framelog::kSave);
    String file = PathToFilePath(String(rt_state_file_name));
    if (file.Length() == 0) {
        errno = ENOENT;
        return -1;
    }
    std::string target = save_target(file.ToUtf8());
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash ? slash : 1);
    remove_leftovers(target);

    std::string temp;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 8; ++tries) {
        temp = target + ".XXXXXX.tmp";
        fd = mkstemps(temp.data(), 4);
        if (fd < 0) return -1;
        // Locked from the start; a cleaner that took the file in the moment before is told by the
        // missing link, and the save starts again with a new name.
        struct stat st;
        if (flock(fd, LOCK_EX) != 0 || fstat(fd, &st) != 0 || st.st_nlink == 0) {
            close(fd);
            fd = -1;
        }
    }
    if (fd < 0) return -1;
    // mkstemp makes the file private; a save file gets the usual permissions.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    FILE *fp = fdopen(fd, "wb");
    if (!fp) {
        int err = errno;
        unlink(temp.c_str());
        close(fd);
        errno = err;
        return -1;
    }
    std::string bytes = state.ToUtf8();
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    ok = std::fflush(fp) == 0 && ok;
    ok = fsync(fileno(fp)) == 0 && ok;
    if (ok && std::rename(temp.c_str(), target.c_str()) == 0) {
        std::fclose(fp);
        int dirfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirfd >= 0) {
            fsync(dirfd);
            close(dirfd);
        }
        return 0;
    }
    int err = errno;
    unlink(temp.c_str()); // before the lock goes, so that no cleaner races for the name
    std::fclose(fp);
    errno = err;
    return -2;
}

String RtGame::LoadState() {
    FILE *fp = OpenFile(String(rt_state_file_name), String("rb"));
    if (!fp) return String();
    String text = String::Load(fp);
    std::fclose(fp);
    return text;
}

String rt_data_FixDataPath(String path) {
    int scheme = path.Find(String(":/"));
    if (scheme != -1 && path.Find(String("/")) == scheme + 1) return path;
    if (path.StartsWith(String("./")) || path.StartsWith(String("/"))) return path;
    return String("zindle://data/") + path;
}
