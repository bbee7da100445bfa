// kindcodes.h - the numbers every kind shares between its native file, its web
// file and the form writers: the property ids, and per kind its method numbers
// and the codes it spells as numbers. Each number is named here once; a file
// that needs one includes this header instead of naming the number itself.
#pragma once

#include <cstdint>

// ---- Property ids ---------------------------------------------------------------
// One name per row of the property-name table (objects/objtables.cpp), the same
// value; a name the table holds twice gets "2" on its second id. StreamId (118)
// and ButtonValue (313, a button's value by a second id) are the ids used here
// whose names the table does not give.
enum PropId : uint16_t {
    kPidAlignment = 1, kPidAutoSize = 2, kPidBgColor = 3, kPidBorder = 4, kPidBdrColor = 5, kPidStyle = 6,
    kPidDropId = 7, kPidEditType = 8, kPidEnabled = 9, kPidBold = 10, kPidItalic = 11, kPidFontName = 12,
    kPidSize = 13, kPidFgColor = 14, kPidHeight = 15, kPidHelpId = 16, kPidEditHideSel = 17, kPidLeft = 18,
    kPidMaxChars = 19, kPidMultiLine = 20, kPidStatic = 21, kPidNoResize = 22, kPidObjectId = 23,
    kPidName = 24, kPidPrinter = 25, kPidReadOnly = 26, kPidSorted = 27, kPidTabId = 28, kPidText = 29,
    kPidTitle = 30, kPidTop = 31, kPidValue = 32, kPidVisible = 33, kPidMultiSelect = 34, kPidWidth = 35,
    kPidWordWrap = 36, kPidZOrder = 37, kPidMinBox = 38, kPidMaxBox = 39, kPidSysMenu = 40, kPidCaption = 41,
    kPidClipCtrl = 42, kPidAppearance = 43, kPidMin = 44, kPidMax = 45, kPidShift = 46, kPidCancel = 47,
    kPidDefault = 48, kPidTriState = 49, kPidGroupId = 50, kPidBackStyle = 51, kPidLoadObject = 52,
    kPidWinType = 53, kPidAutoRedraw = 54, kPidHwnd = 55, kPidUseAltKey = 56, kPidScrollBar = 57,
    kPidIntegral = 58, kPidData = 59, kPidComboStyle = 60, kPidTabLabel = 61, kPidFillColor = 62,
    kPidFillStyle = 63, kPidShape = 64, kPidBdrWidth = 65, kPidDrawMode = 66, kPidBdrPattern = 67,
    kPidAutoZoom = 68, kPidScale = 69, kPidPictPosH = 70, kPidPictPosV = 71, kPidFont = 72, kPidFontObj = 73,
    kPidOrientation = 74, kPidTickStyle = 75, kPidTickFreq = 76, kPidSelRange = 77, kPidSelStart = 78,
    kPidSelLength = 79, kPidMultiRow = 80, kPidTabWthStyle = 81, kPidTabFixHth = 82, kPidTabFixWth = 83,
    kPidPrefix = 84, kPidWinPos = 85, kPidTabStops = 86, kPidResource = 87, kPidWinOffsetV = 88,
    kPidWinOffsetH = 89, kPidRightButton = 90, kPidPercent = 91, kPidMaxCols = 92, kPidX1 = 93, kPidX2 = 94,
    kPidY1 = 95, kPidY2 = 96, kPidPictSizeH = 97, kPidPictSizeV = 98, kPidAutoScale = 99, kPidGridAlign = 100,
    kPidGridSizeH = 101, kPidGridSizeV = 102, kPidUnits = 103, kPidOverType = 104, kPidSelectAll = 105,
    kPidAutoAct = 106, kPidSizeMode = 107, kPidAutoVerb = 108, kPidDisplayType = 109, kPidClassId = 110,
    kPidOLEDrop = 111, kPidOLEType = 112, kPidSourceDoc = 113, kPidUpdateOpt = 114, kPidStoreId = 115,
    kPidHostName = 116, kPidOLETypeA = 117, kPidStreamId = 118, kPidClsid = 119, kPidIcon = 121,
    kPidPicture = 122, kPidParentWin = 123, kPidTreeLnStyle = 124, kPidButtons = 125, kPidIndent = 126,
    kPidHideSel = 127, kPidMaskColor = 128, kPidUseMask = 129, kPidImageSizeV = 130, kPidImageSizeH = 131,
    kPidViewStyle = 132, kPidMultiSelect2 = 133, kPidArrange = 134, kPidHideColHdr = 135, kPidLabelWrap = 136,
    kPidSortOrder = 137, kPidSortHeader = 138, kPidPassword = 139, kPidClipSib = 140, kPidNegBorders = 141,
    kPidNegMenus = 142, kPidToolTip = 144, kPidFullRow = 145, kPidRightToLeft = 146, kPidAlignText = 147,
    kPidToolTipHwnd = 148, kPidUseRtl = 149, kPidNoMenuResize = 150, kPidImageColors = 151,
    kPidSingleLine = 152, kPidSelGroupId = 153, kPidAdviseKey = 154, kPidRemServer = 155,
    kPidCauseValid = 156, kPidWindow = 158, kPidVarPtr = 160, kPidVarType = 161, kPidTimeout = 165,
    kPidSize2 = 170, kPidCheckBox = 178, kPidGridLine = 179, kPidActivate = 180, kPidHoverSel = 181,
    kPidHotTrack = 182, kPidHoverTime = 183, kPidWinBorder = 184, kPidInTaskbar = 185, kPidTopmost = 186,
    kPidAutoScroll = 187, kPidMinScrollH = 188, kPidMinScrollV = 189, kPidMdiBorder = 190,
    kPidMdiScroll = 191, kPidMdiTop = 192, kPidMdiLeft = 193, kPidMdiHeight = 194, kPidMdiWidth = 195,
    kPidWinHeight = 196, kPidWinWidth = 197, kPidDock = 198, kPidSizeGrip = 199, kPidShowPanel = 200,
    kPidAutoSize2 = 202, kPidBdrStyle2 = 203, kPidWidth2 = 204, kPidMinWidth = 205, kPidRunName = 206,
    kPidBdrStyle = 208, kPidTextAlign = 209, kPidDivider = 210, kPidDownArrow = 211, kPidWrappable = 212,
    kPidBtnHeight = 213, kPidBtnWidth = 214, kPidShowTips = 215, kPidBtnStyle = 216, kPidImageIndex = 217,
    kPidPushed = 218, kPidPartialPush = 219, kPidTag = 220, kPidMenuText = 221, kPidDockPadL = 222,
    kPidDockPadT = 223, kPidDockPadR = 224, kPidDockPadB = 225, kPidAnchor = 226, kPidMinExtra = 227,
    kPidMinSize = 228, kPidSplitPos = 229, kPidRowsVisible = 231, kPidRightMargin = 232, kPidLeftMargin = 233,
    kPidModifyFlag = 234, kPidPasswordChar = 235, kPidSelText = 236, kPidTextOutConv = 237,
    kPidScrollHide = 238, kPidMultiColumn = 239, kPidColumnWidth = 240, kPidHorzExtent = 241,
    kPidIntegerDigits = 242, kPidDecimalDigits = 243, kPidUpDownChange = 244, kPidUpDownAlign = 245,
    kPidAutoEnter = 246, kPidUpDownMin = 247, kPidUpDownMax = 248, kPidAllowMinus = 249, kPidDPI = 250,
    kPidCalFgColor = 251, kPidCalBgColor = 252, kPidTitleBgColor = 253, kPidTitleFgColor = 254,
    kPidTrailingColor = 255, kPidChecked = 256, kPidCustomFormat = 257, kPidDropDownAlign = 258,
    kPidFormat = 259, kPidMaximumDate = 260, kPidMinimumDate = 261, kPidShowCheckBox = 262,
    kPidShowUpDown = 263, kPidAngle = 264, kPidStrike = 265, kPidUnderline = 266, kPidCenter = 267,
    kPidAutoPlay = 268, kPidStartTimer = 269, kPidImageList = 270, kPidImageListSm = 271,
    kPidImageListSt = 272, kPidImageListD = 273, kPidImageListH = 274, kPidUseColorMask = 275,
    kPidMdiList = 276, kPidMergeType = 277, kPidShortCut = 278, kPidSeparator = 279, kPidSpecialMenu = 280,
    kPidMenuOrder = 282, kPidSubMenu = 283, kPidOsEventMask = 284, kPidAcceptTab = 285, kPidMultiLine2 = 289,
    kPidSelColor = 294, kPidButtonEnterKey = 307, kPidDestroyGlobal = 308, kPidAcceptTab2 = 310,
    kPidScrollSizeMode = 311, kPidResize = 312, kPidButtonValue = 313, kPidHelpTopic = 315,
    kPidUserData = 316, kPidTabStyle = 317, kPidMinHeight = 318, kPidTheme = 319, kPidFloatMenu = 320,
    kPidRibDll = 321, kPidRibName = 322, kPidRibMode = 323, kPidButtonType = 324, kPidCmdNote = 325,
    kPidShield = 326, kPidPushLike = 327, kPidCueText = 328, kPidAutoForward = 329, kPidWebClass = 330,
    kPidAltText = 331, kPidUrlSource = 332, kPidUseCss = 333, kPidDivisionId = 334, kPidShowWebMenu = 335,
    kPidWebHeight = 336, kPidWebPosition = 337, kPidWebWidth = 338, kPidWebLeft = 339, kPidWebTop = 340,
    kPidInnerHtml = 341, kPidCodePage = 342, kPidWebMode = 343, kPidWebObject = 344, kPidContext = 345,
    kPidInputType = 346, kPidSwitch = 347, kPidButtonState = 348,
};

