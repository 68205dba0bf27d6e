// Batch scripts: the bytes of the prepared script, and real runs through the
// system's command interpreter checked by the files the scripts leave.
//
// Wine: a "pause" continues at once when stdin is closed and no console is
// shown, so pause-line removal is checked on the prepared bytes, not by a
// run that would hang; the harness gives each case a timeout and no stdin.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "archive/archive_format.h"
#include "files_child_process.h"
#include "files_test_support.h"
#include "installer/batch_script.h"
#include "placement_test_support.h"
#include "runtime/process_state.h"

namespace {

std::string systemFolder() {
    char buffer[MAX_PATH];
    GetSystemDirectoryA(buffer, sizeof buffer);
    return buffer;
}

std::string ownPath() {
    char buffer[MAX_PATH];
    GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return buffer;
}

std::string tempFolder() {
    char buffer[MAX_PATH + 1];
    GetTempPathA(sizeof buffer, buffer);
    std::string folder = buffer;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

// The SET block as the interpreter needs it for plain values.
std::string setBlock(const std::string& dir, const std::string& shared) {
    std::string own = ownPath();
    size_t slash = own.rfind('\\');
    return "SET InstallDir=" + dir + "\r\nSET InstallDrive=" + std::string(1, dir[0]) + ":\r\nSET SharedDir=" +
           shared + "\r\nSET InstallerFilepath=" + own + "\r\nSET InstallerDir=" + own.substr(0, slash) +
           "\r\nSET InstallerFilename=" + own.substr(slash + 1) + "\r\nSET SystemDir=" + systemFolder() + "\r\n";
}

class BatchScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = scratchFolder();
        char comspec[MAX_PATH];
        ASSERT_GT(ExpandEnvironmentStringsA("%comspec%", comspec, sizeof comspec), 0u);
        commandInterpreter = comspec;
        automaticMode = true;
        tempEntries = entryCount(tempFolder());
    }
    void TearDown() override {
        commandInterpreter.clear();
        automaticMode = false;
    }
    std::string dir;
    int tempEntries = 0;
};

TEST_F(BatchScriptTest, PreparedScriptBytes) {
    const std::string pauses = "echo a\n  @ pause \t\npause now\necho PAUSE\nPause\n";
    struct Case {
        const char* directory;
        std::string script;
        bool withoutPauses;
        std::string body;  // after "@echo off" and any SET block
    } cases[] = {
        {"C:\\Apps\\Demo", "echo a\nrem b\n", false, "echo a\r\nrem b\r\n"},
        {"C:\\Apps\\Demo", "echo a\r\nrem b\r\n", false, "echo a\r\nrem b\r\n"},
        {"C:\\Apps\\Demo", "echo a\r\nrem b", true, "echo a\r\nrem b\r\n"},
        {"C:\\Apps\\Demo", pauses, true, "echo a\r\npause now\r\necho PAUSE\r\n"},
        {"C:\\Apps\\Demo", pauses, false, "echo a\r\n  @ pause \t\r\npause now\r\necho PAUSE\r\nPause\r\n"},
        {"", "echo a\n", false, "echo a\r\n"},
    };
    for (const Case& c : cases) {
        std::string expected = "@echo off\r\n";
        if (*c.directory) expected += setBlock(c.directory, "C:\\Shared");
        expected += c.body;
        EXPECT_EQ(text(preparedScript(c.directory, c.script.c_str(), "C:\\Shared", c.withoutPauses)), expected)
            << c.directory << " | " << c.script;
    }
}

// A folder may hold & or %: as a plain SET line the rest would run as a
// command or vanish as a variable.
TEST_F(BatchScriptTest, SpecialCharactersInValuesStayInTheValue) {
    std::string prepared = text(preparedScript("C:\\A&B%x%", "", "C:\\S|T", false));
    EXPECT_NE(prepared.find("SET \"InstallDir=C:\\A&B%%x%%\"\r\n"), std::string::npos) << prepared;
    EXPECT_NE(prepared.find("SET \"SharedDir=C:\\S|T\"\r\n"), std::string::npos) << prepared;
    EXPECT_NE(prepared.find("SET InstallDrive=C:\r\n"), std::string::npos) << prepared;

    std::string odd = dir + "\\a&b";
    ASSERT_TRUE(CreateDirectoryA(odd.c_str(), nullptr));
    ASSERT_TRUE(runScript(odd.c_str(), "echo \"%InstallDir%\">\"%InstallDir%\\out.txt\"\n", "", 0));
    EXPECT_EQ(fileBytes(odd + "\\out.txt"), "\"" + odd + "\"\r\n");
}

