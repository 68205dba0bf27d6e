#include <gtest/gtest.h>

#include <string>

#include "core/line_cursor.h"
#include "core/str.h"

namespace {

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

// The cursor must give exactly the lines that taking them off the front
// gives, with and without their endings, and leave the text as it was.
TEST(LineCursor, GivesTakeLinesLinesWithoutChangingTheText) {
    const std::string cases[] = {
        "",
        "one",
        "one\r\ntwo\r\n",
        "a\nb\rc\n\rd\r\n\r\ne",
        "\r\n\r\n\r\n",
        "tail without ending\r\n~12\r\nmessage\r\n",
        std::string("nul\0inside\0", 11),
        "\n\r\r\n\n",
    };
    for (const std::string& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c));
        for (bool withEnding : {false, true}) {
            String source(c.data(), static_cast<int>(c.size()));
            String taken = source;
            LineCursor cursor(source);
            while (!taken.isEmpty()) {
                ASSERT_FALSE(cursor.atEnd());
                EXPECT_EQ(cursor.peek(), taken.cStr()[0]);
                String expected = withEnding ? taken.takeLineWithEnding() : taken.takeLine();
                EXPECT_EQ(text(cursor.next(withEnding)), text(expected));
            }
            EXPECT_TRUE(cursor.atEnd());
            EXPECT_EQ(cursor.peek(), '\0');
            EXPECT_EQ(text(cursor.next(withEnding)), "");
            EXPECT_EQ(text(source), c);
        }
    }
}

}  // namespace
