// The system's message for the thread's last error, for the file layer's
// failure texts (the runtime layer above has its own for error boxes).
#pragma once

#include "core/str.h"

// Empty when the last error is 0 or the system has no text for it.
String lastSystemErrorText();
