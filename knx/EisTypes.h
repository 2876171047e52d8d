// The EIS types a group value is written and read as: their numbers and
// names, the value texts a person types for each, and the telegram bytes of
// each value. Every range and encoding of a type is in the one table of
// EisTypes.cpp. No console output.
#pragma once

#include "platform/afxstring.h"
#include "platform/wintypes.h"

constexpr int kEisTypeCount = 15;    // EIS1 to EIS15
constexpr int kLargestEisData = 15;  // the APCI byte and EIS15's 14 characters

// A group value as a telegram carries it, from the APCI byte on. A short-form
// value sits in the low six bits of bytes[0], beside the APCI (length 1); a
// long-form value follows in bytes[1] on, and the low six bits of bytes[0]
// are 0. The APCI itself is the frame's: the codecs neither set nor read it.
struct EisData {
    int length = 0;  // the cEMI data length (APCI byte included); 0: no value
    BYTE bytes[kLargestEisData] = {};
};

// 1 to 15 for "EIS1" to "EIS15" in any letter case, else 0.
int ParseEisType(CString name);

// Checks text as a value of eisType and encodes it; false, and data left as
// it was, when eisType is no type or text is none of its values.
bool EncodeEisValue(int eisType, const char* text, EisData& data);

// The value in data as EncodeEisValue takes it for eisType: a number in the
// shortest form, a time as HH:MM:SS, a date as YYYY-MM-DD, the characters
// themselves. False when the length or the contents are no value of the type.
bool DecodeEisValue(int eisType, const EisData& data, CString& text);
