// qpdriver: drives the installer's windows from the outside, for tests.
//
//   qpdriver COMMAND... (run left to right; the first failure ends with exit 1)
//     wait TITLE [MS]      wait until a visible top-level window titled TITLE exists
//     gone TITLE [MS]      wait until no such window exists
//     texts TITLE          print the window's caption and every child control:
//                          "caption|TEXT" then "CLASS|ID|TEXT" lines; list-box
//                          items as "item|INDEX|TEXT"; \ CR LF TAB escaped
//     press TITLE LABEL    click the button whose text (without '&') is LABEL,
//                          or whose id is N when LABEL is #N
//     select TITLE ID IDX  select item IDX of list box ID and tell its dialog
//     dblclick TITLE ID IDX  the same, announced as a double click
//     settext TITLE ID TEXT  replace the text of control ID
//     type TITLE ID TEXT     send TEXT to control ID character by character, as
//                          typing does (so limits such as EM_LIMITTEXT apply)
//     key TITLE VK         post a key press (decimal virtual-key code) to the window
//     close TITLE          post WM_CLOSE to the window
//     screenshot FILE.bmp  save the whole screen as a 24-bit bitmap
//     sleep MS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Search {
    const char* title;
    HWND found;
};

BOOL CALLBACK matchTitle(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    if (!IsWindowVisible(window)) return TRUE;
    char text[512];
    GetWindowTextA(window, text, sizeof text);
    if (std::strcmp(text, search->title) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND findWindow(const char* title) {
    Search search = {title, nullptr};
    EnumWindows(matchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(const char* title, int milliseconds) {
    for (int waited = 0;; waited += 50) {
        if (HWND window = findWindow(title)) return window;
        if (waited >= milliseconds) return nullptr;
        Sleep(50);
    }
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out;
}

std::string windowText(HWND window) {
    int n = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
    std::vector<char> buffer(static_cast<size_t>(n) + 1);
    SendMessageA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data());
}

std::string className(HWND window) {
    char name[128];
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string listItemText(HWND list, int index) {
    // Across processes only the wide message marshals the text.
    int n = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, index, 0));
    if (n < 0) return std::string();
    std::vector<wchar_t> wide(static_cast<size_t>(n) + 1);
    SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(wide.data()));
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> narrow(static_cast<size_t>(bytes > 0 ? bytes : 1));
    WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, narrow.data(), bytes, nullptr, nullptr);
    return std::string(narrow.data());
}

BOOL CALLBACK printChild(HWND child, LPARAM) {
    std::string cls = className(child);
    int id = GetDlgCtrlID(child);
    std::printf("%s|%d|%s\n", cls.c_str(), id, escaped(windowText(child)).c_str());
    if (lstrcmpiA(cls.c_str(), "ListBox") == 0) {
        int count = static_cast<int>(SendMessageA(child, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) std::printf("item|%d|%s\n", i, escaped(listItemText(child, i)).c_str());
    }
    return TRUE;
}

std::string withoutAmpersands(std::string text) {
    std::string out;
    for (char c : text)
        if (c != '&') out += c;
    return out;
}

struct ButtonSearch {
    std::string label;
    int id;
    HWND found;
};

BOOL CALLBACK matchButton(HWND child, LPARAM param) {
    ButtonSearch* search = reinterpret_cast<ButtonSearch*>(param);
    if (lstrcmpiA(className(child).c_str(), "Button") != 0) return TRUE;
    bool match = search->id >= 0 ? GetDlgCtrlID(child) == search->id
                                 : withoutAmpersands(windowText(child)) == search->label;
    if (match) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

bool press(HWND window, const char* label) {
    ButtonSearch search = {label, -1, nullptr};
    if (label[0] == '#') search.id = std::atoi(label + 1);
    EnumChildWindows(window, matchButton, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        // A message box may be told its answer through WM_COMMAND as well.
        if (search.id < 0) return false;
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(search.id, BN_CLICKED), 0);
        return true;
    }
    // Posted, not sent: the click may open a modal box in the other process
    // and a sent message would wait for that box to close.
    int id = GetDlgCtrlID(search.found);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(search.found));
    return true;
}

