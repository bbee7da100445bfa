// install.cpp - ControlsInstall: the creators, operation rows and method
// tables of every text, list and menu kind.
#include "controls/controls.h"

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

void ControlsInstall() {
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
}
