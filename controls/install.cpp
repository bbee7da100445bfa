// install.cpp - ControlsInstall: the creators, operation rows and method
// tables of every text, list and menu kind.
#include "controls/controls.h"

#include "objects/guihooks.h"

void ButtonInstall();
void ComboBoxInstall();
void DataListInstall();
void EditTextInstall();
void RichEditInstall();
void EditNumberInstall();
void EditDateTimeInstall();
void StatTextInstall();
void LabelTextInstall();
void GroupBoxInstall();
void ListViewInstall();
void TreeViewInstall();
void MenuInstall();

// At exit the objects go in bulk: submenus are then freed with their menus,
// whatever their use counts say.
static void ControlsShutdownBegin() { gGuiShuttingDown = true; }

FacilityRow ControlsInstall() {
    ButtonInstall();
    ComboBoxInstall();
    DataListInstall();
    EditTextInstall();
    RichEditInstall();
    EditNumberInstall();
    EditDateTimeInstall();
    StatTextInstall();
    LabelTextInstall();
    GroupBoxInstall();
    ListViewInstall();
    TreeViewInstall();
    MenuInstall();
    return FacilityRow{"Controls", nullptr, ControlsShutdownBegin};
}
