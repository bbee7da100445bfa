// forms_save_bench.cpp - times saving a 500-object form as a QOF file against
// the same window's objects' property reads alone (every property id of each
// object's kind through its get-property operation), in the same process.
// Goal: the save costs no more than 1.2x the reads. The two run in turns,
// round by round. Usage: forms_save_bench [rounds]
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

// The reads the save makes, without anything else it does.
void ReadAll(ObjectRecord* window) {
    std::vector<ObjectRecord*> objects = {window};
    for (ObjectRecord* c = window->children; c; c = c->next) objects.push_back(c);
    for (ObjectRecord* rec : objects) {
        const ObjectOps* ops = ObjectOpsOf(rec);
        for (const uint16_t* id = KindPropList(rec->kind); id && *id; ++id)
            gSink = gSink + (ops && ops->getProp ? ops->getProp(rec, *id) : 0);
    }
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
    std::string in = std::string(dir) + "forms-save-bench-in.qof", out = std::string(dir) + "forms-save-bench.qof";
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
    bool saved = true;
    BenchResult r = BenchInTurns(
        rounds, [&] { saved = FormSaveQof(window, ("!" + out).c_str(), nullptr, nullptr, 0) == 0 && saved; },
        [&] { ReadAll(window); });
    DeleteFileA(in.c_str());
    DeleteFileA(out.c_str());
    if (!saved) {
        printf("form save: save failed, not measured\n");
        return 1;
    }
    BenchReportGoal(kGoalFormSave, "form save " + std::to_string(kObjects) + " objects", r);
    return 0;
}
