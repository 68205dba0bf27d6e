// The application manifest travels in the program's resources and takes
// effect: common controls 6 are the ones loaded.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "files/win32.h"

namespace {

std::string manifestText() {
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    if (!resource) return std::string();
    HGLOBAL loaded = LoadResource(nullptr, resource);
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    return std::string(bytes, SizeofResource(nullptr, resource));
}

TEST(UiManifest, AsksForAdministratorDpiAwarenessAndCommonControlsSix) {
    std::string text = manifestText();
    ASSERT_FALSE(text.empty());
    const char* required[] = {"level=\"requireAdministrator\"", ">true</dpiAware>",
                              "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""};
    for (const char* part : required) EXPECT_NE(text.find(part), std::string::npos) << part;
}

TEST(UiManifest, CommonControlsSixAreLoaded) {
    // The manifest redirects comctl32.dll to the side-by-side assembly of
    // version 6 (Wine's copy still reports 5.81 from DllGetVersion, so the
    // module's location is what tells).
    HMODULE comctl = LoadLibraryA("comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(comctl, path, sizeof path);
    std::string lower(path);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
#ifdef _WIN64
    const char* assembly = "\\winsxs\\amd64_microsoft.windows.common-controls_6595b64144ccf1df_6.";
#else
    const char* assembly = "\\winsxs\\x86_microsoft.windows.common-controls_6595b64144ccf1df_6.";
#endif
    EXPECT_NE(lower.find(assembly), std::string::npos) << path;
}

}  // namespace
