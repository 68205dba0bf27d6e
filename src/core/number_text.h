// Numbers as the texts users see: sizes, thousands separators, ordinals, words.
#pragma once

#include <cstdint>

#include "core/str.h"

// Digits with ',' before each group of three, only for texts of 5 or more
// characters: 1234 stays "1234", 12345 becomes "12,345".
String withThousands(int64_t value);
