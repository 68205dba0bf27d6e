#include <gtest/gtest.h>

#include <string>

#include "files/file.h"
#include "files/file_attributes.h"
#include "files_test_support.h"

// The read-only attribute only binds writers without the rights to ignore it,
// so the harness runs the Unprivileged suites as an ordinary user.
namespace {

TEST(UnprivilegedReadOnly, NobodyWritesAReadOnlyFile) {
    std::string folder = scratchFolder();
    std::string path = folder + "\\locked.txt";
    putFile(path, "original");
    ASSERT_TRUE(setReadOnly(path.c_str(), true));

    File file;
    EXPECT_FALSE(file.openReadWrite(path.c_str(), false));
    EXPECT_FALSE(file.open(path.c_str(), OpenExisting | NoRead));
    EXPECT_FALSE(file.create(path.c_str(), false));
    EXPECT_FALSE(writeWholeFile(path.c_str(), "replaced", 8));
    EXPECT_FALSE(appendText(path.c_str(), "more"));
    DWORD start = GetTickCount();
    EXPECT_FALSE(isFileWritable(path.c_str()));
    EXPECT_GE(GetTickCount() - start, 450u);
    EXPECT_EQ(fileBytes(path), "original");

    // Reading is still allowed.
    ASSERT_TRUE(file.openRead(path.c_str(), false));
    EXPECT_EQ(file.size(), 8);
    file.close();

    ASSERT_TRUE(setReadOnly(path.c_str(), false));
    EXPECT_TRUE(isFileWritable(path.c_str()));
    EXPECT_TRUE(writeWholeFile(path.c_str(), "replaced", 8));
    EXPECT_EQ(fileBytes(path), "replaced");

    ASSERT_TRUE(setReadOnly(path.c_str(), true));
    EXPECT_TRUE(deleteFile(path.c_str()));
    EXPECT_FALSE(exists(path));
}

}  // namespace
