// Opening files through the virtual path scheme, whole-file loaders and the state file.
#include <cerrno>
#include <climits>
#include <cstdio>
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

namespace {

// Opens `path` only when it is a regular file. A named pipe or a device never makes the caller wait:
// the open does not block, and anything but a regular file is closed again at once.
int open_regular(const char *path, int flags, mode_t mode = 0666) {
    int fd = open(path, flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
    if (fd < 0) return -1;
    struct stat st;
    int err = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (err) {
        close(fd);
        errno = err;
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

FILE *RtGame::OpenFile(String path, String mode) {
    String file = PathToFilePath(path);
    if (file.Length() == 0) return nullptr;
    std::string how = mode.ToUtf8();
    int flags;
    switch (how.empty() ? 0 : how[0]) {
    case 'r':
        flags = 0;
        break;
    case 'w':
        flags = O_CREAT | O_TRUNC;
        break;
    case 'a':
        flags = O_CREAT | O_APPEND;
        break;
    default:
        errno = EINVAL;
        return nullptr;
    }
    bool both = how.find('+') != std::string::npos;
    flags |= both ? O_RDWR : how[0] == 'r' ? O_RDONLY : O_WRONLY;
    if (how.find('x') != std::string::npos) flags |= O_EXCL;
    int fd = open_regular(rt_path_ToBytes(file).c_str(), flags);
    if (fd < 0) return nullptr;
    FILE *fp = fdopen(fd, how.c_str());
    if (!fp) close(fd);
    return fp;
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

// The longest state file that is read; a real one is well under 1 KiB. A longer one is damaged.
const size_t kStateLimit = 64 * 1024;

// Why a state file is not used: it can not be read whole, or it is not the player's to replace.
struct Refusal {
    int err = 0; // errno for the caller; 0: nothing is refused
    std::string why;
    Refusal() = default;
    Refusal(int e, std::string text) : err(e), why(std::move(text)) {}
};

Refusal too_long() { return {EFBIG, "it is longer than " + std::to_string(kStateLimit) + " bytes"}; }

std::string folder_of(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash ? slash : 1);
}

// Where a save of `path` really goes: through every symbolic link, dangling or not, to the file the
// last one names, so that a link is written through and never replaced. A link is followed only where
// the kernel's protected-symlinks rule would follow it: in a sticky folder that everyone may write to
// (such as /tmp), only a link of the player's own or of the folder's owner. Another user's link there
// may point anywhere the player can write, so it is refused.
Refusal save_target(std::string &path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st, dir;
        if (lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT) return {};
            return {errno, std::strerror(errno)};
        }
        if (!S_ISLNK(st.st_mode)) return {};
        if (stat(folder_of(path).c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH) &&
            st.st_uid != geteuid() && st.st_uid != dir.st_uid)
            return {EPERM, "it is a link that another user placed in a shared folder"};
        std::vector<char> link(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        ssize_t n = readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<size_t>(n) >= link.size()) return {EINVAL, "its link cannot be read"};
        std::string to(link.data(), static_cast<size_t>(n));
        size_t slash = path.rfind('/');
        path = to[0] == '/' || slash == std::string::npos ? to : path.substr(0, slash + 1) + to;
    }
    return {ELOOP, std::strerror(ELOOP)};
}

// Opens the state file at `target` (already through its links) for reading: -1 with no refusal when
// there is none yet. A file that exists but cannot be opened, is not a regular file or is longer than
// the limit is refused.
int open_state(const std::string &target, Refusal &refused) {
    int fd = open_regular(target.c_str(), O_RDONLY);
    if (fd < 0) {
        if (errno == EINVAL || errno == EISDIR)
            refused = {errno, "it is not a regular file"};
        else if (errno != ENOENT)
            refused = {errno, std::strerror(errno)};
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && static_cast<unsigned long long>(st.st_size) > kStateLimit) {
        close(fd);
        refused = too_long();
        return -1;
    }
    return fd;
}

// Whether a save may replace the file at `target`: only a file that could be read whole and that the
// player may write, as writing into it in place would need.
Refusal check_replace(const std::string &target) {
    Refusal refused;
    int fd = open_state(target, refused);
    if (fd < 0) return refused;
    close(fd);
    if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return {errno, std::strerror(errno)};
    return {};
}

// Removes the temporary files that earlier saves of `target` left behind when their process died
// between creating and renaming them. A save holds a lock on its temporary file while it works, and
// the lock goes with the process, so a file whose lock can be taken belongs to nobody any more. The
// candidates are opened without waiting: anyone who may write to the folder can plant a named pipe
// under such a name.
void remove_leftovers(const std::string &target) {
    size_t slash = target.rfind('/');
    std::string dir = folder_of(target);
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
        int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) continue;
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlink(path.c_str());
        close(fd);
    }
    closedir(d);
}

