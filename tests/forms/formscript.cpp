// formscript.cpp - writes the scripted server's form scenes: an address-entry
// form made by the tests' QOF builder lies beside the client, which loads it
// from there during LoadQofFile; the server then talks to the loaded form's
// objects as to its own. "test" writes the end-to-end check, "demo" the demo
// scene with its screenshot, "files" the demo's form file.
// Usage: formscript test|demo OUTPUT, formscript files|check FOLDER
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>

#include "forms/qofbuild.h"
#include "forms/testpng.h"
#include "testutil.h"

using namespace qofbuild;

namespace {

// The form files the scenes load from beside the client.
constexpr char kTestFormFile[] = "forms-e2e-addr.qof";
constexpr char kDemoFormFile[] = "address.qof";
constexpr char kTwinFormFile[] = "forms-twin.qof";
constexpr char kKindsFormFile[] = "kinds.qof";
constexpr char kTwinSavedFile[] = "forms-twin-saved.qof";
constexpr char kTwinHostSavedFile[] = "forms-twin-host-saved.qof";
constexpr char kSubMenuFormFile[] = "forms-submenu.qof";

// An edit, list or tree view with a border.
Stream Bordered(int32_t left, int32_t top, int32_t width, int32_t height) {
    Stream s = ControlStream("", left, top, width, height);
    s.Int(kIdBorder, 1);
    return s;
}

// The form, hidden in the file so that the server can register its events
// before it shows the window. The rows' handles follow the window's in
// creation order: the loaded window takes +1, then each row one more. The
// group box comes after the controls it frames: sibling windows made later
// lie below the earlier ones, so the frame does not paint over them.
Form AddressForm() {
    Form form;
    form.formName = "Address";
    form.objects.push_back({"AddrWin", 25, WindowStream("Address entry", 120, 90, 440, 320, false)});
    form.objects.push_back({"NameLbl", 15, ControlStream("Name", 25, 35, 70, 20)});            // +2
    Stream name = ControlStream("Ada Lovelace", 100, 32, 220, 22);
    name.Int(kIdBorder, 1);
    form.objects.push_back({"NameEdit", 6, name});                                             // +3
    form.objects.push_back({"CityLbl", 15, ControlStream("City", 25, 70, 70, 20)});            // +4
    form.objects.push_back({"CityCombo", 12, ControlStream("", 100, 67, 220, 120)});           // +5
    form.objects.push_back({"People", 36, Bordered(10, 145, 210, 110)});                       // +6
    form.objects.push_back({"Groups", 37, Bordered(225, 145, 205, 110)});                      // +7
    form.objects.push_back({"OkBtn", 1, ControlStream("OK", 260, 265, 80, 26)});               // +8
    form.objects.push_back({"CancelBtn", 1, ControlStream("Cancel", 350, 265, 80, 26)});       // +9
    form.objects.push_back({"Frame", 20, ControlStream("Person", 10, 8, 420, 130)});            // +10
    form.objects.push_back({"MainMenu", 8, ControlStream("&File;&New;&Save;-;E&xit", 0, 0, 0, 0)});  // +11
    return form;
}

// A method call on the window, checks off: the name (no named arguments), the
// result item, no hops, then each argument as a 20-byte item and its name
// length, then the texts the items point to (absolute offsets in the message).
std::string MethodCallOn(const char* target, const char* seq, uint32_t method, const std::vector<std::string>& texts,
                         const std::vector<int32_t>& numbers) {
    const uint32_t argsAt = 56, itemSize = 24;
    uint32_t count = static_cast<uint32_t>(texts.size() + numbers.size());
    uint32_t textAt = argsAt + itemSize * count;
    std::string s = std::string("send 2416 ") + seq + " u32 " + target + " u32 30 u32 " + std::to_string(method) +
                    " u8 1 u8 0 u16 0 u32 0 u32 " + std::to_string(count) + " u32 8 u32 4 u64 0 u32 0 u32 0";
    std::string tail;
    for (const std::string& t : texts) {
        s += " u32 16 u32 " + std::to_string(t.size()) + " u64 " + std::to_string(textAt) + " u32 0 u32 0";
        textAt += static_cast<uint32_t>(t.size());
        tail += " text \"" + t + "\"";
    }
    for (int32_t n : numbers) s += " u32 8 u32 4 u64 " + std::to_string(n) + " u32 0 u32 0";
    return s + tail + "\n";
}

std::string MethodCall(const char* seq, uint32_t method, const std::vector<std::string>& texts,
                       const std::vector<int32_t>& numbers) {
    return MethodCallOn("$win", seq, method, texts, numbers);
}

// A new hidden Window object of 200 x 100 with a nine-character title.
std::string NewWindow(const char* seq, uint32_t ovar, const char* title, const char* capture) {
    return std::string("send 1401 ") + seq + " u32 30 u32 0 u32 " + std::to_string(ovar) +
           " u32 0 u32 0 u32 37 hex 120010000000 hex 1F0010000000 hex 2300C8000000 hex 0F0064000000 "
           "hex 1E800900 text \"" + title + "\"\nexpect 1102 capture " + capture + "\n";
}

// The program changes the loaded form (a text, an added button) and saves it
// on the client as a QOF file and as a full XML form file.
void WriteChangeAndSave(FILE* f, const std::string& qof, const std::string& xml) {
    fputs("# The program changes the form: the name's text, and a button added.\n"
          "send 2410 u32 $win+3 u32 0 u32 5 text \"Grace\"\n"
          "expect 1102 rest\n"
          "send 1401 seq=7 u32 1 u32 0 u32 120 u32 1 u32 0 u32 45 u16 158 u32 $win u16 18 u32 175 u16 31 u32 265 "
          "u16 35 u32 70 u16 15 u32 26 u16 23 u32 20 u16 0x801E u16 5 text \"Added\"\n"
          "expect 1102 capture added\n"
          "# SaveQofFile writes the window as a QOF form file, then as an XML form file\n"
          "# (option 0x80: header, objects, code, resources).\n", f);
    fputs(MethodCall("seq=8", 12, {qof, "", "code.txt"}, {}).c_str(), f);
    fputs("# A code file of the server's is refused (205) without fetching it.\n"
          "expect 1102 u32 205\n", f);
    fputs(MethodCall("seq=8", 12, {qof}, {}).c_str(), f);
    fputs("expect 1102 u32 0\n", f);
    fputs(MethodCall("seq=8", 12, {xml, "", ""}, {0x80}).c_str(), f);
    fputs("expect 1102 u32 0\n", f);
}

const char kStart[] =
    "expect 1100 rest\n"
    "send 1008 u32 9404 u32 0 u8 0 u8 46 text \"SPL0\"\n"
    "# The program's empty Window object (hidden, 200 x 100).\n"
    "send 1401 seq=1 u32 30 u32 0 u32 701 u32 0 u32 0 u32 37 hex 120010000000 hex 1F0010000000 "
    "hex 2300C8000000 hex 0F0064000000 hex 1E800900 text \"Empty win\"\n"
    "expect 1102 seq=1 capture win\n";

void WriteTest(FILE* f) {
    fputs("# Generated by formscript from the tests' QOF builder: a form written beside\n"
          "# the client, loaded into a Window object through LoadQofFile, then used.\n"
          "# click: \"Address entry\" \"OK\"\n", f);
    fputs(kStart, f);
    fputs("# Forms come only from the client's own files: a server file's name is\n"
          "# refused by the header queries (-1), the load (302) and the load of an XML\n"
          "# form (302), each without fetching anything.\n", f);
    fputs(MethodCall("seq=2", 27, {"addr.qof"}, {}).c_str(), f);
    fputs("expect 1102 seq=2 i32 -1\n", f);
    fputs(MethodCall("seq=2", 46, {"addr.qof"}, {1}).c_str(), f);
    fputs("expect 1102 seq=2 i32 -1\n", f);
    fputs(MethodCall("seq=2", 13, {"addr.qof"}, {}).c_str(), f);
    fputs("expect 1102 seq=2 u32 302\n", f);
    fputs(MethodCall("seq=2", 13, {"addr.xml", "", ""}, {0x2000}).c_str(), f);
    fputs("expect 1102 seq=2 u32 302\n", f);
    fputs("# The header queries read the client file's first 300 bytes.\n", f);
    fputs(MethodCall("seq=2", 27, {"!" + std::string(kTestFormFile)}, {}).c_str(), f);
    fputs("expect 1102 seq=2 u32 1\n", f);
    fputs(MethodCall("seq=2", 46, {"!" + std::string(kTestFormFile)}, {1}).c_str(), f);
    fputs("expect 1102 seq=2 u32 5\n", f);
    fputs("# The load answers version 5 x 65536; the old window is replaced.\n", f);
    fputs(MethodCall("seq=3", 13, {"!" + std::string(kTestFormFile)}, {}).c_str(), f);
    fputs("expect 1102 seq=3 u32 327680\n", f);
    fputs("expect-window \"Empty win\" absent\n"
          "expect-window \"Address entry\" hidden\n", f);
    fputs("# A window with children is refused before anything is fetched.\n", f);
    fputs(MethodCall("seq=4", 13, {"!" + std::string(kTestFormFile)}, {}).c_str(), f);
    fputs("expect 1102 u32 300\n", f);
    fputs("# The window answers for the form: its width, its title.\n"
          "send 2414 u32 $win u32 342 u32 0 fill 20 0 u32 0\n"
          "expect 1129 u32 0 i32 440 u8 8 any 3\n"
          "send 2407 u32 $win u32 0\n"
          "expect 1130 u32 13 textz \"Address entry\"\n"
          "# The form's objects answer like the server's own: texts and rectangles.\n"
          "send 2407 u32 $win+3 u32 0\n"
          "expect 1130 u32 12 textz \"Ada Lovelace\"\n"
          "send 2407 u32 $win+8 u32 0\n"
          "expect 1130 u32 2 textz \"OK\"\n"
          "send 2414 u32 $win+8 u32 295 u32 0 fill 20 0 u32 0\n"
          "expect 1129 u32 0 i32 260 u8 8 any 3\n"
          "send 2414 u32 $win+8 u32 338 u32 0 fill 20 0 u32 0\n"
          "expect 1129 u32 0 i32 265 u8 8 any 3\n"
          "send 2407 u32 $win+11 u32 4\n"
          "expect 1130 u32 4 textz \"Exit\"\n"
          "# $CLICK registered on the form's OK button, the window shown; the\n"
          "# clicker presses OK and the wait answers with the click.\n"
          "send 2418 u32 $win+8 u32 4 u32 0 u32 0 u32 0 u32 0 u32 1 u32 0\n"
          "expect 1102 u32 0\n"
          "send 2401 u32 $win u32 0 u32 0 u32 0 u32 0\n"
          "expect 1102 u32 0\n"
          "expect-window \"Address entry\" visible\n"
          "send 1105 seq=5 u32 0\n"
          "expect 1142 u32 0 u32 0 u32 $win+8 u32 0 u32 0 i32 4 rest\n"
          "send 2402 u32 $win+8\n"
          "expect 1102 u32 0\n"
          "# The last form error is empty after a successful load.\n", f);
    fputs(MethodCall("seq=6", 48, {}, {}).c_str(), f);
    fputs("expect 1130 u32 0 u8 0\n", f);
    WriteChangeAndSave(f, "!forms-e2e-saved.qof", "!forms-e2e-saved.xml");
    fputs("# A second Window object loads the saved QOF file: it answers as the first.\n", f);
    fputs(NewWindow("seq=9", 702, "Saved win", "win2").c_str(), f);
    fputs(MethodCallOn("$win2", "seq=10", 13, {"!forms-e2e-saved.qof"}, {}).c_str(), f);
    fputs("expect 1102 u32 327680\n"
          "send 2407 u32 $win2 u32 0\n"
          "expect 1130 u32 13 textz \"Address entry\"\n"
          "send 2414 u32 $win2 u32 342 u32 0 fill 20 0 u32 0\n"
          "expect 1129 u32 0 i32 440 u8 8 any 3\n"
          "send 2407 u32 $win2+8 u32 0\n"
          "expect 1130 u32 5 textz \"Grace\"\n"
          "send 2407 u32 $win2+16 u32 0\n"
          "expect 1130 u32 5 textz \"Added\"\n"
          "send 2414 u32 $win2+16 u32 295 u32 0 fill 20 0 u32 0\n"
          "expect 1129 u32 0 i32 175 u8 8 any 3\n"
          "send 2407 u32 $win2+2 u32 4\n"
          "expect 1130 u32 4 textz \"Exit\"\n"
          "# A third loads the XML form file through LoadQofFile with flag 0x2000.\n", f);
    fputs(NewWindow("seq=11", 703, "Third win", "win3").c_str(), f);
    fputs(MethodCallOn("$win3", "seq=12", 13, {"!forms-e2e-saved.xml", "", "", }, {0x2000}).c_str(), f);
    fputs("expect 1102 u32 327680\n"
          "send 2407 u32 $win3 u32 0\n"
          "expect 1130 u32 13 textz \"Address entry\"\n"
          "send 2407 u32 $win3+8 u32 0\n"
          "expect 1130 u32 5 textz \"Grace\"\n"
          "send 2403 u32 $win2\n"
          "expect 1102 u32 0\n"
          "send 2403 u32 $win3\n"
          "expect 1102 u32 0\n", f);
    fputs("# Destroyed, the window takes the form's objects along.\n"
          "send 2403 u32 $win\n"
          "expect 1102 u32 0\n"
          "expect-window \"Address entry\" absent\n"
          "send 2407 u32 $win+8 u32 0\n"
          "expect 1102 i32 -3\n"
          "send 1011 u32 0\n"
          "expect 1102 u32 0\n"
          "exit 0\n", f);
}

Form EveryKindForm();

// The end of a scene whose window is the host: the last request's answer,
// the host destroyed, the session ended.
void WriteHostSessionEnd(FILE* f) {
    fputs("expect 1102 u32 0\n"
          "send 2403 u32 $host\n"
          "expect 1102 u32 0\n"
          "send 1011 u32 0\n"
          "expect 1102 u32 0\n"
          "exit 0\n", f);
}


void WriteDemo(FILE* f) {
    fputs("# Forms: an address-entry form lies beside the client as a QOF file\n"
          "# (address.qof, written by tests/forms/formscript from the tests' QOF\n"
          "# builder); the program asks its Window object to load \"!address.qof\", the\n"
          "# client reads the file, creates the form's window and objects, and the\n"
          "# program fills and shows it. Then the\n"
          "# program changes the form, saves it as a QOF and an XML form file beside the\n"
          "# client (address-saved.qof, address-saved.xml in the scene's folder), and\n"
          "# loads each into a new window. Last the every-kind form, natively and in\n"
          "# the web view.\n", f);
    fputs(kStart, f);
    fputs(MethodCall("seq=2", 13, {"!" + std::string(kDemoFormFile)}, {}).c_str(), f);
    fputs("expect 1102 seq=2 u32 327680\n", f);
    fputs("# The program fills the combo box and shows the form.\n"
          "send 2409 u32 $win+5 i32 -1 u32 6 text \"London\"\n"
          "expect 1102 rest\n"
          "send 2409 u32 $win+5 i32 -1 u32 5 text \"Paris\"\n"
          "expect 1102 rest\n"
          "send 2409 u32 $win+6 i32 -1 u32 12 text \"Ada Lovelace\"\n"
          "expect 1102 rest\n"
          "send 2409 u32 $win+6 i32 -1 u32 14 text \"Charles Babbag\"\n"
          "expect 1102 rest\n"
          "send 2409 u32 $win+7 i32 -1 u32 7 text \"Friends\"\n"
          "expect 1102 rest\n"
          "send 2401 u32 $win u32 0 u32 0 u32 0 u32 0\n"
          "expect 1102 u32 0\n"
          "expect-window \"Address entry\" visible\n"
          "sleep 800\n"
          "screenshot forms-address.bmp\n", f);
    WriteChangeAndSave(f, "!address-saved.qof", "!address-saved.xml");
    fputs("# The first window goes; a second Window object loads the saved QOF file\n"
          "# and shows it, then a third loads the XML form file (flag 0x2000).\n"
          "send 2403 u32 $win\n"
          "expect 1102 u32 0\n", f);
    fputs(NewWindow("seq=9", 702, "Saved win", "win2").c_str(), f);
    fputs(MethodCallOn("$win2", "seq=10", 13, {"!address-saved.qof"}, {}).c_str(), f);
    fputs("expect 1102 u32 327680\n"
          "send 2401 u32 $win2 u32 0 u32 0 u32 0 u32 0\n"
          "expect 1102 u32 0\n"
          "expect-window \"Address entry\" visible\n"
          "sleep 800\n"
          "screenshot forms-saved-qof.bmp\n"
          "send 2403 u32 $win2\n"
          "expect 1102 u32 0\n", f);
    fputs(NewWindow("seq=11", 703, "Third win", "win3").c_str(), f);
    fputs(MethodCallOn("$win3", "seq=12", 13, {"!address-saved.xml", "", ""}, {0x2000}).c_str(), f);
    fputs("expect 1102 u32 327680\n"
          "send 2401 u32 $win3 u32 0 u32 0 u32 0 u32 0\n"
          "expect 1102 u32 0\n"
          "expect-window \"Address entry\" visible\n"
          "sleep 800\n"
          "screenshot forms-saved-xml.bmp\n"
          "send 2403 u32 $win3\n"
          "expect 1102 u32 0\n", f);
    fputs("# The every-kind form (kinds.qof beside the client: bars with their panels\n"
          "# and buttons, a tab control, an icon and a picture from the form's PNG, a\n"
          "# panel with an edit) loads natively, then into a window of a host window\n"
          "# in the web view; each is shown and saved beside the client.\n", f);
    fputs(NewWindow("seq=13", 704, "Kinds win", "win4").c_str(), f);
    fputs(MethodCallOn("$win4", "seq=14", 13, {"!" + std::string(kKindsFormFile)}, {}).c_str(), f);
    fputs("expect 1102 u32 327680\n"
          "send 2401 u32 $win4 u32 0 u32 0 u32 0 u32 0\n"
          "expect 1102 u32 0\n"
          "expect-window \"Every kind\" visible\n"
          "sleep 800\n"
          "screenshot forms-kinds.bmp\n", f);
    fputs(MethodCallOn("$win4", "seq=15", 12, {"!kinds-saved.qof"}, {}).c_str(), f);
    fputs("expect 1102 u32 0\n"
          "send 2403 u32 $win4\n"
          "expect 1102 u32 0\n"
          "send 1401 seq=16 u32 30 u32 0 u32 600 u32 0 u32 0 u32 52 hex 120014000000 hex 1F0014000000 "
          "hex 230080020000 hex 0F00E0010000 u16 0x157 u32 2 hex 1E801200 text \"Qovtervex web view\"\n"
          "expect 1102 capture host\n"
          "send 2401 u32 $host u32 0 u32 0 u32 0 u32 0\n"
          "expect 1102 u32 0\n"
          "send 1401 seq=17 u32 30 u32 0 u32 705 u32 0 u32 0 u32 43 u16 0x9E u32 $host hex 120010000000 "
          "hex 1F0010000000 hex 2300C8000000 hex 0F0064000000 hex 1E800900 text \"Empty win\"\n"
          "expect 1102 capture win5\n", f);
    fputs(MethodCallOn("$win5", "seq=18", 13, {"!" + std::string(kKindsFormFile)}, {}).c_str(), f);
    fputs("expect 1102 u32 327680\n"
          "send 2401 u32 $win5 u32 0 u32 0 u32 0 u32 0\n"
          "expect 1102 u32 0\n"
          "page-screenshot forms-kinds-web.png\n", f);
    fputs(MethodCallOn("$win5", "seq=19", 12, {"!kinds-web-saved.qof"}, {}).c_str(), f);
    WriteHostSessionEnd(f);
}

// The every-kind form of the twin scene: an image list whose one-pixel images
// come from the form's PNG, a status bar of two panels, a tool bar of three
// buttons and a tab control showing the list, an icon showing its first
// image, a picture of the form's PNG, a panel holding an edit, a combo box
// with its items and a checked check box.
Form EveryKindForm() {
    Form form;
    form.formName = "Kinds";
    form.resources.push_back({3001, "Dot", 3, 0, testpng::MakePng(0x10, 0x90, 0x30)});
    form.objects.push_back({"KindsWin", 25, WindowStream("Every kind", 40, 40, 460, 320, false)});
    form.objects.push_back({"Icons", 35, Stream().Int(130, 1).Int(131, 1).Int(87, 3001)});
    form.objects.push_back({"NameLbl", 15, ControlStream("Name", 10, 40, 60, 20)});
    form.objects.push_back({"NameEdit", 6, Bordered(80, 40, 150, 22).Text(kIdText, "Ada")});
    form.objects.push_back({"Status", 38, ControlStream("", 0, 280, 460, 20).Int(200, 1)});
    form.objects.push_back({"-", 39, Stream().Text(kIdText, "Ready").Int(kIdWidth, 100)});
    form.objects.push_back({"-", 39, Stream().Text(kIdText, "Line 1").Int(kIdWidth, 80)});
    form.objects.push_back({"Tools", 40, ControlStream("", 0, 0, 460, 28).Int(kIdImageList, 1)});
    for (const char* b : {"New", "Open", "Save"}) form.objects.push_back({"-", 41, Stream().Text(kIdText, b)});
    form.objects.push_back({"Tabs", 27, ControlStream("", 250, 40, 190, 80).Text(61, "One;Two").Int(kIdImageList, 1)});
    // The icon takes the size of the list's images.
    form.objects.push_back({"Mark", 7, ControlStream("", 10, 80, 1, 1).Int(kIdImageList, 1).Int(217, 1)});
    form.objects.push_back({"Photo", 11, ControlStream("", 60, 80, 40, 40).Int(87, 3001)});
    form.objects.push_back({"Box", 43, ControlStream("", 10, 140, 200, 80)});
    form.objects.push_back({"InBox", 6, Bordered(5, 5, 150, 22).Int(kIdWindow, 9).Text(kIdText, "inside")});
    form.objects.push_back({"OkBtn", 1, ControlStream("", 350, 240, 80, 26).Text(kIdTitle, "OK")});
    // A combo box's own text and its items are kept apart in the file.
    form.objects.push_back({"City", 12, ControlStream("Paris", 250, 130, 150, 22).Text(59, "Paris;London;Rome")});
    form.objects.push_back({"Agree", 2, ControlStream("", 250, 170, 100, 20).Text(kIdTitle, "Agree").Int(32, 1)});
    return form;
}

// After the host's creation: the host shown, the program's empty Window object
// made in it, which loads the form at formPath.
void WriteLoadIntoEmptyWindow(FILE* f, const std::string& formPath) {
    fputs("send 2401 seq=2 u32 $host u32 0 u32 0 u32 0 u32 0\n"
          "expect 1102 seq=2 u32 0\n"
          "# The program's empty Window object in it (hidden, 200 x 100).\n"
          "send 1401 seq=3 u32 30 u32 0 u32 701 u32 0 u32 0 u32 43 u16 0x9E u32 $host hex 120010000000 "
          "hex 1F0010000000 hex 2300C8000000 hex 0F0064000000 hex 1E800900 text \"Empty win\"\n"
          "expect 1102 seq=3 capture win\n", f);
    fputs(MethodCall("seq=4", 13, {"!" + formPath}, {}).c_str(), f);
}

// The twin scene: a host window in the web view (WEBMODE 2) or native
// (WEBMODE 0) holds an empty Window object, which loads the every-kind form
// from the client's file at formPath and saves it beside the client; then the
// host window itself loads the form and saves it.
void WriteTwin(FILE* f, const std::string& formPath) {
    fputs("# click: \"Every kind\" \"OK\"\n", f);
    fputs("# Generated by formscript: the every-kind form loaded into a Window object of a\n"
          "# host window in the web view (WEBMODE 2) and natively (WEBMODE 0), then saved\n"
          "# beside the client; formscript twincheck compares the saved file with the form.\n"
          "expect 1100 rest\n"
          "send 1008 u32 9404 u32 0 u8 0 u8 46 text \"SPL0\"\n"
          "# The host: 640 x 480 at 20, 20, WebMode $WEBMODE, shown.\n"
          "send 1401 seq=1 u32 30 u32 0 u32 600 u32 0 u32 0 u32 52 hex 120014000000 hex 1F0014000000 "
          "hex 230080020000 hex 0F00E0010000 u16 0x157 u32 $WEBMODE hex 1E801200 text \"Qovtervex web view\"\n"
          "expect 1102 seq=1 capture host\n", f);
    WriteLoadIntoEmptyWindow(f, formPath);
    fputs("expect 1102 u32 327680\n", f);
    fputs(MethodCall("seq=5", 12, {"!" + std::string(kTwinSavedFile)}, {}).c_str(), f);
    fputs("expect 1102 u32 0\n"
          "send 2403 u32 $win\n"
          "expect 1102 u32 0\n"
          "# The host itself, empty again, loads the form: in the web view a native\n"
          "# window that hosts a page, whose form is made in a page of its own.\n", f);
    fputs(MethodCallOn("$host", "seq=6", 13, {"!" + formPath}, {}).c_str(), f);
    fputs("expect 1102 u32 327680\n"
          "expect-window \"Every kind\" hidden\n"
          "send 2407 u32 $host u32 0\n"
          "expect 1130 u32 10 textz \"Every kind\"\n"
          "# In the web view the form is in the host's new page: its combo box's items.\n"
          "page-expect \"select option:nth-child(2)\" text \"London\"\n"
          "# The form's OK button (each object of the two loads took the next handle)\n"
          "# answers, and its click in the shown window comes back as its event.\n"
          "send 2407 u32 $win+36 u32 0\n"
          "expect 1130 u32 2 textz \"OK\"\n"
          "send 2418 u32 $win+36 u32 4 u32 0 u32 0 u32 0 u32 0 u32 1 u32 0\n"
          "expect 1102 u32 0\n"
          "send 2401 u32 $host u32 0 u32 0 u32 0 u32 0\n"
          "expect 1102 u32 0\n"
          "expect-window \"Every kind\" visible\n"
          "# The check box's value, asked of the page in the web view, which also\n"
          "# hands the page the click registration before the page's click.\n"
          "send 2408 u32 $win+38 u32 0\n"
          "expect 1129 u32 0 i32 1 u8 8 any 3\n"
          "page-click \"button.btn\"\n"
          "send 1105 seq=8 u32 0\n"
          "expect 1142 u32 0 u32 0 u32 $win+36 u32 0 u32 0 i32 4 rest\n", f);
    fputs(MethodCallOn("$host", "seq=7", 12, {"!" + std::string(kTwinHostSavedFile)}, {}).c_str(), f);
    WriteHostSessionEnd(f);
}

// A form whose menu bar's File opens Open and Recent, and Recent opens a
// SubMenu of two files: the SubMenu row comes first, the bar's item row
// names it by its entry (1), as the form writer keeps them.
Form SubMenuForm() {
    Form form;
    form.formName = "SubMenus";
    form.objects.push_back({"MenuWin", 25, WindowStream("Menu form", 10, 10, 300, 200, false)});
    form.objects.push_back({"Recent", 16, ControlStream("Recent;a.txt;b.txt", 0, 0, 0, 0)});   // +2
    form.objects.push_back({"MainMenu", 8, ControlStream("&File;&Open", 0, 0, 0, 0)});          // +3
    form.objects.push_back({"-", 48, Stream().Text(kIdText, "&Recent").Int(kIdSubMenu, 1)});
    return form;
}

// The SubMenu twin: a host window in the web view (WEBMODE 2) or native
// (WEBMODE 0) holds an empty Window object, which loads the SubMenu form; File,
// Recent and b.txt are clicked with the mouse (SendInput in both runs), and
// the SubMenu's $CLICK names b.txt (2) in both. The points are in the client
// area of the native window "Menu form" (its bar above it) or of the host that
// shows the page (read from the page).
void WriteSubMenuTwin(FILE* f, const std::string& formPath) {
    fputs("# Generated by formscript: a form whose menu bar item opens a SubMenu, loaded\n"
          "# into a Window object of a host window in the web view (WEBMODE 2) and\n"
          "# natively (WEBMODE 0); File, Recent and b.txt clicked with the mouse.\n"
          "# define-0: file_X=16 file_Y=-10 recent_X=40 recent_Y=31 btxt_X=120 btxt_Y=50\n"
          "expect 1100 rest\n"
          "send 1008 u32 9404 u32 0 u8 0 u8 46 text \"SPL0\"\n"
          "# The host: 640 x 480 at 600, 500 (away from where other scenes open their\n"
          "# windows), WebMode $WEBMODE, shown.\n"
          "send 1401 seq=1 u32 30 u32 0 u32 600 u32 0 u32 0 u32 46 hex 120058020000 hex 1F00F4010000 "
          "hex 230080020000 hex 0F00E0010000 u16 0x157 u32 $WEBMODE hex 1E800C00 text \"SubMenu twin\"\n"
          "expect 1102 seq=1 capture host\n", f);
    WriteLoadIntoEmptyWindow(f, formPath);
    fputs("expect 1102 u32 327680\n"
          "# The loaded rows took the next handles: the window +1, Recent +2, the bar +3.\n"
          "send 2407 u32 $win+2 u32 2\n"
          "expect 1130 u32 5 textz \"b.txt\"\n"
          "send 2418 u32 $win+2 u32 4 u32 0 u32 0 u32 0 u32 0 u32 1 u32 0\n"
          "expect 1102 u32 0\n"
          "send 2418 u32 $win+3 u32 4 u32 0 u32 0 u32 0 u32 0 u32 1 u32 0\n"
          "expect 1102 u32 0\n"
          "send 2401 u32 $win u32 0 u32 0 u32 0 u32 0\n"
          "expect 1102 u32 0\n"
          "send 1050 u32 0\n"
          "expect 1102 u32 0\n"
          "capture-top frame \"Menu form\" \"SubMenu twin\"\n"
          "page-box file \"[id^='M200F']\"\n"
          "mouse $frame down left $file_X $file_Y\n"
          "mouse $frame up left $file_X $file_Y\n"
          "native expect-class \"#32768\" visible\n"
          "page-expect \"[id^='M202F']\" text \"Recent\"\n"
          "page-box recent \"[id^='M202F']\"\n"
          "mouse $frame down left $recent_X $recent_Y\n"
          "mouse $frame up left $recent_X $recent_Y\n"
          "page-expect \"[id^='M102F']\" text \"b.txt\"\n"
          "page-box btxt \"[id^='M102F']\"\n"
          "mouse $frame down left $btxt_X $btxt_Y\n"
          "mouse $frame up left $btxt_X $btxt_Y\n"
          "send 1105 u32 0\n"
          "expect 1142 u32 0 u32 0 u32 $win+2 u32 0 u32 0 i32 4 u8 32 u8 1 u16 0 i32 2 rest\n"
          "send 2403 u32 $win\n", f);
    WriteHostSessionEnd(f);
}

int gFailures;
void Check(bool ok, const std::string& what) {
    if (ok) return;
    printf("FAIL %s\n", what.c_str());
    ++gFailures;
}

// After the session: the QOF file the client saved, checked field by field
// by the tests' own parser, and the XML form file's pieces.
int CheckSaved(const std::string& dir) {
    Parsed p = Parse(ReadFileBytes(dir + "/forms-e2e-saved.qof"));
    Check(p.ok, "the saved QOF file parses by the layout: " + p.why);
    if (!p.ok) return 1;
    Check((p.flags & 0x10) == 0, "save-in-progress flag clear");
    Check((p.flags & 0x21) == 0x21, "flags 0x1 and the GUID flag");
    Check(p.version == 5 && p.writerBuild == 10601, "version 5, writer build 10601");
    Check(p.formName == "Address", "form name");
    const char* head[] = {"AddrWin", "MainMenu", "-", "-", "-", "-"};
    const uint8_t kinds[] = {25, 8, 48, 48, 48, 48};
    Check(p.rows.size() == 16, "16 rows: window, menu, its four items, ten controls");
    for (size_t i = 0; i < 6 && i < p.rows.size(); ++i)
        Check(p.rows[i].name == head[i] && p.rows[i].kind == kinds[i], "row " + std::to_string(i) + " " + head[i]);
    Check(p.topCount == 12, "top-level count leaves the items out");
    Check(p.descCount == 0 && p.descs == p.labels, "no event code");
    Check(p.oleSize == 0, "no OLE storage");
    Form decl;
    bool grace = false, added = false;
    for (const ParsedRow& r : p.rows) {
        decl.objects.push_back({r.name, r.kind, Stream()});
        bool ok = false;
        std::vector<Record> recs = Records(r.stream, &ok);
        Check(ok, "row " + r.name + " stream records");
        const Record* text = FindRecord(recs, kIdText);
        const Record* title = FindRecord(recs, kIdTitle);
        if (r.name == "NameEdit") grace = text && text->data == "Grace";
        if (title && title->data == "Added") added = r.kind == 1 && FindRecord(recs, kIdLeft) &&
                                                     FindRecord(recs, kIdLeft)->value == 175;
    }
    Check(grace, "the edit's changed text");
    Check(added, "the added button with its place");
    std::vector<uint32_t> offsets;
    Check(p.codeArea == CodeArea(decl, &offsets), "code area: declarations and event declarations exactly");
    std::vector<uint8_t> xml = ReadFileBytes(dir + "/forms-e2e-saved.xml");
    std::string x(xml.begin(), xml.end());
    const char* pieces[] = {"<QOFORM>", "<NamePrefix>Address</NamePrefix>", "<Object type=\"Window\">",
                            "<Name>AddrWin</Name>", "<Object type=\"MenuItem\">", "<Text>Grace</Text>",
                            "<Title>Added</Title>", "<IsCultureSet>False</IsCultureSet>"};
    for (const char* piece : pieces) Check(x.find(piece) != std::string::npos, std::string("XML holds ") + piece);
    return gFailures ? 1 : 0;
}

// The records of a row as comparable texts: id and value or text. The
// window's outer size (196, 197) is measured from the made window.
std::vector<std::string> RecordTexts(const ParsedRow& r) {
    bool ok = false;
    std::vector<std::string> out;
    for (const Record& rec : Records(r.stream, &ok)) {
        if (rec.id == 196 || rec.id == 197) continue;
        std::string value = rec.text ? rec.data : std::to_string(rec.value);
        // A native tab control answers each label followed by ';', the web
        // view's the labels joined by ';': the same tabs.
        if (rec.id == 61 && !value.empty() && value.back() == ';') value.pop_back();
        out.push_back(std::to_string(rec.word) + "=" + value);
    }
    return out;
}

// The twin run's saved file against the form it loaded: the same rows, names,
// kinds, sub-object rows, references, resources and values (each value the
// form gave; the saved file holds every property the object answers).
int CheckTwinFile(const std::string& dir, const char* file, const char* mode) {
    std::string tag = std::string("WEBMODE ") + mode + " " + file + ": ";
    Parsed saved = Parse(ReadFileBytes(dir + "/" + file));
    Check(saved.ok, tag + "the saved file parses: " + saved.why);
    if (!saved.ok) return 1;
    Form form = EveryKindForm();
    Parsed loaded = Parse(Build(form));
    Check(saved.rows.size() == loaded.rows.size(), tag + "as many rows as the form: " +
                                                       std::to_string(saved.rows.size()));
    for (size_t i = 0; i < saved.rows.size() && i < loaded.rows.size(); ++i) {
        const ParsedRow &a = saved.rows[i], &b = loaded.rows[i];
        // The image list follows the window and the rest keep their order.
        Check(a.name == b.name && a.kind == b.kind, tag + "row " + std::to_string(i) + " " + b.name + " saved as " +
                                                        a.name + " kind " + std::to_string(a.kind));
        std::vector<std::string> have = RecordTexts(a);
        for (const std::string& want : RecordTexts(b)) {
            // The form's values: each one the saved row holds (a default the
            // object does not write is left out by both).
            bool found = false;
            for (const std::string& h : have) found = found || h == want;
            bool isDefault = want.size() > 2 && want.compare(want.size() - 2, 2, "=0") == 0;
            // An icon's size is its image's: natively the list's image size,
            // while the web view keeps the size it was made with.
            bool iconSize = b.kind == 7 && (want.rfind("35=", 0) == 0 || want.rfind("15=", 0) == 0);
            Check(found || isDefault || iconSize, tag + b.name + " keeps " + want);
        }
    }
    Check(saved.resources.size() == 1 && saved.resources[0].name == "Dot" &&
              saved.resources[0].data == form.resources[0].data,
          tag + "the form's PNG is saved whole");
    Check(saved.topCount == loaded.topCount, tag + "top-level count");
    return gFailures ? 1 : 0;
}

// The image-list scene's form (tests/server/scripts/forms-imagelist.txt): an
// image list of 16 x 16 images from bitmap 4001, which only the server has,
// and two icons showing its second and third images.
Form ImageListForm() {
    Form form;
    form.formName = "Strip";
    form.objects.push_back({"StripWin", 25, WindowStream("Image list form", 100, 100, 240, 120, false)});
    form.objects.push_back({"Strip", 35, Stream().Int(130, 16).Int(131, 16).Int(87, 4001)});
    form.objects.push_back({"Green", 7, ControlStream("", 10, 10, 1, 1).Int(kIdImageList, 1).Int(217, 2)});
    form.objects.push_back({"Blue", 7, ControlStream("", 40, 10, 1, 1).Int(kIdImageList, 1).Int(217, 3)});
    return form;
}

// The server's bitmap 4001: a 48 x 16 strip of three squares, red, green and
// blue, as a 24-bit BMP file (rows bottom up, each a multiple of 4 bytes).
std::vector<uint8_t> StripBmp() {
    const uint32_t side = 16, width = 3 * side, rowBytes = width * 3, headers = 14 + 40;
    const uint32_t size = headers + rowBytes * side;
    std::vector<uint8_t> b(size, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    put32(2, size);
    put32(10, headers);
    put32(14, 40);
    put32(18, width);
    put32(22, side);
    b[26] = 1;   // planes
    b[28] = 24;  // bits per pixel
    put32(34, rowBytes * side);
    const uint8_t bgr[3][3] = {{0, 0, 0xFF}, {0, 0xFF, 0}, {0xFF, 0, 0}};
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) b[headers + y * rowBytes + x * 3 + c] = bgr[x / side][c];
    return b;
}

// Both saves of a twin run: the form loaded into the Window object and into
// the host window.
int CheckTwin(const std::string& dir, const char* mode) {
    int a = CheckTwinFile(dir, kTwinSavedFile, mode);
    int b = CheckTwinFile(dir, kTwinHostSavedFile, mode);
    return a || b ? 1 : 0;
}

// The folder part of a path with its separator; "" for a bare name.
std::string FolderOf(const std::string& path) {
    size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

bool PutFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

}  // namespace

// A twin scene at output and its form beside it. The client runs in a folder
// of its own: the scene names the form by its full path, with forward slashes
// (the script's texts take a backslash as an escape).
static int WriteTwinScene(const char* output, const char* formFile, const Form& form,
                   void (*write)(FILE*, const std::string&)) {
    std::string file = FolderOf(output) + formFile;
    char full[MAX_PATH];
    if (!PutFile(file, Build(form)) || !GetFullPathNameA(file.c_str(), sizeof full, full, nullptr)) return 1;
    std::string path = full;
    for (char& c : path)
        if (c == '\\') c = '/';
    FILE* f = fopen(output, "wb");
    if (!f) return 1;
    write(f, path);
    return fclose(f) == 0 ? 0 : 1;
}

// "test OUTPUT" writes the end-to-end script and the form file beside it (the
// client runs in that folder), "demo OUTPUT" the demo scene, "files FOLDER"
// the demo's form file into the scene's folder, "check FOLDER" checks what
// the end-to-end session saved; "twin OUTPUT" writes the twin scene and its
// form, "subtwin OUTPUT" the SubMenu twin and its form, "twincheck FOLDER
// MODE" checks what a twin run saved; "ilfiles
// FOLDER" writes the image-list scene's form and the server's bitmap.
int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string mode = argv[1];
    if (mode == "check") return CheckSaved(argv[2]);
    if (mode == "twincheck") return argc < 4 ? 2 : CheckTwin(argv[2], argv[3]);
    if (mode == "ilfiles")
        return PutFile(std::string(argv[2]) + "/forms-il.qof", Build(ImageListForm())) &&
                       PutFile(std::string(argv[2]) + "/forms-il-strip.bmp", StripBmp())
                   ? 0
                   : 1;
    if (mode == "subtwin") return WriteTwinScene(argv[2], kSubMenuFormFile, SubMenuForm(), WriteSubMenuTwin);
    if (mode == "twin") return WriteTwinScene(argv[2], kTwinFormFile, EveryKindForm(), WriteTwin);
    std::vector<uint8_t> file = Build(AddressForm());
    if (mode == "files")
        return PutFile(std::string(argv[2]) + "/" + kDemoFormFile, file) &&
                       PutFile(std::string(argv[2]) + "/" + kKindsFormFile, Build(EveryKindForm()))
                   ? 0
                   : 1;
    if (mode == "test" && !PutFile(FolderOf(argv[2]) + kTestFormFile, file)) return 1;
    FILE* f = fopen(argv[2], "wb");
    if (!f) return 1;
    if (mode == "demo") WriteDemo(f);
    else WriteTest(f);
    return fclose(f) == 0 ? 0 : 1;
}
