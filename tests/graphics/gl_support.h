// Shared pieces of the graphics tests: a real window and GL context under the test display, a host whose
// image loader decodes files, PNG files written on the spot, and pixel read-back.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/drawing.h"
#include "graphics/graphics.h"
#include "host/rtgame.h"

struct GLFWwindow;

namespace gfxtest {

// Loads images the way the desktop host does; "zindle://data/" names files in dataDir.
class ImageHost : public RtGame {
  public:
    std::string dataDir;
    String PathToFilePath(String path) override;
    unsigned char *LoadImageData(String path, int *width, int *height, int *depth) override;
};

ImageHost *Host(); // installed as RtGame::_game on first use

// A 640 x 480 window with a current context; opening one moves glfwGraphicsSeq on.
GLFWwindow *OpenWindow();
void CloseWindow();
GLFWwindow *Window();

// A fresh folder for the files of one test program.
std::string TempDir();
// Writes a PNG of w x h pixels of `depth` channels; returns its path.
std::string WritePng(const std::string &name, int w, int h, int depth,
                     const std::vector<unsigned char> &pixels);
// Writes raw bytes; returns the path.
std::string WriteFile(const std::string &name, const std::vector<unsigned char> &bytes);
std::vector<unsigned char> ReadFile(const std::string &path);

// One pixel of the back buffer as 0xAARRGGBB, y counted from the top.
unsigned Pixel(int x, int y);
inline unsigned Rgb(unsigned argb) { return argb & 0xffffff; }
// Whether the colour channels of two pixels differ by at most tol each (blending may round either way).
bool Near(unsigned argb, unsigned rgb, int tol = 1);

// Finishes the collector's current cycle and destroys what it found dead.
void Collect();

// Tests that draw: a window, a renderer between BeginRender and EndRender, cleared to black.
class GlTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;
    gxtkGraphics *gfx = nullptr;
};

} // namespace gfxtest
