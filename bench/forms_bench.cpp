// forms_bench.cpp - times loading a 500-object form from a QOF file into a
// window against making the same window and objects through their creators
// directly, from the same creation streams, in the same process. Goal: the
// load costs no more than 1.1x the direct creation (min / median / max of the
// per-round ratios, both sides in turns).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchkit.h"
#include "controls/controls.h"
#include "forms/formload.h"
#include "forms/qofbuild.h"
#include "objects/crstream.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/window.h"

namespace {

constexpr int kRounds = 15;
constexpr uint32_t kObjects = 500;

struct Row {
    uint8_t kind;
    uint32_t type;
};
const Row kRows[] = {{1, kTypeButton}, {6, kTypeEdittext}, {15, kTypeStattext}, {2, kTypeCheckbox}};

qofbuild::Form BigForm() {
    qofbuild::Form form;
    form.objects.push_back({"BigWin", 25, qofbuild::WindowStream("Bench form", 0, 0, 800, 600, false)});
    for (uint32_t i = 1; i < kObjects; ++i) {
        const Row& r = kRows[i % 4];
        form.objects.push_back({"Obj" + std::to_string(i), r.kind,
                                qofbuild::ControlStream("Item " + std::to_string(i), (i % 20) * 38, (i / 20) * 22,
                                                        36, 20)});
    }
    return form;
}

ObjectRecord* EmptyWindow() {
    static ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.winType = kWinNormal;
    cr.width = 100, cr.height = 100;
    cr.units = kUnitsPixels;
    int32_t code = 0;
    return WindowObjectCreate(nullptr, &cr, &code);
}

// The same objects through their creators: each stream decoded, the parent
// set, the creator called.
void CreateDirect(const qofbuild::Form& form) {
    ObjectCreateRecord* cr = &gObjectCreateRecord;
    const auto& win = form.objects[0].stream.bytes;
    DecodeFormCrStream(win.data(), win.size(), 5, 1, cr);
    int32_t code = 0;
    ObjectRecord* window = WindowObjectCreate(nullptr, cr, &code);
    for (uint32_t i = 1; i < form.objects.size(); ++i) {
        const auto& s = form.objects[i].stream.bytes;
        DecodeFormCrStream(s.data(), s.size(), 5, 1, cr);
        cr->windowRec = window;
        cr->window = window->handle;
        ObjectCreate(kRows[i % 4].type, cr, &code);
    }
    ObjectDestroy(window);
}

void LoadForm(const std::string& name) {
    ObjectRecord* window = EmptyWindow();
    char err[kFormErrTextSize + 1];
    int32_t rc = FormLoadQof(window, name.c_str(), nullptr, nullptr, 0, nullptr, err);
    if (rc != 5 * 65536) printf("load failed: %d %s\n", rc, err);
    ObjectDestroy(window);
}

}  // namespace

int main() {
    GuiInstallHooks();
    ControlsInstall();
    FormsInstall();
    RuntimeStartup();
    CreateTheMainWindow(GetModuleHandleA(nullptr));
    qofbuild::Form form = BigForm();
    std::vector<uint8_t> bytes = qofbuild::Build(form);
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    std::string path = std::string(dir) + "forms-bench.qof";
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    std::string name = "!" + path;
    BenchResult r = BenchInTurns(kRounds, [&] { LoadForm(name); }, [&] { CreateDirect(form); });
    DeleteFileA(path.c_str());
    char title[64];
    snprintf(title, sizeof title, "form load of %u objects", kObjects);
    BenchReportGoal(kGoalFormLoad, title, r);
    return 0;
}
