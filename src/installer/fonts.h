// Fonts of an installation: added to Windows, registered so that they stay
// after a restart, and listed for the uninstaller.
#pragma once

#include "core/str.h"
#include "installer/run_state.h"

// The machine's font registry key below "Software\" (the Windows NT one, or
// the one of older Windows).
const char* fontsRegistryKey(bool windowsNT);

// After the font file `name` (relative to the Fonts folder, written at
// target) is in place: AddFontResourceA, the registry value displayName =
// name under the machine's Fonts key, and "displayName" "name" in the font
// list. False (with a problem line) when Windows refuses the font; then the
// font is neither registered nor listed.
bool addFont(const String& name, const String& displayName, const String& target, RunState& state);