// Ids outside the table: the one a change of an EditText's option text carries
// (request code 283), and the one handed on for an item selector that names no
// item, which no kind accepts.
constexpr uint16_t kPropIdEditOptions = 0;
constexpr uint32_t kPropIdNoItem = 999;

// ---- Window ---------------------------------------------------------------------
enum WindowMethodNo : uint32_t {
    kWmActivate = 1, kWmClose = 2, kWmErase = 3, kWmGetActiveMdiChild = 4, kWmMdiLayout = 5, kWmRefresh = 6,
    kWmShow = 7, kWmMdiShow = 8, kWmPrintForm = 9, kWmFormToPict = 10, kWmBackGrndMouseMove = 11,
    kWmSaveQofFile = 12, kWmLoadQofFile = 13, kWmGetObject = 14, kWmGetMenu = 15, kWmResAdd = 16,
    kWmResDelete = 17, kWmResGetIds = 18, kWmResModify = 19, kWmResSave = 20, kWmBrowseForFolder = 21,
    kWmSetHScrollPos = 22, kWmSetVScrollPos = 23, kWmControlPropertyPage = 24, kWmPrintFormPict = 25,
    kWmGetObjectAsPointer = 26, kWmGetQofFlags = 27, kWmMonitorInfo = 28, kWmScale = 29,
    kWmResetScaleOrigin = 30, kWmSetUIState = 31, kWmCheckValidate = 32, kWmNotifyIcon = 33,
    kWmSetForegroundWindow = 34, kWmGetMdiChildCount = 35, kWmSetParent = 36, kWmOsEventMask = 37,
    kWmMdiChildPrev = 38, kWmMdiChildNext = 39, kWmGetLocaleInfo = 40, kWmMouseWheelMode = 41,
    kWmRibbonGetProp = 42, kWmRibbonSetProp = 43, kWmRibbonSetModes = 44, kWmRibbonShowContext = 45,
    kWmGetQofInfo = 46, kWmGetResNames = 47, kWmGetLastQofFileError = 48, kWmIoCancelMode = 49,
    kWmIsMinimized = 50, kWmAllowSetForeground = 51, kWmSetAsClient = 52,
    kWmLast = kWmSetAsClient,
};
// Window types as kept (WinType 1-7), and the requested types 8-11 the server
// may give, kept beside the effective type the window is shown as.
enum WinTypeCode : uint8_t {
    kWinModal = 1, kWinDialog = 2, kWinType3 = 3, kWinTool = 4, kWinNormal = 5, kWinMdiFrame = 6,
    kWinMdiChild = 7,
};
enum WinTypeRequest : uint8_t { kWinAskModal = 8, kWinAskDialog = 9, kWinAskTool = 10, kWinAskNormal = 11 };
// Border styles (WinBorder 1-8).
enum WinBorderStyle : uint8_t {
    kWbNone = 1, kWbSingle = 2, kWbDialogFrame = 3, kWbToolSingle = 4, kWbFixedDialog = 5, kWbSizeable = 6,
    kWbToolSizeable = 7, kWbSizeablePopup = 8,
};
// Window positions (WinPos 1-6): the fill ones take the whole work area or page,
// the second with a height of its own in the web view.
enum WinPosCode : uint8_t {
    kWinPosAsGiven = 1, kWinPosCentreScreen = 2, kWinPosCentreOwner = 3, kWinPosFill = 4, kWinPosCascade = 5,
    kWinPosFillHeight = 6,
};
// CheckValidate's answer when the focused child that takes $VALIDATE has no ObjectId.
constexpr int32_t kWmCheckValidateNoId = 99999;

