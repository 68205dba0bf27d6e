// Window texts, centring, bitmap files, ini values and run-time linking.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/file_attributes.h"
#include "files/win32.h"
#include "ui/ini_file.h"
#include "ui/link_library.h"
#include "ui/packed_bitmap.h"
#include "ui/window_text.h"

namespace {

std::string tempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::vector<unsigned char> readBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
    return bytes;
}

uint32_t u32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A 3 x 2 bitmap, 8 bits per pixel, 16 colours used: 40 + 64 + 2 * 4 bytes.
std::vector<unsigned char> smallBitmap() {
    std::vector<unsigned char> b(40 + 64 + 8, 0x33);
    const uint32_t fields[][2] = {{0, 40}, {4, 3}, {8, 2}, {16, 0}, {20, 0}, {32, 16}, {36, 0}};
    for (const auto& f : fields)
        for (int i = 0; i < 4; ++i) b[f[0] + i] = static_cast<unsigned char>(f[1] >> (8 * i));
    b[12] = 1, b[13] = 0, b[14] = 8, b[15] = 0;
    return b;
}

std::vector<unsigned char> withFileHeader(const std::vector<unsigned char>& block, uint32_t claimedSize,
                                          const char* magic = "BM") {
    std::vector<unsigned char> file = {static_cast<unsigned char>(magic[0]), static_cast<unsigned char>(magic[1])};
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<unsigned char>(claimedSize >> (8 * i)));
    for (int i = 0; i < 8; ++i) file.push_back(0);  // reserved, then a pixel offset that is not used
    file.insert(file.end(), block.begin(), block.end());
    return file;
}

TEST(UiPackedBitmapFile, SaveWritesTheFileHeaderAndLoadReadsItBack) {
    std::vector<unsigned char> block = smallBitmap();
    PackedBitmap bitmap;
    ASSERT_TRUE(bitmap.loadFromMemory(block.data(), static_cast<int>(block.size())));
    std::string path = tempPath("saved.bmp");
    ASSERT_TRUE(bitmap.saveToFile(path.c_str()));
    std::vector<unsigned char> file = readBytes(path);
    ASSERT_EQ(file.size(), block.size() + 14);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(u32(file, 2), block.size() + 14);
    EXPECT_EQ(u32(file, 6), 0u);
    EXPECT_EQ(u32(file, 10), 40u + 64u + 14u);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), file.begin() + 14));

    PackedBitmap loaded;
    ASSERT_TRUE(loaded.loadFromFile(path.c_str()));
    EXPECT_EQ(loaded.width(), 3);
    EXPECT_EQ(loaded.height(), 2);
    EXPECT_EQ(loaded.bitsOffset(), 104);
    EXPECT_EQ(loaded.colorCount(), 16);
    EXPECT_TRUE(loaded.block() == bitmap.block());
}

