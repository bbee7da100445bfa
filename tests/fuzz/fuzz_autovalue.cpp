// fuzz_autovalue.cpp - the automation requests' decoders (2414-2417) and the
// platform-free rules of their values: each decoded item's VARTYPE and text
// limit, the decimal-comma rule on its text, and the integer arguments as the
// index vector of an element access of any number of dimensions.
#include <cstring>
#include <string>

#include "com/core/varrules.h"
#include "tests/fuzz/autovalue_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AutoValueInput in;
    if (!DecodeAutoValueInput(data, size, &in)) return 0;
    for (const EventItem& item : in.items) {
        IntItemVarType(item.size, item.value, (item.value & 1) != 0, in.requested);
        if (ItemIsText(item.kind) && item.data && TextItemFits(item.kind, item.size)) {
            std::string copy(static_cast<const char*>(item.data), item.size);
            if (!copy.empty()) FirstCommaToPeriod(&copy[0], copy.size());
        }
        VarTypeCheck(static_cast<uint16_t>(item.value));
        ByRefWidth(static_cast<uint16_t>(item.value));
        RawValueWidth(static_cast<uint16_t>(item.value));
    }
    int32_t out[kIndexDimsMax];
    uint32_t dims = static_cast<uint32_t>(in.indexes.size());
    if (IndexVectorFill(dims, in.indexes.data(), dims, out) == kAutoOk) {
        // A walk over a small array of those dimensions ends.
        int32_t lower[kIndexDimsMax] = {}, upper[kIndexDimsMax], idx[kIndexDimsMax] = {};
        for (uint32_t d = 0; d < dims; ++d) upper[d] = (out[d] & 3);
        for (int steps = 0; steps < 1100 && IndexVectorStep(dims, lower, upper, idx); ++steps) {}
    }
    return 0;
}
