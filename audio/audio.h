// The audio device: 33 numbered OpenAL channels (0 to 31 for effects, 32 for music), samples that each
// hold one decoded file in one OpenAL buffer, and the game-facing rt_audio_ functions.
#pragma once
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <memory>
#include <vector>

#include "runtime/object.h"

class gxtkSample;
struct MusicDecode;

// One channel; a plain record inside the device.
struct gxtkChannel {
    ALuint source = 0;
    gxtkSample *sample = nullptr; // last sample started here; kept alive by gxtkAudio::mark while it sounds
    int flags = 0;                // any non-zero value loops
    int state = 0;                // 0 stopped, 1 playing (also while the device is suspended), 2 paused

    // The channel's source, created on first use, or taken from a finished effects channel when OpenAL
    // has none left; 0 when there is none to be had.
    ALuint AL_Source();
};

class gxtkAudio : public Object {
  public:
    static constexpr int ChannelCount = 33;
    static constexpr int MusicChannel = 32;

    static gxtkAudio *audio;
    // Buffers of freed samples, deleted once no source holds them any more.
    static std::vector<ALuint> discarded;

    ALCdevice *alcDevice = nullptr;
    ALCcontext *alcContext = nullptr;
    LPALCDEVICEPAUSESOFT pauseDevice = nullptr;   // stops the mixer while suspended, where supported
    LPALCDEVICERESUMESOFT resumeDevice = nullptr;
    gxtkChannel channels[ChannelCount];
    // The tune being decoded on a worker for the music channel, if any. Until it is ready the channel
    // reports the state the game gave it (playing or paused) with nothing sounding.
    std::shared_ptr<MusicDecode> musicDecode;
    // The sample PlayMusic made for the tune now on the music channel. Nobody else can hold it, so its
    // buffer is given up as soon as the tune is stopped or replaced, rather than whenever the collector
    // gets round to destroying it.
    gxtkSample *musicSample = nullptr;
    bool suspended = false;

    gxtkAudio();
    ~gxtkAudio() override;
    void mark() override;

    virtual int Suspend();
    virtual int Resume();
    virtual gxtkSample *LoadSample(String path);
    virtual bool LoadSample__UNSAFE__(gxtkSample *sample, String path);
    virtual int PlaySample(gxtkSample *sample, int channel, int flags);
    virtual int StopChannel(int channel);
    virtual int PauseChannel(int channel);
    virtual int ResumeChannel(int channel);
    virtual int ChannelState(int channel);
    virtual int SetVolume(int channel, float volume);
    virtual int SetPan(int channel, float pan);
    virtual int SetRate(int channel, float rate);
    virtual int PlayMusic(String path, int flags);
    virtual int StopMusic();
    virtual int PauseMusic();
    virtual int ResumeMusic();
    virtual int MusicState();
    virtual int SetMusicVolume(float volume);

    // True while a tune started by PlayMusic is still being decoded (a finished one is taken up first).
    bool MusicDecoding();

    static void FlushDiscarded();
    // Stops every channel and closes the context and the device; the process ends right after.
    void Close();

  private:
    // The channel record; a finished tune decode is taken up first, so every operation sees it.
    gxtkChannel *Channel(int channel);
    bool MusicPending(const gxtkChannel *chan) const {
        return musicDecode && chan == &channels[MusicChannel];
    }
    void TakeUpMusic();
    void DropMusicDecode();
    void ReleaseMusicSample();
};

class gxtkSample : public Object {
  public:
    ALuint buffer = 0;

    gxtkSample() {}
    explicit gxtkSample(ALuint buffer) : buffer(buffer) {}
    ~gxtkSample() override;
    virtual void Discard();
};

class c_Sound : public Object {
  public:
    gxtkSample *m_sample = nullptr;

    c_Sound *m_new(gxtkSample *sample);
    c_Sound *m_new2() { return this; }
    void mark() override;
};

extern gxtkAudio *rt_audio_device;

int rt_audio_SetAudioDevice(gxtkAudio *device);
c_Sound *rt_audio_LoadSound(String path);
int rt_audio_PlaySound(c_Sound *sound, int channel, int flags);
int rt_audio_StopChannel(int channel);
int rt_audio_SetChannelVolume(int channel, float volume);
int rt_audio_SetChannelPan(int channel, float pan);
int rt_audio_SetChannelRate(int channel, float rate);
int rt_audio_PlayMusic(String path, int flags);
int rt_audio_StopMusic();
int rt_audio_PauseMusic();
int rt_audio_ResumeMusic();
int rt_audio_MusicState();
