// switches.cpp - parsing of the command line's switches.
#include "session/switches.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

SwitchSet gSwitches;

const char kVersionText[] = "Qovtervex 1.0 - QO/V console client (32-bit)";
const char kUsageText[] =
    "Usage: qovtervex [switches] program [arguments]\n"
    "  -host name      server host name or address\n"
    "  -port number    server port (default 3933)\n"
    "  -ipv6           connect over IPv6\n"
    "  -local address  local address to bind\n"
    "  -key text       the server's public key\n"
    "  -logon text     logon text for the server\n"
    "  -ini file       settings file (default qovtervex.ini)\n"
    "  -deb            write the debug log\n"
    "  -dmsgs=n        write the message log at level n\n"
    "  -quiet[=n]      write errors to the quiet log instead of the console\n"
    "  -stats          log the traffic counts at the end\n"
    "  -nocache        do not use the resource cache\n"
    "  -clear          empty the resource cache and end\n"
    "  -reg, -unreg    register or unregister the automation server\n"
    "  -automation     run as the automation server\n"
    "  -ver, -?        print the version (and this text)\n";

namespace {

enum SwitchKind { kFlag, kValue, kNumber };

struct SwitchDef {
    const char* name;
    SwitchKind kind;
};

const SwitchDef kSwitchDefs[] = {
    {"deb", kFlag},    {"ini", kValue},   {"host", kValue},   {"port", kValue},      {"ipv6", kFlag},
    {"key", kValue},   {"logon", kValue}, {"local", kValue},  {"clear", kFlag},      {"nocache", kFlag},
    {"stats", kFlag},  {"ver", kFlag},    {"quiet", kFlag},   {"quiet=", kNumber},   {"dmsgs=", kNumber},
    {"?", kFlag},      {"automation", kFlag}, {"reg", kFlag}, {"unreg", kFlag},
    // Wine and Windows start a local COM server with " -Embedding" appended to
    // the registered command line: it means automation mode.
    {"embedding", kFlag},
};

void ApplyFlag(const char* name) {
    SwitchSet& s = gSwitches;
    if (!strcmp(name, "deb")) s.debug = true;
    else if (!strcmp(name, "ipv6")) s.ipv6 = true;
    else if (!strcmp(name, "clear")) s.clear = true;
    else if (!strcmp(name, "nocache")) s.noCache = true;
    else if (!strcmp(name, "stats")) s.stats = true;
    else if (!strcmp(name, "ver")) s.version = true;
    else if (!strcmp(name, "?")) s.help = true;
    else if (!strcmp(name, "quiet")) s.quiet = true;
    else if (!strcmp(name, "automation") || !strcmp(name, "embedding")) s.automation = true;
    else if (!strcmp(name, "reg")) s.reg = true;
    else if (!strcmp(name, "unreg")) s.unreg = true;
}

void ApplyValue(const char* name, const char* value) {
    SwitchSet& s = gSwitches;
    if (!strcmp(name, "ini")) s.ini = value;
    else if (!strcmp(name, "host")) s.host = value;
    else if (!strcmp(name, "port")) s.port = value;
    else if (!strcmp(name, "key")) s.key = value;
    else if (!strcmp(name, "logon")) s.logon = value;
    else if (!strcmp(name, "local")) s.local = value;
}

void ApplyNumber(const char* name, const char* digits) {
    int n = atoi(digits);
    if (!strcmp(name, "quiet=")) {
        gSwitches.quiet = true;
        gSwitches.quietLevel = n;
    } else if (!strcmp(name, "dmsgs=")) {
        gSwitches.msgLogLevel = n;
    }
}

// Appends one word of the program part, cutting the whole at 1007 characters.
void AppendProgramWord(const char* word) {
    char* p = gSwitches.program;
    size_t used = strlen(p);
    if (used && used + 1 < kCmdLineSize) p[used++] = ' ';
    size_t room = kCmdLineSize - 1 - used;
    size_t n = strlen(word);
    if (n > room) n = room;
    memcpy(p + used, word, n);
    p[used + n] = 0;
}

const SwitchDef* FindSwitch(const char* word, const char** number) {
    for (const SwitchDef& d : kSwitchDefs) {
        size_t n = strlen(d.name);
        if (d.kind == kNumber) {
            if (!strncasecmp(word, d.name, n)) {
                *number = word + n;
                return &d;
            }
        } else if (!strcasecmp(word, d.name)) {
            return &d;
        }
    }
    return nullptr;
}

}  // namespace

bool ParseSwitches(int argc, const char* const* argv) {
    memset(&gSwitches, 0, sizeof gSwitches);
    bool ok = true;
    int i = 1;
    for (; i < argc; i++) {
        const char* a = argv[i];
        if (a[0] != '-' && a[0] != '/') break;  // the first other word starts the program
        const char* number = nullptr;
        const SwitchDef* d = FindSwitch(a + 1, &number);
        if (!d) {
            if (!gSwitches.unknown) gSwitches.unknown = a;
            ok = false;
            continue;
        }
        if (d->kind == kFlag) {
            ApplyFlag(d->name);
        } else if (d->kind == kNumber) {
            ApplyNumber(d->name, number);
        } else if (i + 1 < argc) {
            ApplyValue(d->name, argv[++i]);
        } else {
            if (!gSwitches.unknown) gSwitches.unknown = a;
            ok = false;
        }
    }
    for (; i < argc; i++) AppendProgramWord(argv[i]);
    return ok;
}
