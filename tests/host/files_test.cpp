// Whole-file loading and the state file, each test in a fresh working directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <grp.h>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "host/rtgame.h"
#include "tests/appframe/child.h"

namespace {

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

String units(std::initializer_list<Char> list) { return String::FromChars(std::vector<Char>(list)); }

class InTempDir : public ::testing::Test {
  protected:
    std::string dir;
    char oldCwd[PATH_MAX];
    RtGame host;

    void SetUp() override {
        ASSERT_NE(getcwd(oldCwd, sizeof oldCwd), nullptr);
        char tmpl[] = "/tmp/tide-files-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_EQ(chdir(dir.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(oldCwd), 0);
        chmod(dir.c_str(), 0700);
        EXPECT_EQ(system(("rm -rf " + dir).c_str()), 0);
    }
    // Names in the directory: a failed save must leave no temporary file behind.
    std::vector<std::string> Entries() {
        std::vector<std::string> names;
        DIR *d = opendir(dir.c_str());
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
        return names;
    }
};

TEST_F(InTempDir, LoadDataReadsWholeFilesOfEverySize) {
    for (int size : {0, 1, 4095, 4096, 4097, 3 * 4096}) {
        std::string bytes(static_cast<size_t>(size), '\0');
        for (int i = 0; i < size; ++i)
            bytes[static_cast<size_t>(i)] = static_cast<char>(i * 7 + i / 4096);
        write_file("blob", bytes);
        int before = gc_ext_new_bytes.load(), length = -1;
        unsigned char *data = host.LoadData(String("blob"), &length);
        ASSERT_NE(data, nullptr) << size;
        EXPECT_EQ(length, size);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(data), static_cast<size_t>(length)), bytes) << size;
        EXPECT_EQ(gc_ext_new_bytes.load() - before, size); // counted for the collector
        std::free(data);
    }
    int length = 123;
    EXPECT_EQ(host.LoadData(String("missing"), &length), nullptr);
    EXPECT_EQ(length, 123);
}

