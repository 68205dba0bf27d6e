// The program's archive reader under Wine, on installers crafted here: the
// settings it derives from the header (folders, colours, automatic mode,
// product name, string table) and the header damage it reports.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "archive/archive_format.h"
#include "core/checksum.h"
#include "files/file.h"
#include "files/system_folders.h"
#include "installer/archive_reader.h"
#include "installer/header_settings.h"
#include "runtime/errors.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "shell/special_folders.h"
#include "support/fatal_capture.h"
#include "ui/background.h"

namespace {

struct Fields {
    uint32_t flags = 0;
    std::string publisher = "Pub";
    std::string productName = "Prod";
    std::string startMenuFolder;
    std::string defaultDirectory;
    uint32_t title = 0x010203, top = 0x111111, bottom = 0x222222;
    std::string picture;
    int32_t headerLengthDelta = 0;  // added to the stored header length
};

void u32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
}
void text(std::string& s, const std::string& t) {
    s += t;
    s += '\0';
}

// A 16x1 24-bit packed bitmap.
std::string smallPicture() {
    std::string p;
    u32(p, 40), u32(p, 16), u32(p, 1);
    p += '\x01', p += '\0', p += '\x18', p += '\0';
    for (int i = 0; i < 6; ++i) u32(p, 0);
    p += std::string(48, '\x7F');
    return p;
}

std::string installer(const Fields& f) {
    std::string payload;
    text(payload, "a.txt");
    u32(payload, 0), u32(payload, 0);
    payload += "abc";
    u32(payload, checksum("abc", 3));
    for (int i = 0; i < 6; ++i) u32(payload, 0);
    text(payload, "");

    std::string h;
    u32(h, f.flags);
    for (int i = 0; i < 6; ++i) u32(h, 0);
    const std::string program = "MZ program bytes";
    u32(h, checksum(program.data(), int(program.size())));
    u32(h, 1), u32(h, 3);
    u32(h, uint32_t(payload.size()));
    u32(h, checksum(payload.data(), int(payload.size())));
    for (const std::string* t : {&f.publisher, &f.productName, &f.startMenuFolder, &f.defaultDirectory})
        text(h, *t);
    for (const char* t : {"1.0", "", "", "", "Un"}) text(h, t);
    u32(h, f.title), u32(h, f.top), u32(h, f.bottom);
    u32(h, uint32_t(f.picture.size()));
    h += f.picture;
    for (int i = 0; i < 5; ++i) text(h, "");
    u32(h, 0);                           // archive date
    h += '\x02';                         // two languages
    u32(h, 2);                           // two messages
    text(h, "One"), text(h, "Two");
    text(h, "<product> title"), text(h, "zwei"), text(h, "m1"), text(h, "m1b");
    u32(h, HeaderEndMarker);

    uint32_t key = checksum(h.data(), int(h.size()));
    scramble(&h[0], int(h.size()), key);
    std::string file = program;
    u32(file, ArchiveMagic);
    u32(file, uint32_t(int32_t(h.size()) + f.headerLengthDelta));
    u32(file, key);
    file += h + payload;
    u32(file, uint32_t(program.size()));
    return file;
}

// Writes the installer, resets the process-wide values and reads its header.
std::string readCrafted(const Fields& f, const char* presetProductName = "") {
    const char* path = "C:\\crafted.exe";
    FILE* out = std::fopen(path, "wb");
    std::string bytes = installer(f);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    productName = presetProductName;
    automaticMode = false;
    sharedDirectory = "";
    setDefaultBackgroundColors();
    background.picture.clear();
    File file;
    EXPECT_TRUE(file.openRead(path, false));
    return captureFatal([&] { readArchiveHeader(file); });
}

