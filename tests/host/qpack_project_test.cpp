// Project files: what a good one sets, and that every bad one is refused
// with its file, line and problem.
#include <gtest/gtest.h>

#include <string>

#include "qpack/ansi_text.h"
#include "qpack/content_builder.h"
#include "qpack/message_file.h"
#include "qpack/project.h"

namespace {

const char Minimal[] = "[Product]\nName = P\n[Files]\na.txt\n";

TEST(QpackProject, ReadsEverySettingOfAFullProject) {
    const std::string text =
        "; comment\n"
        "[Product]\n"
        "Name = Quill Notes\n"
        "Publisher = \" Spaced \"\n"
        "Version = 1.2\n"
        "DefaultDirectory = <os>\\Quill\n"
        "StartMenuFolder = Menu\n"
        "RegistryKey = Pub\\Quill\n"
        "UninstallSubdir = Un\n"
        "MasterProduct = Base\n"
        "UninstallerTime = 2024-02-29 23:59:58\n"
        "ArchiveDate = 2023-01-31\n"
        "[Flags]\n"
        "register-product = yes\n"
        "test-checksums = no\n"
        "extends-product = on\n"
        "COMPRESSED-PAYLOAD = 1\n"
        "[Appearance]\n"
        "TitleColor = #123456\n"
        "TopColor = #ABCDEF\n"
        "BottomColor = #000001\n"
        "Picture = art/bg.bmp\n"
        "[Texts]\n"
        "License = lic.txt\n"
        "[Scripts]\n"
        "Final = final.bat\n"
        "[Script PreInstall]\n"
        "@echo off\n"
        "  echo [not a section\n"
        "\n"
        "[Languages]\n"
        "English = builtin\n"
        "Deutsch = de.msg\n"
        "[Build]\n"
        "Level = 9\n"
        "VolumeSize = 2K\n"
        "CompressHeader = no\n"
        "[Files]\n"
        "bin\\a.exe | shortcuts=desktop,program-group | shortcut-name=A | mode=if-missing\n"
        "docs\\*.txt | target=Docs\\ | recurse\n"
        "f.ttf | kind=font | font-name=Face | time=none\n"
        "s.dll | kind=system | version=1.2 | time=2020-01-02 03:04:05\n";
    Project p = parseProject(text, "/proj/x.qpp");
    EXPECT_EQ(p.productName, "Quill Notes");
    EXPECT_EQ(p.publisher, " Spaced ");
    EXPECT_EQ(p.defaultDirectory, "<os>\\Quill");
    EXPECT_EQ(p.masterProduct, "Base");
    EXPECT_EQ(p.uninstallerTime, (ArchiveTime{2024, 2, 29, 23, 59, 58}));
    EXPECT_EQ(p.archiveDate, (ArchiveDate{31, 1, 2023}));
    EXPECT_EQ(p.flags, uint32_t(FlagRegisterProduct | FlagExtendsProduct | FlagCompressedPayload));
    EXPECT_EQ(p.titleColor, 0x563412u);
    EXPECT_EQ(p.topColor, 0xEFCDABu);
    EXPECT_EQ(p.bottomColor, 0x010000u);
    EXPECT_EQ(p.picture, std::filesystem::path("/proj/art/bg.bmp"));
    EXPECT_EQ(p.licence.file, std::filesystem::path("/proj/lic.txt"));
    EXPECT_EQ(p.scripts[ScriptFinal].file, std::filesystem::path("/proj/final.bat"));
    EXPECT_EQ(p.scripts[ScriptPreInstall].text, "@echo off\r\n  echo [not a section\r\n");
    ASSERT_EQ(p.languages.size(), 2u);
    EXPECT_TRUE(p.languages[0].messageFile.empty());
    EXPECT_EQ(p.languages[1].messageFile, std::filesystem::path("/proj/de.msg"));
    EXPECT_EQ(p.compressionLevel, 9);
    EXPECT_EQ(p.volumeSize, 2048);
    EXPECT_FALSE(p.compressHeader);
    ASSERT_EQ(p.files.size(), 4u);
    EXPECT_EQ(p.files[0].shortcutFlags, FileDesktopShortcut | FileProgramGroupShortcut);
    EXPECT_EQ(p.files[0].mode, PlaceOnlyIfMissing);
    EXPECT_EQ(p.files[0].shortcutName, "A");
    EXPECT_EQ(p.files[0].line, 39);
    EXPECT_TRUE(p.files[1].wildcard);
    EXPECT_TRUE(p.files[1].recurse);
    EXPECT_EQ(p.files[1].target, "Docs\\");
    EXPECT_EQ(p.files[2].kind, KindFont);
    EXPECT_TRUE(p.files[2].timeGiven);
    EXPECT_EQ(p.files[2].time.month, 0);
    EXPECT_EQ(p.files[3].kind, KindSystem);
    EXPECT_EQ(p.files[3].version, "1.2");
    EXPECT_EQ(p.files[3].time, (ArchiveTime{2020, 1, 2, 3, 4, 5}));
}

TEST(QpackProject, ChecksumTestIsOnByDefault) {
    EXPECT_EQ(parseProject(Minimal, "m.qpp").flags, uint32_t(FlagTestChecksums));
}

TEST(QpackProject, RefusesBadProjectsNamingFileLineAndProblem) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"[Product]\nName = P\n[Flags]\nturbo = yes\n[Files]\na\n", "bad.qpp:4: unknown flag 'turbo'"},
        {"[Product]\nName = P\n[Flags]\nautomatic = maybe\n[Files]\na\n", "bad.qpp:4: expected yes or no"},
        {"[Product]\nName = P\n[Appearance]\nTopColor = #12345\n[Files]\na\n", "bad.qpp:4: bad colour '#12345'"},
        {"[Product]\nName = P\n[Appearance]\nTopColor = 123456\n[Files]\na\n", "bad.qpp:4: bad colour"},
        {"[Product]\nName = P\n[Appearance]\nTopColor = #GG0000\n[Files]\na\n", "bad.qpp:4: bad colour"},
        {"[Product]\nName = P\n[Files]\na.txt | target=..\\evil.txt\n", "bad.qpp:4: unsafe target name"},
        {"[Product]\nName = P\n[Files]\na.txt | target=C:\\evil.txt\n", "bad.qpp:4: unsafe target name"},
        {"[Product]\nName = P\n[Files]\na.txt | target=\\evil.txt\n", "bad.qpp:4: unsafe target name"},
        {"[Product]\nName = P\n[Files]\n*.txt | target=..\n", "bad.qpp:4: unsafe target folder"},
        {"[Product]\nName = P\n[Files]\na.txt | kind=registry\n", "bad.qpp:4: unknown kind 'registry'"},
        {"[Product]\nName = P\n[Files]\na.txt | mode=sometimes\n", "bad.qpp:4: unknown mode"},
        {"[Product]\nName = P\n[Files]\na.txt | shortcuts=taskbar\n", "bad.qpp:4: unknown shortcut 'taskbar'"},
        {"[Product]\nName = P\n[Files]\na.txt | colour=red\n", "bad.qpp:4: unknown file option 'colour'"},
        {"[Product]\nName = P\n[Files]\na.txt | recurse\n", "bad.qpp:4: 'recurse' needs a wildcard"},
        {"[Product]\nName = P\n[Files]\nd*\\a.txt\n", "bad.qpp:4: wildcards are allowed in the file name only"},
        {"[Product]\nName = P\n[Files]\na.txt | time=2023-02-29 00:00:00\n", "bad.qpp:4: bad time"},
        {"[Product]\nName = P\n[Files]\na.txt | kind=shared | shortcuts=desktop\n", "bad.qpp:4: shortcuts are made only"},
        {"[Product]\nName = P\n[Files]\na.txt | version=1.0\n", "bad.qpp:4: version applies to kind system only"},
        {"[Product]\nName = P\nName = Q\n[Files]\na\n", "bad.qpp:3: 'Name' is given twice"},
        {"[Product]\nName = P\nColour = red\n[Files]\na\n", "bad.qpp:3: unknown setting 'Colour'"},
        {"[Product]\nName = P\n[Gadgets]\n[Files]\na\n", "bad.qpp:3: unknown section [Gadgets]"},
        {"Name = P\n", "bad.qpp:1: text outside of a section"},
        {"[Product\n", "bad.qpp:1: section header without a closing ']'"},
        {"[Product]\nName\n", "bad.qpp:2: expected 'name = value'"},
        {"[Product]\nName = P\n[Script Cleanup]\n", "bad.qpp:3: unknown script 'Cleanup'"},
        {"[Product]\nName = P\n[Scripts]\nFinal = f.bat\n[Script Final]\necho\n[Files]\na\n",
         "bad.qpp:5: script Final is already given on line 4"},
        {"[Product]\nName = P\n[Build]\nLevel = 10\n[Files]\na\n", "bad.qpp:4: compression level must be 1 to 9"},
        {"[Product]\nName = P\n[Build]\nVolumeSize = 3G\n[Files]\na\n", "bad.qpp:4: bad volume size"},
        {"[Product]\nName = P\n[Build]\nCodec = tiny\n[Files]\na\n", "bad.qpp:4: unknown codec 'tiny': Codec is fast or small"},
        {"[Product]\nName = P\n[Build]\nCodec =\n[Files]\na\n", "bad.qpp:4: unknown codec '': Codec is fast or small"},
        {"[Product]\nName = P\n[Flags]\nrange-payload = yes\n[Files]\na\n",
         "bad.qpp:4: the flag range-payload is not set by name: [Build] Codec = small sets it"},
        {"[Product]\nName = P\n[Build]\nSignCertificate = c.pem\n[Files]\na\n",
         "bad.qpp: signing needs both SignCertificate and SignKey"},
        {"[Product]\nName = P\n[Build]\nSignKey =\n[Files]\na\n", "bad.qpp:4: file name missing"},
        {"[Product]\nName = P\nMasterProduct = M\n[Files]\na\n", "bad.qpp: MasterProduct is given but the flag"},
        {"[Product]\nPublisher = P\n[Files]\na\n", "bad.qpp: the product needs a Name"},
        {"[Product]\nName = P\n", "bad.qpp: the project lists no files"},
    };
    for (const auto& c : cases) {
        try {
            parseProject(c.text, "bad.qpp");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ProjectError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what() << "\nwanted: " << c.message;
        }
    }
}

