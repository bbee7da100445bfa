// objtables.cpp - the data tables of the object model: kind and type names, the
// type-to-kind map, property names, ids and request codes, the properties each
// kind accepts, event names, handler prefixes and the events of each kind.
// Rows whose name this client does not know are kept as null names so that ids
// and row counts stay as the server and the form files number them.
#include "objects/objtables.h"

const char* const ObjectKindNames[kObjectKindRows] = {
    "- None", "- Button", "- CheckBox", "- CheckGrp", "- DataList", "- Dialog", "- EditText", "- Icon",
    "- Menu", "- MRegion", "- Movie", "- Pict", "- ComboBox", "- Radio", "- RadioGrp", "- StatText",
    "- SubMenu", "- Timer", "- Color", "- Font", "- GroupBox", "- Progress", "- HScrollBar",
    "- VScrollBar", "- FloatMenu", "- Window", "- Shape", "- TabControl", "- Slider", "- Collection",
    "- Line", "- Container", "- Control", "- Automation", "- Variant", "- ImageList", "- ListView",
    "- TreeView", "- StatusBar", "- StatusPanel", "- ToolBar", "- ToolButton", "- Splitter", "- Panel",
    "- EditNumber", "- EditDateTime", "- LabelText", "- Animate", "- MenuItem", "- RichEditText",
    "- NetObject", "- NetControl", "- HtmlControl",
    "", "", "", "", "", "", "",   // 53-59 reserved
};

// Server type codes 0-100; null where a code has no object type.
const char* const ObjectTypeNames[kObjectTypeLast + 1] = {
    nullptr, "Button", "Checkbox", "Checkgrp", "Datalist", "Dialog", "Edittext", "Icon", "Menu",
    "MRegion", "Movie", "Pict", "Popupmenu", "Radiogrp", "Radio", "Submenu", "Stattext", "Timer",
    "Color", "Floatmenu", "Font", "Groupbox", "Imagelist", "Listview", "Progress", "Hscrollbar",
    "Vscrollbar", "Statusbar", "Treeview", "Toolbar", "Window", "Combobox", "Shape", "Slider",
    "Tabcontrol", "Collection", "Qoform", "Line", "Automation", "Container", "Control", "Variant",
    nullptr, nullptr, nullptr, nullptr, "Splitter", "Panel", "EditNumber", "EditDateTime",
    "LabelText", "Animate", nullptr, "RichEditText", nullptr, "NetObject", "NetControl", nullptr,
    nullptr, nullptr, "HTMLControl", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "Automation",
};

// Type code -> kind; -1 for codes without a kind. Type 36 (Qoform) is kind 0.
const int8_t ObjectTypeKindMap[kObjectTypeLast + 1] = {
    -1, 1, 2, 3, 4, 5, 6, 7, 8, 9,                    // 0-9
    10, 11, 12, 14, 13, 16, 15, 17, 18, 24,           // 10-19
    19, 20, 35, 36, 21, 22, 23, 38, 37, 40,           // 20-29
    25, 12, 26, 28, 27, 29, 0, 30, 33, 31,            // 30-39
    32, 34, -1, -1, -1, 41, 42, 43, 44, 45,           // 40-49 (45 ToolButton)
    46, 47, -1, 49, -1, 50, 51, -1, -1, -1,           // 50-59
    52, -1, -1, -1, -1, -1, -1, -1, -1, -1,           // 60-69
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,           // 70-79
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,           // 80-89
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,           // 90-99
    33,                                               // 100 Automation
};

