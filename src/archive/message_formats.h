// Message numbers whose texts are used as printf formats, with the
// conversions each must hold in order. The builder refuses a message text
// that does not match; the program checks again before formatting.
#pragma once

constexpr int StandardMessageCount = 60;  // message numbers 0 to 59

// The conversion letters message `number` must hold in order ("" for a
// format without arguments), or null when the text is never a format.
const char* messageConversions(int number);