TEST(QpackProject, CodecIsFastUnlessSmallIsAsked) {
    const struct {
        const char* build;
        Codec codec;
    } cases[] = {
        {"", Codec::Fast},
        {"Codec = fast\n", Codec::Fast},
        {"Codec = small\n", Codec::Small},
        {"codec = Small\nLevel = 9\n", Codec::Small},
    };
    for (const auto& c : cases) {
        Project p = parseProject(std::string("[Product]\nName = P\n[Build]\n") + c.build + "[Files]\na\n", "c.qpp");
        EXPECT_EQ(p.codec, c.codec) << c.build;
    }
}

TEST(QpackProject, ColoursTimesAndDates) {
    uint32_t color = 7;
    EXPECT_TRUE(parseColor("#FF8000", color));
    EXPECT_EQ(color, 0x0080FFu);
    EXPECT_TRUE(parseColor("#ff8000", color));
    EXPECT_EQ(color, 0x0080FFu);
    for (const char* bad : {"", "#", "FF8000", "#FF800", "#FF80000", "#FF80 0", "#-F8000"})
        EXPECT_FALSE(parseColor(bad, color)) << bad;
    ArchiveTime t;
    for (const char* bad : {"2024-13-01 00:00:00", "2024-01-01 24:00:00", "2024-01-01 00:60:00",
                            "2023-02-29 00:00:00", "2024-01-01", "2024-01-01 00:00:00x", "1600-01-01 00:00:00"})
        EXPECT_FALSE(parseArchiveTime(bad, t)) << bad;
    EXPECT_TRUE(parseArchiveTime("2000-02-29 12:00:00", t));
    ArchiveDate d;
    EXPECT_FALSE(parseArchiveDate("2024-04-31", d));
    EXPECT_TRUE(parseArchiveDate("2024-04-30", d));
    EXPECT_EQ(d, (ArchiveDate{30, 4, 2024}));
}

