// Opening files through the virtual path scheme, whole-file loaders and the state file.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "host/paths.h"
#include "host/rtgame.h"

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

// The new state goes to a temporary file beside the old one, reaches the disk, and only then replaces
// it by rename: a failure at any step leaves the previous save as it was.
int RtGame::SaveState(String state) {
    String file = PathToFilePath(String(rt_state_file_name));
    if (file.Length() == 0) return -1;
    std::string target = file.ToUtf8();
    // Through a link the save replaces the file it points to, not the link.
    if (char *real = realpath(target.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash ? slash : 1);
    std::string temp = target + ".XXXXXX.tmp";
    int fd = mkstemps(temp.data(), 4);
    if (fd < 0) return -1;
    // mkstemp makes the file private; a save file gets the usual permissions.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    FILE *fp = fdopen(fd, "wb");
    if (!fp) {
        close(fd);
        unlink(temp.c_str());
        return -1;
    }
    std::string bytes = state.ToUtf8();
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    ok = std::fflush(fp) == 0 && ok;
    ok = fsync(fileno(fp)) == 0 && ok;
    ok = std::fclose(fp) == 0 && ok;
    if (ok && std::rename(temp.c_str(), target.c_str()) == 0) {
        int dirfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
        if (dirfd >= 0) {
            fsync(dirfd);
            close(dirfd);
        }
        return 0;
    }
    unlink(temp.c_str());
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
