#include "installer/fonts.h"

#include "files/path_text.h"
#include "registry/registry.h"
#include "runtime/string_table.h"

const char* fontsRegistryKey(bool windowsNT) {
    return windowsNT ? "Microsoft\\Windows NT\\CurrentVersion\\Fonts" : "Microsoft\\Windows\\CurrentVersion\\Fonts";
}

bool addFont(const String& name, const String& displayName, const String& target, RunState& state) {
    if (AddFontResourceA(name.cStr()) == 0) {
        state.problemText.appendFormat("%s %s\r\n", message(31), target.cStr());
        return false;
    }
    // The list is read back by its double quotes, and a blank value name
    // would be the key's default value: such names fall back to the file's.
    String shownName = displayName;
    shownName.removeAllChars('"');
    if (shownName.isBlank()) shownName = fileNameOf(name);

    // Without the registry value the font is gone after the next restart.
    bool registered = openSoftwareKey(fontsRegistryKey(state.windowsNT), false, 0) != 0;
    if (registered) {
        registered = setString(shownName.cStr(), name.cStr(), 0);
        closeKey();
    }
    if (!registered)
        state.problemText.appendFormat("Registry error: unable to register the font %s.\r\n", target.cStr());
    state.fontList.appendFormat("\"%s\" \"%s\" ", shownName.cStr(), name.cStr());
    state.fontsAdded = true;
    return true;
}
