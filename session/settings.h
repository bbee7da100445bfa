// settings.h - the client's settings: the environment first, then the ini file
// ("qovtervex.ini"), and the numbered display settings.
#pragma once

constexpr const char kIniFileName[] = "qovtervex.ini";
constexpr const char kEnvironmentSection[] = "environment";

// The numbered display settings read by GetWinSetting.
enum ConfigId {
    kCfgPrtPrev = 1,      // QOVWIN_PRTPREV: preview labels
    kCfgPrtTime = 2,      // QOV_PRTTIME
    kCfgPrtRetry = 3,     // QOV_PRTRETRY
    kCfgPrtDebug = 4,     // QOV_PRTDEBUG
    kCfgSysPort = 5,      // QOVWIN_SYSPORT
    kCfgIcon = 6,         // QOVWIN_ICON, XRTWIN_ICON
    kCfgDosColors = 7,    // QOVWIN_DOSCOLORS
    kCfgRtl = 8,          // QOVWIN_RTL
    kCfgFontBold = 9,     // QOVWIN_FBOLD
    kCfgFontSize = 10,    // QOVWIN_FSIZE, XRTWIN_FSIZE
    kCfgFont = 11,        // QOVWIN_FONT, XRTWIN_FONT
    kCfgTaskbar = 12,     // QOVCE_TASKBAR
    kCfgDo3d = 13,        // QOVCE_DO3D
    kCfgNoHelp = 14,      // QOVWIN_NOHELP
    kCfgFile = 15,        // QOVWIN_FILE, XRTWIN_FILE
    kCfgEdit = 16,        // QOVWIN_EDIT, XRTWIN_EDIT
    kCfgHelp = 17,        // QOVWIN_HELP, XRTWIN_HELP
    kCfgDosFont = 18,     // QOVWIN_DOSFONT
    kCfgPrtScr = 19,      // QOVWIN_PRTSCR
    kCfgTerminal = 20,    // QOVWIN_TERMINAL
    kCfgTerminalDebug = 21,  // QOVWIN_TERMINAL_DEBUG
    kCfgFirst = 1,
    kCfgLast = 21,
};

// The directory of the program file (with its trailing separator), where the
// ini file is looked for last. Set once at start-up.
void SettingsSetProgramDir(const char* dir);
// The ini file named by the "ini" switch; null for the default search.
void SettingsSetIniFile(const char* path);

// A setting by name: the environment, then the "environment" section of the
// ini file. Null when it is set in neither. The text stays valid until
// SettingsCleanup.
const char* GetSetting(const char* name);
// A setting from the given section of the ini file; the environment is asked
// first only for a section whose name begins with "e".
const char* GetIniSetting(const char* name, const char* section);
// A numbered display setting: its name, then its debugger fallback name, then
// the default the server supplied; null when none is set.
const char* GetWinSetting(int id);
// The server's default for a numbered setting (null clears it).
void SetWinSettingDefault(int id, const char* text);
// An integer setting, or fallback when it is not set.
long GetSettingInt(const char* name, long fallback);

// The ini file that lookups read, or null when none was found.
const char* SettingsIniPath();

// Frees every setting text handed out.
void SettingsCleanup();
