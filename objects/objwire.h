// objwire.h - the object model's part of the server dispatch: the create
// request (1401) and the object operations (2401-2419), and the installation of
// the hooks through which the session reaches the object model.
#pragma once

#include <cstdint>

#include "session/proto/records.h"

struct SrvMsg;

// The initial value of the object a create request makes (a Variant): the
// optional item behind the creation stream; kind 0 when the request has none.
extern EventItem gCreateInitValue;

int32_t OnCreateRequest(const SrvMsg* m);
// Puts the 1401 and 2401-2419 handlers, the event taker and the destroyed-Ovar
// report into the session's tables. Called once at start-up, before connecting.
void ObjectsInstallSessionHooks();
