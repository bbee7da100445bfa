// automation_bench.cpp - times 10,000 method calls on a Scripting.Dictionary
// through the Automation object's call path (items converted to VARIANTs, the
// name resolved, Invoke, the result converted and appended to the answer)
// beside the bare GetIDsOfNames and Invoke a C++ client would make with the
// same argument and result, the two in turns round by round. Goal: within
// 1.3x. Runs under Wine. Usage: automation_bench [rounds]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/benchkit.h"
#include "com/autoclient.h"
#include "com/comobjects.h"
#include "com/varconv.h"
#include "objects/objops.h"
#include "session/session.h"

namespace {

constexpr int kCalls = 10000;
constexpr int kRounds = 21;

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : kRounds;
    if (rounds < 1) return 2;
    OleInitialize(nullptr);
    ComObjectsInstall();
    CLSID clsid;
    IDispatch* d = nullptr;
    if (FAILED(CLSIDFromProgID(L"Scripting.Dictionary", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&d)))) {
        printf("FAIL: no Scripting.Dictionary\n");
        return 1;
    }
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = d;
    int32_t code = 0;
    ObjectRecord* rec = AutomationWrapDispatch(nullptr, &v, &code);
    AutoClient* client = AutomationOf(rec)->client;
    // One key to look up.
    VARIANT key[2];
    VariantInit(&key[0]);
    VariantInit(&key[1]);
    V_VT(&key[1]) = VT_BSTR;
    V_BSTR(&key[1]) = SysAllocString(L"key");
    V_VT(&key[0]) = VT_I4;
    V_I4(&key[0]) = 1;
    DISPPARAMS addArgs = {key, nullptr, 2, 0};
    AutoMethodCall(client, "Add", 0, &addArgs, nullptr);

    const char keyText[] = "key";
    MethodCallRec call = {};
    call.name = "Exists";
    call.nameLength = 6;
    call.argCount = 1;
    call.args[0] = EventItem{32, 3, 0, keyText, 0};
    call.result = EventItem{8, 4, 0, nullptr, 9};
    auto ours = [&] {
        for (int i = 0; i < kCalls; ++i) {
            MsgBuildAnswer(&gSendBuf, kMsgAnswer, 0, 0, false);
            AutomationInvoke(client, &call);
        }
    };
    auto bare = [&] {
        for (int i = 0; i < kCalls; ++i) {
            LPOLESTR name = const_cast<LPOLESTR>(L"Exists");
            DISPID id;
            d->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
            VARIANT arg;
            VariantInit(&arg);
            V_VT(&arg) = VT_BSTR;
            V_BSTR(&arg) = SysAllocString(L"key");
            DISPPARAMS p = {&arg, nullptr, 1, 0};
            VARIANT result;
            VariantInit(&result);
            EXCEPINFO ex = {};
            UINT argErr = 0;
            d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &p, &result, &ex, &argErr);
            VARIANT i4;
            VariantInit(&i4);
            VariantChangeType(&i4, &result, 0, VT_I4);
            VariantClear(&result);
            VariantClear(&arg);
        }
    };
    BenchResult r = BenchInTurns(rounds, ours, bare);
    BenchReportGoal(kGoalAutomation, "AutomationInvoke x" + std::to_string(kCalls), r);
    VariantClear(&key[1]);
    ObjectDestroy(rec);
    VariantClear(&v);
    OleUninitialize();
    return 0;
}
