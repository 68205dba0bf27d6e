// The restart at the end of an installation needs the shutdown privilege
// enabled in the process's token. Only the privilege is tested here: the
// restart itself would end every program of the test's prefix.
#include <gtest/gtest.h>

#include "files/win32.h"
#include "installer/windows_restart.h"

namespace {

// The attributes of SeShutdownPrivilege in this process's token; -1 when
// the token does not hold it.
long shutdownPrivilegeAttributes() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return -1;
    LUID shutdown = {};
    LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &shutdown);
    alignas(TOKEN_PRIVILEGES) char buffer[4096];
    DWORD size = 0;
    long attributes = -1;
    if (GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size)) {
        const TOKEN_PRIVILEGES* list = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
        for (DWORD i = 0; i < list->PrivilegeCount; ++i)
            if (list->Privileges[i].Luid.LowPart == shutdown.LowPart &&
                list->Privileges[i].Luid.HighPart == shutdown.HighPart)
                attributes = static_cast<long>(list->Privileges[i].Attributes);
    }
    CloseHandle(token);
    return attributes;
}

TEST(WindowsRestart, ShutdownPrivilegeIsEnabledBeforeTheRestart) {
    long before = shutdownPrivilegeAttributes();
    ASSERT_NE(before, -1) << "the administrator's token holds the privilege";
    // A process starts with it held but not enabled: without the step below
    // ExitWindowsEx would be refused.
    EXPECT_EQ(before & SE_PRIVILEGE_ENABLED, 0);
    EXPECT_TRUE(enableShutdownPrivilege());
    EXPECT_NE(shutdownPrivilegeAttributes() & SE_PRIVILEGE_ENABLED, 0);
}

}  // namespace