TEST_F(BatchScriptTest, RunsInTheDirectoryWithItsValues) {
    std::string shared = "C:\\Shared Files";
    const char* script = "echo %InstallDir%>out.txt\r\necho %SharedDir%>>out.txt\r\ncd>>out.txt\r\n"
                         "echo %~dp0>>out.txt\r\n";
    for (uint32_t flags : {0u, static_cast<uint32_t>(FlagHiddenScripts)}) {
        DeleteFileA((dir + "\\out.txt").c_str());
        ASSERT_TRUE(runScript(dir.c_str(), script, shared.c_str(), flags));
        std::string out = fileBytes(dir + "\\out.txt");
        // The script file itself lives in a private folder under the user's
        // temporary folder, not in the (maybe shared) installation folder.
        std::string head = dir + "\r\n" + shared + "\r\n" + dir + "\r\n" + tempFolder() + "\\";
        EXPECT_EQ(out.substr(0, head.size()), head) << out;
        EXPECT_EQ(entryCount(dir), 1) << "only out.txt stays";
        EXPECT_EQ(entryCount(tempFolder()), tempEntries) << "the private folder is removed";
    }
}

// The first line of a file once it is complete; empty when none came in time.
std::string waitForLine(const std::string& path, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        std::string bytes = fileBytes(path);
        size_t end = bytes.find("\r\n");
        if (end != std::string::npos) {
            while (end > 0 && bytes[end - 1] == ' ') --end;
            return bytes.substr(0, end);
        }
        Sleep(50);
    }
    return std::string();
}

// While the script runs, another process tries to overwrite, replace and
// delete both batch files with its own: every try fails, the files keep
// their bytes, and only the installer's script runs.
TEST_F(BatchScriptTest, BatchFilesCannotBeChangedWhileTheScriptRuns) {
    const std::string where = dir + "\\where.txt", go = dir + "\\go.txt", out = dir + "\\out.txt";
    const std::string evil = dir + "\\evil.bat";
    putFile(evil, "@echo off\r\necho intruder>>\"" + out + "\"\r\n");
    // The script says where it is, then waits for the go-ahead.
    const char* script = "echo %~f0>where.txt\r\n:wait\r\nif not exist go.txt goto wait\r\necho installer>>out.txt\r\n";
    bool ran = false;
    std::thread installer([&] { ran = runScript(dir.c_str(), script, "", 0); });

    std::string scriptPath = waitForLine(where, 30000);
    if (scriptPath.empty()) {
        putFile(go, "");
        installer.join();
        FAIL() << "the script did not start";
    }
    std::string launcherPath = scriptPath.substr(0, scriptPath.rfind('\\') + 1) + "KELVOR1.BAT";
    for (const std::string& path : {scriptPath, launcherPath}) {
        SCOPED_TRACE(path);
        std::string before = fileBytes(path);
        ASSERT_NE(before, "<missing>");
        for (const char* command : {"copy /y", "move /y"}) {
            runProgram("cmd.exe /c " + std::string(command) + " \"" + evil + "\" \"" + path + "\"");
            EXPECT_EQ(fileBytes(path), before) << command;
        }
        runProgram("cmd.exe /c del \"" + path + "\"");
        EXPECT_EQ(fileBytes(path), before) << "del";
        HANDLE opened = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(opened, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (opened != INVALID_HANDLE_VALUE) CloseHandle(opened);
    }
    putFile(go, "");
    installer.join();
    EXPECT_TRUE(ran);
    EXPECT_EQ(fileBytes(out), "installer\r\n");
    // (runProgram's own output files may linger in the temporary folder under
    // Wine, so the folder itself is looked for, not the count.)
    EXPECT_FALSE(exists(scriptPath.substr(0, scriptPath.rfind('\\')))) << "the private folder is removed";
}

TEST_F(BatchScriptTest, BlankScriptRunsNothing) {
    for (const char* script : {"", " \r\n\t\n", "\n\n"}) {
        EXPECT_TRUE(runScript(dir.c_str(), script, "", 0));
        EXPECT_EQ(entryCount(dir), 0);
        EXPECT_EQ(entryCount(tempFolder()), tempEntries);
    }
}

TEST_F(BatchScriptTest, ScriptsThatCannotStartStillCleanUp) {
    commandInterpreter = "C:\\nowhere\\none.exe";
    // The launcher starts (it is a batch file) but cannot start the script:
    // the run still ends and cleans up.
    EXPECT_TRUE(runScript(dir.c_str(), "echo x>out.txt\n", "", 0));
    EXPECT_FALSE(exists(dir + "\\out.txt"));
    EXPECT_EQ(entryCount(tempFolder()), tempEntries);
    // A directory that does not exist cannot be the script's current directory.
    EXPECT_FALSE(runScript((dir + "\\missing").c_str(), "echo x>out.txt\n", "", 0));
    EXPECT_EQ(entryCount(tempFolder()), tempEntries);
}

}  // namespace
