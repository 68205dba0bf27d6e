#include "installer/shared_counts.h"

#include "files/path_text.h"
#include "installer/header_settings.h"
#include "registry/registry.h"

String sharedFilePath(const String& name) {
    if (name.firstCharIs('\\') || driveLetterOf(name)) return name;
    return joinPath(sharedDirectory, name);
}

String takeSharedFileName(String& list) {
    String name = list.takeQuoted('"');
    if (!name.isEmpty()) list.removeFirstIf(';');
    return name;
}

void updateSharedFileCounts(RunState& state) {
    if (!openSoftwareKey("Microsoft\\Windows\\CurrentVersion\\SharedDLLs", false, 0)) {
        state.problemText.append("Registry error: unable to increment shared file reference counts.\r\n\r\n");
        return;
    }
    if (state.reinstallation) {
        while (!state.sharedFilesText.isEmpty()) {
            String name = takeSharedFileName(state.sharedFilesText);
            if (name.isEmpty()) break;
            // The same full path the count was raised under, also for a
            // name in a subfolder of the shared directory.
            String path = sharedFilePath(name);
            int32_t count = getInt(path.cStr(), 0, 0);
            if (count <= 1) deleteValue(path.cStr());
            else setInt(path.cStr(), count - 1, 0);
        }
        state.sharedFilesText.clear();
    }
    Iterator it;
    for (String* name = state.sharedNames.first(it); name; name = state.sharedNames.next(it)) {
        String path = sharedFilePath(*name);
        setInt(path.cStr(), getInt(path.cStr(), 0, 0) + 1, 0);
        if (!state.sharedFilesText.isEmpty()) state.sharedFilesText.appendChar(';');
        state.sharedFilesText.appendFormat("\"%s\"", name->cStr());
    }
    closeKey();
}
