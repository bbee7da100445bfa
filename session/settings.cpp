// settings.cpp - settings from the environment and the ini file.
//
// The ini file is read with a parser of our own rather than the profile API so
// that the same lookups run on the host build; it follows the profile rules:
// sections and keys without case, blanks around names and values ignored,
// lines starting with ';' are comments, the first occurrence of a key wins.
#include "session/settings.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "session/util/mem.h"
#include "session/util/strutil.h"

namespace {

constexpr size_t kMaxIniLine = 4096;

struct WinSettingName {
    const char* name;
    const char* fallback;  // the debugger's name, or null
};

const WinSettingName kWinSettingNames[kCfgLast + 1] = {
    {nullptr, nullptr},
    {"QOVWIN_PRTPREV", nullptr},
    {"QOV_PRTTIME", nullptr},
    {"QOV_PRTRETRY", nullptr},
    {"QOV_PRTDEBUG", nullptr},
    {"QOVWIN_SYSPORT", nullptr},
    {"QOVWIN_ICON", "XRTWIN_ICON"},
    {"QOVWIN_DOSCOLORS", nullptr},
    {"QOVWIN_RTL", nullptr},
    {"QOVWIN_FBOLD", nullptr},
    {"QOVWIN_FSIZE", "XRTWIN_FSIZE"},
    {"QOVWIN_FONT", "XRTWIN_FONT"},
    {"QOVCE_TASKBAR", nullptr},
    {"QOVCE_DO3D", nullptr},
    {"QOVWIN_NOHELP", nullptr},
    {"QOVWIN_FILE", "XRTWIN_FILE"},
    {"QOVWIN_EDIT", "XRTWIN_EDIT"},
    {"QOVWIN_HELP", "XRTWIN_HELP"},
    {"QOVWIN_DOSFONT", nullptr},
    {"QOVWIN_PRTSCR", nullptr},
    {"QOVWIN_TERMINAL", nullptr},
    {"QOVWIN_TERMINAL_DEBUG", nullptr},
};

// Every text handed out is kept here until clean-up, so callers may hold it.
struct KeptText {
    KeptText* next;
    char* text;
};
KeptText* gKept;
char* gProgramDir;
char* gIniFileSwitch;
char* gIniPath;
bool gIniSearched;
char* gWinDefaults[kCfgLast + 1];

const char* Keep(const char* value) {
    for (KeptText* k = gKept; k; k = k->next)
        if (!strcmp(k->text, value)) return k->text;
    KeptText* k = static_cast<KeptText*>(LocalAllocZero(sizeof(KeptText)));
    char* copy = DupStr(value);
    if (!k || !copy) {
        LocalFreeMem(k);
        LocalFreeMem(copy);
        return nullptr;
    }
    k->text = copy;
    k->next = gKept;
    gKept = k;
    return copy;
}

bool FileExists(const char* path) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    fclose(f);
    return true;
}

// The ini file: the "ini" switch's file, else the one in the current
// directory, else the one beside the program.
const char* FindIniFile() {
    if (gIniSearched) return gIniPath;
    gIniSearched = true;
    if (gIniFileSwitch) {
        gIniPath = DupStr(gIniFileSwitch);
    } else if (FileExists(kIniFileName)) {
        gIniPath = DupStr(kIniFileName);
    } else if (gProgramDir) {
        char path[1024];
        snprintf(path, sizeof path, "%s%s", gProgramDir, kIniFileName);
        if (FileExists(path)) gIniPath = DupStr(path);
    }
    return gIniPath;
}

char* Trim(char* s) {
    while (*s == ' ' || *s == '\t') s++;
    size_t n = strlen(s);
    while (n && (s[n - 1] == ' ' || s[n - 1] == '\t' || s[n - 1] == '\r' || s[n - 1] == '\n')) s[--n] = 0;
    return s;
}

// Looks name up in section of the ini file; copies the value into out.
bool ReadIniValue(const char* section, const char* name, char* out, size_t outSize) {
    const char* path = FindIniFile();
    if (!path) return false;
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    char line[kMaxIniLine];
    bool inSection = false, found = false;
    while (!found && fgets(line, sizeof line, f)) {
        char* s = Trim(line);
        if (*s == ';' || *s == 0) continue;
        if (*s == '[') {
            char* end = strchr(s, ']');
            if (end) *end = 0;
            inSection = !strcasecmp(Trim(s + 1), section);
            continue;
        }
        if (!inSection) continue;
        char* eq = strchr(s, '=');
        if (!eq) continue;
        *eq = 0;
        if (strcasecmp(Trim(s), name)) continue;
        char* value = Trim(eq + 1);
        // A value in double quotes keeps its blanks; the quotes go.
        size_t n = strlen(value);
        if (n >= 2 && value[0] == '"' && value[n - 1] == '"') {
            value[n - 1] = 0;
            value++;
        }
        snprintf(out, outSize, "%s", value);
        found = true;
    }
    fclose(f);
    return found;
}

}  // namespace

void SettingsSetProgramDir(const char* dir) { ReplaceStrField(dir, -1, &gProgramDir); }

void SettingsSetIniFile(const char* path) {
    ReplaceStrField(path, -1, &gIniFileSwitch);
    LocalFreeMem(gIniPath);
    gIniPath = nullptr;
    gIniSearched = false;
}

const char* SettingsIniPath() { return FindIniFile(); }

const char* GetIniSetting(const char* name, const char* section) {
    if (!name || !section) return nullptr;
    if (tolower(static_cast<unsigned char>(section[0])) == 'e') {
        const char* env = getenv(name);
        if (env) return Keep(env);
    }
    char value[kMaxIniLine];
    if (!ReadIniValue(section, name, value, sizeof value)) return nullptr;
    return Keep(value);
}

const char* GetSetting(const char* name) { return GetIniSetting(name, kEnvironmentSection); }

const char* GetWinSetting(int id) {
    if (id < kCfgFirst || id > kCfgLast) return nullptr;
    const char* v = GetSetting(kWinSettingNames[id].name);
    if (!v && kWinSettingNames[id].fallback) v = GetSetting(kWinSettingNames[id].fallback);
    if (!v) v = gWinDefaults[id];
    return v;
}

void SetWinSettingDefault(int id, const char* text) {
    if (id < kCfgFirst || id > kCfgLast) return;
    ReplaceStrField(text, -1, &gWinDefaults[id]);
}

long GetSettingInt(const char* name, long fallback) {
    const char* v = GetSetting(name);
    if (!v || !*v) return fallback;
    char* end;
    long n = strtol(v, &end, 10);
    return end == v ? fallback : n;
}

void SettingsCleanup() {
    while (gKept) {
        KeptText* next = gKept->next;
        LocalFreeMem(gKept->text);
        LocalFreeMem(gKept);
        gKept = next;
    }
    for (char*& d : gWinDefaults) ReplaceStrField(nullptr, 0, &d);
    ReplaceStrField(nullptr, 0, &gProgramDir);
    ReplaceStrField(nullptr, 0, &gIniFileSwitch);
    LocalFreeMem(gIniPath);
    gIniPath = nullptr;
    gIniSearched = false;
}