// The property names by id; BdrStyle 203 follows 208 so that a reader taking
// the first row of a name finds 208, as the form files expect.
const PropNameRow PropertyNameTable[] = {
    {"Alignment", 1},
    {"AutoSize", 2},
    {"BgColor", 3},
    {"Border", 4},
    {"BdrColor", 5},
    {"Style", 6},
    {"DropId", 7},
    {"EditType", 8},
    {"Enabled", 9},
    {"Bold", 10},
    {"Italic", 11},
    {"FontName", 12},
    {"Size", 13},
    {"FgColor", 14},
    {"Height", 15},
    {"HelpId", 16},
    {"EditHideSel", 17},
    {"Left", 18},
    {"MaxChars", 19},
    {"MultiLine", 20},
    {"Static", 21},
    {"NoResize", 22},
    {"ObjectId", 23},
    {"Name", 24},
    {"Printer", 25},
    {"ReadOnly", 26},
    {"Sorted", 27},
    {"TabId", 28},
    {"Text", 29},
    {"Title", 30},
    {"Top", 31},
    {"Value", 32},
    {"Visible", 33},
    {"MultiSelect", 34},
    {"Width", 35},
    {"WordWrap", 36},
    {"ZOrder", 37},
    {"MinBox", 38},
    {"MaxBox", 39},
    {"SysMenu", 40},
    {"Caption", 41},
    {"ClipCtrl", 42},
    {"Appearance", 43},
    {"Min", 44},
    {"Max", 45},
    {"Shift", 46},
    {"Cancel", 47},
    {"Default", 48},
    {"TriState", 49},
    {"GroupId", 50},
    {"BackStyle", 51},
    {"LoadObject", 52},
    {"WinType", 53},
    {"AutoRedraw", 54},
    {"Hwnd", 55},
    {"UseAltKey", 56},
    {"ScrollBar", 57},
    {"Integral", 58},
    {"Data", 59},
    {"ComboStyle", 60},
    {"TabLabel", 61},
    {"FillColor", 62},
    {"FillStyle", 63},
    {"Shape", 64},
    {"BdrWidth", 65},
    {"DrawMode", 66},
    {"BdrPattern", 67},
    {"AutoZoom", 68},
    {"Scale", 69},
    {"PictPosH", 70},
    {"PictPosV", 71},
    {"Font", 72},
    {"FontObj", 73},
    {"Orientation", 74},
    {"TickStyle", 75},
    {"TickFreq", 76},
    {"SelRange", 77},
    {"SelStart", 78},
    {"SelLength", 79},
    {"MultiRow", 80},
    {"TabWthStyle", 81},
    {"TabFixHth", 82},
    {"TabFixWth", 83},
    {"Prefix", 84},
    {"WinPos", 85},
    {"TabStops", 86},
    {"Resource", 87},
    {"WinOffsetV", 88},
    {"WinOffsetH", 89},
    {"RightButton", 90},
    {"Percent", 91},
    {"MaxCols", 92},
    {"X1", 93},
    {"X2", 94},
    {"Y1", 95},
    {"Y2", 96},
    {"PictSizeH", 97},
    {"PictSizeV", 98},
    {"AutoScale", 99},
    {"GridAlign", 100},
    {"GridSizeH", 101},
    {"GridSizeV", 102},
    {"Units", 103},
    {"OverType", 104},
    {"SelectAll", 105},
    {"AutoAct", 106},
    {"SizeMode", 107},
    {"AutoVerb", 108},
    {"DisplayType", 109},
    {"ClassId", 110},
    {"OLEDrop", 111},
    {"OLEType", 112},
    {"SourceDoc", 113},
    {"UpdateOpt", 114},
    {"StoreId", 115},
    {"HostName", 116},
    {"OLETypeA", 117},
    {nullptr, 118},
    {"Clsid", 119},
    {nullptr, 120},
    {"Icon", 121},
    {"Picture", 122},
    {"ParentWin", 123},
    {"TreeLnStyle", 124},
    {"Buttons", 125},
    {"Indent", 126},
    {"HideSel", 127},
    {"MaskColor", 128},
    {"UseMask", 129},
    {"ImageSizeV", 130},
    {"ImageSizeH", 131},
    {"ViewStyle", 132},
    {"MultiSelect", 133},
    {"Arrange", 134},
    {"HideColHdr", 135},
    {"LabelWrap", 136},
    {"SortOrder", 137},
    {"SortHeader", 138},
    {"Password", 139},
    {"ClipSib", 140},
    {"NegBorders", 141},
    {"NegMenus", 142},
    {nullptr, 143},
    {"ToolTip", 144},
    {"FullRow", 145},
    {"RightToLeft", 146},
    {"AlignText", 147},
    {"ToolTipHwnd", 148},
    {"UseRtl", 149},
    {"NoMenuResize", 150},
    {"ImageColors", 151},
    {"SingleLine", 152},
    {"SelGroupId", 153},
    {"AdviseKey", 154},
    {"RemServer", 155},
    {"CauseValid", 156},
    {nullptr, 157},
    {"Window", 158},
    {nullptr, 159},
    {"VarPtr", 160},
    {"VarType", 161},
    {nullptr, 162},
    {nullptr, 163},
    {nullptr, 164},
    {"Timeout", 165},
    {nullptr, 166},
    {nullptr, 167},
    {nullptr, 168},
    {nullptr, 169},
    {"Size", 170},
    {nullptr, 171},
    {nullptr, 172},
    {nullptr, 173},
    {nullptr, 174},
    {nullptr, 175},
    {nullptr, 176},
    {nullptr, 177},
    {"CheckBox", 178},
    {"GridLine", 179},
    {"Activate", 180},
    {"HoverSel", 181},
    {"HotTrack", 182},
    {"HoverTime", 183},
    {"WinBorder", 184},
    {"InTaskbar", 185},
    {"Topmost", 186},
    {"AutoScroll", 187},
    {"MinScrollH", 188},
    {"MinScrollV", 189},
    {"MdiBorder", 190},
    {"MdiScroll", 191},
    {"MdiTop", 192},
    {"MdiLeft", 193},
    {"MdiHeight", 194},
    {"MdiWidth", 195},
    {"WinHeight", 196},
    {"WinWidth", 197},
    {"Dock", 198},
    {"SizeGrip", 199},
    {"ShowPanel", 200},
    {nullptr, 201},
    {"AutoSize", 202},
    {"Width", 204},
    {"MinWidth", 205},
    {"RunName", 206},
    {nullptr, 207},
    {"BdrStyle", 208},
    {"BdrStyle", 203},
    {"TextAlign", 209},
    {"Divider", 210},
    {"DownArrow", 211},
    {"Wrappable", 212},
    {"BtnHeight", 213},
    {"BtnWidth", 214},
    {"ShowTips", 215},
    {"BtnStyle", 216},
    {"ImageIndex", 217},
    {"Pushed", 218},
    {"PartialPush", 219},
    {"Tag", 220},
    {"MenuText", 221},
    {"DockPadL", 222},
    {"DockPadT", 223},
    {"DockPadR", 224},
    {"DockPadB", 225},
    {"Anchor", 226},
    {"MinExtra", 227},
    {"MinSize", 228},
    {"SplitPos", 229},
    {nullptr, 230},
    {"RowsVisible", 231},
    {"RightMargin", 232},
    {"LeftMargin", 233},
    {"ModifyFlag", 234},
    {"PasswordChar", 235},
    {"SelText", 236},
    {"TextOutConv", 237},
    {"ScrollHide", 238},
    {"MultiColumn", 239},
    {"ColumnWidth", 240},
    {"HorzExtent", 241},
    {"IntegerDigits", 242},
    {"DecimalDigits", 243},
    {"UpDownChange", 244},
    {"UpDownAlign", 245},
    {"AutoEnter", 246},
    {"UpDownMin", 247},
    {"UpDownMax", 248},
    {"AllowMinus", 249},
    {"DPI", 250},
    {"CalFgColor", 251},
    {"CalBgColor", 252},
    {"TitleBgColor", 253},
    {"TitleFgColor", 254},
    {"TrailingColor", 255},
    {"Checked", 256},
    {"CustomFormat", 257},
    {"DropDownAlign", 258},
    {"Format", 259},
    {"MaximumDate", 260},
    {"MinimumDate", 261},
    {"ShowCheckBox", 262},
    {"ShowUpDown", 263},
    {"Angle", 264},
    {"Strike", 265},
    {"Underline", 266},
    {"Center", 267},
    {"AutoPlay", 268},
    {"StartTimer", 269},
    {"ImageList", 270},
    {"ImageListSm", 271},
    {"ImageListSt", 272},
    {"ImageListD", 273},
    {"ImageListH", 274},
    {"UseColorMask", 275},
    {"MdiList", 276},
    {"MergeType", 277},
    {"ShortCut", 278},
    {"Separator", 279},
    {"SpecialMenu", 280},
    {nullptr, 281},
    {"MenuOrder", 282},
    {"SubMenu", 283},
    {"OsEventMask", 284},
    {"AcceptTab", 285},
    {nullptr, 286},
    {nullptr, 287},
    {nullptr, 288},
    {"MultiLine", 289},
    {nullptr, 290},
    {nullptr, 291},
    {nullptr, 292},
    {nullptr, 293},
    {"SelColor", 294},
    {nullptr, 295},
    {nullptr, 296},
    {nullptr, 297},
    {nullptr, 298},
    {nullptr, 299},
    {nullptr, 300},
    {nullptr, 301},
    {nullptr, 302},
    {nullptr, 303},
    {nullptr, 304},
    {nullptr, 305},
    {nullptr, 306},
    {"ButtonEnterKey", 307},
    {"DestroyGlobal", 308},
    {nullptr, 309},
    {"AcceptTab", 310},
    {"ScrollSizeMode", 311},
    {"Resize", 312},
    {nullptr, 313},
    {nullptr, 314},
    {"HelpTopic", 315},
    {"UserData", 316},
    {"TabStyle", 317},
    {"MinHeight", 318},
    {"Theme", 319},
    {"FloatMenu", 320},
    {"RibDll", 321},
    {"RibName", 322},
    {"RibMode", 323},
    {"ButtonType", 324},
    {"CmdNote", 325},
    {"Shield", 326},
    {"PushLike", 327},
    {"CueText", 328},
    {"AutoForward", 329},
    {"WebClass", 330},
    {"AltText", 331},
    {"UrlSource", 332},
    {"UseCss", 333},
    {"DivisionId", 334},
    {"ShowWebMenu", 335},
    {"WebHeight", 336},
    {"WebPosition", 337},
    {"WebWidth", 338},
    {"WebLeft", 339},
    {"WebTop", 340},
    {"InnerHtml", 341},
    {"CodePage", 342},
    {"WebMode", 343},
    {"WebObject", 344},
    {"Context", 345},
    {"InputType", 346},
    {"Switch", 347},
    {"ButtonState", 348},
    {nullptr, 349},
    {nullptr, 350},
    {nullptr, 351},
    {nullptr, 352},
    {nullptr, 353},
    {nullptr, 354},
    {nullptr, 355},
    {nullptr, 356},
    {nullptr, 357},
    {nullptr, 358},
    {nullptr, 359},
    {nullptr, 360},
    {nullptr, 361},
    {nullptr, 362},
    {nullptr, 363},
    {nullptr, kPropTableEnd},
};

