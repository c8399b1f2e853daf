#include "audio/audio.h"

#include <cmath>
#include <cstdlib>
#include <sys/resource.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "audio/audiodata.h"
#include "host/paths.h"
#include "host/rtgame.h"
#include "runtime/framelog.h"

// One tune decoded on a worker thread. The worker owns the file until it is done; the device reads the
// results only after `done` (release/acquire), or drops the job by setting `stop`.
struct MusicDecode {
    FILE *fp;
    AudioKind kind;
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    unsigned char *data = nullptr;
    int length = 0, chans = 0, format = 0, hertz = 0;

    MusicDecode(FILE *fp, AudioKind kind) : fp(fp), kind(kind) {}
    ~MusicDecode() {
        std::free(data);
        if (fp) std::fclose(fp);
    }
    void Run() {
        data = DecodeAudio(fp, kind, &length, &chans, &format, &hertz, &stop);
        std::fclose(fp);
        fp = nullptr;
        done.store(true, std::memory_order_release);
    }
};

gxtkAudio *gxtkAudio::audio;
std::vector<ALuint> gxtkAudio::discarded;

gxtkAudio *rt_audio_device;
static gc_root root_audio_device(rt_audio_device);

static ALint source_state(ALuint source) {
    ALint state = AL_STOPPED;
    if (source) alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state;
}

ALuint gxtkChannel::AL_Source() {
    if (source) return source;
    alGetError();
    alGenSources(1, &source);
    if (alGetError() == AL_NO_ERROR) return source;
    // Out of sources: borrow one from an effects channel whose sound has finished.
    source = 0;
    gxtkAudio *audio = gxtkAudio::audio;
    if (!audio) return 0;
    for (int i = 0; i < gxtkAudio::MusicChannel; ++i) {
        gxtkChannel &other = audio->channels[i];
        if (other.source && audio->ChannelState(i) == 0) {
            source = other.source;
            other.source = 0;
            return source;
        }
    }
    return 0;
}

// Every way out of the process ends in exit(), so the device is closed there. OpenAL complains at
// exit about a device left open.
static void close_audio_at_exit() {
    if (gxtkAudio::audio) gxtkAudio::audio->Close();
}

gxtkAudio::gxtkAudio() {
    audio = this;
    static bool registered = false;
    if (!registered) registered = std::atexit(close_audio_at_exit) == 0;
    alcDevice = alcOpenDevice(nullptr);
    if (!alcDevice) alcDevice = alcOpenDevice("Generic Hardware");
    if (!alcDevice) alcDevice = alcOpenDevice("Generic Software");
    rtPrint(String("opening openal device"));
    if (!alcDevice) {
        rtPrint(String("OpenAl error: alcOpenDevice failed"));
    } else {
        alcContext = alcCreateContext(alcDevice, nullptr);
        if (!alcContext) {
            rtPrint(String("OpenAl error: alcCreateContext failed"));
        } else if (!alcMakeContextCurrent(alcContext)) {
            rtPrint(String("OpenAl error: alcMakeContextCurrent failed"));
        }
    }
    if (alcDevice && alcIsExtensionPresent(alcDevice, "ALC_SOFT_pause_device")) {
        pauseDevice = reinterpret_cast<LPALCDEVICEPAUSESOFT>(alcGetProcAddress(alcDevice, "alcDevicePauseSOFT"));
        resumeDevice = reinterpret_cast<LPALCDEVICERESUMESOFT>(alcGetProcAddress(alcDevice, "alcDeviceResumeSOFT"));
    }
    alDistanceModel(AL_NONE);
    for (gxtkChannel &chan : channels)
        chan = gxtkChannel();
    channels[MusicChannel].AL_Source();
}

// The device lives for the whole run; if one is ever dropped, it must stop being the current one.
gxtkAudio::~gxtkAudio() {
    Close();
    if (audio == this) audio = nullptr;
}

void gxtkAudio::Close() {
    DropMusicDecode();
    if (!alcDevice) return;
    for (gxtkChannel &chan : channels) {
        if (chan.source) {
            alSourceStop(chan.source);
            alDeleteSources(1, &chan.source);
        }
        chan = gxtkChannel();
    }
    alcMakeContextCurrent(nullptr);
    if (alcContext) alcDestroyContext(alcContext);
    alcCloseDevice(alcDevice);
    alcContext = nullptr;
    alcDevice = nullptr;
}

