#include "tests/support/testhost.h"

#include <cerrno>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

#include "audio/audio.h"
#include "graphics/drawing.h"
#include "input/input.h"

namespace {

const char kDataScheme[] = "zindle://data/";
constexpr int kDataSchemeLength = sizeof kDataScheme - 1;

// One OpenAL device serves every test of a program: each new device starts a mixer thread of its own.
gxtkAudio *shared_audio;
gc_root root_shared_audio(shared_audio);

} // namespace

TestHost::TestHost() {
#ifdef TIDE_SOURCE_DIR
    dataDir = std::string(TIDE_SOURCE_DIR) + "/data/";
#endif
}

TestHost::~TestHost() {
    if (rt_app__game == this) rt_app__game = nullptr;
}

void TestHost::Boot() {
    // The application module allows one application per process; each test starts its own.
    rt_app__app = nullptr;
    rt_app__delegate = nullptr;
    rt_app__devWidth = rt_app__devHeight = 0;
    rt_app__updateRate = 0;
    RtGame::_game = this;
    rtInit();
    gc_mark_roots();
    rtMain();
    StartGame();
}

c_MyApp *TestHost::App() const { return static_cast<c_MyApp *>(rt_app__app); }

void TestHost::StartGame() {
    // The delegate's start, with the process-wide sound device.
    if (_started) return;
    _started = true;
    c_GameDelegate *d = rt_app__delegate;
    gc_assign(d->m_graphics, new gxtkGraphics());
    gc_assign(rt_graphics_device, d->m_graphics);
    rt_graphics_SetFont(nullptr, 32);
    if (!shared_audio) gc_assign(shared_audio, new gxtkAudio());
    for (int ch = 0; ch < gxtkAudio::ChannelCount; ++ch)
        shared_audio->StopChannel(ch);
    gc_assign(d->m_audio, shared_audio);
    gc_assign(rt_audio_device, shared_audio);
    gc_assign(d->m_input, (new c_InputDevice)->m_new());
    gc_assign(rt_input_device, d->m_input);
    rt_app_ValidateDeviceWindow(false);
    rt_app_EnumDisplayModes();
    rt_app__app->p_OnCreate();
    gc_collect();
}

void TestHost::Update(int n) {
    for (int i = 0; i < n; ++i) {
        clock += msPerUpdate;
        // Headless there is no frame to render, but the update reads the fit of the last one: work it
        // out as the render step would.
        if (!Window()) App()->p_FitScreen(devW, devH);
        UpdateGame();
    }
}

bool TestHost::FinishLoading(int limit) {
    for (int i = 0; i < limit && App()->loading > 0; ++i)
        Update();
    return App()->loading == 0;
}

void TestHost::Suspend() { SuspendGame(); }
void TestHost::Resume() { ResumeGame(); }

void TestHost::KeyDown(int key) { KeyEvent(rt_input_EventKeyDown, key); }
void TestHost::KeyUp(int key) { KeyEvent(rt_input_EventKeyUp, key); }
void TestHost::Char(int ch) { KeyEvent(rt_input_EventKeyChar, ch); }
void TestHost::MouseMove(float x, float y) { MouseEvent(rt_input_EventMouseMove, -1, x, y); }
void TestHost::MouseDown(float x, float y, int button) { MouseEvent(rt_input_EventMouseDown, button, x, y); }
void TestHost::MouseUp(float x, float y, int button) { MouseEvent(rt_input_EventMouseUp, button, x, y); }
void TestHost::TouchDown(int finger, float x, float y) { TouchEvent(rt_input_EventTouchDown, finger, x, y); }
void TestHost::TouchMove(int finger, float x, float y) { TouchEvent(rt_input_EventTouchMove, finger, x, y); }
void TestHost::TouchUp(int finger, float x, float y) { TouchEvent(rt_input_EventTouchUp, finger, x, y); }
void TestHost::Accel(float x, float y, float z) { MotionEvent(rt_input_EventMotionAccel, 0, x, y, z); }