// ---- Button ---------------------------------------------------------------------
// ButtonType values (3: a file input) and ButtonState values of the web view's buttons.
constexpr int32_t kButtonType1 = 1, kButtonType2 = 2, kButtonTypeFile = 3;
constexpr int32_t kButtonStateOutline = 1, kButtonStateSpinner = 2, kButtonStateGrow = 3;

// ---- EditText -------------------------------------------------------------------
// EditType values the client treats itself (1-6 are valid); the plain one is the
// type whose Enter goes on to the window's default button.
enum EditTypeCode : uint16_t {
    kEditTypePlain = 1, kEditTypeDecimal = 3, kEditTypeLower = 4, kEditTypeUpper = 5, kEditTypeLast = 6,
};

// ---- ToolBar and ToolButton -----------------------------------------------------
enum ToolBarMethodNo : uint32_t {
    kTbAddButton = 1, kTbGetButton = 2, kTbRemoveButton = 3, kTbSetImageList = 4, kTbSetImageListDisabled = 5,
    kTbSetImageListHot = 6, kTbGetButtonByState = 7, kTbSetFocus = 8, kTbResetImageList = 9,
    kTbResetImageListDisabled = 10, kTbResetImageListHot = 11, kTbWriteImageListBmp = 12, kTbSetTBFlags = 13,
};
// The states GetButtonByState looks for.
enum ToolButtonStateNo : uint32_t {
    kTbStatePushed = 1, kTbStatePartialPush = 2, kTbStateEnabled = 3, kTbStateVisible = 4, kTbStateAutoSize = 5,
};

