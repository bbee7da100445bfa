// switches.h - the command line: switches, then the program to run and its
// arguments.
#pragma once

#include <cstddef>

constexpr size_t kCmdLineSize = 1008;  // the session's command line: 1007 characters and a NUL

struct SwitchSet {
    bool debug;        // "deb": write the debug log
    bool ipv6;         // "ipv6"
    bool clear;        // "clear": empty the cache and end
    bool noCache;      // "nocache"
    bool stats;        // "stats": log the traffic counts at the end
    bool version;      // "ver": print the version and end
    bool help;         // "?": print the version and the usage and end
    bool quiet;        // "quiet" or "quiet=": errors go to the quiet log
    int quietLevel;    // the number of "quiet="
    int msgLogLevel;   // the number of "dmsgs=": 0 leaves the message log closed
    bool automation;   // "automation" (and "embedding", added by COM)
    bool reg;          // "reg": register the automation server and end
    bool unreg;        // "unreg"
    const char* ini;   // "ini <file>"
    const char* host;  // "host <name>"
    const char* port;  // "port <number>"
    const char* key;   // "key <public key>"
    const char* logon; // "logon <text>"
    const char* local; // "local <address>"
    // The program to run and its arguments, joined by blanks (cut at 1007
    // characters); empty when the command line names none.
    char program[kCmdLineSize];
    const char* unknown;  // the first switch that is not known, or null
};

extern SwitchSet gSwitches;

// Reads argv[1..argc-1] into gSwitches. Answers false when a value switch
// lacks its value or a switch is unknown (gSwitches.unknown names it).
bool ParseSwitches(int argc, const char* const* argv);

extern const char kUsageText[];
extern const char kVersionText[];
