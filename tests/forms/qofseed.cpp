// qofseed.cpp - writes the seed corpus of the QOF fuzz target from the tests'
// builder: valid forms of each descriptor size, with resources, menus and
// sub-objects, and a few mutations that stop at different reader checks.
// Usage: forms_seed DIRECTORY
#include <cstdio>
#include <string>
#include <vector>

#include "forms/qofbuild.h"

static void Write(const std::string& dir, const char* name, const std::vector<uint8_t>& bytes) {
    std::string path = dir + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::string dir = argv[1];
    using namespace qofbuild;
    Layout l;
    Form sample = SampleForm();
    std::vector<uint8_t> base = Build(sample, &l);
    Write(dir, "sample-v5", base);
    Form v1 = sample;
    v1.version = 1;
    Write(dir, "sample-v1", Build(v1));
    Form menus = sample;
    menus.objects.push_back({"MainMenu", 8, ControlStream("&File", 0, 0, 0, 0)});
    menus.objects.push_back({"-", 48, ControlStream("&Open", 0, 0, 0, 0)});
    menus.objects.push_back({"-", 48, ControlStream("E&xit", 0, 0, 0, 0)});
    Stream list = ControlStream("", 5, 5, 100, 100);
    list.Int(kIdImageList, 2).Int(kIdWindow, 1);
    menus.objects.push_back({"List", 36, list});
    Write(dir, "menus", Build(menus));
    std::vector<uint8_t> m = base;
    Set32(m, 24, 0xFFFFFFF0u);
    Write(dir, "stream-wrap", m);
    m = base;
    Set32(m, l.resTable + 44, 0xFFFFFFF0u);
    Write(dir, "res-size-wrap", m);
    m = base;
    m[l.objTable + 41 + 32] = 48;
    Write(dir, "orphan-item", m);
    m = base;
    Set32(m, l.descs + 8, 0xFFFFFFF0u);
    Write(dir, "code-offset-out", m);
    return 0;
}
