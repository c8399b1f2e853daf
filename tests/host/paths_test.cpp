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
        std::vector<Char> units;
        rt_utf8_decode(reinterpret_cast<const unsigned char *>(exe.data()), static_cast<int>(exe.size()),
                       units);
        return String::FromChars(units);
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

TEST(VirtualPaths, LoadersReadThroughTheScheme) {
    char tmpl[] = "/tmp/tide-paths-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string top = tmpl, root = top + "/sp\xc3\xaf"
                                         "el"; // a folder name that is not ASCII
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
