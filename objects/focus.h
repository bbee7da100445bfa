// focus.h - keyboard focus in tab order, the common input handlers of windows
// and subclassed controls, cursors, dragging and the file dialog.
#pragma once

#include <windows.h>

#include <cstdint>

struct ObjectRecord;

// 0 forward, 1 backward through the active window's objects in tab order.
bool FocusNextObject(int backward);
void MoveFocusAway(ObjectRecord* rec);
ObjectRecord* GetFocusObject();
void SetFocusObject(ObjectRecord* window, ObjectRecord* obj);
bool IsWindowFocus(ObjectRecord* window, ObjectRecord* obj, bool testEmpty);
// Whether the object can take the keyboard focus (shown, enabled, a native window).
bool ObjectCanFocus(const ObjectRecord* rec);
// The server's focus request for a native windowed object: 0 when its window
// (or a window inside it) has the keyboard focus after it, else -5.
int32_t ObjectFocusWindowed(ObjectRecord* rec, int32_t item);

// The common hook of subclassed controls; non-zero when it took the message.
int ControlMsgToEvent(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
// The character after a single '&' ("&&" is a literal ampersand), 0 when none.
char MnemonicChar(const char* text);
void ButtonSetDefault(ObjectRecord* window, ObjectRecord* rec, bool on);
// A hosted ActiveX control gained (7) or lost (8) the focus: posts the fixed
// event 0x80011001 or 0x80011002 when registered and keeps the window's focus
// bookkeeping.
enum ControlSiteFocus : int { kFocusGot = 7, kFocusLost = 8 };
constexpr uint32_t kEvControlGotFocus = 0x80011001u;
constexpr uint32_t kEvControlLostFocus = 0x80011002u;
void ControlSiteFocusEvent(ObjectRecord* rec, int what, int unused1, int unused2);

// Handlers the window procedures of windows and panels share.
void MouseMoveEvent(ObjectRecord* rec, WPARAM wp, LPARAM lp);
void MouseDownEvent(ObjectRecord* rec, int button, bool dblClick, WPARAM wp, LPARAM lp);
void WindowLButtonDown(ObjectRecord* rec, WPARAM wp, LPARAM lp, bool dblClick);
void WindowLButtonUp(ObjectRecord* rec, WPARAM wp, LPARAM lp);
void WindowRButtonDown(ObjectRecord* rec, WPARAM wp, LPARAM lp, bool dblClick);
void WindowRButtonUp(ObjectRecord* rec, WPARAM wp, LPARAM lp);
void WindowMButtonDown(ObjectRecord* rec, WPARAM wp, LPARAM lp);
// The button messages above by message number; false for any other message.
bool WindowMouseButtonMsg(ObjectRecord* rec, UINT msg, WPARAM wp, LPARAM lp);
bool HandleSysKeyF10(HWND wnd, WPARAM key, int flag, int x, int y);
bool QueueFunctionKey(HWND wnd, WPARAM key, int flag, int x, int y);
void MenuCommandEvent(ObjectRecord* topWindow, ObjectRecord* none, uint32_t id);
LRESULT DispatchNotify(HWND wnd, LPARAM lp);
extern const NMHDR* gCurNotify;     // the notification being handled
HBRUSH HandleCtlColor(HWND wnd, HDC dc, HWND ctl);
bool HandleSetCursor(HWND wnd, WPARAM wp, LPARAM lp);
void HandleSysColorChange();
// Mouse cursor shapes 0 (default arrow) .. 15; the shape is kept per process.
void SetCursorShape(uint32_t shape);
extern uint32_t gCursorShape;
bool DragStart(int x, int y, ObjectRecord* rec, int index, int flag);
// The same after the caller's own loop took the moves up to `moved`.
bool DragStartMoved(int x, int y, POINT moved, ObjectRecord* rec, int index, int flag);
extern char gFileDlgName[MAX_PATH];
extern DWORD gFileDlgFilterIndex;
// The open-file dialog for a kind of file (its filters); the chosen name is
// left in gFileDlgName. False when cancelled.
enum FileDialogKind : int { kFileDialogAll = 0, kFileDialogPicture = 1, kFileDialogVideo = 2, kFileDialogWave = 3 };
bool FileDialog(HWND owner, int kind);
struct ToolButtonRecord;
bool ToolButtonToolTipSet(ObjectRecord* button, HWND toolbar, UINT id, const char* text, bool replace);
void ToolButtonToolTipRemove(ObjectRecord* button, HWND toolbar, UINT id);
