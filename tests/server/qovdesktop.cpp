// qovdesktop.cpp - holds a test run's Wine desktop open. The Wine server closes
// a desktop one second after its last program (other than Wine's own) has
// left it, and the next program starts a new desktop process, which inherits
// that program's output: a test that happened to start it then lasted, for
// ctest, until the desktop ended at the next such gap, often minutes later. The
// run's set-up starts this program once, with its output going nowhere; it
// joins the desktop, says so in the file named on its command line and sleeps
// until the set-up's clean-up ends the Wine server.
//
// Usage: qovdesktop READY-FILE
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    // Asking for the desktop window makes this thread one of the desktop's
    // users, and waits until the desktop process has made it.
    if (!GetDesktopWindow()) return 1;
    if (argc > 1) {
        FILE* f = fopen(argv[1], "w");
        if (!f) return 1;
        fputs("ready\n", f);
        fclose(f);
    }
    Sleep(INFINITE);
    return 0;
}
