// mediagen.cpp - the media files of the end-to-end media scripts, made where
// they run: "mediagen files DIR" writes tone.wav (the test sound), clip.avi
// (coloured frames), still.avi (every frame one known colour) and served.avi
// (a clip only the server hands out, so that no other test's file holds its
// bytes); "mediagen compare CAPTURE WAV" checks that a captured play holds
// the WAV's samples in order, with nothing but silence between; "mediagen tempgone FILE" checks that no "QOV*.tmp"
// file in the temporary folder still holds FILE's bytes (a served clip's copy
// left behind). Each answers PASS or FAIL (exit status 0 or 1).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mediafiles.h"

namespace {

constexpr uint32_t kToneSamples = 4000;
// The scenes wait for these clips' ends with deadlines far beyond them, and
// act on a playing clip only right after starting it: clip.avi lasts 2 s
// (eight frames at 4 a second), far longer than the one round trip between
// its start and the read of its state; still.avi lasts a minute, so a pause
// a round trip after its start always comes before its end.
constexpr uint32_t kClipW = 64, kClipH = 48, kClipFps = 4;
constexpr uint32_t kStillFrames = 60, kStillFps = 1;
constexpr uint32_t kServedFrames = 5;

int WriteFiles(const std::string& dir) {
    std::vector<mediafiles::Rgb> colors = {{255, 0, 0}, {255, 128, 0}, {255, 255, 0}, {0, 255, 0},
                                           {0, 255, 255}, {0, 0, 255}, {128, 0, 255}, {255, 0, 255}};
    std::vector<mediafiles::Rgb> still(kStillFrames, mediafiles::Rgb{0, 0, 255});
    std::vector<mediafiles::Rgb> served(kServedFrames, mediafiles::Rgb{0, 160, 80});
    bool ok = mediafiles::WriteFile(dir + "/tone.wav", mediafiles::WaveBytes(mediafiles::TestSamples(kToneSamples))) &&
              mediafiles::WriteFile(dir + "/clip.avi", mediafiles::AviBytes(kClipW, kClipH, kClipFps, colors)) &&
              mediafiles::WriteFile(dir + "/still.avi", mediafiles::AviBytes(kClipW, kClipH, kStillFps, still)) &&
              mediafiles::WriteFile(dir + "/served.avi", mediafiles::AviBytes(kClipW, kClipH, kClipFps, served));
    printf("%s\n", ok ? "PASS: media files written" : "FAIL: media files not written");
    return ok ? 0 : 1;
}

int Compare(const std::string& capture, const std::string& wave) {
    std::vector<int16_t> heard = mediafiles::WaveSamples(mediafiles::ReadBytes(capture));
    std::vector<int16_t> played = mediafiles::WaveSamples(mediafiles::ReadBytes(wave));
    bool same = mediafiles::HeardAsPlayed(played, heard);
    printf("%s: %zu samples captured, %zu in the file\n", same ? "PASS" : "FAIL", heard.size(), played.size());
    return same ? 0 : 1;
}

int TempGone(const std::string& file) {
    std::vector<uint8_t> wanted = mediafiles::ReadBytes(file);
    char dir[MAX_PATH];
    if (wanted.empty() || !GetTempPathA(sizeof dir, dir)) {
        printf("FAIL: nothing to look for\n");
        return 1;
    }
    int left = 0, seen = 0;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((std::string(dir) + "QOV*.tmp").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            ++seen;
            if (mediafiles::ReadBytes(std::string(dir) + fd.cFileName) == wanted) ++left;
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    printf("%s: %d of %d temporary files hold %s\n", left ? "FAIL" : "PASS", left, seen, file.c_str());
    return left ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "files") == 0) return WriteFiles(argv[2]);
    if (argc == 4 && strcmp(argv[1], "compare") == 0) return Compare(argv[2], argv[3]);
    if (argc == 3 && strcmp(argv[1], "tempgone") == 0) return TempGone(argv[2]);
    fprintf(stderr, "usage: mediagen files DIR | mediagen compare CAPTURE WAV | mediagen tempgone FILE\n");
    return 2;
}
