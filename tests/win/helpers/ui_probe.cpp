// ui_probe: opens one of the installer's windows for the end-to-end tests,
// which drive it with qpdriver from another process and read the result.
//
//   ui_probe RESULT_FILE COMMAND [ARGS]
//     background gradient|plain|picture TITLE   paint until C:\stop exists
//     ask TEXT                 askToContinue; writes "stop" or "go on"
//     language                 three languages; writes the result and languageIndex
//     license TEXT | readme TEXT   writes the dialog's result
//     choosedir INITIAL        writes the result, then the directory on the next line
//     progress                 writes frame and bar rectangles, then works until
//                              C:\stop exists; writes the steps, the bar's position
//                              and how often setProgressText saw a close, then closes
#include <cstdio>
#include <cstring>

#include "files/win32.h"

#include <commctrl.h>

#include "runtime/errors.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "ui/ask_to_continue.h"
#include "ui/background.h"
#include "ui/dialog_ids.h"
#include "ui/dialogs.h"

namespace {

const char* const LanguageNames[] = {"English", "Deutsch", "Nederlands"};
constexpr int Languages = 3;

struct Text {
    int number;
    const char* perLanguage[Languages];
};

const Text Texts[] = {
    {11, {"Choose the folder for <product>:", "Zielordner fuer <product>:", "Map voor <product>:"}},
    {20, {"Cancel Setup", "Abbrechen", "Annuleren"}},
    {24, {"Installation Folder", "Zielordner", "Installatiemap"}},
    {28, {"Really stop installing <product>?", "Installation abbrechen?", "Installatie stoppen?"}},
    {39, {"Copying files...", "Dateien werden kopiert...", "Bestanden kopieren..."}},
    {44, {"Licence Agreement", "Lizenzvertrag", "Licentie"}},
    {45, {"I Agree", "Ich stimme zu", "Akkoord"}},
    {46, {"I Disagree", "Ich lehne ab", "Niet akkoord"}},
    {47, {"Please read the licence.", "Bitte lesen.", "Lees de licentie."}},
    {48, {"Continue", "Weiter", "Verder"}},
    {49, {"Cancel", "Abbrechen", "Annuleren"}},
    {50, {"Read Me", "Liesmich", "Leesmij"}},
    {51, {"Please read this first.", "Bitte zuerst lesen.", "Eerst lezen."}},
    {52, {"Browse...", "Durchsuchen...", "Bladeren..."}},
    {54, {"Installing <product>", "Installiere <product>", "Installeren van <product>"}},
};

void fillStringTable() {
    stringTable.reset(60, Languages);
    for (const Text& t : Texts)
        for (int l = 0; l < Languages; ++l) *stringTable.text(t.number, l) = t.perLanguage[l];
}

FILE* result = nullptr;

void writeResult(const char* format, ...) QP_PRINTF(1, 2);
void writeResult(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(result, format, args);
    va_end(args);
    std::fflush(result);
}

bool stopRequested() { return GetFileAttributesA("C:\\stop") != INVALID_FILE_ATTRIBUTES; }

void pumpUntilStopped() {
    while (!stopRequested()) {
        pumpMessages();
        Sleep(20);
    }
}

// A 96 x 64 picture: red rises to the right, green downwards, blue in a
// central square, so a screenshot shows whether it is stretched upright.
bool loadTestPicture() {
    const int w = 96, h = 64, stride = w * 3;
    String block(40 + stride * h);
    unsigned char* b = reinterpret_cast<unsigned char*>(block.data());
    std::memset(b, 0, static_cast<size_t>(block.length()));
    BITMAPINFOHEADER* info = reinterpret_cast<BITMAPINFOHEADER*>(b);
    info->biSize = 40;
    info->biWidth = w;
    info->biHeight = h;
    info->biPlanes = 1;
    info->biBitCount = 24;
    for (int row = 0; row < h; ++row) {
        int y = h - 1 - row;  // bottom-up rows
        for (int x = 0; x < w; ++x) {
            unsigned char* p = b + 40 + row * stride + x * 3;
            bool centre = x >= 32 && x < 64 && y >= 16 && y < 48;
            p[0] = centre ? 255 : 0;
            p[1] = static_cast<unsigned char>(y * 255 / (h - 1));
            p[2] = static_cast<unsigned char>(x * 255 / (w - 1));
        }
    }
    PackedBitmap picture;
    if (!picture.loadFromMemory(block.cStr(), block.length())) return false;
    if (!picture.saveToFile("C:\\Installer Background.BMP")) return false;
    return background.picture.loadFromFile("C:\\Installer Background.BMP");
}

// A blue gradient behind a white title, as a typical archive sets it.
void useGradient(const char* title) {
    background.title = title;
    background.titleColor = RGB(255, 255, 255);
    background.topColor = RGB(0, 0, 255);
    background.bottomColor = RGB(0, 0, 0);
    background.plainColor = false;
    repaintBackground();
}

int showBackground(const char* mode, const char* title) {
    useGradient(title);
    background.plainColor = std::strcmp(mode, "plain") == 0;
    if (std::strcmp(mode, "picture") == 0 && !loadTestPicture()) {
        writeResult("picture not loaded\n");
        return 1;
    }
    repaintBackground();
    RECT client;
    GetClientRect(backgroundWindow, &client);
    writeResult("client %ld %ld\n", client.right, client.bottom);
    pumpUntilStopped();
    return 0;
}

void rectOf(HWND window, HWND dialog, RECT& rect) {
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
}

int runProgress() {
    if (!openProgressDialog()) {
        writeResult("no dialog\n");
        return 1;
    }
    RECT frame, bar;
    rectOf(GetDlgItem(progressDialog, IDC_PROGRESS_FRAME), progressDialog, frame);
    rectOf(progressBar, progressDialog, bar);
    writeResult("frame %ld %ld %ld %ld\nbar %ld %ld %ld %ld\n", frame.left, frame.top, frame.right, frame.bottom,
                bar.left, bar.top, bar.right, bar.bottom);
    int steps = 0, closes = 0;
    while (!stopRequested()) {
        if (setProgressText("Copying file %d of %s", steps, "Widget")) ++closes;
        setProgressPosition(steps % 101);
        ++steps;
        Sleep(20);
    }
    writeResult("finished %d position %d closes %d\n", steps,
                static_cast<int>(SendMessageA(progressBar, PBM_GETPOS, 0, 0)), closes);
    closeProgressDialog();
    writeResult("closed %s\n", !progressDialog && !progressBar ? "yes" : "no");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    result = std::fopen(argv[1], "w");
    if (!result) return 2;
    const char* command = argv[2];
    const char* argument = argc > 3 ? argv[3] : "";

    instanceHandle = GetModuleHandleA(nullptr);
    productName = "Widget";
    fillStringTable();
    setDefaultBackgroundColors();
    backgroundWindow = createBackgroundWindow(instanceHandle, nullptr);

    int code = 0;
    if (std::strcmp(command, "background") != 0) useGradient("Widget 2000 Setup");
    if (std::strcmp(command, "background") == 0) {
        code = showBackground(argument, argc > 4 ? argv[4] : "");
    } else if (std::strcmp(command, "ask") == 0) {
        writeResult("%s\n", askToContinue(backgroundWindow, argument, productName.cStr()) ? "stop" : "go on");
    } else if (std::strcmp(command, "language") == 0) {
        String names[Languages] = {LanguageNames[0], LanguageNames[1], LanguageNames[2]};
        int answer = showLanguageDialog(names, Languages);
        writeResult("%d %d\n", answer, languageIndex);
    } else if (std::strcmp(command, "license") == 0) {
        writeResult("%d\n", showLicenseDialog(argument));
    } else if (std::strcmp(command, "readme") == 0) {
        writeResult("%d\n", showReadmeDialog(argument));
    } else if (std::strcmp(command, "choosedir") == 0) {
        String directory(argument);
        bool chosen = chooseDirectory(directory);
        writeResult("%d\n%s\n", chosen ? 1 : 0, directory.cStr());
    } else if (std::strcmp(command, "progress") == 0) {
        code = runProgress();
    } else {
        code = 2;
    }
    std::fclose(result);
    return code;
}
