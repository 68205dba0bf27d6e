#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files_child_process.h"
#include "registry/registry.h"
#include "runtime/process_state.h"
#include "support/fatal_capture.h"

namespace {

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

// Each case starts without the test keys and leaves no key open behind it.
class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(currentKey(), nullptr);
        for (bool perUser : {false, true}) {
            deleteSoftwareKey("QpTest", perUser, 0);
            ASSERT_FALSE(softwareKeyExists("QpTest", perUser));
        }
    }
    void TearDown() override {
        EXPECT_EQ(currentKey(), nullptr) << "a key was left open";
        EXPECT_EQ(text(currentKeyPath()), "");
        while (currentKey()) closeKey();
    }
};

TEST_F(Registry, DispositionsAndTheDisplayPathFollowTheBrackets) {
    ASSERT_EQ(openSoftwareKey("QpTest\\Maker", false, 0), 2);
    HKEY maker = currentKey();
    EXPECT_EQ(text(currentKeyPath()), "HKEY_LOCAL_MACHINE\\Software\\QpTest\\Maker\\");
    ASSERT_EQ(openSubkey("Product", 0), 2);
    EXPECT_NE(currentKey(), maker);
    EXPECT_EQ(text(currentKeyPath()), "HKEY_LOCAL_MACHINE\\Software\\QpTest\\Maker\\Product\\");
    closeKey();
    EXPECT_EQ(currentKey(), maker);
    EXPECT_EQ(text(currentKeyPath()), "HKEY_LOCAL_MACHINE\\Software\\QpTest\\Maker\\");
    // A root as parent starts the path afresh even while another key is current.
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Software\\QpTest", 0), 2);
    EXPECT_EQ(text(currentKeyPath()), "HKEY_CURRENT_USER\\Software\\QpTest\\");
    closeKey();
    EXPECT_EQ(text(currentKeyPath()), "HKEY_LOCAL_MACHINE\\Software\\QpTest\\Maker\\");
    closeKey();

    EXPECT_EQ(openSoftwareKey("QpTest\\Maker", false, RegFlagOpenExisting), 1);
    EXPECT_EQ(openSubkey("Product", 0), 1);
    closeKey();
    closeKey();
    EXPECT_TRUE(softwareKeyExists("QpTest\\Maker\\Product", false));
    EXPECT_FALSE(softwareKeyExists("QpTest\\Maker\\Product", true));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, ""));
}

TEST_F(Registry, AFailedOpenChangesNothing) {
    EXPECT_EQ(openSubkey("Anything", 0), 0);  // no current key
    EXPECT_EQ(openSoftwareKey("QpTest\\Missing", false, RegFlagOpenExisting), 0);
    EXPECT_EQ(currentKey(), nullptr);
    ASSERT_EQ(openSoftwareKey("QpTest", false, 0), 2);
    HKEY key = currentKey();
    EXPECT_EQ(openSubkey("Missing", RegFlagOpenExisting), 0);
    EXPECT_EQ(currentKey(), key);
    EXPECT_EQ(text(currentKeyPath()), "HKEY_LOCAL_MACHINE\\Software\\QpTest\\");
    EXPECT_FALSE(softwareKeyExists("QpTest\\Missing", false));
    closeKey();
    // One close too many is a programming error, never a silent return.
    EXPECT_EQ(captureFatal([] { closeKey(); }), "Stack<HKEY__*>::pop");
}

