/* ribmarkup_dll.c - the entry of the resource library that carries the tests'
   ribbon markup, loaded by name through RibDll. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
