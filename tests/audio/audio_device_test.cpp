// The audio device on OpenAL Soft's null backend (the mixer runs, nothing is heard), plus the probe runs
// that need a backend or limits of their own.
#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

#include "audio_support.h"
#include "tests/support/mixed_output.h"
#include "tests/support/held_file.h"

using namespace audio_support;
using namespace sound_files;

extern char **environ;

namespace {

using AudioDevice = DeviceTest;

TEST_F(AudioDevice, MusicStateFollowsPlayPauseResumeAndTheEnd) {
    std::string ogg = dir.file("tune.ogg");
    ASSERT_TRUE(ogg_encode(tone("tune.wav", 0.2), ogg));
    ALuint source = audio->channels[gxtkAudio::MusicChannel].source;
    EXPECT_NE(source, 0u); // the music channel has its source from the start

    ASSERT_EQ(rt_audio_PlayMusic(String(ogg.c_str()), 0), 0);
    EXPECT_EQ(rt_audio_MusicState(), 1);
    ASSERT_TRUE(wait_for([&] { return !audio->MusicDecoding(); }));
    EXPECT_EQ(source_state(source), AL_PLAYING);
    rt_audio_PauseMusic();
    EXPECT_EQ(rt_audio_MusicState(), 2);
    EXPECT_EQ(source_state(source), AL_PAUSED);
    rt_audio_ResumeMusic();
    EXPECT_EQ(rt_audio_MusicState(), 1);
    EXPECT_TRUE(wait_for([&] { return rt_audio_MusicState() == 0; })); // it ends by itself

    ASSERT_EQ(rt_audio_PlayMusic(String(ogg.c_str()), 1), 0);
    ASSERT_TRUE(wait_for([&] { return !audio->MusicDecoding(); }));
    ALint looping = 0;
    alGetSourcei(source, AL_LOOPING, &looping);
    EXPECT_EQ(looping, AL_TRUE);
    EXPECT_EQ(audio->channels[gxtkAudio::MusicChannel].source, source);

    // A missing or unreadable file still stops what was playing, and the stopped tune's buffer goes.
    ALuint played = audio->channels[gxtkAudio::MusicChannel].sample->buffer;
    EXPECT_EQ(rt_audio_PlayMusic(String((dir.path + "/missing.ogg").c_str()), 1), -1);
    EXPECT_FALSE(alIsBuffer(played));
    EXPECT_EQ(rt_audio_MusicState(), 0);
    EXPECT_EQ(source_state(source), AL_STOPPED);
    ASSERT_EQ(rt_audio_PlayMusic(String(ogg.c_str()), 1), 0);
    EXPECT_EQ(rt_audio_PlayMusic(String(dir.write("noise.ogg", Bytes(5000, 7)).c_str()), 1), -1);
    EXPECT_FALSE(audio->MusicDecoding());
    EXPECT_EQ(rt_audio_MusicState(), 0);
    EXPECT_NE(source_state(source), AL_PLAYING);
}

// A tune whose opening already shows it broken is refused at once, before any decoding: a WAV format
// the loader does not take, a data chunk longer than the file, Ogg headers cut short.
TEST_F(AudioDevice, MusicBrokenFromItsOpeningIsRefusedAtOnce) {
    Bytes pcm = sine(2205, 1, 16, 22050, 440, 0.5);
    Bytes fmt = chunk("fmt ", fmt_body(1, 1, 22050, 16));
    std::string ogg = dir.file("tune.ogg");
    ASSERT_TRUE(ogg_encode(tone("tune.wav", 0.2), ogg));
    Bytes cut;
    for (FILE *fp = std::fopen(ogg.c_str(), "rb"); fp; fp = (std::fclose(fp), nullptr))
        for (int c; cut.size() < 200 && (c = std::fgetc(fp)) != EOF;)
            cut.push_back(static_cast<uint8_t>(c));
    const std::string broken[] = {
        dir.write("float.wav", riff({chunk("fmt ", fmt_body(3, 1, 22050, 32)), chunk("data", pcm)})),
        dir.write("long.wav", riff({fmt, chunk("data", pcm, pcm.size() + 2)})),
        dir.write("silent.wav", riff({chunk("fmt ", fmt_body(1, 0, 22050, 16)), chunk("data", pcm)})),
        dir.write("cut.ogg", cut),
    };
    for (const std::string &path : broken) {
        ASSERT_EQ(rt_audio_PlayMusic(String(ogg.c_str()), 1), 0);
        EXPECT_EQ(rt_audio_PlayMusic(String(path.c_str()), 1), -1) << path;
        EXPECT_FALSE(audio->MusicDecoding()) << path;
        EXPECT_EQ(rt_audio_MusicState(), 0) << path;
    }
    std::string fine = dir.write("fine.wav", riff({fmt, chunk("data", pcm)}));
    EXPECT_EQ(rt_audio_PlayMusic(String(fine.c_str()), 0), 0);
}

// Music is decoded on a worker; until it is ready the channel follows the game as if it sounded.
TEST_F(AudioDevice, MusicStillDecodingFollowsPauseStopAndSuspend) {
    struct Host : FileHost {
        FILE *OpenAudioFile(String path) override { return HeldFiles::Shared().Open(path.ToUtf8()); }
    } held;
    RtGame::_game = &held;
    HeldFiles &files = HeldFiles::Shared();
    std::string ogg = dir.file("tune.ogg");
    ASSERT_TRUE(ogg_encode(tone("tune.wav", 0.5), ogg));
    ALuint source = audio->channels[gxtkAudio::MusicChannel].source;
    auto decoded = [&] { return wait_for([&] { return !audio->MusicDecoding(); }); };

    // Paused while decoding: ready but silent until resumed.
    files.Hold();
    ASSERT_EQ(audio->PlayMusic(String(ogg.c_str()), 1), 0);
    EXPECT_TRUE(audio->MusicDecoding());
    EXPECT_EQ(audio->MusicState(), 1);
    audio->PauseMusic();
    EXPECT_EQ(audio->MusicState(), 2);
    files.Release();
    ASSERT_TRUE(decoded());
    EXPECT_EQ(audio->MusicState(), 2);
    EXPECT_NE(source_state(source), AL_PLAYING);
    audio->ResumeMusic();
    EXPECT_EQ(source_state(source), AL_PLAYING);
    EXPECT_EQ(audio->MusicState(), 1);

    // Suspended while decoding: it waits for the resume with the rest.
    files.Hold();
    ASSERT_EQ(audio->PlayMusic(String(ogg.c_str()), 1), 0);
    audio->Suspend();
    files.Release();
    ASSERT_TRUE(decoded());
    EXPECT_EQ(source_state(source), AL_PAUSED);
    EXPECT_EQ(audio->MusicState(), 1);
    audio->Resume();
    EXPECT_EQ(source_state(source), AL_PLAYING);

    // Stopped, or replaced, while decoding: the first tune never sounds.
    files.Hold();
    ASSERT_EQ(audio->PlayMusic(String(ogg.c_str()), 1), 0);
    audio->StopMusic();
    EXPECT_FALSE(audio->MusicDecoding());
    EXPECT_EQ(audio->MusicState(), 0);
    std::string other = dir.file("other.ogg");
    ASSERT_TRUE(ogg_encode(tone("other.wav", 0.3), other));
    ASSERT_EQ(audio->PlayMusic(String(ogg.c_str()), 1), 0);
    ASSERT_EQ(audio->PlayMusic(String(other.c_str()), 0), 0);
    files.Release();
    ASSERT_TRUE(decoded());
    ALint looping = 1, size = 0;
    alGetSourcei(source, AL_LOOPING, &looping);
    alGetBufferi(audio->channels[gxtkAudio::MusicChannel].sample->buffer, AL_SIZE, &size);
    EXPECT_EQ(looping, AL_FALSE);
    EXPECT_EQ(size, static_cast<int>(0.3 * 22050) * 2);
    EXPECT_EQ(source_state(source), AL_PLAYING);
    RtGame::_game = &host;
}

TEST_F(AudioDevice, PausingASoundThatHasEndedStopsTheChannel) {
    gxtkSample *blip = load(tone("blip.wav", 0.02));
    ASSERT_NE(blip, nullptr);
    ASSERT_EQ(audio->PlaySample(blip, 3, 0), 0);
    ALuint source = audio->channels[3].source;
    ASSERT_TRUE(wait_for([&] { return source_state(source) == AL_STOPPED; }));
    EXPECT_EQ(audio->channels[3].state, 1); // nobody has asked yet
    audio->PauseChannel(3);
    EXPECT_EQ(audio->ChannelState(3), 0);
    audio->ResumeChannel(3);
    EXPECT_EQ(source_state(source), AL_STOPPED);
    EXPECT_EQ(audio->ChannelState(3), 0);
}

TEST_F(AudioDevice, SuspendAndResumeLeaveAGamePausedChannelPaused) {
    gxtkSample *loop = load(tone("loop.wav", 0.1));
    ASSERT_NE(loop, nullptr);
    audio->PlaySample(loop, 0, 1);
    audio->PlaySample(loop, 1, 1);
    audio->PlaySample(loop, gxtkAudio::MusicChannel, 1);
    audio->PauseChannel(1);
    ALuint s0 = audio->channels[0].source, s1 = audio->channels[1].source,
           music = audio->channels[gxtkAudio::MusicChannel].source;

    audio->Suspend();
    EXPECT_EQ(source_state(s0), AL_PAUSED);
    EXPECT_EQ(source_state(music), AL_PAUSED);
    EXPECT_EQ(audio->ChannelState(0), 1); // still playing as far as the game knows
    EXPECT_EQ(audio->MusicState(), 1);
    EXPECT_EQ(audio->ChannelState(1), 2);

    audio->Resume();
    EXPECT_EQ(source_state(s0), AL_PLAYING);
    EXPECT_EQ(source_state(music), AL_PLAYING);
    EXPECT_EQ(source_state(s1), AL_PAUSED);
    EXPECT_EQ(audio->ChannelState(1), 2);
    audio->ResumeChannel(1);
    EXPECT_EQ(source_state(s1), AL_PLAYING);
}

TEST_F(AudioDevice, SettersShapeTheChannelsSourceAndOutlastPlays) {
    rt_audio_SetChannelPan(5, 0);
    ALuint source = audio->channels[5].source;
    ASSERT_NE(source, 0u); // created by the setter
    float x, y, z;
    alGetSource3f(source, AL_POSITION, &x, &y, &z);
    EXPECT_FLOAT_EQ(x, 0);
    EXPECT_FLOAT_EQ(y, 0);
    EXPECT_FLOAT_EQ(z, -1);
    rt_audio_SetChannelPan(5, 1.5707964f);
    alGetSource3f(source, AL_POSITION, &x, &y, &z);
    EXPECT_FLOAT_EQ(x, 1);
    EXPECT_NEAR(z, 0, 1e-6);
    rt_audio_SetChannelPan(5, -1);
    alGetSource3f(source, AL_POSITION, &x, &y, &z);
    EXPECT_NEAR(x, -0.841471f, 1e-5); // about 57 degrees to the left
    EXPECT_NEAR(z, -0.540302f, 1e-5);

    rt_audio_SetChannelVolume(5, 0.25f);
    rt_audio_SetChannelRate(5, 1.5f);
    gxtkSample *blip = load(tone("blip.wav", 0.05));
    rt_audio_PlaySound((new c_Sound)->m_new(blip), 5, 0);
    EXPECT_EQ(audio->channels[5].source, source);
    float gain = 0, pitch = 0;
    alGetSourcef(source, AL_GAIN, &gain);
    alGetSourcef(source, AL_PITCH, &pitch);
    EXPECT_FLOAT_EQ(gain, 0.25f);
    EXPECT_FLOAT_EQ(pitch, 1.5f);
    alGetSource3f(source, AL_POSITION, &x, &y, &z);
    EXPECT_NEAR(x, -0.841471f, 1e-5);

    // Every channel has a source of its own.
    rt_audio_SetChannelVolume(6, 1);
    EXPECT_NE(audio->channels[6].source, source);
    EXPECT_NE(audio->channels[6].source, audio->channels[gxtkAudio::MusicChannel].source);
}

TEST_F(AudioDevice, LoadingChoosesTheOpenALLayout) {
    std::string stereo8 = dir.write("s8.wav", wav(2, 8, 11025, sine(300, 2, 8, 11025, 440, 0.5)));
    c_Sound *sound = rt_audio_LoadSound(String(stereo8.c_str()));
    ASSERT_NE(sound, nullptr);
    ASSERT_NE(sound->m_sample, nullptr);
    ALint bits = 0, chans = 0, freq = 0, size = 0;
    ALuint buffer = sound->m_sample->buffer;
    alGetBufferi(buffer, AL_BITS, &bits);
    alGetBufferi(buffer, AL_CHANNELS, &chans);
    alGetBufferi(buffer, AL_FREQUENCY, &freq);
    alGetBufferi(buffer, AL_SIZE, &size);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(chans, 2);
    EXPECT_EQ(freq, 11025);
    EXPECT_EQ(size, 600);

    std::string mono16 = dir.write("M16.WAV", wav(1, 16, 44100, sine(100, 1, 16, 44100, 440, 0.5)));
    sound = rt_audio_LoadSound(String(mono16.c_str()));
    ASSERT_NE(sound, nullptr);
    alGetBufferi(sound->m_sample->buffer, AL_BITS, &bits);
    alGetBufferi(sound->m_sample->buffer, AL_CHANNELS, &chans);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(chans, 1);
}

TEST_F(AudioDevice, UnloadableSoundsGiveNoneAndPlayNothing) {
    EXPECT_EQ(rt_audio_LoadSound(String((dir.path + "/missing.wav").c_str())), nullptr);
    EXPECT_EQ(rt_audio_LoadSound(String(dir.write("bad.wav", Bytes(40, 1)).c_str())), nullptr);
    // Layouts OpenAL has no format for are refused rather than loaded silent.
    std::string deep =
        dir.write("deep.wav", riff({chunk("fmt ", fmt_body(1, 1, 22050, 24)), chunk("data", Bytes(300, 9))}));
    EXPECT_EQ(rt_audio_LoadSound(String(deep.c_str())), nullptr);
    std::string three = dir.write("three.wav", wav(3, 16, 22050, sine(50, 3, 16, 22050, 440, 0.5)));
    EXPECT_EQ(rt_audio_LoadSound(String(three.c_str())), nullptr);

    EXPECT_EQ(rt_audio_PlaySound(nullptr, 0, 0), 0);
    EXPECT_EQ(rt_audio_PlaySound((new c_Sound)->m_new(nullptr), 0, 0), 0);
    EXPECT_EQ(audio->channels[0].state, 0);
}

TEST_F(AudioDevice, DiscardedBufferWaitsUntilNoSourceHoldsIt) {
    gxtkSample *first = load(tone("a.wav", 0.1));
    gxtkSample *second = load(tone("b.wav", 0.1));
    ASSERT_TRUE(first && second);
    audio->PlaySample(first, 0, 1);
    ALuint buffer = first->buffer;
    first->Discard();
    EXPECT_EQ(first->buffer, 0u);
    gxtkAudio::FlushDiscarded();
    EXPECT_TRUE(alIsBuffer(buffer)); // still playing
    EXPECT_EQ(gxtkAudio::discarded.size(), 1u);

    audio->PlaySample(second, 0, 0); // the channel lets go of the old buffer
    gxtkAudio::FlushDiscarded();
    EXPECT_FALSE(alIsBuffer(buffer));
    EXPECT_TRUE(gxtkAudio::discarded.empty());
}

TEST_F(AudioDevice, CollectorKeepsSoundingSamplesAndFreesFinishedOnes) {
    gxtkSample *looping = load(tone("loop.wav", 0.1));
    gxtkSample *once = load(tone("once.wav", 0.02));
    ASSERT_TRUE(looping && once);
    ALuint loopBuffer = looping->buffer, onceBuffer = once->buffer;
    audio->PlaySample(looping, 4, 1);
    audio->PlaySample(once, 2, 0);
    ALuint source = audio->channels[2].source;
    ASSERT_TRUE(wait_for([&] { return source_state(source) == AL_STOPPED; }));

    // Only the device refers to either sample now.
    collect_all();
    EXPECT_EQ(audio->channels[4].sample->buffer, loopBuffer);
    ASSERT_EQ(gxtkAudio::discarded.size(), 1u);
    EXPECT_EQ(gxtkAudio::discarded[0], onceBuffer);

    gxtkSample *next = load(tone("next.wav", 0.01)); // every load flushes first
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(gxtkAudio::discarded.empty());
    EXPECT_TRUE(next->buffer == onceBuffer || !alIsBuffer(onceBuffer)); // OpenAL may hand the name out again
    EXPECT_TRUE(alIsBuffer(loopBuffer));
}

// ---- probe runs: the device in a child process with an OpenAL configuration of its own ----

struct ProbeRun {
    int status = -1;
    std::string output;
};

ProbeRun run_probe(const std::string &test, const std::vector<std::string> &env, const std::string &outFile) {
    std::vector<std::string> vars = {"TIDE_AUDIO_PROBE=1"};
    for (char **e = environ; *e; ++e) {
        std::string v = *e;
        if (v.rfind("ALSOFT_", 0) != 0) vars.push_back(v);
    }
    vars.insert(vars.end(), env.begin(), env.end());
    std::vector<char *> envp;
    for (auto &v : vars)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string filter = "--gtest_filter=Probe." + test;
    char probe[] = TIDE_AUDIO_PROBE;
    char *argv[] = {probe, filter.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    ProbeRun run;
    pid_t pid;
    if (posix_spawn(&pid, probe, &actions, nullptr, argv, envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    std::ifstream in(outFile);
    std::stringstream text;
    text << in.rdbuf();
    run.output = text.str();
    return run;
}

void expect_passed(const ProbeRun &run) {
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("SKIPPED"), std::string::npos) << run.output;
}

// Largest sample size in the mixed output the wave backend wrote, as a fraction of full scale; -1 when
// the file holds no samples at all.
double wave_file_peak(const std::string &path) {
    return mixed_output::Measure(mixed_output::Read(path).samples).peak;
}

TEST(AudioProbe, SoundLoadedFromAFileIsMixedIntoTheOutput) {
    TempDir dir;
    std::string sound = dir.write("tone.wav", wav(1, 16, 22050, sine(5512, 1, 16, 22050, 440, 0.5)));
    std::string heard = dir.file("heard.wav"), quiet = dir.file("quiet.wav");
    auto conf = [&](const std::string &name, const std::string &out) {
        std::ofstream(dir.file(name)) << "[general]\nsample-type = float32\n[wave]\nfile = " << out << "\n";
        return "ALSOFT_CONF=" + dir.path + "/" + name;
    };
    std::vector<std::string> env = {"ALSOFT_DRIVERS=wave", conf("heard.conf", heard),
                                    "TIDE_PROBE_RECORDING=" + heard, "TIDE_PROBE_SOUND=" + sound};
    expect_passed(run_probe("PlayToTheEnd", env, dir.file("heard.log")));
    EXPECT_GT(wave_file_peak(heard), 0.1);

    // The same run with nothing played writes silence, so the level above is the sound's.
    expect_passed(run_probe("PlayToTheEnd",
                            {"ALSOFT_DRIVERS=wave", conf("quiet.conf", quiet), "TIDE_PROBE_RECORDING=" + quiet},
                            dir.file("quiet.log")));
    EXPECT_EQ(wave_file_peak(quiet), 0.0);
}

TEST(AudioProbe, FinishedChannelsLendTheirSourcesWhenOpenALHasNoMore) {
    TempDir dir;
    std::ofstream(dir.file("few.conf")) << "[general]\nsources = 4\n";
    expect_passed(run_probe("ReclaimSources",
                            {"ALSOFT_DRIVERS=null", "ALSOFT_CONF=" + dir.path + "/few.conf"},
                            dir.file("few.log")));
}

TEST(AudioProbe, LeavingWithTheDeviceOpenClosesItQuietly) {
    TempDir dir;
    ProbeRun run = run_probe("ExitWithTheDeviceOpen", {"ALSOFT_DRIVERS=null"}, dir.file("exit.log"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("[ RUN      ] Probe.ExitWithTheDeviceOpen"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("AL lib"), std::string::npos) << run.output;
}

TEST(AudioProbe, WithoutADeviceTheGameCarriesOnSilently) {
    TempDir dir;
    ProbeRun run = run_probe("WithoutDevice", {"ALSOFT_DRIVERS=nosuchbackend"}, dir.file("none.log"));
    expect_passed(run);
    EXPECT_NE(run.output.find("opening openal device\nOpenAl error: alcOpenDevice failed\n"),
              std::string::npos)
        << run.output;
}

} // namespace
