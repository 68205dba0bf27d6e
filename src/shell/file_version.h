// The version text of a file's version resource.
#pragma once

#include "core/str.h"

// The "FileVersion" text of the U.S. English, Windows multilingual block
// (040904E4) only; empty when there is none or it cannot be read. With padded,
// a non-empty text comes in the fixed-width form of paddedVersion.
String fileVersion(const char* path, bool padded);