// Names the forms of NetObject and NetControl objects know besides their own
// named properties (looked up with exact case).
const PropNameRow FormCommonPropTable[] = {
    {"Name", 24},     {"Left", 18},        {"Top", 31},      {"Width", 35},    {"Height", 15},
    {"Visible", 33},  {"Enabled", 9},      {"TabId", 28},    {"ObjectId", 23}, {"HelpId", 16},
    {"Window", 158},  {"ZOrder", 37},      {"Dock", 198},    {"Anchor", 226},  {"RunName", 206},
    {"UserData", 316}, {"HelpTopic", 315}, {"ToolTip", 144}, {"Assembly", 0},  {"Clsid", 119},
    {nullptr, kPropTableEnd},
};

// The properties every control accepts.
const uint16_t CommonPropTable[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 0};

// Request codes of the property change and query messages.
const PropCodeRow PropertyCodeTable[] = {
    {257, 1, kPvInteger},      // Alignment
    {258, 43, kPvInteger},     // Appearance
    {263, 5, kPvColor},        // BdrColor
    {266, 3, kPvColor},        // BgColor
    {267, 10, kPvInteger},     // Bold (Font objects)
    {283, 0, kPvText},         // edit options text (EditText only; handled by code)
    {284, 14, kPvColor},       // FgColor
    {285, 62, kPvColor},       // FillColor
    {287, 72, kPvFont},        // Font
    {289, 15, kPvInteger},     // Height
    {292, 121, kPvText},       // Icon
    {294, 11, kPvInteger},     // Italic (Font objects)
    {295, 18, kPvInteger},     // Left
    {314, 22, kPvInteger},     // NoResize (value inverted)
    {324, 13, kPvInteger},     // Size (Font objects)
    {332, 61, kPvText},        // TabLabel
    {338, 31, kPvInteger},     // Top
    {342, 35, kPvInteger},     // Width
    {366, 33, kPvInteger},     // Visible
    {375, 93, kPvInteger},     // X1
    {376, 94, kPvInteger},     // X2
    {377, 95, kPvInteger},     // Y1
    {378, 96, kPvInteger},     // Y2
    {390, 52, kPvInteger},     // LoadObject
    {396, 122, kPvText},       // Picture
    {400, 123, kPvText},       // ParentWin
    {405, 128, kPvColor},      // MaskColor
    {423, 144, kPvText},       // ToolTip
    {463, 206, kPvTextOrEmpty},  // RunName
    {477, 221, kPvText},       // MenuText
    {505, 251, kPvColor},      // CalFgColor
    {506, 252, kPvColor},      // CalBgColor
    {507, 253, kPvColor},      // TitleBgColor
    {508, 254, kPvColor},      // TitleFgColor
    {509, 255, kPvColor},      // TrailingColor
    {512, 70, kPvInteger},     // PictPosH, with PictPosV in the second word
    {518, 264, kPvInteger},    // Angle (Font objects)
    {519, 266, kPvInteger},    // Underline (Font objects)
    {520, 265, kPvInteger},    // Strike (Font objects)
    {529, 158, kPvInteger},    // Window
    {544, 294, kPvColor},      // SelColor
    {568, 315, kPvTextOrEmpty},  // HelpTopic
    {569, 316, kPvTextOrEmpty},  // UserData
    {594, 340, kPvText},       // WebTop
    {0, 0, 0},
};

