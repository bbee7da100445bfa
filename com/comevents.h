// comevents.h - events of COM objects: the DISPPARAMS form of posting an event
// that the server registered, and the argument copies a queued event owns.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

struct ObjectRecord;

// Queues the event when registered: the arguments in parameter order (rgvarg
// reversed) fill the registration's item templates, converted as results are;
// the entry keeps VariantCopyInd copies of up to ten arguments, which records
// 1-10 stand for once the event is taken. False when not registered or not queued.
bool PostEventIfRegistered(ObjectRecord* rec, uint32_t eventId, DISPPARAMS* params);
void ComEventsInstall();
