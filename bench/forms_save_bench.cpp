// forms_save_bench.cpp - times saving a 500-object form as a QOF file against
// what the save cannot do without, in the same process: the same window's
// objects' property reads (every property id of each object's kind through
// its get-property operation) and putting a file of the saved bytes in place
// the way a save does (a temporary file beside the target, flushed, moved
// over it). Goal: the save costs no more than 1.2x that. The two run in
// turns, round by round; the save against the reads alone is shown too,
// without a goal. Usage: forms_save_bench [rounds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/benchkit.h"
#include "controls/controls.h"
#include "forms/formload.h"
#include "forms/formsave.h"
#include "forms/qofbuild.h"
#include "objects/crstream.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/window.h"

namespace {

constexpr int kRounds = 21;
constexpr uint32_t kObjects = 500;
const uint8_t kKinds[] = {1, 6, 15, 2};

qofbuild::Form BigForm() {
    qofbuild::Form form;
    form.objects.push_back({"BigWin", 25, qofbuild::WindowStream("Bench form", 0, 0, 800, 600, false)});
    for (uint32_t i = 1; i < kObjects; ++i)
        form.objects.push_back({"Obj" + std::to_string(i), kKinds[i % 4],
                                qofbuild::ControlStream("Item " + std::to_string(i), (i % 20) * 38, (i / 20) * 22,
                                                        36, 20)});
    return form;
}

volatile uint32_t gSink;

// The reads the save makes.
void ReadAll(ObjectRecord* window) {
    std::vector<ObjectRecord*> objects = {window};
    for (ObjectRecord* c = window->children; c; c = c->next) objects.push_back(c);
    for (ObjectRecord* rec : objects) {
        const ObjectOps* ops = ObjectOpsOf(rec);
        for (const uint16_t* id = KindPropList(rec->kind); id && *id; ++id)
            gSink = gSink + (ops && ops->getProp ? ops->getProp(rec, *id) : 0);
    }
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : kRounds;
    if (rounds < 1) return 2;
    GuiInstallHooks();
    ControlsInstall();
    FormsInstall();
    RuntimeStartup();
    CreateTheMainWindow(GetModuleHandleA(nullptr));
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    std::string in = std::string(dir) + "forms-save-bench-in.qof", out = std::string(dir) + "forms-save-bench.qof",
                put = std::string(dir) + "forms-save-bench-put.qof";
    std::vector<uint8_t> bytes = qofbuild::Build(BigForm());
    FILE* f = fopen(in.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.winType = kWinNormal;
    cr.width = 100, cr.height = 100;
    cr.units = kUnitsPixels;
    int32_t code = 0;
    ObjectRecord* window = WindowObjectCreate(nullptr, &cr, &code);
    char err[kFormErrTextSize + 1];
    if (FormLoadQof(window, ("!" + in).c_str(), nullptr, nullptr, kFormOptNoShow, nullptr, err) != 5 * 65536) {
        printf("load failed: %s\n", err);
        return 1;
    }
    // One save first gives the reference the bytes it puts on disk.
    bool saved = FormSaveQof(window, ("!" + out).c_str(), nullptr, nullptr, 0) == 0;
    std::vector<uint8_t> file = saved ? ReadFileBytes(out) : std::vector<uint8_t>();
    std::vector<double> readSeconds;
    BenchResult r = BenchInTurns(
        rounds, [&] { saved = FormSaveQof(window, ("!" + out).c_str(), nullptr, nullptr, 0) == 0 && saved; },
        [&] {
            readSeconds.push_back(BenchSeconds([&] { ReadAll(window); }));
            saved = FormFilePutBytes(put.c_str(), file.data(), file.size(), nullptr) == 0 && saved;
        });
    DeleteFileA(in.c_str());
    DeleteFileA(out.c_str());
    DeleteFileA(put.c_str());
    if (!saved || file.empty()) {
        printf("form save: save failed, not measured\n");
        return 1;
    }
    std::string name = "form save " + std::to_string(kObjects) + " objects";
    BenchReportGoal(kGoalFormSave, name, r);
    BenchResult alone;
    for (size_t i = 0; i < r.runSeconds.size(); ++i) BenchAddRound(&alone, r.runSeconds[i], readSeconds[i]);
    BenchReport(name.c_str(), alone, "property reads alone", 0);
    return 0;
}
