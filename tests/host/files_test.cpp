// Whole-file loading and the state file, each test in a fresh working directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
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
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(90);
}

TEST_F(InTempDir, UnwritableDirectoryRefusesAndKeepsTheOldSave) {
    write_file(".zindlestate", "old save");
    chmod(".zindlestate", 0666); // the file itself could be written in place
    chmod(dir.c_str(), 0555);
    ChildResult r = run_child([&] {
        drop_root();
        RtGame child;
        std::printf("%d", child.SaveState(String("new save")));
        std::fflush(stdout);
        _exit(0);
    });
    chmod(dir.c_str(), 0700);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "-1");
    EXPECT_EQ(read_file(".zindlestate"), "old save");
    EXPECT_EQ(Entries(), std::vector<std::string>{".zindlestate"});
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