// Writes the whole of `bytes` at the start of `fd`; false on any shortfall (errno says why).
bool write_all(int fd, const std::string &bytes) {
    for (size_t at = 0; at < bytes.size();) {
        ssize_t n = pwrite(fd, bytes.data() + at, bytes.size() - at, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

// Without the right to make files in the save's folder there is no temporary file to rename, so a
// state file the player may write (check_replace said so) is written in place. Its room is taken
// before the first byte changes: a full disk or a size limit leaves the previous save as it was.
int save_in_place(const std::string &target, const std::string &bytes) {
    int fd = open_regular(target.c_str(), O_WRONLY | O_NOFOLLOW);
    if (fd < 0) return -1;
    flock(fd, LOCK_EX); // another game saving here at the same moment waits its turn
    int err = bytes.empty() ? 0 : posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
    bool ok = err != ENOSPC && err != EDQUOT && err != EFBIG;
    if (!ok) errno = err;
    ok = ok && write_all(fd, bytes);
    ok = ok && ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    ok = ok && fsync(fd) == 0;
    err = errno;
    close(fd);
    errno = err;
    return ok ? 0 : -2;
}

} // namespace

// The new state goes to a temporary file beside the old one, reaches the disk, and only then replaces
// it by rename: a failure at any step leaves the previous save as it was. errno tells why a save failed.
// A state file that is refused (see check_replace) is never replaced. Where the folder takes no new
// file, the state file is written in place instead.
int RtGame::SaveState(String state) {
    framelog::Note(framelog::kSave);
    String file = PathToFilePath(String(rt_state_file_name));
    if (file.Length() == 0) {
        errno = ENOENT;
        return -1;
    }
    std::string target = rt_path_ToBytes(file);
    Refusal refused = save_target(target);
    if (!refused.err) refused = check_replace(target);
    if (refused.err) {
        errno = refused.err;
        return -1;
    }
    std::string dir = folder_of(target);
    remove_leftovers(target);
    std::string bytes = state.ToUtf8();

    std::string temp;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 8; ++tries) {
        temp = target + ".XXXXXX.tmp";
        fd = mkstemps(temp.data(), 4);
        if (fd < 0) {
            int err = errno;
            struct stat st;
            if ((err == EACCES || err == EPERM) && stat(target.c_str(), &st) == 0)
                return save_in_place(target, bytes);
            errno = err;
            return -1;
        }
        // Locked from the start; a cleaner that took the file in the moment before is told by the
        // missing link, and the save starts again with a new name.
        struct stat st;
        if (flock(fd, LOCK_EX) != 0 || fstat(fd, &st) != 0 || st.st_nlink == 0) {
            close(fd);
            fd = -1;
        }
    }
    if (fd < 0) return -1;
    // mkstemp makes the file private; a save gets the permissions of the one it replaces, and a first
    // save the usual ones.
    struct stat old;
    if (stat(target.c_str(), &old) == 0) {
        fchmod(fd, old.st_mode & 07777);
    } else {
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    FILE *fp = fdopen(fd, "wb");
    if (!fp) {
        int err = errno;
        unlink(temp.c_str());
        close(fd);
        errno = err;
        return -1;
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    ok = std::fflush(fp) == 0 && ok;
    ok = fsync(fileno(fp)) == 0 && ok;
    if (ok && std::rename(temp.c_str(), target.c_str()) == 0) {
        std::fclose(fp);
        int dirfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
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

// A state file that cannot be read whole is left alone: the game starts with its defaults and the
// player is told, and the saves of this run are refused (SaveState checks again before each one).
String RtGame::LoadState() {
    String file = PathToFilePath(String(rt_state_file_name));
    if (file.Length() == 0) return String();
    std::string name = rt_path_ToBytes(file), target = name;
    Refusal refused = save_target(target);
    int fd = refused.err ? -1 : open_state(target, refused);
    std::vector<unsigned char> bytes(kStateLimit + 1);
    size_t got = 0;
    if (fd >= 0) {
        // Bounded, whatever the size said a moment ago: the file may still be growing.
        while (got < bytes.size()) {
            ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n > 0) {
                got += static_cast<size_t>(n);
            } else if (n == 0) {
                break;
            } else if (errno != EINTR) {
                refused = {errno, std::strerror(errno)};
                break;
            }
        }
        close(fd);
        if (got > kStateLimit) refused = too_long();
    }
    if (refused.err) {
        rt_host_Say("The state file " + name + " cannot be used (" + refused.why +
                    "): the game starts with its defaults, leaves the file as it is and saves nothing.");
        return String();
    }
    if (got == 0) return String();
    FILE *fp = fmemopen(bytes.data(), got, "rb");
    if (!fp) return String();
    String text = String::Load(fp);
    std::fclose(fp);
    return text;
}

String rt_path_FromBytes(const char *bytes, size_t n) {
    const unsigned char *p = reinterpret_cast<const unsigned char *>(bytes);
    std::vector<Char> units;
    for (size_t i = 0; i < n;) {
        unsigned c = p[i], code = 0;
        size_t len = c < 0x80             ? 1
                     : (c & 0xe0) == 0xc0 ? 2
                     : (c & 0xf0) == 0xe0 ? 3
                     : (c & 0xf8) == 0xf0 ? 4
                                          : 0;
        bool ok = len > 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k)
            ok = (p[i + k] & 0xc0) == 0x80;
        if (ok) {
            code = len == 1 ? c : c & (0x7f >> len);
            for (size_t k = 1; k < len; ++k)
                code = code << 6 | (p[i + k] & 0x3f);
            // Only the shortest form of a character that is no surrogate comes back the same way.
            static const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
            ok = code >= least[len] && code <= 0x10ffff && (code < 0xd800 || code > 0xdfff);
        }
        if (!ok) {
            units.push_back(static_cast<Char>(0xdc00 + c));
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            units.push_back(static_cast<Char>(0xd800 + ((code - 0x10000) >> 10)));
            units.push_back(static_cast<Char>(0xdc00 + ((code - 0x10000) & 0x3ff)));
        } else {
            units.push_back(static_cast<Char>(code));
        }
        i += len;
    }
    return String::FromChars(units);
}

std::string rt_path_ToBytes(const String &path) {
    std::string out;
    const Char *p = path.Data();
    for (int i = 0, n = path.Length(); i < n; ++i) {
        unsigned c = p[i];
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < n && p[i + 1] >= 0xdc00 && p[i + 1] < 0xe000) {
            unsigned code = 0x10000 + ((c - 0xd800) << 10) + (p[i + 1] - 0xdc00u);
            out += static_cast<char>(0xf0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3f));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
            ++i;
        } else if (c >= 0xdc80 && c <= 0xdcff) {
            out += static_cast<char>(c - 0xdc00);
        } else {
            rt_utf8_encode(p + i, 1, out);
        }
    }
    return out;
}

void rt_host_Say(const std::string &text) {
    std::fflush(stdout);
    std::fprintf(stdout, "%s\n", text.c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", text.c_str());
}

String rt_data_FixDataPath(String path) {
    int scheme = path.Find(String(":/"));
    if (scheme != -1 && path.Find(String("/")) == scheme + 1) return path;
    if (path.StartsWith(String("./")) || path.StartsWith(String("/"))) return path;
    return String("zindle://data/") + path;
}
