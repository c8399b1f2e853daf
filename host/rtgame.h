// The host interface: one object per process that owns the window, the clock and the files, and hands
// every event to the delegate. The desktop version is RtGlfwGame (glfw_game.h).
#pragma once
#include <cstdio>

#include "runtime/error.h"
#include "runtime/object.h"

class RtGameDelegate : public Object {
  public:
    virtual void StartGame() {}
    virtual void SuspendGame() {}
    virtual void ResumeGame() {}
    virtual void UpdateGame() {}
    virtual void RenderGame() {}
    virtual void KeyEvent(int, int) {}
    virtual void MouseEvent(int, int, float, float) {}
    virtual void TouchEvent(int, int, float, float) {}
    virtual void MotionEvent(int, int, float, float, float) {}
    virtual void DiscardGraphics() {}
};

class RtDisplayMode : public Object {
  public:
    int width = 0;
    int height = 0;
    RtDisplayMode(int w = 0, int h = 0) : width(w), height(h) {}
};

class RtGame {
  public:
    static RtGame *_game;

    RtGame();
    virtual ~RtGame() {}

    virtual void SetDelegate(RtGameDelegate *delegate);
    virtual RtGameDelegate *Delegate() { return _delegate; }
    virtual void SetKeyboardEnabled(bool enabled) { _keyboardEnabled = enabled; }
    virtual bool KeyboardEnabled() { return _keyboardEnabled; }
    virtual void SetUpdateRate(int hertz) { _updateRate = hertz; }
    virtual int UpdateRate() { return _updateRate; }
    virtual bool Started() { return _started; }
    virtual bool Suspended() { return _suspended; }
    virtual int Millisecs() { return 0; }
    virtual void GetDate(Array<int> date);
    virtual int SaveState(String state);
    virtual String LoadState();
    virtual String LoadString(String path);
    virtual bool PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz, Array<bool> buttons);
    virtual void OpenUrl(String) {}
    virtual void SetMouseVisible(bool) {}
    virtual int GetDeviceWidth() { return 0; }
    virtual int GetDeviceHeight() { return 0; }
    virtual void SetDeviceWindow(int, int, int) {}
    virtual Array<RtDisplayMode *> GetDisplayModes() { return Array<RtDisplayMode *>(); }
    virtual RtDisplayMode *GetDesktopMode() { return nullptr; }
    virtual void SetSwapInterval(int) {}
    virtual String PathToFilePath(String path) { return path; }
    virtual FILE *OpenFile(String path, String mode);
    virtual unsigned char *LoadData(String path, int *plength);
    virtual unsigned char *LoadImageData(String, int *, int *, int *) { return nullptr; }
    virtual unsigned char *LoadAudioData(String, int *, int *, int *, int *) { return nullptr; }
    // A sound file opened for reading; the audio device decodes music from it on a worker thread.
    virtual FILE *OpenAudioFile(String path) { return OpenFile(path, String("rb")); }
    [[noreturn]] virtual void Die(ThrowableObject *ex);
    virtual void gc_collect();
    virtual void StartGame();
    virtual void SuspendGame();
    virtual void ResumeGame();
    virtual void UpdateGame();
    virtual void RenderGame();
    virtual void KeyEvent(int event, int data);
    virtual void MouseEvent(int event, int data, float x, float y);
    virtual void TouchEvent(int event, int data, float x, float y);
    virtual void MotionEvent(int event, int data, float x, float y, float z);
    virtual void DiscardGraphics();

  protected:
    RtGameDelegate *_delegate = nullptr;
    bool _keyboardEnabled = false;
    int _updateRate = 0;
    bool _started = false;
    bool _suspended = false;
    int _eventDepth = 0; // delegated events under way; the collector steps when the last one ends
};

// The state file, relative to the working directory.
extern const char *const rt_state_file_name;
