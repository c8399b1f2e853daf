// The application frame: the application base class, the delegate that turns host events into
// application calls, and the application module's functions.
#pragma once
#include "host/rtgame.h"
#include "runtime/containers.h"

class gxtkGraphics;
class gxtkAudio;
class c_InputDevice;

class c_App : public Object {
  public:
    c_App *m_new();
    virtual int p_OnCreate() { return 0; }
    virtual int p_OnSuspend() { return 0; }
    virtual int p_OnResume() { return 0; }
    virtual int p_OnUpdate() { return 0; }
    virtual int p_OnRender() { return 0; }
    int p_OnLoading() { return 0; }
    int p_OnResize() { return 0; }
    int p_OnClose();
    int p_OnBack();
};

class c_GameDelegate : public RtGameDelegate {
  public:
    gxtkGraphics *m_graphics = nullptr;
    gxtkAudio *m_audio = nullptr;
    c_InputDevice *m_input = nullptr;

    c_GameDelegate *m_new() { return this; }
    void StartGame() override;
    void SuspendGame() override;
    void ResumeGame() override;
    void UpdateGame() override;
    void RenderGame() override;
    void KeyEvent(int event, int data) override;
    void MouseEvent(int event, int data, float x, float y) override;
    void TouchEvent(int event, int data, float x, float y) override;
    void MotionEvent(int event, int data, float x, float y, float z) override;
    void DiscardGraphics() override;
    void mark() override;
};

extern c_App *rt_app__app;
extern c_GameDelegate *rt_app__delegate;
extern RtGame *rt_app__game;
extern int rt_app__updateRate;
extern int rt_app__devWidth;
extern int rt_app__devHeight;
extern Array<c_DisplayMode *> rt_app__displayModes;
extern c_DisplayMode *rt_app__desktopMode;

int rt_app_SetUpdateRate(int hertz);
int rt_app_Millisecs();
String rt_app_LoadState();
int rt_app_SaveState(String state);
int rt_app_EndApp();
int rt_app_DeviceWidth();
int rt_app_DeviceHeight();
int rt_app_ValidateDeviceWindow(bool notifyApp);
int rt_app_EnumDisplayModes();
c_DisplayMode *rt_app_DesktopMode();
int rt_app_SetDeviceWindow(int width, int height, int flags);
