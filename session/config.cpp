// config.cpp - the client configuration and the run-time settings the server sets.
#include "session/config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "session/settings.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

ClientConfig gClientConfig;
uint32_t gPdfJpegQuality = 100;
uint8_t gConsoleMode = 1;
uint8_t gGuiOption2039;
uint8_t gDesignMode;
uint32_t gClientModeFlags;
int32_t gObjectCreateDetail;
char gErrorText[kErrorTextSize];
char gErrorDetailText[kErrorDetailSize];
char* gExceptionText;

namespace {

constexpr uint32_t kModeFlagNeverSet = 0x2;
constexpr int kMaxJpegQuality = 100;

void CopySetting(char* out, size_t n, const char* switchValue, const char* settingName) {
    const char* v = switchValue ? switchValue : GetSetting(settingName);
    if (v) snprintf(out, n, "%s", v);
}

long SettingNumber(const char* name, long fallback) { return GetSettingInt(name, fallback); }

bool SettingOn(const char* name) {
    const char* v = GetSetting(name);
    return v && *v && *v != '0' && *v != 'N' && *v != 'n';
}

}  // namespace

void ClientConfigDefaults() {
    ClientConfigCleanup();
    memset(&gClientConfig, 0, sizeof gClientConfig);
    gClientConfig.port = kDefaultPort;
    gClientConfig.recvTimeout = kDefaultRecvTimeout;
    gClientConfig.cacheOn = true;
    gClientConfig.decimalChar = '.';
    gPdfJpegQuality = 100;
    gGuiOption2039 = 0;
    gDesignMode = 0;
    gClientModeFlags = 0;
}

void ClientConfigRead(const SwitchSet& sw) {
    ClientConfig& c = gClientConfig;
    CopySetting(c.host, sizeof c.host, sw.host, "QOVCS_HOSTNAME");
    const char* port = sw.port ? sw.port : GetSetting("QOVCS_PORTNUM");
    if (port && atoi(port) > 0 && atoi(port) < 65536) c.port = atoi(port);
    CopySetting(c.localIp, sizeof c.localIp, sw.local, "QOVCS_LOCALIP");
    c.ipv6 = sw.ipv6 || SettingOn("QOVCS_IPV6");
    CopySetting(c.publicKey, sizeof c.publicKey, sw.key, "QOVCS_PUBLIC");
    CopySetting(c.logon, sizeof c.logon, sw.logon, "QOVCS_LOGON");
    if (sw.program[0]) {
        snprintf(c.cmdLine, sizeof c.cmdLine, "%s", sw.program);
    } else {
        const char* cmd = GetSetting("QOVCS_CMDLN");
        if (!cmd) cmd = GetSetting("QOVCS_CMDLIN");
        if (cmd) snprintf(c.cmdLine, sizeof c.cmdLine, "%s", cmd);
    }
    c.dspMode = static_cast<int>(SettingNumber("QOVCS_DSPMODE", 0));
    c.keyMode = static_cast<int>(SettingNumber("QOVCS_KEYMODE", 0));
    c.autoRetry = static_cast<int>(SettingNumber("QOVCS_AUTORETRY", 0));
    c.autoDelay = static_cast<int>(SettingNumber("QOVCS_AUTODELAY", 0));
    c.keepAlive = static_cast<int>(SettingNumber("QOVCS_KEEPALIVE", 0));
    c.recvTimeout = static_cast<int>(SettingNumber("QOVCS_RECVTIMEOUT", kDefaultRecvTimeout));
    if (c.recvTimeout <= 0) c.recvTimeout = kDefaultRecvTimeout;
    c.multiServer = SettingOn("QOVCS_MULTISERVER");
    c.singleUse = SettingOn("QOVCS_SINGLEUSE");
    for (int i = 0; i < kServerSlots; i++) {
        char name[32];
        snprintf(name, sizeof name, "QOVCS_ERROR%d", i);
        c.errorText[i] = GetSetting(name);
        snprintf(name, sizeof name, "QOVCS_TITLE%d", i);
        c.titleText[i] = GetSetting(name);
        snprintf(name, sizeof name, "QOVCS_RETRY%d", i);
        c.retry[i] = static_cast<int>(SettingNumber(name, 0));
        snprintf(name, sizeof name, "QOVCS_DELAY%d", i);
        c.delay[i] = static_cast<int>(SettingNumber(name, 0));
    }
    const char* cache = GetSetting("QOVCS_CACHE");
    c.cacheOn = !sw.noCache && !(cache && (*cache == '0' || *cache == 'N' || *cache == 'n'));
    CopySetting(c.cacheDir, sizeof c.cacheDir, nullptr, "QOVCS_CACHEDIR");
    c.cacheAge = static_cast<int>(SettingNumber("QOVCS_CACHEAGE", 0));
    c.imSize = static_cast<int>(SettingNumber("QOVCS_IMSIZE", 0));
    c.imCount = static_cast<int>(SettingNumber("QOVCS_IMCOUNT", 0));
}

int32_t ClientSettingGet(int code) {
    if (code == kGetPdfJpegQuality || code == kSetPdfJpegQuality) return static_cast<int32_t>(gPdfJpegQuality);
    if (code < kFirstRuntimeSetting || code > kLastRuntimeSetting) return 0;
    return gClientConfig.runtime[code - kFirstRuntimeSetting];
}

int32_t ClientSettingSet(int code, int32_t value, const char* text) {
    if (code < kFirstRuntimeSetting || code > kLastRuntimeSetting) return 0;
    int32_t previous = ClientSettingGet(code);
    switch (code) {
    case kSetPdfJpegQuality:
        // libjpeg takes 1-100; out-of-range values are clamped rather than
        // letting a zero quality write unreadable images.
        gPdfJpegQuality = static_cast<uint32_t>(value < 1 ? 1 : value > kMaxJpegQuality ? kMaxJpegQuality : value);
        break;
    case kSetPdfMetricsPrinter:
        if (text) ReplaceStrField(text, -1, &gClientConfig.metricsPrinter);
        break;
    case kSetPreviewLabels:
        if (text) ReplaceStrField(text, -1, &gClientConfig.previewLabels);
        break;
    }
    gClientConfig.runtime[code - kFirstRuntimeSetting] = value;
    return previous;
}

bool SetExceptionText(const char* text, size_t length) {
    if (!gExceptionText) gExceptionText = static_cast<char*>(LocalAllocZero(kExceptionTextSize + 1));
    if (!gExceptionText) return false;
    size_t n = length < static_cast<size_t>(kExceptionTextSize) ? length : kExceptionTextSize;
    if (text && n) memcpy(gExceptionText, text, n);
    gExceptionText[n] = 0;
    return true;
}

void SetClientModeFlags(uint32_t flags) { gClientModeFlags = flags & ~kModeFlagNeverSet; }

void SetDesignMode(uint32_t value) {
    gDesignMode = value ? 1 : 0;
    gGuiOption2039 = value ? 1 : 0;
}

void SetWinErrorText(unsigned long code) {
    snprintf(gErrorDetailText, sizeof gErrorDetailText, "WINERR:0x%-8lX", code);
    snprintf(gErrorText, sizeof gErrorText, "WINERR:0x%-8lX", code);
}

void ClientConfigCleanup() {
    ReplaceStrField(nullptr, 0, &gClientConfig.metricsPrinter);
    ReplaceStrField(nullptr, 0, &gClientConfig.previewLabels);
    LocalFreeMem(gExceptionText);
    gExceptionText = nullptr;
}
