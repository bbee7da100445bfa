// main.cpp - the process entry: switches, then the session.
#include <cstdio>

#include "session/switches.h"

int main(int argc, char** argv) {
    bool ok = ParseSwitches(argc, argv);
    if (gSwitches.version || gSwitches.help) {
        printf("%s\n", kVersionText);
        if (gSwitches.help) printf("%s", kUsageText);
        return 0;
    }
    if (!ok) {
        fprintf(stderr, "Unknown switch: %s\n%s", gSwitches.unknown, kUsageText);
        return 1;
    }
    return 0;
}
