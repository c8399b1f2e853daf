// One heavy fight update and its render replay: the reborn phase with every object record in use,
// every particle alive, 51 stars and the marquee on screen. Prints microseconds per update and per
// render, and the draw records and OpenGL draw calls of one frame.
//
//   xvfb-run -a build/bench/bench_game [data folder/]
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "graphics/drawing.h"
#include "graphics/graphics.h"
#include "tests/support/testhost.h"

namespace {

using Clock = std::chrono::steady_clock;
using App = c_MyApp;

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// Fills the tables: fish of both kinds, loose plates and shots spread over the screen, clear of the ship.
void makeHeavy(c_MyApp *app) {
    float *pl = &app->players[0];
    pl[App::kPhase] = 3;
    pl[App::kThrowTimer] = -1e9f;
    pl[App::kPlayerX] = app->camX + 40;
    pl[App::kPlayerY] = app->camY + 440;
    app->camTargetX = app->camX;
    const float cx = app->camX, cy = app->camY;
    const int kinds[4] = {App::kObjFish, App::kObjSwellFish, App::kObjLoosePlate, App::kObjShot};
    for (int i = 0; i <= 100; ++i) {
        float *o = &app->obj[i * 10];
        std::memset(o, 0, 10 * sizeof(float));
        o[0] = static_cast<float>(kinds[i % 4]);
        o[1] = cx + 120 + (i * 37) % 480;
        o[2] = cy + 40 + (i * 53) % 340;
        o[3] = o[0] == App::kObjShot ? 8 : -1;
        o[5] = static_cast<float>(i * 7);
        o[6] = 2;
        o[7] = static_cast<float>(i % 30);
        o[8] = static_cast<float>(i % 16);
    }
    for (int p = 0; p <= app->maxParticles; ++p) {
        float *r = &app->part[p * 10];
        r[0] = static_cast<float>(1 + p % 2);
        r[1] = cx + (p * 13) % 640;
        r[2] = cy + (p * 29) % 480;
        r[3] = 1;
        r[4] = -1;
        r[6] = 3;
        r[7] = 1;
        r[8] = static_cast<float>(p % 10);
        r[9] = static_cast<float>(p % 256);
    }
    const int count = static_cast<int>(pl[App::kMarqueeCount]);
    const float shift = rt_Brinefall_jscrw + 128;
    for (int n = 0; n < count; ++n)
        app->marquee[App::kMarqueePlane + n] -= shift;
}

} // namespace

int main(int argc, char **argv) {
    TestHost host;
    if (argc > 1) host.dataDir = argv[1];
    const bool window = host.OpenWindow(640, 480);
    host.Boot();
    c_MyApp *app = host.App();
    host.FinishLoading();
    app->gameMode = 11;
    host.Update();
    host.Update(30);
    makeHeavy(app);

    // Each measured update starts from the same heavy tables.
    std::vector<float> obj(app->obj.Data(), app->obj.Data() + 5100);
    std::vector<float> part(app->part.Data(), app->part.Data() + 5100);
    std::vector<float> players(app->players.Data(), app->players.Data() + 512);
    auto restore = [&] {
        std::copy(obj.begin(), obj.end(), app->obj.Data());
        std::copy(part.begin(), part.end(), app->part.Data());
        std::copy(players.begin(), players.end(), app->players.Data());
        app->gameOver = 0;
    };

    // Updates alone first, then updates each followed by a render (whose rasterising, on a software
    // renderer, leaves the caches cold for the next update).
    const int rounds = 2000;
    Clock::duration game{}, update{}, coldGame{}, render{}, finish{};
    int records = 0, drawCalls = 0;
    for (int i = 0; i < rounds; ++i) {
        restore();
        auto t0 = Clock::now();
        app->p_Game();
        game += Clock::now() - t0;
        restore();
        t0 = Clock::now();
        host.Update();
        update += Clock::now() - t0;
        records = app->drawListLen / 15;
    }
    for (int i = 0; window && i < rounds; ++i) {
        restore();
        auto t0 = Clock::now();
        host.Update();
        coldGame += Clock::now() - t0;
        t0 = Clock::now();
        host.Render();
        auto t1 = Clock::now();
        glFinish();
        render += t1 - t0;
        finish += Clock::now() - t1;
        drawCalls = rt_graphics_device->drawCalls;
    }
    std::printf("heavy fight frame: %d draw records, %d OpenGL draw calls per frame\n", records, drawCalls);
    std::printf("p_Game                    %8.1f us  (%.2f%% of a 16.7 ms frame)\n", micros(game) / rounds,
                micros(game) / rounds / 166.67);
    std::printf("update event (p_OnUpdate, input, collector) %8.1f us  (%.2f%% of a frame)\n",
                micros(update) / rounds, micros(update) / rounds / 166.67);
    if (window) {
        std::printf("update event right after a rendered frame %8.1f us\n", micros(coldGame) / rounds);
        std::printf("render (p_OnRender and batching, CPU) %8.1f us\n", micros(render) / rounds);
        std::printf("glFinish after render (rasterising) %8.1f us\n", micros(finish) / rounds);
    } else {
        std::printf("no window: render not measured\n");
    }
    return 0;
}
