// The self-removal batch: its text for given paths, and what Wine's command
// interpreter does with it.
#include <gtest/gtest.h>

#include <string>

#include "files_child_process.h"
#include "files_test_support.h"
#include "installer/header_settings.h"
#include "placement_test_support.h"
#include "runtime/process_state.h"
#include "uninstaller/self_removal.h"

namespace {

const char Loop[] =
    "set QpDeleteTries=0\r\n"
    ":Repeat\r\n"
    "del \"C:\\Demo\\Uninst\\Uninstall.EXE\"\r\n"
    "if not exist \"C:\\Demo\\Uninst\\Uninstall.EXE\" goto Deleted\r\n"
    "set /a QpDeleteTries+=1\r\n"
    "if %QpDeleteTries% lss 3000 goto Repeat\r\n"
    ":Deleted\r\n";

TEST(SelfRemoval, BatchText) {
    const char self[] = "C:\\Demo\\Uninst\\Uninstall.EXE";
    const char batch[] = "C:\\Temp\\XXX1.tmp.bat";
    struct Case {
        const char* installDirectory;
        const char* uninstallSubdir;
        const char* self;
        std::string expected;
    } cases[] = {
        // Without a subfolder exactly one rd, for the installation directory.
        {"D:\\Apps\\Demo", "", self, std::string(Loop) + "rd \"D:\\Apps\\Demo\"\r\ndel \"C:\\Temp\\XXX1.tmp.bat\"\r\n"},
        // The subfolder before its parent, both after the loop, before the batch's own del.
        {"D:\\Apps\\Demo", "Uninst", self,
         std::string(Loop) + "rd \"D:\\Apps\\Demo\\Uninst\"\r\nrd \"D:\\Apps\\Demo\"\r\ndel \"C:\\Temp\\XXX1.tmp.bat\"\r\n"},
        // Blanks stay inside the quotes; percent signs are doubled so the
        // interpreter does not take them as variables.
        {"C:\\Program Files\\Demo 100%", "Un inst", self,
         std::string(Loop) + "rd \"C:\\Program Files\\Demo 100%%\\Un inst\"\r\nrd \"C:\\Program Files\\Demo 100%%\"\r\n"
                             "del \"C:\\Temp\\XXX1.tmp.bat\"\r\n"},
        // A subfolder that leaves the installation directory is not removed.
        {"D:\\Apps\\Demo", "..\\..", self, std::string(Loop) + "rd \"D:\\Apps\\Demo\"\r\ndel \"C:\\Temp\\XXX1.tmp.bat\"\r\n"},
        // A quote would end the path early and make the rest a command.
        {"D:\\Apps\\x\" & del /q C:\\* & \"", "", self, std::string(Loop) + "del \"C:\\Temp\\XXX1.tmp.bat\"\r\n"},
        {"D:\\Apps\\Demo", "", "C:\\Demo\\\"evil\".exe", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.installDirectory);
        EXPECT_EQ(text(selfRemovalBatch(c.self, c.installDirectory, c.uninstallSubdir, batch)), c.expected);
    }
}

// Run by Wine's interpreter: the loop deletes the file (and gives up on one
// that cannot go), the folders go when empty, and the batch deletes itself.
TEST(SelfRemoval, BatchRunsToTheEnd) {
    struct Case {
        const char* name;
        bool holdFile;  // keep the "uninstaller" open so that it cannot be deleted
    } cases[] = {{"free", false}, {"held", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string install = scratchFolder() + "\\" + c.name + " 100%";
        std::string uninst = install + "\\Uninst";
        ASSERT_TRUE(CreateDirectoryA(install.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(uninst.c_str(), nullptr));
        std::string self = uninst + "\\Uninstall.EXE";
        putFile(self, "MZ");
        std::string batch = scratchFolder() + "\\" + c.name + ".bat";
        putFile(batch, text(selfRemovalBatch(self.c_str(), install.c_str(), "Uninst", batch.c_str())));
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.holdFile)
            held = CreateFileA(self.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ProgramRun run = runProgram("cmd.exe /c \"\"" + batch + "\"\"", 120000);
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        EXPECT_FALSE(exists(batch));
        EXPECT_EQ(exists(self), c.holdFile);
        EXPECT_EQ(exists(uninst), c.holdFile);
        EXPECT_EQ(exists(install), c.holdFile);
    }
}

std::string tempFolder() {
    char buffer[MAX_PATH + 1] = {};
    GetTempPathA(sizeof buffer, buffer);
    return buffer;
}

bool waitUntilGone(const std::string& path, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        if (!exists(path)) return true;
        Sleep(100);
    }
    return !exists(path);
}

// The batch goes into the user's temporary folder under a new name of its
// own, runs on its own and leaves nothing behind; the fixed file in the
// root of drive C: that anybody could have prepared is never touched.
TEST(SelfRemoval, StartedFromTheTemporaryFolder) {
    std::string install = scratchFolder() + "\\Demo Tool";
    std::string uninst = install + "\\Uninst";
    ASSERT_TRUE(CreateDirectoryA(install.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(uninst.c_str(), nullptr));
    std::string self = uninst + "\\Uninstall.EXE";
    putFile(self, "MZ");
    putFile("C:\\delunins.bat", "echo somebody else's\r\n");
    int tempEntries = entryCount(tempFolder());
    uninstallSubdir = "Uninst";
    char interpreter[MAX_PATH + 1] = {};
    ExpandEnvironmentStringsA("%comspec%", interpreter, sizeof interpreter);
    commandInterpreter = interpreter;

    // Held open, the file cannot go yet: the batch keeps trying meanwhile.
    HANDLE held = CreateFileA(self.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    File batch;
    EXPECT_EQ(startSelfRemoval(self.c_str(), install.c_str(), batch), 0);
    EXPECT_EQ(entryCount(tempFolder()), tempEntries + 1);
    // While held, the batch can be neither rewritten nor swapped for another.
    std::string batchPath = batch.name().cStr();
    std::string written = fileBytes(batchPath);
    EXPECT_NE(written.find("del \"" + batchPath + "\""), std::string::npos) << written;
    EXPECT_EQ(CreateFileA(batchPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    const char swap[] = "C:\\qp-swap.bat";
    putFile(swap, "echo somebody else's\r\n");
    EXPECT_FALSE(MoveFileExA(swap, batchPath.c_str(), MOVEFILE_REPLACE_EXISTING));
    DeleteFileA(swap);
    EXPECT_FALSE(DeleteFileA(batchPath.c_str()));
    EXPECT_EQ(fileBytes(batchPath), written);
    // Released as at the end of the process, which lets the batch delete itself later.
    batch.close();
    Sleep(500);
    EXPECT_TRUE(exists(self));
    CloseHandle(held);
    EXPECT_TRUE(waitUntilGone(install, 60000));
    EXPECT_FALSE(exists(self));
    for (DWORD waited = 0; waited < 30000 && entryCount(tempFolder()) != tempEntries; waited += 100) Sleep(100);
    EXPECT_EQ(entryCount(tempFolder()), tempEntries);
    EXPECT_EQ(fileBytes("C:\\delunins.bat"), "echo somebody else's\r\n");
    uninstallSubdir.clear();
}

}  // namespace
