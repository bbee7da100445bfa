// mediagen.cpp - the media files of the end-to-end media scripts, made where
// they run: "mediagen files DIR" writes tone.wav (the test sound), clip.avi
// (coloured frames) and still.avi (every frame one known colour);
// "mediagen compare CAPTURE WAV" checks that a captured play holds exactly the
// WAV's samples (PASS or FAIL, exit status 0 or 1).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mediafiles.h"

namespace {

constexpr uint32_t kToneSamples = 4000;
constexpr uint32_t kClipW = 64, kClipH = 48, kClipFps = 8;
constexpr uint32_t kStillFrames = 6;

int WriteFiles(const std::string& dir) {
    std::vector<mediafiles::Rgb> colors = {{255, 0, 0}, {255, 128, 0}, {255, 255, 0}, {0, 255, 0},
                                           {0, 255, 255}, {0, 0, 255}, {128, 0, 255}, {255, 0, 255}};
    std::vector<mediafiles::Rgb> still(kStillFrames, mediafiles::Rgb{0, 0, 255});
    bool ok = mediafiles::WriteFile(dir + "/tone.wav", mediafiles::WaveBytes(mediafiles::TestSamples(kToneSamples))) &&
              mediafiles::WriteFile(dir + "/clip.avi", mediafiles::AviBytes(kClipW, kClipH, kClipFps, colors)) &&
              mediafiles::WriteFile(dir + "/still.avi", mediafiles::AviBytes(kClipW, kClipH, kClipFps, still));
    printf("%s\n", ok ? "PASS: media files written" : "FAIL: media files not written");
    return ok ? 0 : 1;
}

int Compare(const std::string& capture, const std::string& wave) {
    std::vector<int16_t> heard = mediafiles::WaveSamples(mediafiles::ReadBytes(capture));
    std::vector<int16_t> played = mediafiles::WaveSamples(mediafiles::ReadBytes(wave));
    bool same = !played.empty() && heard == played;
    printf("%s: %zu samples captured, %zu in the file\n", same ? "PASS" : "FAIL", heard.size(), played.size());
    return same ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "files") == 0) return WriteFiles(argv[2]);
    if (argc == 4 && strcmp(argv[1], "compare") == 0) return Compare(argv[2], argv[3]);
    fprintf(stderr, "usage: mediagen files DIR | mediagen compare CAPTURE WAV\n");
    return 2;
}
