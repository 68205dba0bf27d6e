// Opening a document with the program the shell associates with it.
#pragma once

// True when the shell started something for the path.
bool openWithShell(const char* path);
