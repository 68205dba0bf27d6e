// Version texts brought into a fixed-width form in which two versions compare
// correctly as plain text. Pure text work: the builder uses it too.
#pragma once

#include "core/str.h"

// Upper case (ASCII), then every dot-separated component left-padded with
// zeros to ten characters; longer components stay as they are.
// 4.0.1381.4 -> 0000000004.0000000000.0000001381.0000000004.
// The empty text (no version known) stays empty.
String paddedVersion(const String& version);