TEST(QpackMessages, MessageFilesUnescapeAndCheckFormats) {
    auto m = parseMessageFile("; c\n0 = A\\nB\\tC\\\\D \\x\n26 = Disk %d in %c:\n13 = code %d, 100%%\n", "l.msg");
    EXPECT_EQ(m[0], "A\r\nB\tC\\D \\x");
    EXPECT_EQ(m[26], "Disk %d in %c:");
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"\n26 = Disk %c in %d:\n", "l.msg:2: message 26 must hold exactly the conversions %d, %c"},
        {"13 = code %s\n", "l.msg:1: message 13 must hold exactly the conversions %d"},
        {"9 = 100% sure\n", "l.msg:1: message 9 must hold exactly the conversions (none"},
        {"19 = %s %c\n", "l.msg:1: message 19 must hold exactly the conversions %s, %c, %s"},
        {"1 = a\n1 = b\n", "l.msg:2: message 1 is given twice"},
        {"x = a\n", "l.msg:1: 'x' is not a message number"},
        {"10000 = a\n", "l.msg:1: '10000' is not a message number"},
        {"just text\n", "l.msg:1: expected 'NUMBER = text'"},
    };
    for (const auto& c : cases) {
        try {
            parseMessageFile(c.text, "l.msg");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ProjectError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
    }
    // A message that is never a format may hold a percent sign.
    EXPECT_EQ(parseMessageFile("1 = 100% done\n", "l.msg")[1], "100% done");
}