void gxtkAudio::mark() {
    gc_mark_q(musicSample);
    for (gxtkChannel &chan : channels) {
        if (chan.state != 0 && chan.sample && source_state(chan.source) != AL_STOPPED) gc_mark_q(chan.sample);
    }
}

gxtkChannel *gxtkAudio::Channel(int channel) {
    TakeUpMusic();
    return channel >= 0 && channel < ChannelCount ? &channels[channel] : nullptr;
}

int gxtkAudio::Suspend() {
    TakeUpMusic();
    suspended = true;
    for (gxtkChannel &chan : channels) {
        if (chan.state == 1 && source_state(chan.source) == AL_PLAYING) alSourcePause(chan.source);
    }
    // Nothing plays while the game is away: stop the mixer thread too, so a suspended game uses no CPU.
    if (pauseDevice) pauseDevice(alcDevice);
    return 0;
}

int gxtkAudio::Resume() {
    TakeUpMusic();
    suspended = false;
    if (resumeDevice) resumeDevice(alcDevice);
    for (gxtkChannel &chan : channels) {
        if (chan.state == 1 && source_state(chan.source) == AL_PAUSED) alSourcePlay(chan.source);
    }
    return 0;
}

gxtkSample *gxtkAudio::LoadSample(String path) {
    FlushDiscarded();
    gxtkSample *sample = new gxtkSample();
    if (!LoadSample__UNSAFE__(sample, path)) return nullptr;
    return sample;
}

// A new OpenAL buffer filled with decoded PCM, which it frees; 0 when OpenAL refuses it. Its bytes count
// towards the collector's next cycle like any other outside allocation, so that a sample dropped with
// its buffer is found dead as soon as its size would matter.
static ALuint make_buffer(unsigned char *data, int length, int chans, int format, int hertz) {
    if (!data) return 0;
    ALenum alFormat = 0;
    if (format == 1 && chans == 1)
        alFormat = AL_FORMAT_MONO8;
    else if (format == 1 && chans == 2)
        alFormat = AL_FORMAT_STEREO8;
    else if (format == 2 && chans == 1)
        alFormat = AL_FORMAT_MONO16;
    else if (format == 2 && chans == 2)
        alFormat = AL_FORMAT_STEREO16;
    // A layout OpenAL cannot take would leave a silent buffer behind a sample that claims to have
    // loaded; refuse it like any other unreadable file.
    if (alFormat == 0 || length < 0 || hertz <= 0) {
        std::free(data);
        return 0;
    }
    ALuint buffer = 0;
    alGetError();
    alGenBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR) {
        std::free(data);
        return 0;
    }
    int bytes = length * chans * format;
    alBufferData(buffer, alFormat, data, bytes, hertz);
    std::free(data);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &buffer);
        alGetError();
        return 0;
    }
    gc_ext_malloced(bytes);
    return buffer;
}

bool gxtkAudio::LoadSample__UNSAFE__(gxtkSample *sample, String path) {
    int length = 0, chans = 0, format = 0, hertz = 0;
    unsigned char *data = RtGame::_game->LoadAudioData(path, &length, &chans, &format, &hertz);
    ALuint buffer = make_buffer(data, length, chans, format, hertz);
    if (!buffer) return false;
    sample->buffer = buffer;
    return true;
}

int gxtkAudio::PlaySample(gxtkSample *sample, int channel, int flags) {
    FlushDiscarded();
    gxtkChannel *chan = Channel(channel);
    if (!chan || !sample) return -1;
    if (MusicPending(chan)) DropMusicDecode();
    if (chan == &channels[MusicChannel] && sample != musicSample) ReleaseMusicSample();
    ALuint source = chan->AL_Source();
    if (!source) return -1;
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, static_cast<ALint>(sample->buffer));
    alSourcei(source, AL_LOOPING, flags != 0 ? AL_TRUE : AL_FALSE);
    alSourcePlay(source);
    gc_assign(chan->sample, sample);
    chan->flags = flags;
    chan->state = 1;
    return 0;
}