// Properties by kind: the common ids, the header ids of visible objects, TabId
// for kinds that take the focus, then the ids the kind's own code handles.
static const uint16_t kPropsNone[] = {0};
static const uint16_t kPropsButton[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 1, 30, 32, 43, 47, 48, 49, 50, 121, 122, 147, 324, 325, 326, 327, 331, 332, 345, 347, 348, 0};
static const uint16_t kPropsCheckBox[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 1, 30, 32, 43, 49, 50, 121, 122, 147, 327, 345, 347, 348, 0};
static const uint16_t kPropsCheckGrp[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 0};
static const uint16_t kPropsDataList[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 25, 27, 34, 57, 58, 59, 86, 231, 238, 239, 240, 241, 0};
static const uint16_t kPropsDialog[] = {0};
static const uint16_t kPropsEditText[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 1, 6, 8, 17, 19, 20, 21, 26, 29, 36, 57, 92, 104, 105, 139, 140, 232, 233, 234, 235, 236, 237, 246, 328, 346, 0};
static const uint16_t kPropsIcon[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 43, 87, 217, 270, 331, 332, 0};
static const uint16_t kPropsMenu[] = {9, 16, 29, 48, 206, 220, 256, 278, 279, 280, 283, 315, 316, 0};
static const uint16_t kPropsMRegion[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 29, 0};
static const uint16_t kPropsMovie[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 43, 51, 267, 268, 0};
static const uint16_t kPropsPict[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 22, 51, 57, 68, 69, 70, 71, 87, 97, 98, 99, 312, 331, 332, 0};
static const uint16_t kPropsComboBox[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 29, 57, 59, 60, 231, 238, 241, 319, 328, 0};
static const uint16_t kPropsRadio[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 1, 30, 32, 43, 50, 121, 122, 147, 153, 327, 345, 347, 348, 0};
static const uint16_t kPropsRadioGrp[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 0};
static const uint16_t kPropsStatText[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 1, 29, 43, 51, 0};
static const uint16_t kPropsSubMenu[] = {9, 16, 29, 48, 206, 220, 256, 278, 279, 280, 283, 315, 316, 0};
static const uint16_t kPropsTimer[] = {165, 269, 0};
static const uint16_t kPropsColor[] = {0};
static const uint16_t kPropsFont[] = {0};
static const uint16_t kPropsGroupBox[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 1, 29, 30, 43, 51, 0};
static const uint16_t kPropsProgress[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 32, 44, 45, 91, 0};
static const uint16_t kPropsHScrollBar[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 32, 44, 45, 46, 91, 311, 0};
static const uint16_t kPropsVScrollBar[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 32, 44, 45, 46, 91, 311, 0};
static const uint16_t kPropsFloatMenu[] = {9, 16, 29, 48, 206, 220, 256, 278, 279, 280, 283, 315, 316, 0};
static const uint16_t kPropsWindow[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 10, 11, 12, 13, 30, 38, 39, 40, 41, 42, 53, 57, 73, 84, 85, 88, 89, 100, 101, 102, 103, 121, 123, 141, 142, 146, 150, 184, 185, 186, 187, 188, 189, 190, 191, 192, 193, 194, 195, 196, 197, 205, 222, 223, 224, 225, 264, 265, 266, 307, 318, 321, 322, 323, 333, 334, 335, 343, 0};
static const uint16_t kPropsShape[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 51, 62, 63, 64, 65, 66, 67, 0};
static const uint16_t kPropsTabControl[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 61, 80, 81, 82, 83, 270, 317, 0};
static const uint16_t kPropsSlider[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 32, 44, 45, 46, 74, 75, 76, 77, 78, 79, 0};
static const uint16_t kPropsCollection[] = {0};
static const uint16_t kPropsLine[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 65, 66, 67, 93, 94, 95, 96, 0};
static const uint16_t kPropsContainer[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 51, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 119, 0};
static const uint16_t kPropsControl[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 51, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 119, 0};
static const uint16_t kPropsAutomation[] = {23, 154, 155, 206, 316, 0};
static const uint16_t kPropsVariant[] = {160, 161, 0};
static const uint16_t kPropsImageList[] = {3, 87, 128, 129, 130, 131, 151, 275, 332, 0};
static const uint16_t kPropsListView[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 34, 43, 127, 132, 133, 134, 135, 136, 137, 138, 145, 178, 179, 180, 181, 182, 183, 270, 271, 272, 0};
static const uint16_t kPropsTreeView[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 43, 124, 125, 126, 127, 145, 178, 182, 270, 0};
static const uint16_t kPropsStatusBar[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 2, 29, 199, 200, 202, 203, 204, 205, 208, 0};
static const uint16_t kPropsStatusPanel[] = {2, 3, 29, 35, 144, 199, 200, 202, 203, 204, 205, 206, 208, 316, 0};
static const uint16_t kPropsToolBar[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 2, 10, 11, 12, 13, 29, 43, 51, 73, 156, 208, 209, 210, 211, 212, 213, 214, 215, 216, 217, 218, 219, 220, 221, 264, 265, 266, 270, 273, 274, 0};
static const uint16_t kPropsToolButton[] = {9, 29, 33, 144, 206, 217, 218, 219, 220, 221, 316, 0};
static const uint16_t kPropsSplitter[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 208, 227, 228, 229, 0};
static const uint16_t kPropsPanel[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 42, 57, 88, 89, 187, 188, 189, 208, 222, 223, 224, 225, 0};
static const uint16_t kPropsEditNumber[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 1, 6, 17, 21, 26, 29, 104, 105, 140, 232, 233, 242, 243, 244, 245, 246, 247, 248, 249, 250, 0};
static const uint16_t kPropsEditDateTime[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 29, 246, 251, 252, 253, 254, 255, 256, 257, 258, 259, 260, 261, 262, 263, 329, 0};
static const uint16_t kPropsLabelText[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 1, 29, 36, 43, 51, 56, 0};
static const uint16_t kPropsAnimate[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 43, 51, 267, 268, 0};
static const uint16_t kPropsMenuItem[] = {9, 16, 29, 48, 206, 220, 256, 278, 279, 280, 283, 315, 316, 0};
static const uint16_t kPropsRichEditText[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 1, 6, 17, 19, 20, 21, 26, 29, 36, 57, 104, 105, 140, 232, 233, 234, 236, 0};
static const uint16_t kPropsNetObject[] = {0};
static const uint16_t kPropsNetControl[] = {0};
static const uint16_t kPropsHtmlControl[] = {3, 4, 5, 7, 9, 14, 15, 16, 18, 23, 24, 31, 33, 35, 37, 72, 158, 144, 198, 206, 226, 284, 308, 315, 316, 330, 336, 337, 338, 339, 340, 344, 28, 57, 341, 342, 343, 0};

