#include <gtest/gtest.h>

#include <string>

#include "files/path_text.h"

namespace {

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

TEST(PathText, SeparatorDirectoryAndFileName) {
    struct Case {
        const char* path;
        int separator;
        const char* directory;
        const char* fileName;
    } cases[] = {
        {"c:\\dir\\file", 6, "c:\\dir", "file"},
        {"c:\\file", 2, "c:\\", "file"},
        {"c:\\", 2, "c:\\", ""},
        {"c:file", 1, "c:", "file"},
        {"c:", 1, "c:", ""},
        {"dir\\file", 3, "dir", "file"},
        {"file.txt", -1, "", "file.txt"},
        {"\\file", 0, "", "file"},
        {"c:\\dir\\", 6, "c:\\dir", ""},
        {"c:\\a:b\\c", 6, "c:\\a:b", "c"},  // the backslash wins over a later colon
        {"ab:cd", 2, "ab:", "cd"},
        {"", -1, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(lastSeparatorIndex(c.path), c.separator);
        EXPECT_EQ(fileNameStart(c.path), c.separator + 1);
        EXPECT_EQ(text(directoryOf(c.path)), c.directory);
        EXPECT_EQ(text(fileNameOf(c.path)), c.fileName);
    }
}

TEST(PathText, StripFileNameKeepsTheSeparator) {
    struct Case {
        const char* path;
        bool changed;
        const char* after;
    } cases[] = {
        {"c:\\dir\\a.txt", true, "c:\\dir\\"},
        {"c:a.txt", true, "c:"},
        {"c:\\", true, "c:\\"},
        {"a.txt", false, "a.txt"},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        String path(c.path);
        EXPECT_EQ(stripFileName(path), c.changed);
        EXPECT_EQ(text(path), c.after);
    }
}

TEST(PathText, SplitPath) {
    struct Case {
        const char* path;
        bool result;
        const char* directory;
        const char* name;
    } cases[] = {
        {"c:\\dir\\a.txt", true, "c:\\dir\\", "a.txt"},
        {"c:\\", true, "c:\\", ""},
        {"c:a.txt", true, "c:", "a.txt"},
        {"\\a.txt", true, "\\", "a.txt"},
        {"a.txt", true, "", "a.txt"},
        {"", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        String directory("stale"), name("stale");
        EXPECT_EQ(splitPath(c.path, directory, name), c.result);
        EXPECT_EQ(text(directory), c.directory);
        EXPECT_EQ(text(name), c.name);
    }
}

TEST(PathText, JoinPath) {
    struct Case {
        const char* dir;
        const char* name;
        const char* joined;
    } cases[] = {
        {"c:\\a", "b", "c:\\a\\b"},
        {"c:\\a\\", "b", "c:\\a\\b"},
        {"c:\\a\\", "\\b", "c:\\a\\b"},
        {"c:\\a", "\\b", "c:\\a\\b"},
        {"c:\\a\\\\", "\\b", "c:\\a\\\\b"},  // only one trailing backslash is dropped
        {"c:", "b", "c:b"},
        {"c:\\", "b", "c:\\b"},
        {"c:\\a", "", "c:\\a"},
        {"c:\\a\\", "", "c:\\a\\"},
        {"", "b\\c", "b\\c"},
        {"", "", ""},
        {nullptr, "b", "b"},
        {"c:\\a", nullptr, "c:\\a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.dir ? c.dir : "<null>") + " + " + (c.name ? c.name : "<null>"));
        EXPECT_EQ(text(joinPath(c.dir, c.name)), c.joined);
    }
}

TEST(PathText, AddExtensionAndPrefixDirectory) {
    struct ExtensionCase {
        const char* path;
        const char* extension;
        bool changed;
        const char* after;
    } extensionCases[] = {
        {"c:\\dir\\readme", "txt", true, "c:\\dir\\readme.txt"},
        {"c:\\dir\\readme", ".txt", true, "c:\\dir\\readme.txt"},
        {"c:\\dir.d\\readme", "txt", true, "c:\\dir.d\\readme.txt"},  // a dot in a folder does not count
        {"c:\\dir\\readme.me", "txt", false, "c:\\dir\\readme.me"},
    };
    for (const ExtensionCase& c : extensionCases) {
        SCOPED_TRACE(c.path);
        String path(c.path);
        EXPECT_EQ(addExtension(path, c.extension), c.changed);
        EXPECT_EQ(text(path), c.after);
    }

    struct PrefixCase {
        const char* name;
        const char* dir;
        bool changed;
        const char* after;
    } prefixCases[] = {
        {"a.txt", "c:\\dir", true, "c:\\dir\\a.txt"},
        {"a.txt", "c:\\dir\\", true, "c:\\dir\\a.txt"},
        {"sub\\a.txt", "c:\\dir", false, "sub\\a.txt"},
        {"d:a.txt", "c:\\dir", false, "d:a.txt"},
        {"a.txt", "", false, "a.txt"},
        {"a.txt", nullptr, false, "a.txt"},
    };
    for (const PrefixCase& c : prefixCases) {
        SCOPED_TRACE(c.name);
        String name(c.name);
        EXPECT_EQ(prefixDirectory(name, c.dir), c.changed);
        EXPECT_EQ(text(name), c.after);
    }
}

TEST(PathText, MakeAbsolute) {
    struct Case {
        const char* path;
        const char* base;
        bool changed;
        const char* after;
    } cases[] = {
        {"sub", "c:\\inst", true, "c:\\inst\\sub"},
        {"sub", "c:\\inst\\", true, "c:\\inst\\sub"},
        {"sub\\deeper", "c:\\", true, "c:\\sub\\deeper"},
        {"\\sub", "c:\\inst", true, "c:\\sub"},
        {"c:\\sub", "c:\\inst", false, "c:\\sub"},
        {"d:sub", "c:\\inst", true, "d:\\inst\\sub"},
        {"d:sub", "c:\\inst\\", true, "d:\\inst\\sub"},
        {"d:", "c:\\x\\y", true, "d:\\x\\y\\"},
        {"sub", "inst", false, "sub"},          // the base must be absolute
        {"sub", "c:inst", false, "sub"},
        {"sub", "", false, "sub"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " against " + c.base);
        String path(c.path);
        EXPECT_EQ(makeAbsolute(path, c.base), c.changed);
        EXPECT_EQ(text(path), c.after);
    }
}

TEST(PathText, Drives) {
    struct Case {
        const char* path;
        char letter;
        const char* root;
        bool absolute;
    } cases[] = {
        {"c:\\dir", 'C', "c:\\", true},
        {"D:file", 'D', "D:", false},
        {"z:", 'Z', "z:", false},
        {"1:\\dir", 0, "", true},  // absolute only looks at ":\"
        {"\\\\server\\share", 0, "", false},
        {"dir", 0, "", false},
        {"", 0, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(driveLetterOf(c.path), c.letter);
        EXPECT_EQ(text(driveRootOf(c.path)), c.root);
        EXPECT_EQ(isAbsoluteDrivePath(c.path), c.absolute);
    }
}

TEST(PathText, IsValidPath) {
    struct Case {
        const char* path;
        bool valid;
    } cases[] = {
        {"c:\\Program Files\\App", true},
        {"\"c:\\Program Files\\App\"", true},
        {"relative\\dir", true},
        {"\\\\server\\share", true},
        {"c:\\a:b", false},
        {"c:\\a?b", false},
        {"c:\\a*b", false},
        {"c:\\a;b", false},
        {"c:/a", false},
        {"c:\\a<b", false},
        {"c:\\a>b", false},
        {"c:\\a|b", false},
        {"c:\\a\"b", false},
        {"\"c:\\a", false},       // one quote only: not stripped, so invalid
        {"::\\a", false},         // the second colon is removed once only
        {"", false},
        {"\"\"", false},          // quoted nothing
        {"\"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(isValidPath(c.path), c.valid);
    }
}

TEST(PathText, PathsEqual) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {"C:\\Prog\\", "c:\\prog", true},
        {"C:\\Dir\\\\", "c:\\dir", true},
        {"c:\\dir", "c:\\dir\\\\\\", true},
        {"c:\\dir", "c:\\dirx", false},
        {"c:\\dir", "c:\\di", false},
        {"c:\\dir\\sub", "c:\\dir", false},
        {"\\", "", true},
        {"", "", true},
        {"c:\\", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(pathsEqual(c.a, c.b), c.equal);
        EXPECT_EQ(pathsEqual(c.b, c.a), c.equal);
    }
}

}  // namespace