TEST_F(InTempDir, StateRoundTripsOneTwoAndThreeByteUnits) {
    EXPECT_EQ(host.LoadState().Length(), 0); // no file yet
    EXPECT_EQ(host.SaveState(units({0xC4, 0x31})), 0);
    EXPECT_EQ(read_file(".zindlestate"), "\xC3\x84\x31");

    // ASCII, Latin, the euro sign, a lone surrogate pair written unit by unit, and the separators.
    String text = units({'a', '|', 0x7F, 0x80, 0x7FF, 0x800, 0x20AC, 0xFFFF, 0xD83D, 0xDE00, '9'});
    EXPECT_EQ(host.SaveState(text), 0);
    EXPECT_EQ(read_file(".zindlestate"), "a|\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF"
                                         "\xED\xA0\xBD\xED\xB8\x80"
                                         "9");
    String back = host.LoadState();
    EXPECT_TRUE(back == text);
    EXPECT_EQ(Entries(), std::vector<std::string>{".zindlestate"});

    // A fresh save gets the usual permissions, not the private ones of a temporary file.
    mode_t mask = umask(0);
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat(".zindlestate", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

TEST_F(InTempDir, EmptyStateIsAnEmptyFile) {
    write_file(".zindlestate", "old");
    EXPECT_EQ(host.SaveState(String()), 0);
    EXPECT_EQ(read_file(".zindlestate"), "");
    EXPECT_EQ(host.LoadState().Length(), 0);
}

TEST_F(InTempDir, InvalidUtf8LoadsByteForByte) {
    write_file(".zindlestate", "a\xC3(\xFF\x80z");
    String s = host.LoadState();
    ASSERT_EQ(s.Length(), 6);
    const Char want[] = {'a', 0xC3, '(', 0xFF, 0x80, 'z'};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(s[i], want[i]) << i;
}

TEST_F(InTempDir, SaveThroughALinkReplacesTheLinkedFile) {
    write_file("real", "old");
    ASSERT_EQ(symlink("real", ".zindlestate"), 0);
    EXPECT_EQ(host.SaveState(String("new")), 0);
    EXPECT_EQ(read_file("real"), "new");
    struct stat st;
    ASSERT_EQ(lstat(".zindlestate", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// As root, permissions do not stop a write: the child gives up root first.
void drop_root() {
    if (geteuid() != 0) return;
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(90);
}

// Where the folder takes no temporary file, a state file the player may write is written in place:
// the save lands whole, keeps its file and permissions, and one that cannot get its room (here a size
// limit) leaves the previous save as it was. Without a file to write into, nothing is saved.
TEST_F(InTempDir, UnwritableFolderSavesInPlace) {
    struct Case {
        std::string old, save, want;
        int result;
        rlim_t limit = RLIM_INFINITY;
    } cases[] = {
        {"old save with more bytes", "new save", "new save", 0},
        {"old", "a longer new save", "a longer new save", 0},
        {"old save", std::string(5000, 'n'), "old save", -2, 1000},
        {"", "", "", -1}, // no state file yet
    };
    for (const Case &c : cases) {
        unlink(".zindlestate");
        if (!c.old.empty()) write_file(".zindlestate", c.old);
        chmod(".zindlestate", 0646);
        struct stat before {};
        stat(".zindlestate", &before);
        chmod(dir.c_str(), 0555);
        ChildResult r = run_child([&] {
            drop_root();
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit lim{c.limit, c.limit};
            setrlimit(RLIMIT_FSIZE, &lim);
            RtGame child;
            int saved = child.SaveState(String(c.save.c_str()));
            std::printf("%d %s", saved, saved ? std::strerror(errno) : "");
            std::fflush(stdout);
            _exit(0);
        });
        chmod(dir.c_str(), 0700);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.substr(0, r.out.find(' ')), std::to_string(c.result)) << c.old << ": " << r.out;
        EXPECT_EQ(read_file(".zindlestate"), c.want) << c.old;
        struct stat after {};
        stat(".zindlestate", &after);
        EXPECT_EQ(after.st_ino, before.st_ino) << c.old;
        EXPECT_EQ(after.st_mode, before.st_mode) << c.old;
        EXPECT_EQ(Entries().size(), c.old.empty() ? 0u : 1u) << c.old;
        if (c.result == -1) {
            EXPECT_NE(r.out.find("Permission denied"), std::string::npos) << r.out;
        }
    }
}

// A state file that cannot be read whole, or that is not the player's to write, is left exactly as it
// is: loading gives the defaults and says why, and every save is refused. The player is an ordinary
// user (as root, permissions would stop nothing), in a folder they may write to.
TEST_F(InTempDir, StateFilesThatCannotBeReadWholeAreNeverReplaced) {
    chmod(dir.c_str(), 0777);
    const std::string scores = "12|34|\xc3\xa9|scores";
    struct Case {
        const char *name;
        std::function<void()> make;
        bool readable = false; // read as usual, but not the player's to write
    };
    std::vector<Case> cases = {
        {"unreadable", [&] { write_file(".zindlestate", scores), chmod(".zindlestate", 0); }},
        {"read-only", [&] { write_file(".zindlestate", scores), chmod(".zindlestate", 0444); }, true},
        {"too long", [&] { write_file(".zindlestate", std::string(64 * 1024 + 1, '7')); }},
        {"named pipe", [&] { mkfifo(".zindlestate", 0666); }},
        {"device", [&] { symlink("/dev/zero", ".zindlestate"); }},
        {"folder", [&] { mkdir(".zindlestate", 0777); }},
    };
    if (geteuid() == 0)
        cases.push_back({"another user's",
                         [&] {
                             write_file(".zindlestate", scores);
                             chown(".zindlestate", 65533, 65533);
                         },
                         true});
    for (const Case &c : cases) {
        c.make();
        struct stat before;
        ASSERT_EQ(lstat(".zindlestate", &before), 0) << c.name;
        std::string content = S_ISREG(before.st_mode) ? read_file(".zindlestate") : "";
        ChildResult r = run_child([&] {
            alarm(30); // a pipe that blocks ends the child instead of hanging the suite
            drop_root();
            RtGame child;
            int loaded = child.LoadState().Length();
            int saved = child.SaveState(String("new save"));
            std::printf("|%d %d %s", loaded, saved, std::strerror(errno));
            std::fflush(stdout);
            _exit(0);
        });
        EXPECT_EQ(r.status, 0) << c.name;
        // A load that fails says why, and the save is refused with a reason.
        EXPECT_EQ(r.out.find("cannot be used") != std::string::npos, !c.readable) << c.name << ": " << r.out;
        std::string loaded = c.readable ? "|14 -1 " : "|0 -1 ";
        EXPECT_EQ(r.out.find(loaded), r.out.find('|')) << c.name << ": " << r.out;
        EXPECT_EQ(r.out.find("Success"), std::string::npos) << c.name << ": " << r.out;
        struct stat after;
        ASSERT_EQ(lstat(".zindlestate", &after), 0) << c.name;
        EXPECT_EQ(after.st_ino, before.st_ino) << c.name << ": replaced";
        EXPECT_EQ(after.st_mode, before.st_mode) << c.name;
        if (S_ISREG(after.st_mode)) {
            EXPECT_EQ(read_file(".zindlestate"), content) << c.name;
        }
        EXPECT_EQ(Entries(), std::vector<std::string>{".zindlestate"}) << c.name;
        EXPECT_EQ(system("rm -rf .zindlestate"), 0);
    }
}

// In a shared sticky folder such as /tmp, another user's link is not followed (the player's own file
// it points at stays as it is); the player's own link and the folder owner's are.
TEST_F(InTempDir, SaveFollowsOnlyLinksItsOwnerMayPlantInASharedFolder) {
    if (geteuid() != 0) GTEST_SKIP() << "needs a second user to own the link";
    chmod(dir.c_str(), 01777);
    write_file("mine", "my scores");
    chown("mine", 65534, 65534);
    for (uid_t owner : {65533u, 65534u, 0u}) {
        ASSERT_EQ(symlink("mine", ".zindlestate"), 0);
        ASSERT_EQ(lchown(".zindlestate", owner, owner), 0);
        ChildResult r = run_child([&] {
            drop_root();
            RtGame child;
            std::string loaded = child.LoadState().ToUtf8();
            std::printf("|%s|%d", loaded.c_str(), child.SaveState(String("new save")));
            std::fflush(stdout);
            _exit(0);
        });
        if (owner == 65533) { // planted by another user
            EXPECT_NE(r.out.find("another user"), std::string::npos) << r.out;
            EXPECT_NE(r.out.find("||-1"), std::string::npos) << r.out;
            EXPECT_EQ(read_file("mine"), "my scores");
        } else {
            EXPECT_NE(r.out.find("|my scores|0"), std::string::npos) << owner << ": " << r.out;
            EXPECT_EQ(read_file("mine"), "new save") << owner;
            write_file("mine", "my scores");
        }
        struct stat st;
        ASSERT_EQ(lstat(".zindlestate", &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << owner;
        unlink(".zindlestate");
    }
}

// Another user's named pipe under a leftover's name, in a shared sticky folder such as /tmp, never
// makes the save wait: the save lands and the pipe stays where it is.
TEST_F(InTempDir, PlantedPipeAmongTheLeftoversNeverBlocksTheSave) {
    chmod(dir.c_str(), 01777);
    const char *pipe = ".zindlestate.AAAAAA.tmp";
    ASSERT_EQ(mkfifo(pipe, 0644), 0);
    chmod(pipe, 0644);
    if (geteuid() == 0) {
        ASSERT_EQ(lchown(pipe, 65533, 65533), 0); // planted by another user
    }
    ChildResult r = run_child([&] {
        alarm(30); // a save that blocks ends the child instead of hanging the suite
        drop_root();
        RtGame child;
        std::printf("%d", child.SaveState(String("new save")));
        std::fflush(stdout);
        _exit(0);
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0");
    EXPECT_EQ(read_file(".zindlestate"), "new save");
    struct stat st;
    ASSERT_EQ(lstat(pipe, &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A replacing save keeps the permissions the player gave the file.
TEST_F(InTempDir, SaveKeepsThePermissionsOfTheFileItReplaces) {
    write_file(".zindlestate", "old");
    chmod(".zindlestate", 0600);
    EXPECT_EQ(host.SaveState(String("new")), 0);
    struct stat st;
    ASSERT_EQ(stat(".zindlestate", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// Loaders open regular files only, and never wait on a named pipe, whether reading or writing.
TEST_F(InTempDir, LoadersOpenOnlyRegularFiles) {
    alarm(60); // a pipe that blocks ends the test instead of hanging the suite
    ASSERT_EQ(mkfifo("pipe", 0666), 0);
    ASSERT_EQ(mkdir("folder", 0777), 0);
    for (const char *name : {"pipe", "folder", "/dev/zero"}) {
        int length = -1;
        EXPECT_EQ(host.LoadData(String(name), &length), nullptr) << name;
        EXPECT_EQ(host.LoadString(String(name)).Length(), 0) << name;
        for (const char *mode : {"rb", "wb", "ab", "r+b"})
            EXPECT_EQ(host.OpenFile(String(name), String(mode)), nullptr) << name << " " << mode;
    }
    FILE *fp = host.OpenFile(String("plain"), String("wb"));
    ASSERT_NE(fp, nullptr);
    std::fputs("text", fp);
    std::fclose(fp);
    EXPECT_EQ(host.LoadString(String("plain")).ToUtf8(), "text");
    alarm(0);
}

TEST_F(InTempDir, SaveCutShortKeepsTheOldContent) {
    write_file(".zindlestate", "old save");
    ChildResult r = run_child([&] {
        // The file size limit stops the write part of the way through.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &lim);
        RtGame child;
        std::printf("%d", child.SaveState(String(std::string(5000, 'n').c_str())));
        std::fflush(stdout);
        _exit(0);
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "-2");
    EXPECT_EQ(read_file(".zindlestate"), "old save");
    EXPECT_EQ(Entries(), std::vector<std::string>{".zindlestate"});
}

TEST_F(InTempDir, SaveThroughADanglingLinkCreatesTheLinkedFile) {
    ASSERT_EQ(mkdir("saves", 0700), 0);
    ASSERT_EQ(symlink("saves/state", ".zindlestate"), 0);
    EXPECT_EQ(host.SaveState(String("first")), 0);
    EXPECT_EQ(read_file("saves/state"), "first");
    struct stat st;
    ASSERT_EQ(lstat(".zindlestate", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(host.LoadState().ToUtf8(), "first");
}

// Temporary files of saves whose process died are removed by the next save; one that a live save
// still holds, and files that only look similar, stay.
TEST_F(InTempDir, SaveRemovesTheLeftoversOfDeadSaves) {
    write_file(".zindlestate", "old");
    write_file(".zindlestate.a1B2c3.tmp", std::string(100000, 'x'));
    write_file(".zindlestate.Zz9Yy8.tmp", "");
    write_file(".zindlestate.backup", "mine");
    write_file(".zindlestate.toolong1.tmp", "mine");
    write_file(".zindlestate.busy00.tmp", "in progress");
    int fd = open(".zindlestate.busy00.tmp", O_RDONLY);
    ASSERT_EQ(flock(fd, LOCK_EX), 0); // as a save in progress in another process holds it
    pid_t holder = fork();
    if (holder == 0) {
        pause();
        _exit(0);
    }
    close(fd); // the child's copy of the descriptor keeps the lock
    EXPECT_EQ(host.SaveState(String("new")), 0);
    EXPECT_EQ(read_file(".zindlestate"), "new");
    std::vector<std::string> names = Entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".zindlestate", ".zindlestate.backup",
                                               ".zindlestate.busy00.tmp", ".zindlestate.toolong1.tmp"}));
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_EQ(host.SaveState(String("newer")), 0); // its holder is gone: now it is a leftover
    names = Entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{".zindlestate", ".zindlestate.backup", ".zindlestate.toolong1.tmp"}));
}

// A save killed at any moment leaves the state file holding the previous save or the new one, each
// complete, and the next save leaves no temporary file behind.
TEST_F(InTempDir, SavesKilledAtRandomMomentsNeverDamageTheState) {
    // Save n is "n|" followed by n % 9 kilobytes of filler and "|end": complete ones can be told.
    auto save_text = [](long n) {
        return std::to_string(n) + "|" + std::string(static_cast<size_t>(n % 9) * 1024, 'a' + n % 26) +
               "|end";
    };
    auto number_of = [&](const std::string &text) {
        long n = std::atol(text.c_str());
        return text == save_text(n) ? n : -1;
    };
    write_file(".zindlestate", save_text(0));
    long last = 0;
    unsigned seed = 2024;
    int kills = 0, newer = 0;
    for (; kills < 320; ++kills) {
        pid_t pid = fork();
        if (pid == 0) {
            RtGame child;
            for (long n = last + 1;; ++n)
                child.SaveState(String(save_text(n).c_str()));
        }
        seed = seed * 1103515245u + 12345u;
        usleep(200 + (seed >> 8) % 4000);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        long now = number_of(read_file(".zindlestate"));
        ASSERT_GE(now, last) << "after kill " << kills << " the state file is damaged or older";
        // At most the killed save's own temporary file: each save removed those of the saves before.
        ASSERT_LE(Entries().size(), 2u) << "after kill " << kills;
        newer += now > last;
        last = now;
    }
    EXPECT_GT(newer, kills / 10); // the kills did land among finished saves too
    ASSERT_EQ(host.SaveState(String(save_text(last).c_str())), 0);
    EXPECT_EQ(Entries(), std::vector<std::string>{".zindlestate"});
    EXPECT_EQ(number_of(read_file(".zindlestate")), last);
}

} // namespace