static const uint16_t* const kKindPropLists[kObjectKindRows] = {
    kPropsNone,  // 0
    kPropsButton,  // 1
    kPropsCheckBox,  // 2
    kPropsCheckGrp,  // 3
    kPropsDataList,  // 4
    kPropsDialog,  // 5
    kPropsEditText,  // 6
    kPropsIcon,  // 7
    kPropsMenu,  // 8
    kPropsMRegion,  // 9
    kPropsMovie,  // 10
    kPropsPict,  // 11
    kPropsComboBox,  // 12
    kPropsRadio,  // 13
    kPropsRadioGrp,  // 14
    kPropsStatText,  // 15
    kPropsSubMenu,  // 16
    kPropsTimer,  // 17
    kPropsColor,  // 18
    kPropsFont,  // 19
    kPropsGroupBox,  // 20
    kPropsProgress,  // 21
    kPropsHScrollBar,  // 22
    kPropsVScrollBar,  // 23
    kPropsFloatMenu,  // 24
    kPropsWindow,  // 25
    kPropsShape,  // 26
    kPropsTabControl,  // 27
    kPropsSlider,  // 28
    kPropsCollection,  // 29
    kPropsLine,  // 30
    kPropsContainer,  // 31
    kPropsControl,  // 32
    kPropsAutomation,  // 33
    kPropsVariant,  // 34
    kPropsImageList,  // 35
    kPropsListView,  // 36
    kPropsTreeView,  // 37
    kPropsStatusBar,  // 38
    kPropsStatusPanel,  // 39
    kPropsToolBar,  // 40
    kPropsToolButton,  // 41
    kPropsSplitter,  // 42
    kPropsPanel,  // 43
    kPropsEditNumber,  // 44
    kPropsEditDateTime,  // 45
    kPropsLabelText,  // 46
    kPropsAnimate,  // 47
    kPropsMenuItem,  // 48
    kPropsRichEditText,  // 49
    kPropsNetObject,  // 50
    kPropsNetControl,  // 51
    kPropsHtmlControl,  // 52
    kPropsNone, kPropsNone, kPropsNone, kPropsNone, kPropsNone, kPropsNone, kPropsNone,  // 53-59 reserved
};

