// Shared by the device tests and the probe: a device per test on the loading host, the collector driven
// to completion, and bounded waits for OpenAL's mixer.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/audio.h"
#include "sound_files.h"

namespace audio_support {

// Polls `done` while the mixer runs, for at most `seconds` (a few by default); the tests assert on
// outcomes, not time.
template <class F> bool wait_for(F done, int seconds = 5) {
    for (int i = 0; i < seconds * 200; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

inline ALint source_state(ALuint source) {
    ALint state = 0;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state;
}

// One full collection: everything unreachable is found dead and destroyed.
inline void collect_all() {
    for (int i = 0; i < 2; ++i) {
        gc_ext_malloced(gc_cycle_bytes + 1);
        gc_collect_step(nullptr);
    }
    while (gc_free_bytes > 0)
        new Object; // destruction happens as blocks are reused
}

class DeviceTest : public ::testing::Test {
  protected:
    sound_files::FileHost host;
    sound_files::TempDir dir;
    gxtkAudio *audio = nullptr;

    void SetUp() override {
        collect_all(); // samples left by earlier tests in this process go now, not in the middle of this one
        gxtkAudio::discarded.clear();
        RtGame::_game = &host;
        audio = new gxtkAudio();
        rt_audio_SetAudioDevice(audio);
    }
    void TearDown() override {
        audio->Close();
        gxtkAudio::discarded.clear();
        rt_audio_device = nullptr;
        RtGame::_game = nullptr;
    }

    // A mono 16-bit tone of `seconds` at half of full scale.
    std::string tone(const std::string &name, double seconds, int rate = 22050) {
        int frames = static_cast<int>(seconds * rate);
        return dir.write(name,
                         sound_files::wav(1, 16, rate, sound_files::sine(frames, 1, 16, rate, 440, 0.5)));
    }
    gxtkSample *load(const std::string &path) { return audio->LoadSample(String(path.c_str())); }
};

} // namespace audio_support
