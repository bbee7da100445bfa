// autovalue_replay_test.cpp - the automation value fuzz corpus replayed under
// Wine through the real conversions: every decoded item into a VARIANT (also
// with the input's requested type) and back into each receiving kind. Nothing
// may fault, and every code must be one the conversions document.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "com/comobjects.h"
#include "com/core/varrules.h"
#include "com/varconv.h"
#include "objects/objops.h"
#include "tests/fuzz/autovalue_input.h"

namespace {

std::vector<std::vector<uint8_t>> ReadCorpus(const std::string& dir) {
    std::vector<std::vector<uint8_t>> inputs;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return inputs;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::ifstream f(dir + "\\" + fd.cFileName, std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return inputs;
}

TEST(AutoValueReplay, CorpusThroughTheRealConversions) {
    OleInitialize(nullptr);
    ComObjectsInstall();
    auto inputs = ReadCorpus(QOV_AUTOVALUE_CORPUS);
    ASSERT_FALSE(inputs.empty()) << "no corpus at " << QOV_AUTOVALUE_CORPUS;
    const std::set<int32_t> toVariant = {kAutoOk, kAutoNoMemory, kAutoNoFont, kAutoBadConvert, kAutoNoValue};
    const std::set<int32_t> toItem = {kAutoOk, kAutoNoObject, kAutoNoMemory, kAutoNoValue, kAutoBadVarType,
                                      kAutoNullValue};
    const uint32_t receivers[][2] = {{kVarItemInt, 4}, {kVarItemInt, 8}, {kVarItemText, 0}, {kVarItemText8, 0},
                                     {kVarItemUtf8, 0}, {kVarItemObject, 41}};
    int items = 0;
    for (const auto& in : inputs) {
        AutoValueInput av;
        if (!DecodeAutoValueInput(in.data(), in.size(), &av)) continue;
        for (const EventItem& item : av.items) {
            for (VARTYPE requested : {static_cast<VARTYPE>(0), static_cast<VARTYPE>(av.requested)}) {
                VARIANT v;
                int32_t rc = VarToVariant(&item, &v, requested);
                EXPECT_TRUE(toVariant.count(rc)) << rc;
                ++items;
                if (rc != kAutoOk) continue;
                for (const auto& r : receivers) {
                    EventItem back = {r[0], r[1], 0, nullptr, 0};
                    std::string text;
                    bool any;
                    int32_t rc2 = VariantToItem(&back, &v, &text, &any);
                    EXPECT_TRUE(toItem.count(rc2)) << rc2;
                    if (r[0] == kVarItemObject && rc2 == kAutoOk) ObjectDestroy(ObjectFromHandle(back.value));
                }
                VariantClear(&v);
            }
        }
    }
    EXPECT_GT(items, 0);
    OleUninitialize();
}

}  // namespace