void TestHost::SetJoystick(int port, float x, float y, std::initializer_list<int> buttonsHeld) {
    if (port < 0 || port > 3) return;
    Joystick &j = joysticks[port];
    j = Joystick();
    j.present = true;
    j.joyx[0] = x;
    j.joyy[0] = y;
    for (int b : buttonsHeld)
        if (b >= 0 && b < 32) j.buttons[b] = true;
}

void TestHost::UnplugJoysticks() {
    for (Joystick &j : joysticks)
        j = Joystick();
}

int TestHost::RecordCount() const { return App()->drawListLen / 15; }

const float *TestHost::Record(int i) const { return App()->drawList.Data() + 15 * i; }

std::vector<int> TestHost::Records(float kind) const {
    std::vector<int> out;
    for (int i = 0; i < RecordCount(); ++i)
        if (Record(i)[0] == kind) out.push_back(i);
    return out;
}

bool TestHost::OpenWindow(int width, int height) {
    static bool glfwReady = glfwInit() == GLFW_TRUE;
    if (!glfwReady) return false;
    SetGlfwWindow(width, height, 8, 8, 8, 0, 0, 0, false);
    return Window() != nullptr;
}

void TestHost::Render() {
    if (Window()) RenderGame();
}

unsigned TestHost::Pixel(int x, int y) {
    if (!Window()) return 0;
    int w = 0, h = 0;
    glfwGetFramebufferSize(Window(), &w, &h);
    unsigned char rgba[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glReadPixels(x, h - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return static_cast<unsigned>(rgba[0]) << 16 | static_cast<unsigned>(rgba[1]) << 8 | rgba[2];
}

int TestHost::GetDeviceWidth() { return Window() ? RtGlfwGame::GetDeviceWidth() : devW; }
int TestHost::GetDeviceHeight() { return Window() ? RtGlfwGame::GetDeviceHeight() : devH; }

void TestHost::SetDeviceWindow(int width, int height, int flags) {
    if (Window()) {
        RtGlfwGame::SetDeviceWindow(width, height, flags);
        return;
    }
    devW = width;
    devH = height;
}

Array<RtDisplayMode *> TestHost::GetDisplayModes() {
    if (Window()) return RtGlfwGame::GetDisplayModes();
    Array<RtDisplayMode *> modes(2);
    modes[0] = new RtDisplayMode(640, 480);
    modes[1] = new RtDisplayMode(1024, 768);
    return modes;
}

RtDisplayMode *TestHost::GetDesktopMode() {
    if (Window()) return RtGlfwGame::GetDesktopMode();
    return new RtDisplayMode(1024, 768);
}

bool TestHost::PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                            Array<bool> buttons) {
    if (port < 0 || port > 3 || !joysticks[port].present) return false;
    const Joystick &j = joysticks[port];
    for (int i = 0; i < 2; ++i) {
        joyx[i] = j.joyx[i];
        joyy[i] = j.joyy[i];
        joyz[i] = j.joyz[i];
    }
    for (int b = 0; b < 32; ++b)
        buttons[b] = j.buttons[b];
    return true;
}

String TestHost::PathToFilePath(String path) {
    if (path.StartsWith(String(kDataScheme))) return String(dataDir.c_str()) + path.Slice(kDataSchemeLength);
    return RtGlfwGame::PathToFilePath(path);
}

unsigned char *TestHost::LoadImageData(String path, int *width, int *height, int *depth) {
    loaded.push_back(path.StartsWith(String(kDataScheme)) ? path.Slice(kDataSchemeLength).ToUtf8()
                                                          : path.ToUtf8());
    return RtGlfwGame::LoadImageData(path, width, height, depth);
}

FILE *TestHost::OpenAudioFile(String path) {
    loaded.push_back(path.StartsWith(String(kDataScheme)) ? path.Slice(kDataSchemeLength).ToUtf8()
                                                          : path.ToUtf8());
    return RtGlfwGame::OpenAudioFile(path);
}

int TestHost::SaveState(String s) {
    if (saveResult != 0) {
        errno = saveErrno;
        return saveResult;
    }
    state = s;
    return 0;
}

String TestHost::LoadState() { return state; }

void TestHost::OpenUrl(String url) { openedUrls.push_back(url.ToUtf8()); }
