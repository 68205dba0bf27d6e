// Numbers as the texts users see: sizes, thousands separators, ordinals, words.
#pragma once

#include <cstdint>

#include "core/str.h"

// A unit below 2 returns value; otherwise value raised to the next multiple
// of unit, saturating at the largest int rather than wrapping.
int32_t roundUpToMultiple(int32_t value, int32_t unit);

// "1023 bytes", "1.50 KB", "1024.00 KB", "2.00 MB", ... up to TB (units of 1024).
String formatSize(int64_t bytes);

// Digits with ',' before each group of three, only for texts of 5 or more
// characters: 1234 stays "1234", 12345 becomes "12,345".
String withThousands(int64_t value);

// "1st", "2nd", "3rd", "4th", "11th", "21st", "111th".
String ordinalSuffix(int n);
// "First", "Twelfth", "Twenty First", "One Hundred Twelfth", "One Thousandth".
String ordinalWords(int n);
// English words for value. mode 0: the whole part only ("One Hundred Twenty");
// -1: decimal ("Two Point Five"); 1: cheque amount ("Twelve and 34/100");
// 2: fractions ("Zero and One Half", "Three and 100/1000"). Any other mode,
// and a value that is not finite, give an empty text.
String numberWords(double value, int mode);

// The same into a caller's buffer of size bytes: emptied first, then filled,
// cut short to fit and always NUL-terminated. A null buffer or a size below 1
// is a consistency failure of Core32 (5354, 5385, 5588).
void ordinalSuffix(int n, char* buffer, int size);
void ordinalWords(int n, char* buffer, int size);
void numberWords(double value, char* buffer, int size, int mode);