const uint16_t* KindPropList(uint32_t kind) {
    return kind < kObjectKindRows ? kKindPropLists[kind] : nullptr;
}

// Event names of the language with their ids.
const EventNameRow EventNameTable[] = {
    {"$LOAD", 0},       {"$ACTIVATE", 1},   {"$DEACTIVATE", 2}, {"$CHANGE", 3},
    {"$CLICK", 4},      {"$CLOSE", 5},      {"$DBLCLICK", 6},   {"$GOTFOCUS", 9},
    {"$KEYPRESS", 10},  {"$LOSTFOCUS", 11}, {"$MOVE", 12},      {"$MOUSEDOWN", 13},
    {"$MOUSEMOVE", 15}, {"$PAINT", 16},     {"$RESIZE", 17},    {"$TIMER", 18},
    {"$OLDEVENT", 19},  {"$FORMINIT", 20},  {"$UPDATED", 22},   {"$COLCLICK", 23},
    {"$VALIDATE", 24},  {"$ITEMACTIVATE", 25}, {"$BUTTONCLICK", 26}, {"$JQUERY", 200},
    {nullptr, 0},
};

// Handler-label prefixes of event ids 0-32.
const char* const EventHandlerPrefixes[kEventPrefixCount] = {
    "Load_", "Activate_", "Deactivate_", "Change_", "Click_", "Close_", "DblClick_", "DragDrop_",
    "DragOver_", "GotFocus_", "KeyPress_", "LostFocus_", "Move_", "MouseDn_", "MouseUp_",
    "MouseMv_", "Paint_", "Resize_", "Timer_", "Def_", "Init_", "ObjMove_", "Updated_",
    "ColClick_", "Validate_", "ItemAct_", "ItemClick_", "MouseWheel_", "HScroll_", "VScroll_",
    "SelChange_", "LinkClick_", "Suspend_",
};
const char* const kJQueryEventPrefix = "JQueryEvent_";

