// config.h - the client configuration: the session values read from the
// command line and the settings, the option bytes the server sets, the client
// run-time settings, and the shared error texts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "session/switches.h"

constexpr int kDefaultPort = 3933;
constexpr int kDefaultRecvTimeout = 300;  // seconds of server silence before the session ends
constexpr int kServerSlots = 5;           // the numbered settings 0 to 4
constexpr int kFirstRuntimeSetting = 348;
constexpr int kLastRuntimeSetting = 402;
constexpr int kExceptionTextSize = 500;
constexpr size_t kErrorTextSize = 1024;
constexpr size_t kErrorDetailSize = 44;

// Client run-time setting codes that the client itself reads.
enum RuntimeSetting {
    kSetSingleCopy = 348,       // print dialog: copies set to 1
    kSetShortSpoolHeader = 357, // spool files with the short header
    kSetPdfMetricsPrinter = 371,// PDF text measured on the named metrics printer
    kSetPreviewLabels = 382,    // the preview's labels (text)
    kSetPdfJpegQuality = 389,   // JPEG quality of images in PDF files
    kSetThemeColor = 400,       // default theme colour 1-8 of the web-view mode
    kSetWebStyle = 402,         // web style option word
    kGetPdfJpegQuality = 441,   // reads the JPEG quality back
};

struct ClientConfig {
    // Link: from the switches, else the settings.
    char host[256];
    int port;
    char localIp[64];
    bool ipv6;
    char publicKey[512];
    char logon[256];
    char cmdLine[kCmdLineSize];  // the program and its arguments
    int dspMode, keyMode;
    int autoRetry, autoDelay;
    int keepAlive;               // seconds between keep-alive words, 0 none
    int recvTimeout;             // seconds
    bool multiServer, singleUse;
    const char* errorText[kServerSlots];
    const char* titleText[kServerSlots];
    int retry[kServerSlots], delay[kServerSlots];
    // Cache.
    bool cacheOn;
    char cacheDir[512];
    int cacheAge, imSize, imCount;
    // Set by the server's accept message.
    uint32_t serverVersion;
    uint32_t serverOptions;
    uint8_t defaultFetchMode;
    char decimalChar;
    char spoolExt[5];
    bool noPrintAnswers;
    // Run-time settings 348-402 and the texts some of them carry.
    int32_t runtime[kLastRuntimeSetting - kFirstRuntimeSetting + 1];
    char* metricsPrinter;
    char* previewLabels;
};

extern ClientConfig gClientConfig;
extern uint32_t gPdfJpegQuality;  // default 100
extern uint8_t gConsoleMode;      // 1: this is the console client
extern uint8_t gGuiOption2039;    // 1 after message 2039 with a non-zero value
extern uint8_t gDesignMode;       // likewise, read by the OLE container
extern uint32_t gClientModeFlags; // message 2036, bit 1 always clear
extern char gErrorText[kErrorTextSize];
// The detail of the last creation answered -83 (Control and Container: 101,
// 102, 103, 104, 110), 0 when the last creation gave none; the server reads it
// with information request 10, gErrorText beside it.
extern int32_t gObjectCreateDetail;
constexpr uint32_t kInfoCreateDetail = 10;
extern char gErrorDetailText[kErrorDetailSize];
extern char* gExceptionText;      // 500 characters and a NUL, allocated on first use

// Resets the configuration to its defaults.
void ClientConfigDefaults();
// Fills the session and cache values from the switches and the settings.
void ClientConfigRead(const SwitchSet& sw);
// Sets a client run-time setting (348-402) from the server; answers the
// previous value. Other codes change nothing and answer 0.
int32_t ClientSettingSet(int code, int32_t value, const char* text);
int32_t ClientSettingGet(int code);
// Message 2035: copies up to 500 bytes into gExceptionText. Answers false
// without memory.
bool SetExceptionText(const char* text, size_t length);
// Messages 2036 and 2039.
void SetClientModeFlags(uint32_t flags);
void SetDesignMode(uint32_t value);
// Formats "WINERR:0x%-8lX" with code into gErrorDetailText and gErrorText.
void SetWinErrorText(unsigned long code);
void ClientConfigCleanup();
