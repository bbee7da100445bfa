// replay_main.cpp - runs a fuzz target over every file of its corpus folder
// once, so the sanitizer build replays the crash-free corpus in every test run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    int files = 0;
    for (int i = 1; i < argc; i++) {
        std::filesystem::path root(argv[i]);
        if (!std::filesystem::exists(root)) continue;
        for (auto& e : std::filesystem::recursive_directory_iterator(root)) {
            if (!e.is_regular_file()) continue;
            std::ifstream f(e.path(), std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            files++;
        }
    }
    printf("replayed %d inputs\n", files);
    return 0;
}