TEST_F(Registry, TypedReadsConvertBetweenNumbersAndTexts) {
    ASSERT_EQ(openSoftwareKey("QpTest\\Values", true, 0), 2);
    std::string longText(100, 'x');
    longText += "end";
    ASSERT_TRUE(setString("Text", "12abc", 0));
    ASSERT_TRUE(setString("Negative", "-42 apples", 0));
    ASSERT_TRUE(setString("Letters", "abc", 0));
    ASSERT_TRUE(setString("Empty", "", 0));
    ASSERT_TRUE(setString("Long", longText.c_str(), 0));
    ASSERT_TRUE(setString("ExactlyFull", std::string(31, 'y').c_str(), 0));  // 32 bytes with the NUL
    ASSERT_TRUE(setInt("Number", -7, 0));
    ASSERT_TRUE(setBool("Yes", true));
    ASSERT_TRUE(setBool("No", false));
    ASSERT_EQ(RegSetValueExA(currentKey(), "NoData", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
    const BYTE binary[] = {'a', 0, 'b'};
    ASSERT_EQ(RegSetValueExA(currentKey(), "Binary", 0, REG_BINARY, binary, 3), ERROR_SUCCESS);
    const BYTE twoBytes[] = {1, 2};
    ASSERT_EQ(RegSetValueExA(currentKey(), "ShortDword", 0, REG_DWORD, twoBytes, 2), ERROR_SUCCESS);

    struct Case {
        const char* name;
        std::string asString;
        int32_t asInt;
        bool asBool;
    } cases[] = {
        {"Text", "12abc", 12, true},
        {"Negative", "-42 apples", -42, true},
        {"Letters", "abc", 0, true},
        {"Empty", "", 0, false},
        {"NoData", "", 0, false},
        {"Long", longText, 0, true},
        {"ExactlyFull", std::string(31, 'y'), 0, true},
        {"Number", "-7", -7, true},
        {"Yes", "1", 1, true},
        {"No", "0", 0, false},
        {"Binary", std::string("a\0b", 3), 0, true},
        {"Missing", "default", 99, true},      // the defaults come back
        {"ShortDword", "default", 99, true},   // a DWORD must have 4 bytes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(text(getString(c.name, "default", 0)), c.asString);
        EXPECT_EQ(getInt(c.name, 99, 0), c.asInt);
        EXPECT_EQ(getBool(c.name, true, 0), c.asBool);
    }
    RegistryValue value;
    ASSERT_TRUE(queryValue("Long", value, 0));
    EXPECT_FALSE(value.isNumber);
    EXPECT_EQ(value.text.length(), 103);  // no NUL carried over from the second query
    ASSERT_TRUE(queryValue("Number", value, 0));
    EXPECT_TRUE(value.isNumber);
    EXPECT_EQ(value.number, -7);
    closeKey();
}

TEST_F(Registry, AMissingRequiredValueIsFatalAndNamesTheKey) {
    ASSERT_EQ(openSoftwareKey("QpTest\\Maker", false, 0), 2);
    ASSERT_TRUE(setString("Present", "here", 0));
    EXPECT_EQ(text(getString("Present", "", RegFlagRequired)), "here");
    std::string report = captureFatal([] { getString("InstallDir", "", RegFlagRequired); });
    EXPECT_EQ(report,
              "The following registry key is required by Quillpack, but is invalid or does not exist:\n\n"
              "HKEY_LOCAL_MACHINE\\Software\\QpTest\\Maker\\InstallDir\n\n"
              "If you have tried moving this program to a different computer by copying files, this will not "
              "work.  This program must be reinstalled.");
    closeKey();
}

TEST_F(Registry, WritingEmptyWithDeleteIfEmptyRemovesTheValue) {
    ASSERT_EQ(openSoftwareKey("QpTest", false, 0), 2);
    ASSERT_TRUE(setString("Text", "x", 0));
    ASSERT_TRUE(setInt("Number", 5, 0));
    EXPECT_TRUE(valueExists("Text"));
    EXPECT_TRUE(valueExists("Number"));

    EXPECT_TRUE(setString("Text", "", RegFlagDeleteIfEmpty));
    EXPECT_FALSE(valueExists("Text"));
    EXPECT_FALSE(setString("Text", "", RegFlagDeleteIfEmpty));  // nothing left to delete
    EXPECT_TRUE(setInt("Number", 0, RegFlagDeleteIfEmpty));
    EXPECT_FALSE(valueExists("Number"));
    EXPECT_TRUE(setInt("Number", 0, RegFlagDeleteIfEmpty));  // success even without a value

    // Without the flag the empty values are written.
    EXPECT_TRUE(setString("Text", "", 0));
    EXPECT_TRUE(setInt("Number", 0, 0));
    EXPECT_TRUE(valueExists("Text"));
    EXPECT_TRUE(valueExists("Number"));
    EXPECT_TRUE(deleteValue("Text"));
    EXPECT_FALSE(deleteValue("Text"));
    EXPECT_FALSE(deleteValue(nullptr));
    closeKey();
    EXPECT_FALSE(setString("Text", "x", 0));  // no current key
    EXPECT_FALSE(valueExists("Number"));
}

TEST_F(Registry, ListsSubkeysAndTellsEmptiness) {
    ASSERT_EQ(openSoftwareKey("QpTest\\Parent", false, 0), 2);
    NameList names;
    SetLastError(5);
    EXPECT_EQ(listSubkeys(names), 0);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_TRUE(isKeyEmpty());
    const char* children[] = {"Alpha", "Beta", "Gamma"};
    for (const char* child : children) {
        ASSERT_EQ(openSubkey(child, 0), 2);
        closeKey();
    }
    EXPECT_FALSE(isKeyEmpty());
    EXPECT_EQ(listSubkeys(names), 3);
    ASSERT_EQ(names.count(), 3);
    std::vector<std::string> listed;
    Iterator it;
    for (String* name = names.first(it); name; name = names.next(it)) listed.push_back(text(*name));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, std::vector<std::string>({"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(GetLastError(), 0u);

    EXPECT_TRUE(isSubkeyEmpty("Alpha"));
    ASSERT_EQ(openSubkey("Beta", 0), 1);
    ASSERT_TRUE(setInt("Count", 1, 0));
    closeKey();
    EXPECT_FALSE(isSubkeyEmpty("Beta"));
    EXPECT_TRUE(isSubkeyEmpty("Delta"));  // looking creates it
    EXPECT_EQ(listSubkeys(names), 4);
    closeKey();
}

TEST_F(Registry, DeleteSubkeyRemovesTheWholeTree) {
    ASSERT_EQ(openSoftwareKey("QpTest\\Tree\\Top\\A\\Deep", false, 0), 2);
    ASSERT_TRUE(setString("Leaf", "x", 0));
    closeKey();
    ASSERT_EQ(openSoftwareKey("QpTest\\Tree\\Top\\B", false, 0), 2);
    closeKey();
    ASSERT_EQ(openSoftwareKey("QpTest\\Tree\\Top", false, 0), 1);
    ASSERT_TRUE(setInt("Value", 3, 0));
    closeKey();

    ASSERT_EQ(openSoftwareKey("QpTest\\Tree", false, 0), 1);
    EXPECT_FALSE(deleteSubkey("Top", RegFlagOnlyIfEmpty));
    EXPECT_TRUE(softwareKeyExists("QpTest\\Tree\\Top\\A\\Deep", false));
    EXPECT_TRUE(deleteSubkey("Top", 0));
    EXPECT_FALSE(softwareKeyExists("QpTest\\Tree\\Top", false));
    EXPECT_TRUE(deleteSubkey("NeverThere", 0));  // created and removed
    EXPECT_FALSE(softwareKeyExists("QpTest\\Tree\\NeverThere", false));
    EXPECT_FALSE(deleteSubkey("", 0));
    EXPECT_TRUE(isKeyEmpty());
    closeKey();
    EXPECT_FALSE(deleteSubkey("Tree", 0));  // no current key

    ASSERT_EQ(openSoftwareKey("QpTest\\Other\\Child", true, 0), 2);
    closeKey();
    EXPECT_TRUE(deleteSoftwareSubkey("QpTest", "Other", true, 0));
    EXPECT_FALSE(softwareKeyExists("QpTest\\Other", true));
    EXPECT_TRUE(softwareKeyExists("QpTest", true));
    EXPECT_TRUE(deleteSoftwareKey("QpTest", true, 0));
    EXPECT_FALSE(softwareKeyExists("QpTest", true));
}

TEST_F(Registry, DeleteSoftwareKeyTreeTakesTheParentOnlyWhenEmpty) {
    auto make = [](const char* path) {
        ASSERT_NE(openSoftwareKey(path, false, 0), 0) << path;
        closeKey();
    };
    // Maker\Product: Maker goes once it is empty...
    make("QpTest\\Maker\\Product\\Settings");
    deleteSoftwareKeyTree("QpTest\\Maker\\Product", false);
    EXPECT_FALSE(softwareKeyExists("QpTest\\Maker\\Product", false));
    EXPECT_FALSE(softwareKeyExists("QpTest\\Maker", false));
    // ...and survives while it holds a value.
    make("QpTest\\Maker\\Product");
    ASSERT_EQ(openSoftwareKey("QpTest\\Maker", false, 0), 1);
    ASSERT_TRUE(setString("Owner", "kept", 0));
    closeKey();
    deleteSoftwareKeyTree("QpTest\\Maker\\Product", false);
    EXPECT_FALSE(softwareKeyExists("QpTest\\Maker\\Product", false));
    EXPECT_TRUE(softwareKeyExists("QpTest\\Maker", false));

    // Top\Middle\Leaf: Leaf goes, Middle only when empty, Top never.
    make("QpTest\\Top\\Middle\\Leaf\\Below");
    make("QpTest\\Top\\Middle\\Sibling");
    deleteSoftwareKeyTree("QpTest\\Top\\Middle\\Leaf", false);
    EXPECT_FALSE(softwareKeyExists("QpTest\\Top\\Middle\\Leaf", false));
    EXPECT_TRUE(softwareKeyExists("QpTest\\Top\\Middle\\Sibling", false));
    make("QpTest\\Top\\Middle\\Leaf");
    ASSERT_EQ(openSoftwareKey("QpTest\\Top\\Middle", false, 0), 1);
    ASSERT_TRUE(deleteSubkey("Sibling", 0));
    closeKey();
    deleteSoftwareKeyTree("QpTest\\Top\\Middle\\Leaf", false);
    EXPECT_FALSE(softwareKeyExists("QpTest\\Top\\Middle", false));
    EXPECT_TRUE(softwareKeyExists("QpTest\\Top", false));  // empty, but above the parent

    // One component: the key alone.
    make("QpSingle\\Inner");
    deleteSoftwareKeyTree("QpSingle", false);
    EXPECT_FALSE(softwareKeyExists("QpSingle", false));
    EXPECT_TRUE(softwareKeyExists("Microsoft", false));
}

TEST_F(Registry, GetStringAtSplitsKeyAndValueName) {
    ASSERT_EQ(openSoftwareKey("QpTest\\Folders", true, 0), 2);
    ASSERT_TRUE(setString("Desktop", "C:\\Desk", 0));
    ASSERT_TRUE(setInt("Count", 12, 0));
    closeKey();
    struct Case {
        HKEY root;
        const char* fullPath;
        const char* expected;
    } cases[] = {
        {HKEY_CURRENT_USER, "Software\\QpTest\\Folders\\Desktop", "C:\\Desk"},
        {HKEY_CURRENT_USER, "Software\\QpTest\\Folders\\Count", "12"},
        {HKEY_CURRENT_USER, "Software\\QpTest\\Folders\\Missing", ""},  // not the default
        {HKEY_CURRENT_USER, "Software\\QpTest\\Folders\\", "default"},  // no value name
        {HKEY_CURRENT_USER, "", "default"},
        {HKEY_LOCAL_MACHINE, "Software\\QpTest\\Folders\\Desktop", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fullPath);
        EXPECT_EQ(text(getStringAt(c.root, c.fullPath, "default", 0)), c.expected);
    }
}

TEST_F(Registry, ErrorsAreShownOnlyWhenAsked) {
    automaticMode = true;  // no box may block the run
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(reportRegistryError(0));
    EXPECT_TRUE(reportRegistryError(RegFlagReportErrors));
    SetLastError(0);
    EXPECT_FALSE(reportRegistryError(RegFlagReportErrors));
    automaticMode = false;
}

// Wine's own reg.exe sees what the module wrote: the registry is the real one.
TEST_F(Registry, ValuesReadBackWithRegQuery) {
    ASSERT_EQ(openSoftwareKey("QpTest\\Product", false, 0), 2);
    ASSERT_TRUE(setString("InstallDir", "C:\\Program Files\\Widget", 0));
    ASSERT_TRUE(setInt("Shared", 0x2A, 0));
    ASSERT_TRUE(setString("Gone", "soon", 0));
    ASSERT_TRUE(setString("Gone", "", RegFlagDeleteIfEmpty));
    closeKey();
    ProgramRun query = runProgram("reg.exe query \"HKLM\\Software\\QpTest\\Product\"");
    ASSERT_EQ(query.exitCode, 0u) << query.output;
    EXPECT_NE(query.output.find("InstallDir    REG_SZ    C:\\Program Files\\Widget"), std::string::npos)
        << query.output;
    EXPECT_NE(query.output.find("Shared    REG_DWORD    0x2a"), std::string::npos) << query.output;
    EXPECT_EQ(query.output.find("Gone"), std::string::npos) << query.output;

    deleteSoftwareKeyTree("QpTest\\Product", false);
    query = runProgram("reg.exe query \"HKLM\\Software\\QpTest\"");
    EXPECT_NE(query.exitCode, 0u) << query.output;  // the emptied parent went too
}

}  // namespace
