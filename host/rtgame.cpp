#include "host/rtgame.h"
#include "runtime/framelog.h"

#include <cstdlib>
#include <ctime>

RtGame *RtGame::_game;

RtGame::RtGame() {}

void RtGame::SetDelegate(RtGameDelegate *delegate) { _delegate = delegate; }

void RtGame::GetDate(Array<int> date) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    int fields[7] = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, 0};
    int n = date.Length() < 7 ? date.Length() : 7;
    for (int i = 0; i < n; ++i) date[i] = fields[i];
}

bool RtGame::PollJoystick(int, Array<float>, Array<float>, Array<float>, Array<bool>) { return false; }

void RtGame::Die(ThrowableObject *) {
    rtPrint(String("Zindle Runtime Error : Uncaught Zindle Exception"));
    std::exit(-1);
}

void RtGame::gc_collect() {
    int cycle = gc_markbit;
    gc_collect_step(_delegate);
    if (gc_markbit != cycle) framelog::Note(framelog::kCollect);
}

// Every delegated event is guarded: a throwable that escapes ends the process through Die. The collector
// steps only after the outermost event: an event raised from inside another (the key-ups the host sends
// when the game replaces its window during an update) must not sweep while game code is on the stack.
#define RT_GUARDED(call)                                                                                     \
    do {                                                                                                     \
        ++_eventDepth;                                                                                       \
        try {                                                                                                \
            call;                                                                                            \
        } catch (ThrowableObject * ex) {                                                                     \
            Die(ex);                                                                                         \
        }                                                                                                    \
        if (--_eventDepth == 0) gc_collect();                                                                \
    } while (0)

void RtGame::StartGame() {
    if (_started) return;
    _started = true;
    RT_GUARDED(_delegate->StartGame());
}

void RtGame::SuspendGame() {
    if (!_started || _suspended) return;
    _suspended = true;
    RT_GUARDED(_delegate->SuspendGame());
}

void RtGame::ResumeGame() {
    if (!_started || !_suspended) return;
    _suspended = false;
    RT_GUARDED(_delegate->ResumeGame());
}

void RtGame::UpdateGame() {
    if (!_started || _suspended) return;
    RT_GUARDED(_delegate->UpdateGame());
}

void RtGame::RenderGame() {
    if (!_started) return;
    RT_GUARDED(_delegate->RenderGame());
}

void RtGame::KeyEvent(int event, int data) {
    if (!_started) return;
    RT_GUARDED(_delegate->KeyEvent(event, data));
}

void RtGame::MouseEvent(int event, int data, float x, float y) {
    if (!_started) return;
    RT_GUARDED(_delegate->MouseEvent(event, data, x, y));
}

void RtGame::TouchEvent(int event, int data, float x, float y) {
    if (!_started) return;
    RT_GUARDED(_delegate->TouchEvent(event, data, x, y));
}

void RtGame::MotionEvent(int event, int data, float x, float y, float z) {
    if (!_started) return;
    RT_GUARDED(_delegate->MotionEvent(event, data, x, y, z));
}

void RtGame::DiscardGraphics() {
    if (!_started) return;
    RT_GUARDED(_delegate->DiscardGraphics());
}
