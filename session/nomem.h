// nomem.h - the one guard that stops work which cannot be held in memory: a
// request's handler, and every entry the system calls back into the client
// (window procedures, hooks, timers, COM methods and event sinks).
#pragma once

#include <new>
#include <stdexcept>

// Notes in the debug log that the work named `where` stopped for want of memory.
void NoMemoryNote(const char* where);

// Runs fn; true when it ran to its end. When memory runs out inside it (a
// std::bad_alloc, or a std::length_error: a size the library cannot hold),
// the work stops there, the reason goes to the debug log and false comes
// back: the caller answers or drops what it was doing. An exception cannot
// unwind through the system's frames (Wine ends the process when one tries),
// so every entry the system calls runs its work through this; what fn holds
// is given back by its own scopes on the way out.
template <typename Fn>
bool CatchNoMemory(const char* where, Fn&& fn) {
    try {
        fn();
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    NoMemoryNote(where);
    return false;
}
