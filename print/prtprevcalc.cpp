// prtprevcalc.cpp - the print preview's arithmetic (see prtprevcalc.h).
#include "print/prtprevcalc.h"

#include <cstring>

const char kPrevLabelsBuiltIn[] =
    "Print Preview - ;&Print;&Next Page;Pre&v Page;&Go To...;Zoom &In;Zoom &Out;&Close;Page:;of;Go To Page;"
    "Enter Page Number;&Go To;&Close;&First Page;&Last Page;&To PDF";
const char kPrevLabelsDialog[] =
    "Print Preview - ;&Print...;&Next Page;Pre&v Page;&Go To...;Zoom &In;Zoom &Out;&Close;Page:;of;Go To Page;"
    "Enter Page Number;&Go To;&Close;&First Page;&Last Page;&To PDF";

static size_t CountSeparators(const char* s) {
    size_t n = 0;
    for (; *s; s++)
        if (*s == ';') n++;
    return n;
}

void PrevLoadLabels(const char* text, bool printDialog, PrevLabels* out) {
    if (!text || CountSeparators(text) < kPrevLabelMinSeparators) text = printDialog ? kPrevLabelsDialog : kPrevLabelsBuiltIn;
    memset(out, 0, sizeof *out);
    // One byte stays for the empty labels that a cut text leaves at the end.
    const size_t limit = kPrevLabelBufSize - 2;
    size_t at = 0, label = 0;
    out->offset[0] = 0;
    for (const char* p = text; *p && at < limit; p++) {
        if (*p == ';') {
            out->buf[at++] = 0;
            if (++label == kPrevLabelCount) break;
            out->offset[label] = static_cast<uint16_t>(at);
        } else {
            out->buf[at++] = *p;
        }
    }
    out->buf[at] = 0;
    // Labels missing at the end point at an empty text.
    for (size_t i = label + 1; i < kPrevLabelCount; i++) out->offset[i] = static_cast<uint16_t>(kPrevLabelBufSize - 1);
}

static int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }
static int32_t AtLeastOne(int32_t v) { return v < 1 ? 1 : v; }

// The sheet's size at a step, from the 100 % size.
static void SizeAtStep(int32_t step, int32_t w, int32_t h, int32_t* sw, int32_t* sh) {
    switch (step) {
    case 1: *sw = w * 3 / 4; *sh = h * 3 / 4; break;
    case 2: *sw = w; *sh = h; break;
    case 3: *sw = w + w / 4; *sh = h + h / 4; break;
    case 4: *sw = w + w / 2; *sh = h + h / 2; break;
    case 5: *sw = w + w * 3 / 4; *sh = h + h * 3 / 4; break;
    default: *sw = 2 * w; *sh = 2 * h; break;
    }
}

