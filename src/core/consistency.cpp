#include "core/fatal.h"

void reportConsistencyFailure(const char* module, int checkNumber) {
    reportFatalError("%s %d", module, checkNumber);
}
