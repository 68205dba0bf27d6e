// Tests run code that may end in a fatal report; this captures the report's
// text instead of ending the process, so tests can assert the exact words.
#pragma once

#include <functional>
#include <string>

// Runs action. Returns the text of the fatal report it raised, or the text
// "<no fatal report>" when it returned normally.
std::string captureFatal(const std::function<void()>& action);

extern const char NoFatalReport[];
