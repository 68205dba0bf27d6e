// The background window painted into memory (WM_ERASEBKGND with our own
// device context) and on the real virtual desktop (the title).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "files/win32.h"
#include "runtime/process_state.h"
#include "support/fatal_capture.h"
#include "ui/background.h"

namespace {

// A 32-bit top-down DIB section of the client area's size to paint into.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < width * height; ++i) pixels_[i] = 0x00ABCDEF;  // not a colour any case paints
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    // As a COLORREF (0x00BBGGRR).
    COLORREF at(int x, int y) const {
        GdiFlush();
        uint32_t p = pixels_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    uint32_t* pixels_ = nullptr;
};

class GuiBackground : public ::testing::Test {
protected:
    void SetUp() override {
        instanceHandle = GetModuleHandleA(nullptr);
        setDefaultBackgroundColors();
        background.title = "";
        background.bottomColor = 0;
        background.picture.clear();
        window = createBackgroundWindow(instanceHandle, nullptr);
        backgroundWindow = window;
        GetClientRect(window, &client);
    }
    void TearDown() override {
        backgroundWindow = nullptr;
        DestroyWindow(window);
    }

    void erase(const Canvas& canvas) {
        EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc()), 0), 1);
    }

    HWND window = nullptr;
    RECT client = {};
};

TEST_F(GuiBackground, IsAMaximisedPopupOfItsOwnClassCoveringTheScreen) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    EXPECT_STREQ(name, "QPK Window Classs");
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_POPUP);
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetWindowTextLengthA(window), 0);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_GE(rect.bottom - rect.top, GetSystemMetrics(SM_CYSCREEN) - 64);  // a taskbar may take some
    // The class is registered once: a second window needs no new registration.
    HWND second = nullptr;
    EXPECT_EQ(captureFatal([&] { second = createBackgroundWindow(instanceHandle, nullptr); }), NoFatalReport);
    EXPECT_NE(second, nullptr);
    DestroyWindow(second);
}

