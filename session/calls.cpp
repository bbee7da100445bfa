// calls.cpp - the method-call record that method-call messages fill, and the
// check of a call against the method table its object type registered.
#include "session/session.h"

#include "session/config.h"

MethodCallRec gMethodCall;
PropChainRec gPropChain;

static MethodLookupFn gMethodTables[kMaxObjectType + 1];

void RegisterMethodTable(uint32_t objectType, MethodLookupFn lookup) {
    if (objectType <= kMaxObjectType) gMethodTables[objectType] = lookup;
}

// 0 when the call may go on; -37 when the method number is not in the type's
// table for the server's version. The record's no-check byte skips the check.
int CheckMethodCall(uint32_t objectType, const MethodCallRec* rec) {
    if (rec->noCheck) return 0;
    if (objectType > kMaxObjectType || !gMethodTables[objectType]) return kErrNoMethod;
    uint32_t version = gClientConfig.serverVersion;
    if (version > kMethodVersionLimit) version = kMethodVersionLimit;
    return gMethodTables[objectType](rec->method, version) ? 0 : kErrNoMethod;
}