TEST(UiPackedBitmapFile, DamagedFilesAreRefusedOrReadOnlyAsFarAsTheyGo) {
    std::vector<unsigned char> block = smallBitmap();
    const uint32_t size = static_cast<uint32_t>(block.size() + 14);
    struct Case {
        const char* name;
        std::vector<unsigned char> file;
        bool loads;
    } cases[] = {
        {"good", withFileHeader(block, size), true},
        {"not BM", withFileHeader(block, size, "MB"), false},
        // The size field claims 4 GB: only what the file holds is read.
        {"size field lies high", withFileHeader(block, 0xFFFFFFF0u), true},
        {"size field cuts the rows", withFileHeader(block, size - 1), false},
        {"size field below the file header", withFileHeader(block, 10), false},
        {"file header cut", std::vector<unsigned char>{'B', 'M', 1, 2}, false},
        {"empty file", std::vector<unsigned char>{}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = tempPath("case.bmp");
        writeBytes(path, c.file);
        PackedBitmap bitmap;
        std::vector<unsigned char> other = smallBitmap();
        ASSERT_TRUE(bitmap.loadFromMemory(other.data(), static_cast<int>(other.size())));
        EXPECT_EQ(bitmap.loadFromFile(path.c_str()), c.loads);
        EXPECT_EQ(bitmap.isEmpty(), !c.loads);
        if (c.loads) {
            EXPECT_EQ(bitmap.block().length(), static_cast<int>(block.size()));
        }
    }
    PackedBitmap missing;
    EXPECT_FALSE(missing.loadFromFile(tempPath("no such file.bmp").c_str()));
    EXPECT_FALSE(missing.loadFromFile(nullptr));
}

// Run as an ordinary user by the harness: as root Wine ignores the attribute.
TEST(UnprivilegedUiPackedBitmap, ReadOnlyFileIsRefusedBecauseItAsksForWriteAccess) {
    std::vector<unsigned char> block = smallBitmap();
    std::string path = tempPath("locked.bmp");
    writeBytes(path, withFileHeader(block, static_cast<uint32_t>(block.size() + 14)));
    ASSERT_TRUE(setReadOnly(path.c_str(), true));
    PackedBitmap bitmap;
    EXPECT_FALSE(bitmap.loadFromFile(path.c_str()));
    EXPECT_TRUE(bitmap.isEmpty());
    ASSERT_TRUE(setReadOnly(path.c_str(), false));
    EXPECT_TRUE(bitmap.loadFromFile(path.c_str()));
}

TEST(UiServices, WriteIniStringToAFileOrToWinIni) {
    std::string path = tempPath("wininit.ini");
    DeleteFileA(path.c_str());
    EXPECT_TRUE(writeIniString("rename", "C:\\Dest\\a.dll", "C:\\Dest\\a.tmp", path.c_str()));
    char value[128] = "";
    GetPrivateProfileStringA("rename", "C:\\Dest\\a.dll", "", value, sizeof value, path.c_str());
    EXPECT_STREQ(value, "C:\\Dest\\a.tmp");

    const char* winIniNames[] = {nullptr, ""};
    for (const char* name : winIniNames) {
        SCOPED_TRACE(name ? "empty name" : "null name");
        EXPECT_TRUE(writeIniString("Quillpack", "probe", name ? "empty" : "null", name));
        GetProfileStringA("Quillpack", "probe", "", value, sizeof value);
        EXPECT_STREQ(value, name ? "empty" : "null");
    }
}

TEST(UiServices, LinkLibraryStoresAddressesAndFailsOnlyForRequiredOnes) {
    FARPROC moveFileEx = nullptr, missingOptional = reinterpret_cast<FARPROC>(1), missingRequired = nullptr,
            getTickCount = nullptr;
    const LinkEntry optionalOnly[] = {{"MoveFileExA", &moveFileEx, true},
                                      {"NoSuchFunctionA", &missingOptional, true},
                                      {nullptr, nullptr, false}};
    EXPECT_TRUE(linkLibrary("kernel32.dll", optionalOnly));
    EXPECT_EQ(moveFileEx, GetProcAddress(GetModuleHandleA("kernel32.dll"), "MoveFileExA"));
    EXPECT_NE(moveFileEx, nullptr);
    EXPECT_EQ(missingOptional, nullptr);

    const LinkEntry required[] = {{"NoSuchFunctionA", &missingRequired, false},
                                  {"GetTickCount", &getTickCount, false},
                                  {nullptr, nullptr, false}};
    EXPECT_FALSE(linkLibrary("kernel32.dll", required));
    EXPECT_EQ(missingRequired, nullptr);
    EXPECT_NE(getTickCount, nullptr);  // later entries are still linked

    EXPECT_FALSE(linkLibrary("kernel32.dll", nullptr));
    EXPECT_FALSE(linkLibrary("no-such-library.dll", optionalOnly));
    EXPECT_FALSE(linkLibrary(nullptr, optionalOnly));
}

TEST(UiServices, LinkedLibrariesStayLoadedUntilReleased) {
    const char* library = "msacm32.dll";
    ASSERT_EQ(GetModuleHandleA(library), nullptr) << "pick a library the tests do not load";
    FARPROC open = nullptr;
    const LinkEntry table[] = {{"acmStreamOpen", &open, false}, {nullptr, nullptr, false}};
    ASSERT_TRUE(linkLibrary(library, table));
    EXPECT_NE(GetModuleHandleA(library), nullptr);
    releaseLinkedLibraries();
    EXPECT_EQ(GetModuleHandleA(library), nullptr);
}

class GuiWindowText : public ::testing::Test {
protected:
    HWND make(const char* text, int width, int height, DWORD style = WS_POPUP) {
        HWND w = CreateWindowExA(0, "STATIC", text, style, 10, 20, width, height, nullptr, nullptr, nullptr, nullptr);
        windows.push_back(w);
        return w;
    }
    void TearDown() override {
        for (HWND w : windows) DestroyWindow(w);
    }
    std::vector<HWND> windows;
};

TEST_F(GuiWindowText, ReadsWholeTextsAndEmptyForNone) {
    std::string longText(600, 'x');
    longText += "end";
    const char* texts[] = {"", "a", "C:\\Program Files\\Widget", longText.c_str()};
    for (const char* text : texts) {
        HWND w = make(text, 50, 50);
        EXPECT_STREQ(windowText(w).cStr(), text);
        EXPECT_EQ(windowText(w).length(), static_cast<int>(std::strlen(text)));
    }
    EXPECT_TRUE(windowText(nullptr).isEmpty());

    HWND dialog = make("", 200, 100);
    HWND child = CreateWindowExA(0, "EDIT", "inside", WS_CHILD, 0, 0, 50, 20, dialog, reinterpret_cast<HMENU>(1015),
                                 nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_STREQ(dialogItemText(dialog, 1015).cStr(), "inside");
    EXPECT_TRUE(dialogItemText(dialog, 1016).isEmpty());
    EXPECT_TRUE(dialogItemText(nullptr, 1015).isEmpty());
}

TEST_F(GuiWindowText, CenterWindowKeepsTheSizeWithinTheScreen) {
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    struct Case {
        int width, height;
        int x, y, w, h;
    } cases[] = {
        {300, 200, (sw - 300) / 2, (sh - 200) / 2, 300, 200},
        {301, 201, (sw - 301) / 2, (sh - 201) / 2, 301, 201},  // halves rounded down
        {sw + 500, 100, 0, (sh - 100) / 2, sw, 100},            // wider than the screen
        {100, sh + 10, (sw - 100) / 2, 0, 100, sh},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        HWND w = make("", c.width, c.height);
        centerWindow(w);
        RECT r;
        GetWindowRect(w, &r);
        EXPECT_EQ(r.left, c.x);
        EXPECT_EQ(r.top, c.y);
        EXPECT_EQ(r.right - r.left, c.w);
        EXPECT_EQ(r.bottom - r.top, c.h);
        centerWindow(w);  // centring twice changes nothing
        RECT again;
        GetWindowRect(w, &again);
        EXPECT_TRUE(EqualRect(&r, &again));
    }
}

}  // namespace
