#include "appframe/app.h"

#include "audio/audio.h"
#include "graphics/drawing.h"
#include "graphics/graphics.h"
#include "input/input.h"

c_App *rt_app__app;
c_GameDelegate *rt_app__delegate;
RtGame *rt_app__game;
int rt_app__updateRate;
int rt_app__devWidth;
int rt_app__devHeight;
Array<c_DisplayMode *> rt_app__displayModes;
c_DisplayMode *rt_app__desktopMode;

static gc_root root_app(rt_app__app);
static gc_root root_delegate(rt_app__delegate);
static gc_root root_modes(rt_app__displayModes);
static gc_root root_desktop(rt_app__desktopMode);

c_App *c_App::m_new() {
    if (rt_app__app) rtError(String("App has already been created"));
    gc_assign(rt_app__app, this);
    gc_assign(rt_app__delegate, (new c_GameDelegate)->m_new());
    rt_app__game->SetDelegate(rt_app__delegate);
    return this;
}

int c_App::p_OnClose() { return rt_app_EndApp(); }
int c_App::p_OnBack() { return rt_app_EndApp(); }

void c_GameDelegate::StartGame() {
    gc_assign(m_graphics, new gxtkGraphics());
    gc_assign(rt_graphics_device, m_graphics);
    rt_graphics_SetFont(nullptr, 32);
    gc_assign(m_audio, new gxtkAudio());
    gc_assign(rt_audio_device, m_audio);
    gc_assign(m_input, (new c_InputDevice)->m_new());
    gc_assign(rt_input_device, m_input);
    rt_app_ValidateDeviceWindow(false);
    rt_app_EnumDisplayModes();
    rt_app__app->p_OnCreate();
}

void c_GameDelegate::SuspendGame() {
    rt_app__app->p_OnSuspend();
    m_audio->Suspend();
}

void c_GameDelegate::ResumeGame() {
    m_audio->Resume();
    rt_app__app->p_OnResume();
}

void c_GameDelegate::UpdateGame() {
    rt_app_ValidateDeviceWindow(true);
    m_input->p_BeginUpdate();
    rt_app__app->p_OnUpdate();
    m_input->p_EndUpdate();
}

void c_GameDelegate::RenderGame() {
    rt_app_ValidateDeviceWindow(true);
    int mode = m_graphics->BeginRender();
    if (mode) {
        rt_graphics_BeginRender();
        if (mode != 2) rt_app__app->p_OnRender();
        rt_graphics_EndRender();
    } else {
        rt_app__app->p_OnRender();
    }
    m_graphics->EndRender();
}

void c_GameDelegate::KeyEvent(int event, int data) {
    m_input->p_KeyEvent(event, data);
    if (event == 1 && (data == 416 || data == 432)) rt_app_EndApp();
}

void c_GameDelegate::MouseEvent(int event, int data, float x, float y) { m_input->p_MouseEvent(event, data, x, y); }

void c_GameDelegate::TouchEvent(int event, int data, float x, float y) { m_input->p_TouchEvent(event, data, x, y); }

void c_GameDelegate::MotionEvent(int event, int data, float x, float y, float z) {
    m_input->p_MotionEvent(event, data, x, y, z);
}

void c_GameDelegate::DiscardGraphics() { m_graphics->DiscardGraphics(); }

void c_GameDelegate::mark() {
    gc_mark_q(m_graphics);
    gc_mark_q(m_audio);
    gc_mark_q(m_input);
}

int rt_app_SetUpdateRate(int hertz) {
    rt_app__updateRate = hertz;
    rt_app__game->SetUpdateRate(hertz);
    return 0;
}

int rt_app_Millisecs() { return rt_app__game->Millisecs(); }
String rt_app_LoadState() { return rt_app__game->LoadState(); }
int rt_app_SaveState(String state) { return rt_app__game->SaveState(state); }

int rt_app_EndApp() {
    rtError(String());
}

int rt_app_DeviceWidth() { return rt_app__devWidth; }
int rt_app_DeviceHeight() { return rt_app__devHeight; }

int rt_app_ValidateDeviceWindow(bool) {
    int w = rt_app__game->GetDeviceWidth(), h = rt_app__game->GetDeviceHeight();
    if (w != rt_app__devWidth || h != rt_app__devHeight) {
        rt_app__devWidth = w;
        rt_app__devHeight = h;
    }
    return 0;
}

int rt_app_EnumDisplayModes() {
    Array<RtDisplayMode *> modes = rt_app__game->GetDisplayModes();
    c_IntMap *seen = (new c_IntMap)->m_new();
    c_Stack *stack = (new c_Stack)->m_new();
    for (int i = 0; i < modes.Length(); ++i) {
        int w = modes[i]->width, h = modes[i]->height;
        int key = w << 16 | h;
        if (seen->p_Contains(key)) continue;
        c_DisplayMode *mode = (new c_DisplayMode)->m_new(w, h);
        seen->p_Set(key, mode);
        stack->p_Push(mode);
    }
    gc_assign(rt_app__displayModes, stack->p_ToArray());
    RtDisplayMode *desktop = rt_app__game->GetDesktopMode();
    if (desktop) gc_assign(rt_app__desktopMode, (new c_DisplayMode)->m_new(desktop->width, desktop->height));
    else gc_assign(rt_app__desktopMode, (new c_DisplayMode)->m_new(rt_app__devWidth, rt_app__devHeight));
    return 0;
}

c_DisplayMode *rt_app_DesktopMode() { return rt_app__desktopMode; }
int rt_app_SetDeviceWindow(int width, int height, int flags) {
    rt_app__game->SetDeviceWindow(width, height, flags);
    rt_app_ValidateDeviceWindow(false);
    return 0;
}