// ---- StatusBar ------------------------------------------------------------------
enum StatusBarMethodNo : uint32_t { kSbAddPanel = 1, kSbGetPanel = 2, kSbRemovePanel = 3 };

// ---- The other kinds' method numbers, one list per kind -----------------------
enum MenuMethodNo : uint32_t {
    kMenuAddItem = 1, kMenuGetItem = 2, kMenuRemoveItem = 3, kMenuGetItemCount = 4, kMenuGetItemType = 5,
    kMenuGetItemState = 6, kMenuGetItemName = 7, kMenuActivate = 8,
};

// The native DataList answers these numbers too (one list-box method switch).
enum ComboBoxMethodNo : uint32_t {
    kComboAddString = 1, kComboDeleteString = 2, kComboDir = 3, kComboFindString = 4, kComboFindStringExact = 5,
    kComboGetCount = 6, kComboGetCurSel = 7, kComboGetItemData = 8, kComboGetText = 9, kComboGetTopIndex = 10,
    kComboInsertString = 11, kComboResetContent = 12, kComboSelectString = 13, kComboSetCurSel = 14,
    kComboSetItemData = 15, kComboSetTopIndex = 16, kComboFindData = 17, kComboSetCBFlags = 18,
};

enum DataListMethodNo : uint32_t {
    kDataListAddString = 1, kDataListDeleteString = 2, kDataListDir = 3, kDataListFindString = 4,
    kDataListFindStringExact = 5, kDataListGetCaretIndex = 6, kDataListGetCount = 7, kDataListGetFirstSel = 8,
    kDataListGetNextSel = 9, kDataListGetItemData = 10, kDataListGetSel = 11, kDataListGetSelCount = 12,
    kDataListGetText = 13, kDataListGetTextLen = 14, kDataListGetTopIndex = 15, kDataListInsertString = 16,
    kDataListResetContent = 17, kDataListSelectString = 18, kDataListSelItemRange = 19,
    kDataListSetCaretIndex = 20, kDataListSetCurSel = 21, kDataListSetItemData = 22, kDataListSetSel = 23,
    kDataListSetTopIndex = 24, kDataListTabStops = 25, kDataListAllowEmptyTab = 26, kDataListInitStorage = 27,
    kDataListPreventKeyClick = 28,
};

