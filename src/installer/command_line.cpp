#include "installer/command_line.h"

#include "files/path_text.h"

namespace {

constexpr int AtomLimit = 20;  // the 20th atom is never read

// Applies one atom (switch character removed); false with errorText set.
bool applyAtom(String atom, CommandLineOptions& options, String& errorText) {
    if (atom.isEmpty()) return true;  // "/" or "-" alone
    if (atom.compare("A", false) == 0) {
        options.automaticMode = true;
    } else if (atom.compare("NORESTART", false) == 0) {
        options.noRestart = true;
    } else if (atom.removePrefix("D:")) {
        atom.unquote('"');
        options.installDirectoryOverride = atom;
    } else if (atom.removePrefix("N:")) {
        atom.unquote('"');
        options.productName = atom;
    } else if (atom.removePrefix("U")) {
        options.uninstallRequested = true;
        if (atom.removeFirstIf(':')) {
            atom.unquote('"');
            options.productName = atom;
        }
    } else {
        errorText = String("Illegal command line atom:\n") + atom;
        return false;
    }
    return true;
}

}  // namespace

bool parseCommandLine(const String& commandLine, CommandLineOptions& options, String& errorText) {
    String rest(commandLine);
    // Blanks after the last word end the line; they are not an empty word.
    for (int counter = 1; (rest.trimLeft(), !rest.isEmpty()) && counter < AtomLimit; ++counter) {
        String word = rest.nextWord();
        if (!word.removeSwitchChar()) {
            errorText = String("Unexpected command line parameter:\n") + word;
            return false;
        }
        if (!applyAtom(word, options, errorText)) return false;
    }
    if (options.uninstallRequested && options.productName.isEmpty()) {
        errorText = "Product name required";
        return false;
    }
    return true;
}

String programPathFromCommandLine(const String& processCommandLine) {
    String line(processCommandLine);
    line.trimLeft();
    String path;
    if (line.firstCharIs('"')) {
        path = line.takeQuoted('"', 0);
    } else {
        int space = line.findChar(' ');
        path = space >= 0 ? line.substring(0, space) : line;
    }
    addExtension(path, "EXE");
    return path;
}