TEST_F(GuiBackground, DefaultsAreTheSystemColoursPlain) {
    EXPECT_EQ(background.titleColor, GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(background.topColor, GetSysColor(COLOR_WINDOW));
    EXPECT_TRUE(background.plainColor);
    Canvas canvas(client.right, client.bottom);
    erase(canvas);
    EXPECT_EQ(canvas.at(0, 0), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(canvas.at(canvas.width() - 1, canvas.height() - 1), GetSysColor(COLOR_WINDOW));
}

TEST_F(GuiBackground, GradientRunsFromTopTowardsBottomColourInEvenBands) {
    struct Case {
        COLORREF top, bottom;
    } cases[] = {{RGB(255, 255, 255), RGB(0, 0, 0)}, {RGB(0, 0, 160), RGB(200, 40, 0)}, {RGB(0, 0, 0), RGB(255, 255, 255)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.top << " -> " << c.bottom);
        background.plainColor = false;
        background.topColor = c.top;
        background.bottomColor = c.bottom;
        Canvas canvas(client.right, client.bottom);
        erase(canvas);
        int h = client.bottom + 1, band = h / 224 < 1 ? 1 : h / 224 > 3 ? 3 : h / 224;
        // Each band is one colour across the whole width and over its rows.
        for (int y = 0; y + band <= canvas.height(); y += band) {
            COLORREF colour = canvas.at(0, y);
            for (int row = y; row < y + band; ++row) ASSERT_EQ(canvas.at(canvas.width() - 1, row), colour) << row;
            ASSERT_EQ(canvas.at(canvas.width() / 2, y), colour) << y;
        }
        // Every component moves monotonically from top to bottom.
        for (int y = 1; y < canvas.height(); ++y) {
            for (int shift = 0; shift < 24; shift += 8) {
                int previous = (canvas.at(0, y - 1) >> shift) & 0xFF, now = (canvas.at(0, y) >> shift) & 0xFF;
                int direction = static_cast<int>((c.bottom >> shift) & 0xFF) - static_cast<int>((c.top >> shift) & 0xFF);
                if (direction >= 0)
                    ASSERT_GE(now, previous) << "row " << y;
                else
                    ASSERT_LE(now, previous) << "row " << y;
            }
        }
        if (band > 1) {
            EXPECT_EQ(canvas.at(0, canvas.height() - 1), c.bottom);
        }
    }
}

// A 2 x 2 picture, four colours: blue, green (bottom row) and red, white
// (top row), stored bottom-up with a 24-bit information header.
std::vector<unsigned char> fourColourBitmap(bool topDown, bool coreHeader) {
    const COLORREF bottomRow[2] = {RGB(0, 0, 255), RGB(0, 255, 0)};
    const COLORREF topRow[2] = {RGB(255, 0, 0), RGB(255, 255, 255)};
    std::vector<unsigned char> b;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    if (coreHeader) {
        put(12, 4), put(2, 2), put(2, 2), put(1, 2), put(8, 2);
        // Palette of 256 RGB triples (blue, green, red order); entries 0..3 used.
        const COLORREF palette[4] = {bottomRow[0], bottomRow[1], topRow[0], topRow[1]};
        for (int i = 0; i < 256; ++i) {
            COLORREF c = i < 4 ? palette[i] : RGB(1, 2, 3);
            b.push_back(GetBValue(c)), b.push_back(GetGValue(c)), b.push_back(GetRValue(c));
        }
        put(0x0100, 2), put(0, 2);  // bottom row: indices 0, 1, padding
        put(0x0302, 2), put(0, 2);  // top row: indices 2, 3
        return b;
    }
    put(40, 4), put(2, 4), put(topDown ? static_cast<uint32_t>(-2) : 2, 4), put(1, 2), put(24, 2);
    put(0, 4), put(0, 4), put(0, 4), put(0, 4), put(0, 4), put(0, 4);
    const COLORREF* rows[2] = {topDown ? topRow : bottomRow, topDown ? bottomRow : topRow};
    for (const COLORREF* row : rows) {
        for (int x = 0; x < 2; ++x) b.push_back(GetBValue(row[x])), b.push_back(GetGValue(row[x])), b.push_back(GetRValue(row[x]));
        put(0, 2);  // rows padded to 4 bytes
    }
    return b;
}

TEST_F(GuiBackground, PictureIsStretchedOverTheScreenUpright) {
    struct Case {
        const char* name;
        bool topDown, core;
    } cases[] = {{"bottom-up", false, false}, {"top-down", true, false}, {"core header, palette", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> bytes = fourColourBitmap(c.topDown, c.core);
        ASSERT_TRUE(background.picture.loadFromMemory(bytes.data(), static_cast<int>(bytes.size())));
        background.plainColor = false;
        Canvas canvas(client.right, client.bottom);
        erase(canvas);
        int w = canvas.width(), h = canvas.height();
        EXPECT_EQ(canvas.at(w / 4, h / 4), RGB(255, 0, 0));
        EXPECT_EQ(canvas.at(3 * w / 4, h / 4), RGB(255, 255, 255));
        EXPECT_EQ(canvas.at(w / 4, 3 * h / 4), RGB(0, 0, 255));
        EXPECT_EQ(canvas.at(3 * w / 4, 3 * h / 4), RGB(0, 255, 0));
    }
}

TEST_F(GuiBackground, RefusedPictureLeavesTheColours) {
    std::vector<unsigned char> bytes = fourColourBitmap(false, false);
    bytes.resize(bytes.size() - 1);  // last pixel row cut short
    EXPECT_FALSE(background.picture.loadFromMemory(bytes.data(), static_cast<int>(bytes.size())));
    background.topColor = RGB(10, 20, 30);
    Canvas canvas(client.right, client.bottom);
    erase(canvas);
    EXPECT_EQ(canvas.at(canvas.width() / 2, canvas.height() / 2), RGB(10, 20, 30));
}

// Counts the pixels of one colour in the top-left corner of the screen.
int pixelsOf(COLORREF colour, int width, int height) {
    HDC screen = GetDC(nullptr);
    int count = 0;
    for (int y = 0; y < height; y += 1)
        for (int x = 0; x < width; x += 2)
            if (GetPixel(screen, x, y) == colour) ++count;
    ReleaseDC(nullptr, screen);
    return count;
}

TEST_F(GuiBackground, TitleIsPaintedInItsColourOnlyWhenNotBlank) {
    background.topColor = RGB(0, 0, 128);
    background.titleColor = RGB(255, 255, 0);
    struct Case {
        const char* title;
        bool painted;
    } cases[] = {{"Widget 2000 Setup", true}, {"   ", false}, {"", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        background.title = c.title;
        repaintBackground();
        UpdateWindow(window);
        GdiFlush();
        Sleep(200);
        int yellow = pixelsOf(RGB(255, 255, 0), 300, 50);
        if (c.painted)
            EXPECT_GT(yellow, 20);
        else
            EXPECT_EQ(yellow, 0);
        EXPECT_GT(pixelsOf(RGB(0, 0, 128), 300, 50), 1000);
    }
}

}  // namespace
