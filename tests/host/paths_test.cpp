// The virtual path scheme, asset names, and files reached through them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "desktop/glfw_game.h"
#include "host/paths.h"

namespace {

// A host that believes it was started from the given program file.
class PlacedHost : public RtGlfwGame {
  public:
    std::string exe;
    int asked = 0;
    explicit PlacedHost(std::string file) : exe(std::move(file)) {}

  protected:
    String ProgramPath() override {
        ++asked;
        return rt_path_FromBytes(exe.data(), exe.size());
    }
};

std::string narrow(const String &s) { return s.ToUtf8(); }

TEST(VirtualPaths, SchemesResolveBesideTheProgram) {
    PlacedHost host("/opt/Games/Fish/game");
    EXPECT_EQ(narrow(host.PathToFilePath(String("zindle://data/images/a.png"))),
              "/opt/Games/Fish/data/images/a.png");
    EXPECT_EQ(narrow(host.PathToFilePath(String("zindle://internal/x"))), "/opt/Games/Fish/internal/x");
    EXPECT_EQ(narrow(host.PathToFilePath(String("zindle://external/y"))), "/opt/Games/Fish/external/y");
    EXPECT_EQ(narrow(host.PathToFilePath(String("zindle://other/z"))), "");
    EXPECT_EQ(host.OpenFile(String("zindle://other/z"), String("rb")), nullptr);
    // Prefixes are case-sensitive; anything without the scheme passes unchanged.
    EXPECT_EQ(narrow(host.PathToFilePath(String("Zindle://data/a"))), "Zindle://data/a");
    EXPECT_EQ(narrow(host.PathToFilePath(String("zindle://DATA/a"))), "");
    EXPECT_EQ(narrow(host.PathToFilePath(String("./a.png"))), "./a.png");
    EXPECT_EQ(host.asked, 1); // the program's folder is looked up once
}

TEST(VirtualPaths, RealProgramFolderComesFromTheSystem) {
    RtGlfwGame host;
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    ASSERT_GT(n, 0);
    std::string exe(buf, static_cast<size_t>(n));
    std::string dir = exe.substr(0, exe.rfind('/'));
    EXPECT_EQ(narrow(host.PathToFilePath(String("zindle://data/fonts/f.png"))), dir + "/data/fonts/f.png");
}

TEST(AssetNames, BareNamesGoToTheDataFolder) {
    EXPECT_EQ(narrow(rt_data_FixDataPath(String("images/a.png"))), "zindle://data/images/a.png");
    EXPECT_EQ(narrow(rt_data_FixDataPath(String("a.png"))), "zindle://data/a.png");
    for (const char *kept : {"./a.png", "/a.png", "zindle://data/a.png", "C:/a.png", "zindle://other/b"})
        EXPECT_EQ(narrow(rt_data_FixDataPath(String(kept))), kept);
    // ":/" that is not the first "/" is no scheme.
    EXPECT_EQ(narrow(rt_data_FixDataPath(String("dir/x:/y"))), "zindle://data/dir/x:/y");
}

// Any bytes may name a file: they come back exactly, and what is text reads as text.
TEST(FileNames, BytesSurviveTheTripThroughText) {
    std::vector<std::string> names = {
        "/opt/sp\xc3\xaf"
        "el/\xe2\x82\xac",                                       // two- and three-byte characters
        "/home/\xf0\x9f\x90\x99/game",                           // beyond 16 bits
        "/srv/\xff\xfe\x80/\xc3(/\xe2\x82",                      // not UTF-8 at all, or cut short
        "/x/\xc0\x80/\xed\xa0\xbd\xed\xb8\x80/\xf4\x90\x80\x80", // overlong, surrogates, past U+10FFFF
    };
    unsigned seed = 7;
    for (int i = 0; i < 2000; ++i) {
        std::string random(static_cast<size_t>(i % 12), '\0');
        for (char &c : random)
            c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
        names.push_back(random);
    }
    for (const std::string &name : names)
        ASSERT_EQ(rt_path_ToBytes(rt_path_FromBytes(name.data(), name.size())), name);
    String octopus = rt_path_FromBytes("\xf0\x9f\x90\x99", 4);
    ASSERT_EQ(octopus.Length(), 2);
    EXPECT_EQ(octopus[0], 0xd83d);
    EXPECT_EQ(octopus[1], 0xdc19);
    EXPECT_EQ(rt_path_FromBytes("\xc3\xa9", 2)[0], 0xe9);
}

TEST(VirtualPaths, LoadersReadThroughTheScheme) {
    char tmpl[] = "/tmp/tide-paths-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    // Folder names that are not ASCII, beyond 16 bits, and not UTF-8 at all.
    std::string top = tmpl, root = top + "/sp\xc3\xaf"
                                         "el \xf0\x9f\x90\x99 \xff\xfe";
    ASSERT_EQ(system(("mkdir -p '" + root + "/data/sub'").c_str()), 0);
    std::ofstream(root + "/data/sub/text.txt", std::ios::binary) << "h\xc3\xa9llo";
    std::ofstream(root + "/data/blob.bin", std::ios::binary) << std::string(5000, 'x');

    PlacedHost host(root + "/game");
    String text = host.LoadString(String("zindle://data/sub/text.txt"));
    ASSERT_EQ(text.Length(), 5);
    EXPECT_EQ(text[1], 0xe9);
    int length = -1;
    unsigned char *blob = host.LoadData(String("zindle://data/blob.bin"), &length);
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(length, 5000);
    std::free(blob);
    EXPECT_EQ(host.LoadString(String("zindle://data/missing.txt")).Length(), 0);
    EXPECT_EQ(host.LoadData(String("zindle://nowhere/blob.bin"), &length), nullptr);
    EXPECT_EQ(system(("rm -rf " + top).c_str()), 0);
}

} // namespace
