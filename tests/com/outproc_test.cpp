// outproc_test.cpp - the automation client out of process: the program's own
// automation server Qovclient.Application, registered with "-reg", created
// through its local server and driven by name through its type library:
// properties, the default member, and a refused port.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "com/autoclient.h"
#include "com/core/varrules.h"
#include "session/config.h"

namespace {

int RunProgram(const std::string& args) {
    const char* exe = getenv("QOV_CLIENT_EXE");
    if (!exe) return -1;
    std::string cmd = std::string("\"") + exe + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
}

TEST(OutOfProcess, TheProgramsOwnAutomationServer) {
    ASSERT_EQ(RunProgram("-reg"), 1) << "registration ends with code 1 (QOV_CLIENT_EXE)";
    OleInitialize(nullptr);
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"Qovclient.Application", &clsid), S_OK);
    AutoClient* c = AutoClientCreate(clsid, nullptr, nullptr);
    ASSERT_NE(c, nullptr) << gErrorDetailText;
    EXPECT_EQ(c->eventsKnown, 0u) << "the server has no events";
    VARIANT v;
    ASSERT_EQ(AutoPropGet(c, "Name", 0, nullptr, &v), 0);
    ASSERT_EQ(V_VT(&v), VT_BSTR);
    std::wstring name(V_BSTR(&v));
    VariantClear(&v);
    ASSERT_EQ(AutoPropGet(c, nullptr, DISPID_VALUE, nullptr, &v), 0) << "the default member";
    EXPECT_EQ(std::wstring(V_BSTR(&v)), name) << "is Name";
    VariantClear(&v);
    VARIANT port;
    VariantInit(&port);
    V_VT(&port) = VT_I4;
    V_I4(&port) = 8123;
    EXPECT_EQ(AutoPropPut(c, "ServerPort", 0, nullptr, &port), 0);
    ASSERT_EQ(AutoPropGet(c, "ServerPort", 0, nullptr, &v), 0);
    EXPECT_EQ(V_I4(&v), 8123);
    V_I4(&port) = 70000;
    int32_t rc = AutoPropPut(c, "ServerPort", 0, nullptr, &port);
    EXPECT_LT(rc, 0) << "a port beyond 65535 is refused";
    EXPECT_TRUE(rc == kAutoException || rc == kAutoInvokeFailed) << rc;
    ASSERT_EQ(AutoPropGet(c, "ServerPort", 0, nullptr, &v), 0);
    EXPECT_EQ(V_I4(&v), 8123) << "and changes nothing";
    EXPECT_EQ(AutoPropGet(c, "NoSuchProperty", 0, nullptr, &v), kAutoPropName);
    AutoClientFree(c);
    OleUninitialize();
    RunProgram("-unreg");
}

}  // namespace
