// markupids.h - the property ids the kinds' markup writers read from a
// creation record that the object model's property list does not name.
#pragma once

#include <cstdint>

// Property ids the markup reads that the object model does not name.
enum MarkupPropId : uint16_t {
    kPidEditType = 8, kPidMaxChars = 19, kPidMultiLine = 20, kPidStatic = 21, kPidReadOnly = 26,
    kPidMultiSelect = 34, kPidWordWrap = 36, kPidMin = 44, kPidMax = 45, kPidGroupId = 50,
    kPidData = 59, kPidTabLabel = 61, kPidShape = 64, kPidBdrWidth = 65, kPidOrientation = 74,
    kPidOverType = 104, kPidSelectAll = 105, kPidPicture = 122, kPidPassword = 139,
    kPidAlignText = 147, kPidIntegerDigits = 242, kPidDecimalDigits = 243, kPidUpDownChange = 244,
    kPidAutoEnter = 246, kPidUpDownMin = 247, kPidUpDownMax = 248, kPidAllowMinus = 249,
    kPidDpi = 250, kPidCustomFormat = 257, kPidFormat = 259, kPidMaximumDate = 260,
    kPidMinimumDate = 261, kPidStrike = 265, kPidUnderline = 266, kPidCueText = 328,
    kPidAltText = 331, kPidUrlSource = 332, kPidInputType = 346, kPidSwitch = 347,
    kPidButtonState = 348,
};
