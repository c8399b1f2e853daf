// Sprite throughput: N rotated, scaled 16 x 16 sprites of one texture per frame through
// rt_graphics_DrawImage2, in a 640 x 480 window with swap interval 0. Prints, per N, sprites per second,
// CPU milliseconds per frame split into our code and the OpenGL driver, and draw calls per frame.
#include <GL/gl.h>
#include <GLFW/glfw3.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "graphics/drawing.h"
#include "graphics/graphics.h"

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double CpuClock(clockid_t id) {
    timespec ts;
    clock_gettime(id, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

struct Sprite {
    float x, y, rot, scale;
};

struct Figures {
    double wall = 0, ours = 0, driverMain = 0, driverThreads = 0;
    int drawCalls = 0;
};

Figures Frame(GLFWwindow *window, gxtkGraphics *gfx, c_Image *img, const std::vector<Sprite> &sprites) {
    Figures f;
    double t0 = Now(), thread0 = CpuClock(CLOCK_THREAD_CPUTIME_ID),
           proc0 = CpuClock(CLOCK_PROCESS_CPUTIME_ID);
    gfx->BeginRender();
    rt_graphics_BeginRender();
    gfx->Cls(0, 0, 32);
    double loop0 = CpuClock(CLOCK_THREAD_CPUTIME_ID);
    for (const Sprite &s : sprites)
        rt_graphics_DrawImage2(img, s.x, s.y, s.rot, s.scale, s.scale, 0);
    double loop1 = CpuClock(CLOCK_THREAD_CPUTIME_ID);
    double flushInLoop = gfx->flushTime;
    rt_graphics_EndRender();
    gfx->EndRender();
    f.drawCalls = gfx->drawCalls;
    glFinish();
    glfwSwapBuffers(window);
    double t1 = Now(), thread1 = CpuClock(CLOCK_THREAD_CPUTIME_ID),
           proc1 = CpuClock(CLOCK_PROCESS_CPUTIME_ID);

    f.wall = t1 - t0;
    f.ours = (loop1 - loop0) - flushInLoop;
    double mainCpu = thread1 - thread0;
    f.driverMain = mainCpu - f.ours;
    f.driverThreads = (proc1 - proc0) - mainCpu;
    return f;
}

} // namespace

int main() {
    if (!glfwInit()) {
        std::puts("bench_graphics: no display (run it under xvfb-run -a)");
        return 1;
    }
    glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
    GLFWwindow *window = glfwCreateWindow(640, 480, "sprite benchmark", nullptr, nullptr);
    if (!window) {
        std::puts("bench_graphics: no window");
        return 1;
    }
    glfwMakeContextCurrent(window);
    glfwSwapInterval(0);
    ++glfwGraphicsSeq;

    gxtkGraphics *gfx = new gxtkGraphics();
    rt_graphics_SetGraphicsDevice(gfx);
    gxtkGraphics::timeFlushes = true;

    c_Image *img = rt_graphics_CreateImage(16, 16, 1, c_Image::HandleCentred);
    Array<int> px(256);
    for (int i = 0; i < 256; ++i)
        px[i] = static_cast<int>((i % 16 + i / 16) % 2 ? 0xffff8000u : 0x80ffffffu);
    gfx->WritePixels2(img->surface, px, 0, 0, 16, 16, 0, 16);

    std::printf("renderer: %s\n", reinterpret_cast<const char *>(glGetString(GL_RENDERER)));
    std::printf("%8s %14s %12s %12s %14s %16s %10s %8s\n", "sprites", "sprites/s", "frame ms", "ours ms",
                "ours ns/sprite", "driver ms main", "driver ms", "draws");
    std::printf("%8s %14s %12s %12s %14s %16s %10s %8s\n", "", "", "(wall)", "(cpu)", "", "thread (cpu)",
                "workers", "/frame");

    unsigned seed = 12345;
    auto rnd = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<float>(seed >> 8 & 0xffff) / 65535.0f;
    };
    for (int n : {1000, 10000, 50000}) {
        std::vector<Sprite> sprites(n);
        for (Sprite &s : sprites)
            s = {rnd() * 640, rnd() * 480, rnd() * 360, 0.5f + rnd()};
        int frames = n >= 50000 ? 20 : 60;
        for (int i = 0; i < 5; ++i)
            Frame(window, gfx, img, sprites);
        Figures sum;
        for (int i = 0; i < frames; ++i) {
            Figures f = Frame(window, gfx, img, sprites);
            sum.wall += f.wall;
            sum.ours += f.ours;
            sum.driverMain += f.driverMain;
            sum.driverThreads += f.driverThreads;
            sum.drawCalls = f.drawCalls;
        }
        double wall = sum.wall / frames, ours = sum.ours / frames;
        std::printf("%8d %14.0f %12.3f %12.3f %14.1f %16.3f %10.3f %8d\n", n, n / wall, wall * 1e3,
                    ours * 1e3, ours / n * 1e9, sum.driverMain / frames * 1e3,
                    sum.driverThreads / frames * 1e3, sum.drawCalls);
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    return 0;
}
