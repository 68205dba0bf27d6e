// The progress dialog as the run shows it: open over a background window,
// for tests of what the dialog shows while work goes on.
#pragma once

// Creates the background window and opens the progress dialog over it;
// false when either could not be made.
bool openProgressOverBackground();
// Closes both again.
void closeProgressOverBackground();