int gxtkAudio::StopChannel(int channel) {
    gxtkChannel *chan = Channel(channel);
    if (!chan) return -1;
    if (MusicPending(chan)) DropMusicDecode();
    if (chan == &channels[MusicChannel]) ReleaseMusicSample();
    if (chan->state != 0) {
        alSourceStop(chan->source);
        chan->state = 0;
    }
    return 0;
}

int gxtkAudio::PauseChannel(int channel) {
    gxtkChannel *chan = Channel(channel);
    if (!chan) return -1;
    if (chan->state == 1 && MusicPending(chan)) {
        chan->state = 2;
    } else if (chan->state == 1) {
        if (source_state(chan->source) == AL_STOPPED) {
            chan->state = 0;
        } else {
            alSourcePause(chan->source);
            chan->state = 2;
        }
    }
    return 0;
}

int gxtkAudio::ResumeChannel(int channel) {
    gxtkChannel *chan = Channel(channel);
    if (!chan) return -1;
    if (chan->state == 2) {
        if (!MusicPending(chan)) alSourcePlay(chan->source);
        chan->state = 1;
    }
    return 0;
}

int gxtkAudio::ChannelState(int channel) {
    gxtkChannel *chan = Channel(channel);
    if (!chan) return 0;
    if (chan->state == 1 && !MusicPending(chan) && source_state(chan->source) == AL_STOPPED) chan->state = 0;
    return chan->state;
}

int gxtkAudio::SetVolume(int channel, float volume) {
    gxtkChannel *chan = Channel(channel);
    if (!chan) return -1;
    if (ALuint source = chan->AL_Source()) alSourcef(source, AL_GAIN, volume);
    return 0;
}

// Pan turns the source around the listener at distance 1; with distance attenuation off only the
// direction matters.
int gxtkAudio::SetPan(int channel, float pan) {
    gxtkChannel *chan = Channel(channel);
    if (!chan) return -1;
    if (ALuint source = chan->AL_Source())
        alSource3f(source, AL_POSITION, std::sin(pan), 0.0f, -std::cos(pan));
    return 0;
}

int gxtkAudio::SetRate(int channel, float rate) {
    gxtkChannel *chan = Channel(channel);
    if (!chan) return -1;
    if (ALuint source = chan->AL_Source()) alSourcef(source, AL_PITCH, rate);
    return 0;
}

// The tune is decoded on a worker thread, so that starting one costs the update no more than a look at
// the file's headers. The channel plays (or stays paused) as the game says in the meantime, and the
// tune starts sounding at the first audio operation after it is ready. A file that cannot be opened or
// whose opening already shows it broken (a WAV format the loader does not take, a data chunk longer
// than the file, Ogg headers that do not parse) gives -1 at once; one whose samples turn out broken
// later stays silent.
int gxtkAudio::PlayMusic(String path, int flags) {
    StopMusic();
    FlushDiscarded();
    if (!alcGetCurrentContext()) return -1; // no device: nothing could hold the tune
    AudioKind kind = AudioKindOf(path);
    FILE *fp = kind == AudioKind::None ? nullptr : RtGame::_game->OpenAudioFile(path);
    if (!fp) return -1;
    if (!AudioHeadersReadable(fp, kind)) {
        std::fclose(fp);
        return -1;
    }
    auto job = std::make_shared<MusicDecode>(fp, kind);
    try {
        std::thread([job] {
            // Behind the frame loop and the renderer when the processor is short.
            setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
            job->Run();
        }).detach();
    } catch (const std::system_error &) {
        job->Run(); // no thread to be had: decode here, as before
    }
    musicDecode = job;
    framelog::Note(framelog::kTune);
    gxtkChannel &chan = channels[MusicChannel];
    chan.sample = nullptr;
    chan.flags = flags;
    chan.state = 1;
    return 0;
}

bool gxtkAudio::MusicDecoding() {
    TakeUpMusic();
    return musicDecode != nullptr;
}

