#include <gtest/gtest.h>

#include <string>

#include "shell/version_text.h"

namespace {

std::string padded(const char* version) {
    String out = paddedVersion(version);
    return std::string(out.cStr(), static_cast<size_t>(out.length()));
}

TEST(VersionText, PadsEveryComponentToTenCharacters) {
    struct Case {
        const char* version;
        const char* padded;
    } cases[] = {
        {"4.0.1381.4", "0000000004.0000000000.0000001381.0000000004"},
        {"5.00.2195.1", "0000000005.0000000000.0000002195.0000000001"},
        {"1.2", "0000000001.0000000002"},
        {"1.10", "0000000001.0000000010"},
        {"7", "0000000007"},
        {"1..3", "0000000001.0000000000.0000000003"},  // an empty component is ten zeros
        {".5", "0000000000.0000000005"},
        {"2.", "0000000002.0000000000"},
        {"1.0123456789", "0000000001.0123456789"},     // exactly ten: unchanged
        {"1.012345678901", "0000000001.012345678901"}, // twelve: unchanged
        {"1.0 beta", "0000000001.00000 BETA"},         // the label counts in the width
        {"2.1a", "0000000002.000000001A"},
        {"", ""},                                      // no version stays no version
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        EXPECT_EQ(padded(c.version), c.padded);
    }
}

TEST(VersionText, PaddedFormsCompareAsVersions) {
    struct Case {
        const char* lower;
        const char* higher;
    } cases[] = {
        {"1.9", "1.10"},
        {"1.2", "1.2.1"},
        {"4.0.1381.4", "5.00.2195.1"},
        {"2.99.99", "10.0"},
        {"1.0a", "1.0B"},  // lower case letters compare as upper case
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lower) + " < " + c.higher);
        EXPECT_LT(padded(c.lower), padded(c.higher));
        EXPECT_FALSE(padded(c.lower) == padded(c.higher));
    }
    EXPECT_EQ(padded("1.0b"), padded("1.0B"));
    EXPECT_EQ(padded("3.1"), padded("03.01"));
}

}  // namespace
