// Start-up without a display, and the browser opener.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "desktop/glfw_game.h"
#include "tests/host/child_process.h"

namespace {

TEST(StartUp, NoDisplayIsReportedPlainly) {
    ChildProcess child;
    ASSERT_TRUE(child.Start(HOST_CHILD, {}, {"DISPLAY", "WAYLAND_DISPLAY"}));
    EXPECT_EQ(child.Finish(), 255);
    EXPECT_EQ(child.out.rfind("glfwInit failed\n", 0), 0u) << child.out;
    EXPECT_NE(child.err.find("No display was found"), std::string::npos) << child.err;
    EXPECT_EQ(child.out.find("\ninit"), std::string::npos) << "the game must not start: " << child.out;
}

class ReapingHost : public RtGlfwGame {
  public:
    using RtGlfwGame::_children;
    using RtGlfwGame::ReapChildren;
};

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A stand-in opener earlier on PATH records its arguments, one per line.
TEST(OpenUrl, UrlIsOneArgumentThatNoShellSees) {
    char tmpl[] = "/tmp/tide-url-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string dir = tmpl, log = dir + "/args", opener = dir + "/xdg-open";
    std::ofstream(opener) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >>" << log << "; done\n";
    chmod(opener.c_str(), 0755);
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (dir + ":" + oldPath).c_str(), 1);

    ReapingHost host;
    host.OpenUrl(String("-x")); // would be an option of the opener: refused
    std::string url = "http://127.0.0.1/a b?x=1&y=$(touch " + dir + "/pwned);`true`|cat";
    host.OpenUrl(String(url.c_str()));
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_EQ(host._children.size(), 1u);
    for (int i = 0; i < 500 && !host._children.empty(); ++i) {
        host.ReapChildren();
        usleep(10000);
    }
    EXPECT_TRUE(host._children.empty()) << "the opener was not reaped";
    EXPECT_EQ(read_file(log), url + "\n");
    EXPECT_NE(access((dir + "/pwned").c_str(), F_OK), 0);
    EXPECT_EQ(system(("rm -rf " + dir).c_str()), 0);
}

} // namespace
