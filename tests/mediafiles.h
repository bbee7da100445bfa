// mediafiles.h - writers of the media files the tests play: a 16-bit mono PCM
// WAV of a known sample pattern, and an uncompressed palettised (8-bit) RIFF
// AVI of solid-coloured frames (hdrl, strl, movi, idx1), the form both the
// MCI video device and the animation control play without a codec.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace mediafiles {

inline void Put16(std::vector<uint8_t>* b, uint32_t v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>* b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutTag(std::vector<uint8_t>* b, const char* tag) {
    for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(tag[i]));
}
// Patches the size word of a chunk or list begun at `at` (its tag).
inline void CloseChunk(std::vector<uint8_t>* b, size_t at) {
    uint32_t n = static_cast<uint32_t>(b->size() - at - 8);
    for (int i = 0; i < 4; ++i) (*b)[at + 4 + i] = static_cast<uint8_t>(n >> (8 * i));
    if (b->size() & 1) b->push_back(0);
}
inline size_t OpenChunk(std::vector<uint8_t>* b, const char* tag) {
    size_t at = b->size();
    PutTag(b, tag);
    Put32(b, 0);
    return at;
}
inline size_t OpenList(std::vector<uint8_t>* b, const char* list, const char* type) {
    size_t at = OpenChunk(b, list);
    PutTag(b, type);
    return at;
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

// The samples of the test sound: a saw tooth that no silence or default sound matches.
inline std::vector<int16_t> TestSamples(uint32_t count) {
    std::vector<int16_t> s(count);
    for (uint32_t i = 0; i < count; ++i) s[i] = static_cast<int16_t>(((i * 397) % 20000) - 10000);
    return s;
}

constexpr uint32_t kWaveRate = 8000;

inline std::vector<uint8_t> WaveBytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> b;
    size_t riff = OpenList(&b, "RIFF", "WAVE");
    size_t fmt = OpenChunk(&b, "fmt ");
    Put16(&b, 1);               // PCM
    Put16(&b, 1);               // mono
    Put32(&b, kWaveRate);
    Put32(&b, kWaveRate * 2);   // bytes per second
    Put16(&b, 2);               // block align
    Put16(&b, 16);              // bits per sample
    CloseChunk(&b, fmt);
    size_t data = OpenChunk(&b, "data");
    for (int16_t v : samples) Put16(&b, static_cast<uint16_t>(v));
    CloseChunk(&b, data);
    CloseChunk(&b, riff);
    return b;
}

// The data of a WAV's "data" chunk as samples (empty when there is none).
inline std::vector<int16_t> WaveSamples(const std::vector<uint8_t>& b) {
    std::vector<int16_t> out;
    size_t at = 12;
    while (at + 8 <= b.size()) {
        uint32_t n = b[at + 4] | (b[at + 5] << 8) | (b[at + 6] << 16) | (static_cast<uint32_t>(b[at + 7]) << 24);
        if (std::string(b.begin() + at, b.begin() + at + 4) == "data") {
            size_t end = at + 8 + n;
            if (end > b.size()) end = b.size();
            for (size_t i = at + 8; i + 1 < end; i += 2)
                out.push_back(static_cast<int16_t>(b[i] | (b[i + 1] << 8)));
            return out;
        }
        at += 8 + n + (n & 1);
    }
    return out;
}

// True when `heard` is `played` in order with nothing between but silence:
// on a busy machine Wine feeds the device silence whenever the player falls
// behind, so gaps of zero samples may sit anywhere in a capture.
inline bool HeardAsPlayed(const std::vector<int16_t>& played, const std::vector<int16_t>& heard) {
    size_t next = 0;
    for (int16_t sample : heard) {
        if (next < played.size() && sample == played[next]) ++next;
        else if (sample != 0) return false;
    }
    return !played.empty() && next == played.size();
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> b;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return b;
    uint8_t buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        for (size_t i = 0; i < n; ++i) b.push_back(buf[i]);
    fclose(f);
    return b;
}

struct Rgb {
    uint8_t r, g, b;
};

// An AVI of frames of one colour each (frameColors[i] is frame i), at fps.
inline std::vector<uint8_t> AviBytes(uint32_t width, uint32_t height, uint32_t fps, const std::vector<Rgb>& frameColors) {
    const uint32_t stride = (width + 3) & ~3u, frameSize = stride * height;
    const uint32_t frames = static_cast<uint32_t>(frameColors.size());
    std::vector<uint8_t> b;
    size_t riff = OpenList(&b, "RIFF", "AVI ");
    size_t hdrl = OpenList(&b, "LIST", "hdrl");
    size_t avih = OpenChunk(&b, "avih");
    Put32(&b, 1000000 / fps);   // microseconds per frame
    Put32(&b, frameSize * fps);
    Put32(&b, 0);
    Put32(&b, 0x10);            // has an index
    Put32(&b, frames);
    Put32(&b, 0);
    Put32(&b, 1);               // one stream
    Put32(&b, frameSize);
    Put32(&b, width);
    Put32(&b, height);
    for (int i = 0; i < 4; ++i) Put32(&b, 0);
    CloseChunk(&b, avih);
    size_t strl = OpenList(&b, "LIST", "strl");
    size_t strh = OpenChunk(&b, "strh");
    PutTag(&b, "vids");
    PutTag(&b, "DIB ");
    Put32(&b, 0);
    Put16(&b, 0);
    Put16(&b, 0);
    Put32(&b, 0);
    Put32(&b, 1);               // scale
    Put32(&b, fps);             // rate
    Put32(&b, 0);
    Put32(&b, frames);
    Put32(&b, frameSize);
    Put32(&b, 0xFFFFFFFF);      // quality
    Put32(&b, 0);
    Put16(&b, 0);
    Put16(&b, 0);
    Put16(&b, static_cast<uint16_t>(width));
    Put16(&b, static_cast<uint16_t>(height));
    CloseChunk(&b, strh);
    size_t strf = OpenChunk(&b, "strf");
    Put32(&b, 40);
    Put32(&b, width);
    Put32(&b, height);
    Put16(&b, 1);
    Put16(&b, 8);
    Put32(&b, 0);               // BI_RGB
    Put32(&b, frameSize);
    Put32(&b, 0);
    Put32(&b, 0);
    Put32(&b, 256);
    Put32(&b, 0);
    for (uint32_t i = 0; i < 256; ++i) {
        Rgb c = i < frames ? frameColors[i] : Rgb{0, 0, 0};
        b.push_back(c.b);
        b.push_back(c.g);
        b.push_back(c.r);
        b.push_back(0);
    }
    CloseChunk(&b, strf);
    CloseChunk(&b, strl);
    CloseChunk(&b, hdrl);
    size_t movi = OpenList(&b, "LIST", "movi");
    std::vector<uint32_t> offsets;
    for (uint32_t f = 0; f < frames; ++f) {
        offsets.push_back(static_cast<uint32_t>(b.size() - (movi + 8)));
        size_t chunk = OpenChunk(&b, "00db");
        b.resize(b.size() + frameSize, static_cast<uint8_t>(f));   // frame f uses palette entry f
        CloseChunk(&b, chunk);
    }
    CloseChunk(&b, movi);
    size_t idx = OpenChunk(&b, "idx1");
    for (uint32_t f = 0; f < frames; ++f) {
        PutTag(&b, "00db");
        Put32(&b, 0x10);        // key frame
        Put32(&b, offsets[f]);
        Put32(&b, frameSize);
    }
    CloseChunk(&b, idx);
    CloseChunk(&b, riff);
    return b;
}

}  // namespace mediafiles
