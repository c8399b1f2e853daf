#include "tests/graphics/gl_support.h"

#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <stb/stb_image_write.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "graphics/imagedata.h"

namespace gfxtest {

String ImageHost::PathToFilePath(String path) {
    String prefix("zindle://data/");
    if (path.StartsWith(prefix)) return String(dataDir.c_str()) + "/" + path.Slice(prefix.Length());
    return path;
}

unsigned char *ImageHost::LoadImageData(String path, int *width, int *height, int *depth) {
    FILE *fp = OpenFile(path, String("rb"));
    unsigned char *data = gxtkLoadPicture(fp, path, width, height, depth);
    if (fp) std::fclose(fp);
    if (data) gc_ext_malloced(*width * *height * *depth);
    return data;
}

ImageHost *Host() {
    static ImageHost *host = nullptr;
    if (!host) {
        host = new ImageHost;
        host->dataDir = TempDir();
        RtGame::_game = host;
    }
    return host;
}

static GLFWwindow *window;

GLFWwindow *OpenWindow() {
    static bool initialised = false;
    if (!initialised) {
        if (!glfwInit()) return nullptr;
        initialised = true;
    }
    glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
    window = glfwCreateWindow(640, 480, "graphics test", nullptr, nullptr);
    if (!window) return nullptr;
    glfwMakeContextCurrent(window);
    ++glfwGraphicsSeq;
    return window;
}

void CloseWindow() {
    if (window) glfwDestroyWindow(window);
    window = nullptr;
}

GLFWwindow *Window() { return window; }

// One folder per test process, removed with everything in it when the process ends.
std::string TempDir() {
    static struct Folder {
        std::string path;
        Folder() {
            char tmpl[] = "/tmp/tide-graphics-XXXXXX";
            if (mkdtemp(tmpl)) path = tmpl;
        }
        ~Folder() {
            std::error_code ignored;
            if (!path.empty()) std::filesystem::remove_all(path, ignored);
        }
    } folder;
    return folder.path;
}

std::string WritePng(const std::string &name, int w, int h, int depth,
                     const std::vector<unsigned char> &pixels) {
    std::string path = TempDir() + "/" + name;
    EXPECT_NE(stbi_write_png(path.c_str(), w, h, depth, pixels.data(), w * depth), 0);
    return path;
}

std::string WriteFile(const std::string &name, const std::vector<unsigned char> &bytes) {
    std::string path = TempDir() + "/" + name;
    FILE *fp = std::fopen(path.c_str(), "wb");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), fp);
    std::fclose(fp);
    return path;
}

std::vector<unsigned char> ReadFile(const std::string &path) {
    std::vector<unsigned char> bytes;
    FILE *fp = std::fopen(path.c_str(), "rb");
    if (!fp) return bytes;
    int c;
    while ((c = std::fgetc(fp)) != EOF)
        bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(fp);
    return bytes;
}

unsigned Pixel(int x, int y) {
    unsigned char p[4];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, 480 - 1 - y, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, p);
    return static_cast<unsigned>(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0];
}

bool Near(unsigned argb, unsigned rgb, int tol) {
    for (int shift = 0; shift < 24; shift += 8) {
        int a = static_cast<int>(argb >> shift & 0xff), b = static_cast<int>(rgb >> shift & 0xff);
        if (a - b > tol || b - a > tol) return false;
    }
    return true;
}

namespace {
class Filler : public Object {
  public:
    long long payload[2] = {};
};
} // namespace

void Collect() {
    for (int i = 0; i < 2; ++i) {
        gc_ext_malloced(gc_cycle_bytes + 1);
        gc_collect_step(nullptr);
    }
    while (gc_free_bytes > 0)
        new Filler;
}

void GlTest::SetUpTestSuite() {
    Host();
    if (!Window()) {
        ASSERT_NE(OpenWindow(), nullptr) << "no display for the OpenGL tests";
    }
}

void GlTest::SetUp() {
    ASSERT_NE(Window(), nullptr);
    gxtkSurface::refuseNonPowerOfTwo = false;
    gfx = new gxtkGraphics();
    rt_graphics_SetGraphicsDevice(gfx);
    ASSERT_EQ(gfx->BeginRender(), 1);
    gfx->SetColor(255, 255, 255);
    gfx->SetAlpha(1);
    gfx->SetScissor(0, 0, 640, 480);
    gfx->Cls(0, 0, 0);
}

void GlTest::TearDown() {
    if (gfx) gfx->EndRender();
    rt_graphics_EndRender();
}

} // namespace gfxtest
