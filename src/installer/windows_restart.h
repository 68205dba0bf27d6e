// Restarting Windows at the end of an installation whose files wait for the
// next restart. A log-off would not do: Windows carries out the pending
// replacements only when it starts again.
#pragma once

// Enables the process's shutdown privilege (Windows NT line); false when
// the account does not hold it.
bool enableShutdownPrivilege();

// Asks Windows to restart; on the Windows NT line the process first enables
// its shutdown privilege, without which the request is refused. False when
// Windows refused.
bool restartWindows(bool windowsNT);
