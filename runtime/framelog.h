// What happened in a frame, for the per-frame recording the desktop host makes when it is asked to
// (TIDE_FRAME_LOG, see RtGlfwGame::Run). Off by default: noting an event then costs one test of a flag.
#pragma once

namespace framelog {

enum : unsigned {
    kTune = 1,     // a tune was started or taken up by the audio device
    kLoad = 2,     // a picture or sound file was loaded
    kWindow = 4,   // the window was replaced
    kCollect = 8,  // the collector finished a cycle
    kSave = 16,    // the state file was written
    kSuspend = 32, // the game was suspended or resumed
};

extern bool on;
extern unsigned marks; // main thread only; the host reads and clears it once per frame

inline void Note(unsigned mark) {
    if (on) marks |= mark;
}

} // namespace framelog
