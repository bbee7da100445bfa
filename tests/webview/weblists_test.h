// weblists_test.h - what the tests of the web view's list kinds share (data
// lists, list views, tree views, tab controls, menus, toolbars): a recording
// page with one window, method calls with the answer they give, registered
// events and page events; and the files of the XML contents in the test's folder.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "objects/objcreate.h"
#include "objects/objrecord.h"

// One method argument: a number, or a text when text is given (of length
// bytes, or up to its NUL when length is 0).
struct Arg {
    int32_t value;
    const char* text;
    uint32_t length = 0;
};
inline Arg N(int32_t v) { return Arg{v, nullptr}; }
inline Arg T(const char* t) { return Arg{0, t}; }
// A text of exactly these bytes, a NUL inside kept.
inline Arg Bytes(const std::string& t) { return Arg{0, t.data(), static_cast<uint32_t>(t.size())}; }
constexpr Arg kSkip = {INT32_MIN, nullptr};

// The answers given through the reply services, the last one last.
extern std::vector<std::string> gReplies;

// What the page was sent since the last call.
std::string Posts();
// Every queued event as (event, value), taken off the queue.
std::vector<std::pair<int32_t, int32_t>> Events();

class WebLists : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // An object of the type in the test's window, set up further by setup.
    ObjectRecord* Create(uint32_t type, const std::function<void(ObjectCreateRecord*)>& setup);
    // Runs a method; the answer it gave ("" when none, "error N" for a refusal).
    std::string Call(ObjectRecord* rec, uint32_t type, uint32_t method, std::vector<Arg> args);
    void Register(ObjectRecord* rec, std::initializer_list<uint32_t> events);
    // A page event as the page sends it.
    void PageEvent(const std::string& json);

    ObjectCreateRecord cr;
    ObjectRecord* window = nullptr;
    uint32_t resultVar = 0;    // the result variable a method call names, 0: none
    uint32_t resultKind = 0;   // the result kind it asks for
};

// The XML contents' file services for a test: '!' names are the test folder's
// files, any other name is refused as the server would; temporary files are
// numbered qovxml1.tmp, qovxml2.tmp, ...
void XmlTestFilesSetUp();
void XmlTestFilesTearDown();

// A kind's fixture with the XML contents' files on for each test.
template <class Base>
class WithXmlFiles : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        XmlTestFilesSetUp();
    }
    void TearDown() override {
        XmlTestFilesTearDown();
        Base::TearDown();
    }
};
// A file's bytes; "(none)" when there is no such file.
std::string FileText(const std::string& path);
// Well-formed by xmllint where the build runs natively; under Wine by the
// program's own reader.
bool WellFormed(const std::string& path);
