// sound_test.cpp - the sounds under Wine: loads of client files by option and
// through the dialog, handles that no load gave or that were closed, the
// clean-up; with the capturing sound set-up (QOV_SOUND_CAPTURE names the WAV
// that ALSA's file plugin writes) each play is heard as exactly the samples of
// the file played, and without any sound device the failure paths hold.
#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>

#include <cstdlib>
#include <string>

#include "graphics/media.h"
#include "mediafiles.h"
#include "objects/focus.h"
#include "session/session.h"
#include "session/util/handles.h"
#include "testutil.h"

namespace {

constexpr uint32_t kSampleCount = 4000;   // half a second at 8 kHz

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        wave_ = TempPath("qov-sound-test.wav");
        samples_ = mediafiles::TestSamples(kSampleCount);
        ASSERT_TRUE(mediafiles::WriteFile(wave_, mediafiles::WaveBytes(samples_)));
        const char* capture = getenv("QOV_SOUND_CAPTURE");
        capture_ = capture ? capture : "";
        if (!capture_.empty()) DeleteFileA(capture_.c_str());
    }
    void TearDown() override {
        SndCloseAll();
        SoundSetFileDialog(nullptr);
        DeleteFileA(wave_.c_str());
    }
    int32_t Load(const std::string& name, uint32_t option) {
        return SndLoad(name.data(), static_cast<uint32_t>(name.size()), option);
    }
    std::vector<int16_t> Captured() const { return mediafiles::WaveSamples(mediafiles::ReadBytes(capture_)); }

    std::string wave_, capture_;
    std::vector<int16_t> samples_;
};

bool gDialogAnswer;
int gDialogKind = -1;
std::string gDialogFile;
bool FakeDialog(HWND, int kind) {
    gDialogKind = kind;
    if (gDialogAnswer) snprintf(gFileDlgName, sizeof gFileDlgName, "%s", gDialogFile.c_str());
    return gDialogAnswer;
}

TEST_F(SoundTest, LoadsByOptionAndName) {
    struct Row {
        const char* why;
        std::string name;
        uint32_t option;
        bool loads;
    };
    const std::string missing = TempPath("qov-no-such.wav"), longName(400, 'a');
    const Row rows[] = {
        {"a client file, plain", "!" + wave_, 0, true},
        {"a client file through MCI", "!" + wave_, 3, true},
        {"option 1 loads nothing", "!" + wave_, 1, false},
        {"option 2 loads nothing", "!" + wave_, 2, false},
        {"option 4 loads nothing", "!" + wave_, 4, false},
        {"a missing client file", "!" + missing, 0, false},
        {"'!' with no path", "!", 0, false},
        {"'@' without a number", "@x1", 0, false},
        {"a name longer than a path", "!" + longName, 0, false},
        {"a name holding a NUL: cut there, it would load the wave", "!" + wave_ + std::string(1, '\0') + "x", 0, false},
    };
    for (const Row& r : rows) {
        uint32_t before = SoundCount();
        int32_t h = Load(r.name, r.option);
        if (r.loads) {
            HandleRange range = HandleRangeOf(kHandleSound);
            EXPECT_GE(static_cast<uint32_t>(h), range.first) << r.why;
            EXPECT_LE(static_cast<uint32_t>(h), range.last) << r.why;
            EXPECT_EQ(before + 1, SoundCount()) << r.why;
        } else {
            EXPECT_EQ(0, h) << r.why;
            EXPECT_EQ(before, SoundCount()) << r.why;
        }
    }
}

TEST_F(SoundTest, HandlesThatNoLoadGaveOrThatWereClosedAnswerMinusOne) {
    int32_t h = Load("!" + wave_, 0);
    ASSERT_NE(0, h);
    uint32_t handle = static_cast<uint32_t>(h);
    struct Row {
        const char* why;
        uint32_t handle;
    } rows[] = {
        {"never given", HandleRangeOf(kHandleSound).last},
        {"zero", 0},
        {"an object's handle", 0x1001},
        {"an address-like value", 0x00401000},
        {"all bits", 0xFFFFFFFF},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(-1, SndPlay(r.handle)) << r.why;
        EXPECT_EQ(-1, SndClose(r.handle)) << r.why;
    }
    EXPECT_EQ(1u, SoundCount()) << "the good sound is untouched";
    EXPECT_EQ(0, SndClose(handle));
    EXPECT_EQ(-1, SndPlay(handle)) << "closed";
    EXPECT_EQ(-1, SndClose(handle)) << "closed twice";
    EXPECT_EQ(0u, SoundCount());
}

TEST_F(SoundTest, CleanUpClosesEverySound) {
    for (int i = 0; i < 5; ++i) ASSERT_NE(0, Load("!" + wave_, i % 2 ? 3 : 0));
    EXPECT_EQ(5u, SoundCount());
    SndCloseAll();
    EXPECT_EQ(0u, SoundCount());
}

TEST_F(SoundTest, DialogAsksForWavFilesWhenNoNameIsGiven) {
    SoundSetFileDialog(FakeDialog);
    gDialogAnswer = false;
    gDialogKind = -1;
    EXPECT_EQ(0, Load("", 0)) << "cancelled";
    EXPECT_EQ(kFileDialogWave, gDialogKind);
    EXPECT_EQ(0u, SoundCount());
    gDialogAnswer = true;
    gDialogFile = wave_;
    int32_t h = Load("", 3);
    EXPECT_NE(0, h) << "chosen";
    gDialogFile = TempPath("qov-no-such.wav");
    EXPECT_EQ(0, Load("", 0)) << "a chosen file that does not open";
    EXPECT_EQ(1u, SoundCount());
}

// Without a sound device the plays still end (nothing to hear).
TEST_F(SoundTest, NoDevicePlaysEndQuietly) {
    if (waveOutGetNumDevs() != 0) GTEST_SKIP() << "a sound device is present";
    EXPECT_FALSE(sndPlaySoundA(wave_.c_str(), SND_SYNC | SND_NODEFAULT));
    for (uint32_t option : {0u, 3u}) {
        int32_t h = Load("!" + wave_, option);
        ASSERT_NE(0, h);
        EXPECT_EQ(0, SndPlay(static_cast<uint32_t>(h))) << option;
    }
}

// Each play writes the capture anew: it holds the samples played, in order.
// ALSA writes the file as the device closes, which Wine may do after the
// play has returned, so the check waits for it.
TEST_F(SoundTest, CapturedPlayHoldsTheFilesSamples) {
    if (capture_.empty()) GTEST_SKIP() << "no capturing sound set-up";
    ASSERT_GT(waveOutGetNumDevs(), 0u) << "the capturing set-up gives Wine one device";
    for (uint32_t option : {0u, 3u}) {
        DeleteFileA(capture_.c_str());
        int32_t h = Load("!" + wave_, option);
        ASSERT_NE(0, h);
        EXPECT_EQ(0, SndPlay(static_cast<uint32_t>(h)));
        bool heard = WaitUntil([&] { return mediafiles::HeardAsPlayed(samples_, Captured()); });
        EXPECT_TRUE(heard) << "option " << option << ": " << Captured().size() << " samples captured of "
                           << samples_.size() << " played";
    }
}

}  // namespace
