// Runs of the device that need an OpenAL configuration of their own (a backend, a source limit). OpenAL
// reads its configuration once per process, so the device tests start this program as a child with the
// environment set; run any other way, these skip.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "audio_support.h"

using namespace audio_support;

namespace {

class Probe : public DeviceTest {
  protected:
    void SetUp() override {
        if (!std::getenv("TIDE_AUDIO_PROBE")) GTEST_SKIP() << "started by the audio device tests only";
        DeviceTest::SetUp();
    }
    void TearDown() override {
        if (audio) DeviceTest::TearDown(); // closing the device also completes the wave backend's file
    }
};

TEST_F(Probe, PlayToTheEnd) {
    ASSERT_NE(audio->alcContext, nullptr);
    if (const char *sound = std::getenv("TIDE_PROBE_SOUND")) {
        gxtkSample *sample = load(sound);
        ASSERT_NE(sample, nullptr);
        ASSERT_EQ(audio->PlaySample(sample, 0, 0), 0);
        ASSERT_TRUE(wait_for([&] { return audio->ChannelState(0) == 0; }));
    } else {
        // Let the mixer write a while of nothing. A device closed before its mixer has run at all leaves a
        // file with no samples, so the wait is for the file (which grows by whole stdio buffers), with a
        // bound only against a mixer that never runs.
        const char *recording = std::getenv("TIDE_PROBE_RECORDING");
        ASSERT_NE(recording, nullptr);
        auto size = [&] {
            std::error_code missing;
            std::uintmax_t bytes = std::filesystem::file_size(recording, missing);
            return missing ? 0 : bytes;
        };
        ASSERT_TRUE(wait_for([&] { return size() >= 4 * BUFSIZ; }, 60)) << size() << " bytes";
    }
}

// Ends the process the way the game's quit does, with the device still open and a sound playing.
TEST_F(Probe, ExitWithTheDeviceOpen) {
    gxtkSample *loop = load(tone("loop.wav", 0.1));
    ASSERT_NE(loop, nullptr);
    ASSERT_EQ(audio->PlaySample(loop, 0, 1), 0);
    std::filesystem::remove_all(dir.path); // exit skips the fixture's clean-up
    std::fflush(stdout);
    std::exit(0);
}

TEST_F(Probe, ReclaimSources) {
    // OpenAL is configured for a few sources (how many it really hands out is its own affair): the
    // music channel holds one from the start, an effect finishes on channel 0, and loops take channel
    // after channel until OpenAL has none left.
    gxtkSample *loop = load(tone("loop.wav", 0.1));
    gxtkSample *blip = load(tone("blip.wav", 0.02));
    ASSERT_TRUE(loop && blip);
    ASSERT_EQ(audio->PlaySample(blip, 0, 0), 0);
    ALuint ended = audio->channels[0].source;
    ASSERT_TRUE(wait_for([&] { return source_state(ended) == AL_STOPPED; }));

    // The first channel that finds none borrows the finished effect's source.
    int lender = 1;
    while (lender < gxtkAudio::MusicChannel - 1 && audio->channels[0].source) {
        ASSERT_EQ(audio->PlaySample(loop, lender, 1), 0);
        ++lender;
    }
    ASSERT_EQ(audio->channels[0].source, 0u) << "OpenAL never ran out of sources";
    int borrower = lender - 1, next = lender;
    EXPECT_EQ(audio->channels[borrower].source, ended);
    EXPECT_EQ(audio->ChannelState(borrower), 1);
    ALuint first = audio->channels[1].source;

    // None finished: the sound is not played.
    EXPECT_EQ(audio->PlaySample(loop, next, 1), -1);
    EXPECT_EQ(audio->channels[next].source, 0u);
    EXPECT_EQ(audio->ChannelState(next), 0);

    // The music channel keeps its source even while stopped.
    audio->StopMusic();
    EXPECT_EQ(audio->PlaySample(loop, next, 1), -1);
    EXPECT_NE(audio->channels[gxtkAudio::MusicChannel].source, 0u);

    // A channel the game stopped is as good as a finished one.
    audio->StopChannel(1);
    ASSERT_EQ(audio->PlaySample(loop, next, 1), 0);
    EXPECT_EQ(audio->channels[next].source, first);
    EXPECT_EQ(audio->channels[1].source, 0u);
}

TEST_F(Probe, WithoutDevice) {
    EXPECT_EQ(audio->alcDevice, nullptr);
    EXPECT_EQ(audio->alcContext, nullptr);
    EXPECT_EQ(load(tone("tone.wav", 0.05)), nullptr);
    gxtkSample *empty = new gxtkSample();
    EXPECT_EQ(audio->PlaySample(empty, 0, 0), -1);
    EXPECT_EQ(audio->ChannelState(0), 0);
    audio->SetVolume(0, 0.5f);
    audio->SetPan(0, 1);
    audio->Suspend();
    audio->Resume();
    EXPECT_EQ(audio->PlayMusic(String(tone("tune.wav", 0.05).c_str()), 1), -1);
    EXPECT_EQ(audio->MusicState(), 0);
}

} // namespace
