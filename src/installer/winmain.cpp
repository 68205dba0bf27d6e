// The program's entry: everything happens in start-up, which never returns.
#include "installer/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    runProgram(instance, commandLine);
}