enum ImageListMethodNo : uint32_t {
    kImageListAddBmp = 1, kImageListAddIcon = 2, kImageListAddBmpMasked = 3, kImageListGetImageCount = 4,
    kImageListRemove = 5, kImageListRemoveAll = 6, kImageListReplaceBmp = 7, kImageListReplaceIcon = 8,
    kImageListLoadStdToolBitmap = 9, kImageListWriteBmpFile = 10, kImageListAddLoadImage = 11,
    kImageListAddLoadIcon = 12,
};

enum PictMethodNo : uint32_t {
    kPictGetPageCount = 1, kPictRotate = 2, kPictGetZTop = 3, kPictGetZBottom = 4, kPictGetZLeft = 5,
    kPictGetZRight = 6, kPictWriteBmpFile = 7,
};

enum TreeViewMethodNo : uint32_t {
    kTreeDeleteAll = 1, kTreeDeleteItem = 2, kTreeEnsureVisible = 3, kTreeExpand = 4, kTreeGetCount = 5,
    kTreeGetItemImage = 6, kTreeGetItemParam = 7, kTreeGetItemSelImage = 8, kTreeGetItemText = 9,
    kTreeGetNextItem = 10, kTreeGetVisibleCount = 11, kTreeInsertItem = 12, kTreeSelectItem = 13,
    kTreeSetImageList = 14, kTreeSetItem = 15, kTreeSortChildren = 16, kTreeGetItemCheck = 17,
    kTreeSetItemCheck = 18, kTreeItemHitTest = 19, kTreeGetItemState = 20, kTreeSetItemState = 21,
    kTreeLoadXmlFile = 22, kTreeSaveXmlFile = 23, kTreeBrowseClassId = 24, kTreeBrowseNetId = 25,
    kTreeSaveXmlToDim = 26, kTreeGetXmlDataSize = 27, kTreeGetLastDropXy = 28,
};

enum HtmlControlMethodNo : uint32_t {
    kHtmlInnerHtml = 1, kHtmlGetAttr = 2, kHtmlGetCss = 3, kHtmlSetAttr = 4, kHtmlSetCss = 5, kHtmlFocus = 6,
    kHtmlUpdateEvents = 7, kHtmlMakePict = 8, kHtmlContextMenu = 9, kHtmlBindDataTable = 10, kHtmlBindHtml = 11,
    kHtmlBindAction = 12,
};