void PrevComputeLayout(const PrevLayoutIn& in, PrevLayout* out) {
    memset(out, 0, sizeof *out);
    out->step = in.step;
    out->stopsAtOne = in.stopsAtOne;
    out->zoomOutEnabled = true;
    out->zoomInEnabled = true;
    int32_t pageW = in.pageW > 0 ? in.pageW : kPrevDefaultPageW;
    int32_t pageH = in.pageH > 0 ? in.pageH : kPrevDefaultPageH;
    int32_t w = AtLeastOne(in.page100W), h = AtLeastOne(in.page100H);
    // A view smaller than its margins still has a size: the scale stays positive.
    int32_t viewW = AtLeastOne(in.clientW - 2 * kPrevMargin);
    int32_t viewH = AtLeastOne(in.clientH - 2 * kPrevMargin - in.buttonBar - in.statusBar);
    int32_t sw = viewW, sh = viewH;
    if (in.step == kPrevStepPanel) {
        int32_t pct = in.requestedPct;
        if (pct) {
            pct = Clamp(pct, kPrevPctMin, kPrevPctMax);
        } else {
            int64_t byW = static_cast<int64_t>(viewW) * 100 / w, byH = static_cast<int64_t>(viewH) * 100 / h;
            pct = static_cast<int32_t>(Clamp(static_cast<int32_t>(byW < byH ? byW : byH), kPrevPctMin, kPrevPctMax));
            out->fittedPct = pct;
        }
        sw = static_cast<int32_t>(static_cast<int64_t>(w) * pct / 100);
        sh = static_cast<int32_t>(static_cast<int64_t>(h) * pct / 100);
    } else if (in.step == kPrevStepFit) {
        if (viewW > w || viewH > h || (viewW == w && viewH == h)) {
            out->step = kPrevStep100;
            out->stopsAtOne = true;
            SizeAtStep(kPrevStep100, w, h, &sw, &sh);
        } else if (viewW > w * 3 / 4 && viewH > h * 3 / 4) {
            out->step = kPrevStep75;
            out->stopsAtOne = true;
            out->zoomOutEnabled = false;
            SizeAtStep(kPrevStep75, w, h, &sw, &sh);
        } else {
            out->zoomOutEnabled = false;
            out->stopsAtOne = false;
        }
    } else {
        SizeAtStep(in.step, w, h, &sw, &sh);
    }
    sw = AtLeastOne(sw);
    sh = AtLeastOne(sh);
    int64_t sx = static_cast<int64_t>(sw) * 1000 / pageW, sy = static_cast<int64_t>(sh) * 1000 / pageH;
    out->scale = static_cast<int32_t>(AtLeastOne(static_cast<int32_t>(sx < sy ? sx : sy)));
    sw = static_cast<int32_t>(static_cast<int64_t>(pageW) * out->scale / 1000);
    sh = static_cast<int32_t>(static_cast<int64_t>(pageH) * out->scale / 1000);
    out->pageLeft = kPrevMargin + (sw < viewW ? (viewW - sw) / 2 : 0);
    out->pageTop = in.buttonBar + kPrevMargin + (sh < viewH ? (viewH - sh) / 2 : 0);
    out->pageRight = out->pageLeft + sw;
    out->pageBottom = out->pageTop + sh;
    out->areaLeft = out->pageLeft + static_cast<int32_t>(static_cast<int64_t>(in.physOffX) * out->scale / 1000);
    out->areaTop = out->pageTop + static_cast<int32_t>(static_cast<int64_t>(in.physOffY) * out->scale / 1000);
    out->areaRight = out->areaLeft + static_cast<int32_t>(static_cast<int64_t>(in.horzRes) * out->scale / 1000);
    out->areaBottom = out->areaTop + static_cast<int32_t>(static_cast<int64_t>(in.vertRes) * out->scale / 1000);
}

int32_t PrevUnequalPageHeight(int32_t vertSizeMm, int32_t logPixelsX) {
    int32_t tenths = vertSizeMm * 100 / 254;
    return (tenths + 1) / 10 * logPixelsX;
}

int32_t PrevMap(int32_t value, int32_t scale, int32_t origin, int32_t scroll) {
    uint32_t scaled = static_cast<uint32_t>(
        static_cast<uint64_t>(static_cast<uint32_t>(value)) * static_cast<uint32_t>(AtLeastOne(scale)) / 1000);
    return static_cast<int32_t>(scaled) + origin - scroll;
}

int32_t PrevPanelZoomIn(int32_t pct) { return pct < 176 ? pct + 25 : pct; }
int32_t PrevPanelZoomOut(int32_t pct) { return pct >= 50 ? pct - 25 : pct; }

bool PrevParseGoTo(const char* text, uint32_t firstPage, uint32_t* page) {
    constexpr size_t kGoToDigits = 19;
    uint64_t n = 0;
    size_t i = 0;
    while (text[i] == ' ') i++;
    if (!text[i]) return false;
    for (size_t digits = 0; text[i] >= '0' && text[i] <= '9'; i++, digits++) {
        if (digits >= kGoToDigits) return false;
        n = n * 10 + static_cast<uint64_t>(text[i] - '0');
        if (n > UINT32_MAX) return false;
    }
    if (text[i] && text[i] != ' ') return false;
    uint64_t absolute = n + firstPage - (firstPage ? 1 : 0);
    if (absolute > UINT32_MAX) return false;
    *page = static_cast<uint32_t>(absolute);
    return true;
}

uint32_t PrevClampPage(int64_t n, uint32_t first, uint32_t last) {
    if (n < first) return first;
    if (n > last) return last;
    return static_cast<uint32_t>(n);
}
