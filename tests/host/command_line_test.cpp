#include <gtest/gtest.h>

#include <string>

#include "installer/command_line.h"

namespace {

struct Parsed {
    bool ok;
    std::string error;
    CommandLineOptions options;
};

Parsed parse(const char* line) {
    Parsed p;
    String error;
    p.ok = parseCommandLine(String(line), p.options, error);
    p.error = error.cStr();
    return p;
}

TEST(CommandLine, AcceptedAtoms) {
    struct Case {
        const char* line;
        bool automatic, uninstall;
        const char* directory;
        const char* product;
    } cases[] = {
        {"", false, false, "", ""},
        {"/A", true, false, "", ""},
        {"-a", true, false, "", ""},
        {"/a", true, false, "", ""},
        {"/d:\"C:\\Program Files\\X\"", false, false, "C:\\Program Files\\X", ""},
        {"/D:C:\\Tools", false, false, "C:\\Tools", ""},
        {"/u:\"My Product\"", false, true, "", "My Product"},
        {"/n:Name /u", false, true, "", "Name"},
        {"/n:One /n:Two", false, false, "", "Two"},
        {"/u:Name /a", true, true, "", "Name"},
        {"/", false, false, "", ""},
        {"- /a", true, false, "", ""},
        {"/a   ", true, false, "", ""},
        {"  \t/a\r\n", true, false, "", ""},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.line);
        ASSERT_TRUE(p.ok) << c.line << ": " << p.error;
        EXPECT_EQ(p.options.automaticMode, c.automatic) << c.line;
        EXPECT_EQ(p.options.uninstallRequested, c.uninstall) << c.line;
        EXPECT_STREQ(p.options.installDirectoryOverride.cStr(), c.directory) << c.line;
        EXPECT_STREQ(p.options.productName.cStr(), c.product) << c.line;
    }
}

// /norestart holds back the restart that pending replacements would need;
// it is one whole word, in any case, and mixes with the other words.
TEST(CommandLine, NoRestartWord) {
    struct Case {
        const char* line;
        bool noRestart, automatic;
    } cases[] = {
        {"", false, false},
        {"/a", false, true},
        {"/norestart", true, false},
        {"/a /NoRestart", true, true},
        {"-NORESTART /a /d:C:\\X", true, true},
        {"/n:norestart", false, false},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.line);
        ASSERT_TRUE(p.ok) << c.line << ": " << p.error;
        EXPECT_EQ(p.options.noRestart, c.noRestart) << c.line;
        EXPECT_EQ(p.options.automaticMode, c.automatic) << c.line;
    }
    for (const char* line : {"/norestarts", "/norestart:yes", "/no"}) {
        Parsed p = parse(line);
        EXPECT_FALSE(p.ok) << line;
        EXPECT_EQ(p.error, std::string("Illegal command line atom:\n") + (line + 1)) << line;
    }
}

TEST(CommandLine, RejectedAtoms) {
    struct Case {
        const char* line;
        const char* error;
    } cases[] = {
        {"/x", "Illegal command line atom:\nx"},
        {"/ab", "Illegal command line atom:\nab"},
        {"/dC:\\Tools", "Illegal command line atom:\ndC:\\Tools"},
        {"setup.exe", "Unexpected command line parameter:\nsetup.exe"},
        {"/a bare /x", "Unexpected command line parameter:\nbare"},
        {"/u", "Product name required"},
        {"/ufoo", "Product name required"},
        {"/u:\"\"", "Product name required"},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.line);
        EXPECT_FALSE(p.ok) << c.line;
        EXPECT_EQ(p.error, c.error) << c.line;
    }
}

TEST(CommandLine, OnlyNineteenAtomsAreRead) {
    std::string nineteen;
    for (int i = 0; i < 19; ++i) nineteen += "/a ";
    Parsed ignored = parse((nineteen + "/illegal").c_str());
    EXPECT_TRUE(ignored.ok) << ignored.error;
    Parsed read = parse((nineteen.substr(3) + "/illegal").c_str());
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.error, "Illegal command line atom:\nillegal");
}

TEST(CommandLine, ProgramPathFromProcessCommandLine) {
    struct Case {
        const char* line;
        const char* path;
    } cases[] = {
        {"\"C:\\Program Files\\Setup Dir\\setup.exe\" /a", "C:\\Program Files\\Setup Dir\\setup.exe"},
        {"setup /a", "setup.EXE"},
        {"  C:\\dist\\setup.exe", "C:\\dist\\setup.exe"},
        {"C:\\v1.2\\setup\t/a", "C:\\v1.2\\setup\t/a.EXE"},
        {"C:\\v1.2\\setup", "C:\\v1.2\\setup.EXE"},
    };
    for (const Case& c : cases) EXPECT_STREQ(programPathFromCommandLine(String(c.line)).cStr(), c.path) << c.line;
}

}  // namespace
