// The program's fatal report: a task-modal "FATAL ERROR" box, shown in
// automatic mode too, then the exit routine.
#include <cstdarg>

#include "files/win32.h"
#include "runtime/errors.h"

void reportFatalError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    String text = String::formatList(format, args);
    va_end(args);
    MessageBoxA(boxOwner(), text.cStr(), "FATAL ERROR", MB_ICONHAND | MB_TASKMODAL);
    exitProgram(ExitOutcome::FatalError);
}
