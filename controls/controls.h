// controls.h - the native text, list and menu controls: their creators (as form
// loading and the create request call them), the helpers that panels, tab
// controls, toolbars and the web-view mode share, and the installation of the
// creators and operation rows.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "objects/guihooks.h"
#include "objects/objcreate.h"
#include "objects/objops.h"

// Puts every creator, operation row and method table of the controls in
// place; its row sets the bulk mode the objects go in at exit.
FacilityRow ControlsInstall();
// The control windows whose subclass entry is still kept (one from creation
// to WM_NCDESTROY).
size_t CtlSubclassCount();

// ---- Creators: (type, creation record) -> record, or null with a code -100..0 ----
ObjectRecord* ButtonCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* ComboBoxCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* DataListCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* EditDateTimeCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* EditNumberCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* EditTextCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* RichEditTextCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* LabelTextCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* StatTextCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* GroupBoxCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* ListViewCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* TreeViewCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* MenuCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* SubMenuCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* FloatMenuCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
// Into the menu created last (form loading creates a menu, then its items).
ObjectRecord* MenuItemCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* MRegionCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);

// ---- Helpers others call ------------------------------------------------------------
// The native button notification (slot 13 of buttons, check boxes and radio buttons).
int32_t ButtonNotify(ObjectRecord* rec, HWND wnd, uint32_t id, uint32_t code);
// The button that a notification marked last (the web view's focused-button
// activation reads and clears the same mark).
extern ObjectRecord* gButtonNotifyMark;
// The up-down step of an EditNumber (SB_LINEUP / SB_LINEDOWN as code).
int32_t EditNumberOnScroll(ObjectRecord* rec, HWND wnd, int32_t code, int32_t position);
// Redraws the frame of an EditText, RichEditText or EditNumber in its parent's DC.
void EditPaintFrame(ObjectRecord* rec);
// Use counts of a SubMenu: held by parent items and the server. Release answers
// the remaining count (0 while the GUI shuts down, which also zeroes it).
uint32_t SubMenuAddRef(ObjectRecord* subMenu);
uint32_t SubMenuRelease(ObjectRecord* subMenu);
extern bool gGuiShuttingDown;
// The items of a Menu, SubMenu or FloatMenu in their order, and the SubMenu
// an item opens (null for none); form saving reads them.
uint32_t MenuItemCount(ObjectRecord* menu);
ObjectRecord* MenuItemAt(ObjectRecord* menu, uint32_t index);
ObjectRecord* MenuItemSubMenu(ObjectRecord* item);
// The text of a menu or item as it was given, accelerator marks included
// (its Text property answers it without them); null for other kinds.
const char* MenuRawText(ObjectRecord* rec);
// The popup of a Menu, SubMenu or FloatMenu, and its menu group for an
// in-place object's shared menu (the '<L', '<M', '<R' mark of its own text,
// or MergeType: 1 File, 2 Container, 3 Window, 0 none); null and 0 for
// other kinds.
HMENU MenuPopupOf(ObjectRecord* menu);
uint8_t MenuMergeGroup(ObjectRecord* menu);
int32_t TreeViewMethod(ObjectRecord* rec, MethodCallRec* call);

// Hooks of facilities that land later.
struct ControlHooks {
    // Fills the tree view with the type library of a class id: 1 filled, 0 not.
    int32_t (*typeLibBrowseClassId)(const char* classId, HWND tree);
};
extern ControlHooks gControlHooks;