enum TabControlMethodNo : uint32_t {
    kTabHitTest = 1, kTabSetTabImage = 2, kTabGetTabImage = 3, kTabSetImageList = 4, kTabGetStyle = 5,
    kTabSetStyle = 6, kTabRemoveImageList = 7, kTabGetTabCount = 8, kTabInsertTab = 9, kTabDeleteTab = 10,
    kTabSetTab = 11, kTabSetTabParam = 12, kTabGetTabParam = 13, kTabSetupTabs = 14,
};

enum PanelMethodNo : uint32_t {
    kPanelGetObject = 1, kPanelSetHScrollPos = 2, kPanelSetVScrollPos = 3, kPanelGetObjectAsPointer = 4,
    kPanelSetBgColorTransparent = 5, kPanelPreviewOpen = 6, kPanelPreviewAction = 7, kPanelPreviewClose = 8,
    kPanelSetWinFlag1 = 17, kPanelInnerHtml = 18, kPanelGetChildCount = 19, kPanelMovePanel = 20,
};

enum EditTextMethodNo : uint32_t {
    kEditUndo = 6, kEditScrollToCaret = 7, kEditSelect = 8, kEditSelectAll = 9, kEditGetLineCount = 10,
    kEditGetLine = 11, kEditCanUndo = 19, kEditGetTextLength = 20, kEditSizingMode = 22, kEditGetUnicode = 23,
    kEditSetUnicode = 24,
};

enum EditNumberMethodNo : uint32_t {
    kNumberCanUndo = 10, kNumberGetTextLength = 11,
};

enum EditDateTimeMethodNo : uint32_t {
    kDateUtcMode = 1, kDateAutoForward = 2,
};

enum ButtonMethodNo : uint32_t {
    kButtonAamCancelMode = 1, kButtonGetCtlFlags = 2, kButtonIoCancelMode = 3, kButtonGetFileCount = 4,
    kButtonGetFileItem = 5, kButtonSetFileOptions = 6,
};

enum AnimateMethodNo : uint32_t {
    kAnimateClose = 1, kAnimateOpen = 2, kAnimatePlay = 3, kAnimateStop = 4,
};

enum ContainerMethodNo : uint32_t {
    kContainerDelete = 1, kContainerDoVerb = 2, kContainerUpdate = 3,
};

enum VariantMethodNo : uint32_t {
    kVariantGetDim = 1, kVariantGetElement = 2, kVariantGetElemCount = 3, kVariantSetElemCount = 4,
    kVariantPutElement = 5, kVariantGetAllData = 6,
};

// The web view's Color object.
enum ColorMethodNo : uint32_t {
    kColorProbe = 1, kColorGetHsv = 2, kColorSetHsv = 3,
};

// The web view's Client object.
enum ClientMethodNo : uint32_t {
    kClientGetInfo = 1, kClientPrint = 2, kClientOpen = 3, kClientAddCss = 4, kClientFlushMessages = 5,
    kClientGetState = 6, kClientGetLocation = 7, kClientGetWinInfo = 8, kClientSetUtf8Convert = 9,
    kClientSetUtf16Table = 10, kClientAppGetInfo = 11, kClientAppGetPicture = 12, kClientJsRun = 14,
    kClientAppApi = 17, kClientAppFindContact = 19, kClientAppPickContact = 20, kClientJsMakeString = 22,
    kClientStorageSet = 24, kClientStorageGet = 25, kClientAppVersion = 26, kClientAppGeoLocation = 30,
    kClientAppExtendedError = 31, kClientAppScanBarCode = 32, kClientJqSet = 33, kClientJqGet = 34,
    kClientAppBeaconStatus = 36, kClientAddJs = 37, kClientAppDirGet = 42, kClientGetMonitorInfo = 44,
};

