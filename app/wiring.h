// wiring.h - start-up connection of the facilities through their hook tables.
#pragma once

// Fills every facility's hooks (before the runtime starts).
void InstallFacilities();
// Registers the message handlers of the object model and printing in the
// session's range tables (after the session's own tables are set).
void InstallMessageHandlers();
