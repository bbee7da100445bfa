// comhooks.cpp - puts the automation server's run loop into the session's hook
// table when the program starts. It is compiled into the program itself (not
// into the qov_com library) so that the linker always keeps this initialiser.
#include "com/autoserver.h"
#include "session/session.h"

namespace {

// gHooks is zero-initialised before any dynamic initialiser runs, and nothing
// else writes this slot, so the order of initialisers does not matter.
const bool kAutomationHooked = (gHooks.automationRun = AutomationServerRun, true);

}  // namespace
