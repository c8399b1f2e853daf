// What a player hears: the real program with OpenAL Soft writing its mixed output to a file, played
// through real input from the menu into the reborn fight with fire tapped, where the music, the shots,
// the clanks on the armour and the throws all sound at once. The recording must keep its headroom.
#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/harness/pilot.h"
#include "tests/support/mixed_output.h"

#include <fstream>

namespace e2e {
namespace {

class SoundMix : public E2eTest {};

// The wave backend in 32-bit float, so that a sum beyond full scale shows as it is, and without the
// output limiter, which would otherwise hide such a sum by turning the whole mix down for a while.
std::string WaveConf(const std::string &dir, const std::string &wav) {
    std::string path = dir + "/alsoft.conf";
    std::ofstream(path) << "[general]\nsample-type = float32\nchannels = stereo\nfrequency = 44100\n"
                           "output-limiter = false\n[wave]\nfile = "
                        << wav << "\n";
    return path;
}

TEST_F(SoundMix, TheRebornFightNeverReachesFullScale) {
    const std::string wav = out_ + "/mix.wav";
    Launch launch = InWorkDir();
    launch.audioDrivers = "wave";
    launch.audioConf = WaveConf(out_, wav);
    ASSERT_NO_FATAL_FAILURE(StartToMenu(launch));
    x_->Tap("space");
    ASSERT_TRUE(game_->WaitFor("02-fight", screens::IsFight, 15)) << "fire on the menu started no fight";

    // Lined up with the Tidecrawler, tapping fire, until it is reborn and then a while into the
    // reborn fight (its tune, the throws and the hits), or until what it throws ends the game.
    Pilot pilot(*x_, *game_, out_ + "/pilot.log");
    Image shot;
    double rebornBy = NowSec() + 150, until = 0;
    bool over = false;
    while (!over && game_->Proc().Running()) {
        pilot.Step(Pilot::Aim::LineUp, &shot);
        if (until == 0 && screens::ShowsRebornTidecrawler(shot)) {
            game_->Save(shot, "03-reborn");
            until = NowSec() + 40;
        }
        over = screens::HasGameOverBars(shot);
        if (until == 0 ? NowSec() > rebornBy : NowSec() > until) break;
    }
    pilot.ReleaseAll();
    game_->Save(shot, "04-end");
    ASSERT_GT(until, 0) << "the Tidecrawler was not reborn in time";
    // Closing the game closes the sound device, which completes the file.
    ASSERT_NO_FATAL_FAILURE(CloseThroughWindowManager());

    mixed_output::Recording rec = mixed_output::Read(wav);
    ASSERT_TRUE(rec.ok) << "no recording in " << wav;
    ASSERT_EQ(rec.channels, 2);
    ASSERT_GT(rec.rate, 0);
    mixed_output::Levels l = mixed_output::Measure(rec.samples);
    double seconds = static_cast<double>(rec.samples.size()) / rec.channels / rec.rate;
    std::printf("mixed output: %.1f s, %ld clipped samples, peak %.2f dBFS, RMS %.2f dBFS\n", seconds,
                l.clipped, mixed_output::Dbfs(l.peak), mixed_output::Dbfs(l.rms));
    EXPECT_GT(mixed_output::Dbfs(l.rms), -40.0) << "the game was hardly heard";
    EXPECT_EQ(l.clipped, 0);
    EXPECT_LE(mixed_output::Dbfs(l.peak), -1.0);
}

} // namespace
} // namespace e2e