TEST(QpackAnsiText, Utf8BecomesWindowsTextAndWindowsTextStays) {
    const struct {
        const char* in;
        const char* out;
        bool lossy;
    } cases[] = {
        {"plain ASCII", "plain ASCII", false},
        {"Fran\xC3\xA7" "ais", "Fran\xE7" "ais", false},
        {"\xE2\x82\xAC 5 \xE2\x80\x93 \xE2\x80\x9Cx\xE2\x80\x9D", "\x80 5 \x96 \x93x\x94", false},
        {"Fran\xE7" "ais", "Fran\xE7" "ais", false},         // already Windows text: not UTF-8
        {"\xE6\x97\xA5\xE6\x9C\xAC", "??", true},            // no Windows form
        {"\xC0\xAF", "\xC0\xAF", false},                      // overlong: not UTF-8
        {"ends in \xC3", "ends in \xC3", false},                // cut short: not UTF-8
        {"\xED\xA0\x80", "\xED\xA0\x80", false},              // a surrogate: not UTF-8
    };
    for (const auto& c : cases) {
        bool lossy = false;
        EXPECT_EQ(ansiText(c.in, lossy), c.out) << c.in;
        EXPECT_EQ(lossy, c.lossy) << c.in;
    }
}

TEST(QpackWildcards, MatchIgnoringCaseAndLineEndsBecomeCrLf) {
    const struct {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*.txt", "readme.TXT", true}, {"*.txt", "readme.txt.bak", false}, {"a?c", "abc", true},
        {"a?c", "ac", false},          {"*", "", true},                    {"*a*b*", "xxaYYbzz", true},
        {"*a*b", "ab ba", false},      {"data*.*", "data.", true},         {"???", "abcd", false},
    };
    for (const auto& c : cases) EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
    EXPECT_EQ(withWindowsLineEnds("a\nb\r\nc\n\n"), "a\r\nb\r\nc\r\n\r\n");
    EXPECT_EQ(withWindowsLineEnds("\nx"), "\r\nx");
}

}  // namespace