TEST(ArchiveReader, DerivesFoldersAndNamesFromTheHeader) {
    const String programFiles = programFilesDirectory();
    const struct {
        const char* what;
        Fields fields;
        const char* presetName;
        String startMenu;
        String directory;
        String name;
    } cases[] = {
        {"empty folders", Fields{}, "", "Pub\\Prod", programFiles + "\\Prod", "Prod"},
        {"no publisher", [] { Fields f; f.publisher = ""; return f; }(), "", "Prod", programFiles + "\\Prod", "Prod"},
        {"given folders", [] { Fields f; f.startMenuFolder = "Menu"; f.defaultDirectory = "Sub\\Dir"; return f; }(), "",
         "Menu", programFiles + "\\Sub\\Dir", "Prod"},
        {"<os> in any case", [] { Fields f; f.defaultDirectory = "<OS>\\Apps"; return f; }(), "", "Pub\\Prod",
         windowsDirectory() + "\\Apps", "Prod"},
        {"<master> stays", [] { Fields f; f.defaultDirectory = "<Master>"; return f; }(), "", "Pub\\Prod", "<Master>",
         "Prod"},
        {"absolute stays", [] { Fields f; f.defaultDirectory = "D:\\Tools"; return f; }(), "", "Pub\\Prod", "D:\\Tools",
         "Prod"},
        {"name from the command line wins", Fields{}, "Override", "Pub\\Override", programFiles + "\\Override",
         "Override"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(readCrafted(c.fields, c.presetName), NoFatalReport) << c.what;
        EXPECT_STREQ(startMenuFolder.cStr(), c.startMenu.cStr()) << c.what;
        EXPECT_STREQ(defaultDirectory.cStr(), c.directory.cStr()) << c.what;
        EXPECT_STREQ(productName.cStr(), c.name.cStr()) << c.what;
        EXPECT_STREQ(uninstallSubdir.cStr(), "Un") << c.what;
        EXPECT_STREQ(productVersion.cStr(), "1.0") << c.what;
    }
}

TEST(ArchiveReader, FillsTheStringTableAndTheProgramBytes) {
    ASSERT_EQ(readCrafted(Fields{}), NoFatalReport);
    ASSERT_EQ(stringTable.rows(), 2);
    ASSERT_EQ(stringTable.languages(), 2);
    EXPECT_STREQ(stringTable.text(0, 1)->cStr(), "zwei");
    EXPECT_STREQ(stringTable.text(1, 1)->cStr(), "m1b");
    languageIndex = 0;
    EXPECT_STREQ(message(0), "Prod title");
    EXPECT_STREQ(archiveHeader.languageNames[1].cStr(), "Two");
    EXPECT_STREQ(programBytes.cStr(), "MZ program bytes");
}

TEST(ArchiveReader, FlagsSetAutomaticModeColoursAndTheSharedFolder) {
    Fields automatic;
    automatic.flags = FlagAutomatic;
    ASSERT_EQ(readCrafted(automatic), NoFatalReport);
    EXPECT_TRUE(automaticMode);
    EXPECT_TRUE(sharedDirectory.isEmpty());

    // Without the colour flag and without a picture the start-up colours stay.
    setDefaultBackgroundColors();
    const COLORREF startTitle = background.titleColor, startTop = background.topColor;
    ASSERT_EQ(readCrafted(Fields{}), NoFatalReport);
    EXPECT_EQ(background.titleColor, startTitle);
    EXPECT_EQ(background.topColor, startTop);
    EXPECT_TRUE(background.plainColor);

    Fields colours;
    colours.flags = FlagUseColors;
    ASSERT_EQ(readCrafted(colours), NoFatalReport);
    EXPECT_EQ(background.titleColor, 0x010203u);
    EXPECT_EQ(background.topColor, 0x111111u);
    EXPECT_EQ(background.bottomColor, 0x222222u);
    EXPECT_FALSE(background.plainColor);

    colours.bottom = colours.top;
    ASSERT_EQ(readCrafted(colours), NoFatalReport);
    EXPECT_TRUE(background.plainColor);

    // A picture takes the title colour from the header even without the flag.
    Fields picture;
    picture.picture = smallPicture();
    ASSERT_EQ(readCrafted(picture), NoFatalReport);
    EXPECT_EQ(background.titleColor, 0x010203u);
    EXPECT_EQ(background.topColor, startTop);
    EXPECT_EQ(background.picture.width(), 16);

    Fields registered;
    registered.flags = FlagRegisterProduct;
    ASSERT_EQ(readCrafted(registered), NoFatalReport);
    String expected = commonFilesDirectory() + "\\Pub";
    EXPECT_STREQ(sharedDirectory.cStr(), expected.cStr());
    EXPECT_NE(GetFileAttributesA(expected.cStr()), INVALID_FILE_ATTRIBUTES);
}

TEST(ArchiveReader, HeaderLongerThanTheFileIsCodeFortyFive) {
    char want[400];
    std::snprintf(want, sizeof want, CorruptArchiveText, 45);
    for (int32_t delta : {1, 1000, 0x7FFF0000}) {
        Fields f;
        f.headerLengthDelta = delta;
        // The first payload byte, the trailer and beyond: whatever part of
        // the file the length claims, it may not pass its end.
        EXPECT_EQ(readCrafted(f), delta == 1 ? std::string(NoFatalReport) : std::string(want)) << delta;
    }
}

}  // namespace