// The methods every object of the web view answers besides its kind's own.
enum CommonWebMethodNo : uint32_t {
    kCommonSetWebStyle = 1, kCommonGetWebStyle = 2, kCommonGetWebId = 3, kCommonSetJqUiOpt = 4,
    kCommonEnableJqEvent = 5, kCommonDisableJqEvent = 6, kCommonAddWebClass = 7, kCommonRemoveWebClass = 8,
};

// ---- List view ------------------------------------------------------------------
// The native list view answers 1-59 (60 up: not available there); the web view's all.
enum ListViewMethodNo : uint32_t {
    kLvArrange = 1, kLvDeleteAllItems = 2, kLvDeleteColumn = 3, kLvDeleteItem = 4, kLvEnsureVisible = 5,
    kLvFindItem = 6, kLvGetColumnFormat = 7, kLvGetColumnText = 8, kLvGetColumnWidth = 9, kLvGetCountPerPage = 10,
    kLvGetItemCount = 11, kLvGetItemImage = 12, kLvGetItemParam = 13, kLvGetItemState = 14, kLvGetItemText = 15,
    kLvGetNextItem = 16, kLvGetStringWidth = 17, kLvInsertColumn = 18, kLvInsertItem = 19, kLvSetColumnFormat = 20,
    kLvSetColumnText = 21, kLvSetColumnWidth = 22, kLvSetImageList = 23, kLvSetImageListSmall = 24,
    kLvSetItemImage = 25, kLvSetItemParam = 26, kLvSetItemState = 27, kLvSetItemText = 28,
    kLvGetExtendedStyle = 29, kLvSetExtendedStyle = 30, kLvDeleteAllContents = 31, kLvSortColumn = 32,
    kLvInsertItemEx = 33, kLvGetItemCheck = 34, kLvSetItemCheck = 35, kLvFindItemCheck = 36,
    kLvSetImageListState = 37, kLvInsertColumnEx = 38, kLvSetColumnImage = 39, kLvSetColumnOrder = 40,
    kLvSubItemHitTest = 41, kLvGetItemRect = 42, kLvEnableScrollBar = 43, kLvInsertColumnFgClr = 44,
    kLvInsertColumnBgClr = 45, kLvInsertAttrColumn = 46, kLvInsertAttrColor = 47, kLvInsertAttrFont = 48,
    kLvInsertAttrRgb = 49, kLvInsertAttrDefault = 50, kLvLoadXmlFile = 51, kLvSaveXmlFile = 52,
    kLvLoadCsvFile = 53, kLvSaveCsvFile = 54, kLvGetItemTextAll = 55, kLvGetTopIndex = 56,
    kLvGetColResizeFlag = 57, kLvSetColResizeFlag = 58, kLvSetItemTextAll = 59, kLvGetColumnCount = 60,
    kLvGetAttributeColumn = 61, kLvGetBgColorColumn = 62, kLvGetFgColorColumn = 63, kLvSaveXmlToDim = 64,
    kLvGetXmlDataSize = 65, kLvSetLvFlags = 66, kLvGetColumnOrderArray = 67, kLvSetIconSpacing = 68,
    kLvGetIconSpacing = 69, kLvIsScrollVisible = 70, kLvUpdate = 71, kLvGetLastDropXy = 72,
    kLvSetEditColumn = 73, kLvSetEditFocus = 74, kLvGetColumnWidths = 75, kLvSetColumnWidths = 76,
    kLvNativeLast = kLvSetItemTextAll, kLvLast = kLvSetColumnWidths,
};
// A column made without a width (from the creation text, or InsertColumn with none).
constexpr int32_t kLvColumnWidth = 100;
// InsertItemEx: the texts of sub-items 1, 2, ... from this argument on.
constexpr uint32_t kLvSubItemArgFirst = 6;
// The list view's own events: a column header clicked (value: the column) and
// a row activated (value: row * 100 + column).
enum ListViewEventNo : uint32_t { kEvColClick = 23, kEvItemActivate = 25 };