// Bit n: the kind offers event id n in forms.
const uint64_t KindEventTable[kObjectKindRows] = {
    0x000000000ULL,  // 0 None
    0x00100FF98ULL,  // 1 Button
    0x00100FF90ULL,  // 2 CheckBox
    0x001001190ULL,  // 3 CheckGrp
    0x00100FFD0ULL,  // 4 DataList
    0x000000000ULL,  // 5 Dialog
    0x00100FF88ULL,  // 6 EditText
    0x00000F180ULL,  // 7 Icon
    0x004000010ULL,  // 8 Menu
    0x00000F180ULL,  // 9 MRegion
    0x00000F180ULL,  // 10 Movie
    0x00000F1C0ULL,  // 11 Pict
    0x00100FF98ULL,  // 12 ComboBox
    0x00100FFD0ULL,  // 13 Radio
    0x001001190ULL,  // 14 RadioGrp
    0x00000F190ULL,  // 15 StatText
    0x004000010ULL,  // 16 SubMenu
    0x000040000ULL,  // 17 Timer
    0x000000000ULL,  // 18 Color
    0x000000000ULL,  // 19 Font
    0x00000F180ULL,  // 20 GroupBox
    0x00000F180ULL,  // 21 Progress
    0x00100FF88ULL,  // 22 HScrollBar
    0x00100FF88ULL,  // 23 VScrollBar
    0x004000010ULL,  // 24 FloatMenu
    0x10013FF37ULL,  // 25 Window
    0x00000F190ULL,  // 26 Shape
    0x00100FF98ULL,  // 27 TabControl
    0x00100FF88ULL,  // 28 Slider
    0x000000000ULL,  // 29 Collection
    0x00000F190ULL,  // 30 Line
    0x00162FFD0ULL,  // 31 Container
    0x000000000ULL,  // 32 Control
    0x000000000ULL,  // 33 Automation
    0x000000000ULL,  // 34 Variant
    0x000000008ULL,  // 35 ImageList
    0x03BC2EF58ULL,  // 36 ListView
    0x00100EFD8ULL,  // 37 TreeView
    0x00000E050ULL,  // 38 StatusBar
    0x000000000ULL,  // 39 StatusPanel
    0x00400E050ULL,  // 40 ToolBar
    0x000000000ULL,  // 41 ToolButton
    0x000001000ULL,  // 42 Splitter
    0x00003E000ULL,  // 43 Panel
    0x00100FF88ULL,  // 44 EditNumber
    0x00100FF88ULL,  // 45 EditDateTime
    0x00000E050ULL,  // 46 LabelText
    0x00000F198ULL,  // 47 Animate
    0x000000000ULL,  // 48 MenuItem
    0x0C100FF88ULL,  // 49 RichEditText
    0x000000000ULL,  // 50 NetObject
    0x000000000ULL,  // 51 NetControl
    0x000000000ULL,  // 52 HtmlControl
    0x000000000ULL,  // 53 reserved
    0x000000000ULL,  // 54 reserved
    0x000000000ULL,  // 55 reserved
    0x000000000ULL,  // 56 reserved
    0x000000000ULL,  // 57 reserved
    0x000000000ULL,  // 58 reserved
    0x000000000ULL,  // 59 reserved
};