bool selectItem(HWND window, int controlId, int index, bool doubleClick) {
    HWND list = GetDlgItem(window, controlId);
    if (!list) return false;
    if (SendMessageA(list, LB_SETCURSEL, index, 0) == LB_ERR) return false;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(controlId, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    if (doubleClick)
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(controlId, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    return true;
}

bool screenshot(const char* path) {
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    return std::fclose(out) == 0;
}

int fail(const char* what, const char* detail) {
    std::fprintf(stderr, "qpdriver: %s: %s\n", what, detail);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    int timeout = 10000;
    for (int i = 1; i < argc;) {
        std::string command = argv[i++];
        auto argument = [&](const char* name) -> const char* {
            if (i >= argc) {
                std::fprintf(stderr, "qpdriver: %s needs %s\n", command.c_str(), name);
                std::exit(2);
            }
            return argv[i++];
        };
        auto optionalNumber = [&](int fallback) {
            if (i < argc && argv[i][0] >= '0' && argv[i][0] <= '9') return std::atoi(argv[i++]);
            return fallback;
        };
        if (command == "wait") {
            const char* title = argument("TITLE");
            if (!waitForWindow(title, optionalNumber(timeout))) return fail("no window", title);
        } else if (command == "gone") {
            const char* title = argument("TITLE");
            int limit = optionalNumber(timeout), waited = 0;
            while (findWindow(title)) {
                if (waited >= limit) return fail("window still there", title);
                Sleep(50);
                waited += 50;
            }
        } else if (command == "texts") {
            const char* title = argument("TITLE");
            HWND window = waitForWindow(title, timeout);
            if (!window) return fail("no window", title);
            std::printf("caption|%s\n", escaped(windowText(window)).c_str());
            EnumChildWindows(window, printChild, 0);
            std::fflush(stdout);
        } else if (command == "press") {
            const char* title = argument("TITLE");
            const char* label = argument("LABEL");
            HWND window = waitForWindow(title, timeout);
            if (!window) return fail("no window", title);
            if (!press(window, label)) return fail("no button", label);
        } else if (command == "select" || command == "dblclick") {
            const char* title = argument("TITLE");
            int id = std::atoi(argument("ID"));
            int index = std::atoi(argument("INDEX"));
            HWND window = waitForWindow(title, timeout);
            if (!window) return fail("no window", title);
            if (!selectItem(window, id, index, command == "dblclick")) return fail("no list item", title);
        } else if (command == "type") {
            const char* title = argument("TITLE");
            int id = std::atoi(argument("ID"));
            const char* text = argument("TEXT");
            HWND window = waitForWindow(title, timeout);
            if (!window) return fail("no window", title);
            HWND control = GetDlgItem(window, id);
            if (!control) return fail("no control", title);
            for (const char* c = text; *c; ++c) SendMessageA(control, WM_CHAR, static_cast<unsigned char>(*c), 1);
        } else if (command == "settext") {
            const char* title = argument("TITLE");
            int id = std::atoi(argument("ID"));
            const char* text = argument("TEXT");
            HWND window = waitForWindow(title, timeout);
            if (!window) return fail("no window", title);
            if (!SetDlgItemTextA(window, id, text)) return fail("no control", title);
        } else if (command == "key") {
            const char* title = argument("TITLE");
            WPARAM key = static_cast<WPARAM>(std::atoi(argument("VK")));
            HWND window = waitForWindow(title, timeout);
            if (!window) return fail("no window", title);
            PostMessageA(window, WM_KEYDOWN, key, 0);
            PostMessageA(window, WM_KEYUP, key, 0);
        } else if (command == "close") {
            const char* title = argument("TITLE");
            HWND window = waitForWindow(title, timeout);
            if (!window) return fail("no window", title);
            PostMessageA(window, WM_CLOSE, 0, 0);
        } else if (command == "screenshot") {
            const char* path = argument("FILE");
            if (!screenshot(path)) return fail("cannot write", path);
        } else if (command == "sleep") {
            Sleep(static_cast<DWORD>(std::atoi(argument("MS"))));
        } else {
            return fail("unknown command", command.c_str());
        }
    }
    return 0;
}
