// The questions that open an installation, before anything is written:
// language, title, the product this archive extends, an earlier
// installation, the opening question, licence and readme, and what to do
// about the earlier installation. Leaving any of them ends the program.
#pragma once

#include "installer/run_state.h"

// On return languageIndex and the background title are set; on a
// reinstallation state.reinstallation is true and state.installDirectory is
// the earlier installation's directory. state.sharedFilesText starts as the
// earlier installation's shared-file list.
void askInstallationQuestions(RunState& state);