void gxtkAudio::TakeUpMusic() {
    if (!musicDecode || !musicDecode->done.load(std::memory_order_acquire)) return;
    std::shared_ptr<MusicDecode> job = std::move(musicDecode);
    framelog::Note(framelog::kTune);
    gxtkChannel &chan = channels[MusicChannel];
    ALuint buffer = make_buffer(job->data, job->length, job->chans, job->format, job->hertz);
    job->data = nullptr;
    ALuint source = chan.AL_Source();
    if (!buffer || !source) {
        if (buffer) alDeleteBuffers(1, &buffer);
        chan.state = 0; // the file was broken after all: silence, as for an unreadable one
        return;
    }
    ReleaseMusicSample();
    gc_assign(musicSample, new gxtkSample(buffer));
    gc_assign(chan.sample, musicSample);
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
    alSourcei(source, AL_LOOPING, chan.flags != 0 ? AL_TRUE : AL_FALSE);
    if (chan.state == 1) {
        alSourcePlay(source);
        if (suspended) alSourcePause(source); // Resume starts it with the rest
    }
}

// The buffer goes to the discarded list; the next flush deletes it once the stopped source lets go.
void gxtkAudio::ReleaseMusicSample() {
    if (!musicSample) return;
    musicSample->Discard();
    musicSample = nullptr;
}

void gxtkAudio::DropMusicDecode() {
    if (!musicDecode) return;
    musicDecode->stop.store(true, std::memory_order_relaxed);
    musicDecode.reset();
}

int gxtkAudio::StopMusic() { return StopChannel(MusicChannel); }
int gxtkAudio::PauseMusic() { return PauseChannel(MusicChannel); }
int gxtkAudio::ResumeMusic() { return ResumeChannel(MusicChannel); }
int gxtkAudio::MusicState() { return ChannelState(MusicChannel); }
int gxtkAudio::SetMusicVolume(float volume) { return SetVolume(MusicChannel, volume); }

void gxtkAudio::FlushDiscarded() {
    if (discarded.empty()) return;
    // Every stopped source lets go of its buffer, the ones the game stopped too: a stopped music
    // channel would otherwise hold the last tune until the next one starts.
    if (audio) {
        for (gxtkChannel &chan : audio->channels) {
            if (chan.source && source_state(chan.source) == AL_STOPPED) alSourcei(chan.source, AL_BUFFER, 0);
        }
    }
    // A buffer still attached to some source refuses deletion; it waits for the next flush.
    size_t kept = 0;
    for (ALuint buffer : discarded) {
        alGetError();
        alDeleteBuffers(1, &buffer);
        if (alGetError() != AL_NO_ERROR) discarded[kept++] = buffer;
    }
    discarded.resize(kept);
}

gxtkSample::~gxtkSample() { Discard(); }

void gxtkSample::Discard() {
    if (!buffer) return;
    gxtkAudio::discarded.push_back(buffer);
    buffer = 0;
}

c_Sound *c_Sound::m_new(gxtkSample *sample) {
    gc_assign(m_sample, sample);
    return this;
}

void c_Sound::mark() { gc_mark_q(m_sample); }

int rt_audio_SetAudioDevice(gxtkAudio *device) {
    gc_assign(rt_audio_device, device);
    return 0;
}

c_Sound *rt_audio_LoadSound(String path) {
    gxtkSample *sample = rt_audio_device->LoadSample(rt_data_FixDataPath(path));
    if (!sample) return nullptr;
    return (new c_Sound)->m_new(sample);
}

int rt_audio_PlaySound(c_Sound *sound, int channel, int flags) {
    if (sound && sound->m_sample) rt_audio_device->PlaySample(sound->m_sample, channel, flags);
    return 0;
}

int rt_audio_StopChannel(int channel) { return rt_audio_device->StopChannel(channel); }
int rt_audio_SetChannelVolume(int channel, float volume) {
    return rt_audio_device->SetVolume(channel, volume);
}
int rt_audio_SetChannelPan(int channel, float pan) { return rt_audio_device->SetPan(channel, pan); }
int rt_audio_SetChannelRate(int channel, float rate) { return rt_audio_device->SetRate(channel, rate); }
int rt_audio_PlayMusic(String path, int flags) {
    return rt_audio_device->PlayMusic(rt_data_FixDataPath(path), flags);
}
int rt_audio_StopMusic() { return rt_audio_device->StopMusic(); }
int rt_audio_PauseMusic() { return rt_audio_device->PauseMusic(); }
int rt_audio_ResumeMusic() { return rt_audio_device->ResumeMusic(); }
int rt_audio_MusicState() { return rt_audio_device->MusicState(); }
