#include "runtime/process_state.h"

HINSTANCE instanceHandle = nullptr;
HWND backgroundWindow = nullptr;
HWND progressDialog = nullptr;
bool automaticMode = false;
String productName;
String commandInterpreter;
int languageIndex = 0;
