#include "ui/background.h"

#include "runtime/process_state.h"
#include "ui/gradient_bands.h"
#include "ui/title_size.h"

BackgroundSettings background;

namespace {

const char WindowClassName[] = "QPK Window Classs";

HFONT createTitleFont(HDC dc, int points) {
    return CreateFontA(fontHeightFor(points, GetDeviceCaps(dc, LOGPIXELSY)), 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, 0, "Times New Roman");
}

int titleWidthAt(int points, void* context) {
    HDC dc = static_cast<HDC>(context);
    HFONT font = createTitleFont(dc, points);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {0, 0};
    GetTextExtentPoint32A(dc, background.title.cStr(), background.title.length(), &size);
    SelectObject(dc, old);
    DeleteObject(font);
    return size.cx;
}

void fillWith(HDC dc, const RECT& rect, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void paintGradient(HDC dc, const RECT& client) {
    GradientBands bands(client.top, client.bottom, background.topColor, background.bottomColor);
    RECT fill = client;
    fill.right += 1;
    GradientBand band;
    while (bands.next(band)) {
        fill.top = band.top;
        fill.bottom = band.bottom;
        fillWith(dc, fill, band.color);
    }
}

void eraseBackground(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    if (!background.picture.isEmpty())
        background.picture.draw(dc, client, SRCCOPY);
    else if (background.plainColor)
        fillWith(dc, client, background.topColor);
    else
        paintGradient(dc, client);
}

void paintTitle(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!background.title.isBlank()) {
        RECT client;
        GetClientRect(window, &client);
        HFONT font = createTitleFont(dc, fittingTitlePoints(client.right, titleWidthAt, dc));
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, background.titleColor);
        TextOutA(dc, 0, 0, background.title.cStr(), background.title.length());
        SelectObject(dc, old);
        DeleteObject(font);
    }
    EndPaint(window, &paint);
}

}  // namespace

void setDefaultBackgroundColors() {
    background.titleColor = GetSysColor(COLOR_WINDOWTEXT);
    background.topColor = GetSysColor(COLOR_WINDOW);
    background.plainColor = true;
}

HWND createBackgroundWindow(HINSTANCE instance, HWND parent) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = backgroundWindowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = WindowClassName;
        if (!RegisterClassA(&windowClass)) reportConsistencyFailure("ginstall", 1001);
        registered = true;
    }
    // Without a desktop to show it on (a service, a headless Wine) there is
    // no window; an automatic run needs none, and every box and dialog
    // copes with a null owner, so that is not worth ending the run for.
    HWND window = CreateWindowExA(0, WindowClassName, "", WS_POPUP, 0, 0, 0, 0, parent, nullptr, instance, nullptr);
    if (window) ShowWindow(window, SW_SHOWMAXIMIZED);
    return window;
}

LRESULT CALLBACK backgroundWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        eraseBackground(window, reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_PAINT:
        paintTitle(window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void repaintBackground() {
    if (backgroundWindow) InvalidateRect(backgroundWindow, nullptr, TRUE);
}
