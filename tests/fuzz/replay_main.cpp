// replay_main.cpp - runs a fuzz target once over every file of the folders it
// is given: its corpus and, when present, its regress folder of inputs that
// once broke it. A regress folder names each input in its NOTES file (one line
// "<file>: what it broke"); an input without its note fails the run, and so
// does a run that replayed no input at all, so a replay test never passes
// without checking something.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

const char kNotesName[] = "NOTES";

// The file names that a folder's NOTES describes: the text before the first
// ':' of each line that has one.
std::set<std::string> NotedNames(const fs::path& notes) {
    std::set<std::string> names;
    std::ifstream f(notes);
    std::string line;
    while (std::getline(f, line)) {
        size_t colon = line.find(':');
        if (colon != std::string::npos && colon > 0) names.insert(line.substr(0, colon));
    }
    return names;
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Replays every input under root; answers the count, or -1 when an input of a
// folder with NOTES has no note.
int ReplayFolder(const fs::path& root) {
    std::vector<fs::path> inputs;
    for (auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file() && e.path().filename() != kNotesName) inputs.push_back(e.path());
    std::sort(inputs.begin(), inputs.end());
    int count = 0;
    for (const auto& path : inputs) {
        const fs::path notes = path.parent_path() / kNotesName;
        if (fs::exists(notes) && !NotedNames(notes).count(path.filename().string())) {
            fprintf(stderr, "%s has no line in %s\n", path.c_str(), notes.c_str());
            return -1;
        }
        std::vector<uint8_t> bytes = ReadAll(path);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        count++;
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    int total = 0;
    for (int i = 1; i < argc; i++) {
        const fs::path root(argv[i]);
        if (!fs::exists(root)) continue;
        int count = ReplayFolder(root);
        if (count < 0) return 1;
        printf("%s: %d inputs\n", argv[i], count);
        total += count;
    }
    printf("replayed %d inputs\n", total);
    if (total == 0) {
        fprintf(stderr, "no input to replay: the corpus and regress folders are missing or empty\n");
        return 1;
    }
    return 0;
}
