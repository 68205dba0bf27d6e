// The installation log "Install.LOG" in the uninstall folder: one section per
// installation, appended below the sections of earlier ones.
#pragma once

#include "core/str.h"

// problems: the run's failure lines (the log's body); details: the per-file
// decisions, put in front of it. Outside automatic mode, with offerToShow,
// the user is asked whether to open a log with problems, or told that the
// installation went well. The log is written when there are problems or
// details, or with FlagAlwaysWriteLog in flags.
void writeInstallLog(String problems, const String& details, const String& directory, bool reinstallation,
                     bool offerToShow, uint32_t flags);

// The version this installer reports in its log.
extern const double InstallerVersion;
