// The payload's token image expanded on a thread of its own while placeFiles
// reads the records from the bytes already there: every file must come out
// whole, whichever of the two runs ahead.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "core/expand_block.h"
#include "files_test_support.h"
#include "installer/background_expansion.h"
#include "installer/placement.h"
#include "placement_test_support.h"

namespace {

void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char(v >> (8 * i));
}

// The bytes as a token image: long literals of up to 16,383 bytes, and a
// run token wherever 40 bytes repeat one value (so that runs and literals
// alternate where the contents have stretches of one value).
std::string tokenImageOf(const String& bytes, int32_t hint) {
    std::string out;
    put32(out, CompressedImageMagic);
    put32(out, uint32_t(hint));
    const std::string data(bytes.cStr(), size_t(bytes.length()));
    size_t i = 0;
    while (i < data.size()) {
        size_t run = 1;
        while (i + run < data.size() && run < 66 && data[i + run] == data[i]) ++run;
        if (run >= 40) {
            out += char(run - 3);
            out += data[i];
            i += run;
            continue;
        }
        // A literal up to where a stretch of 40 equal bytes begins.
        size_t end = i + 1, same = 1;
        while (end < data.size() && end - i < 16383) {
            same = data[end] == data[end - 1] ? same + 1 : 1;
            if (same == 40) {
                end -= 39;
                break;
            }
            ++end;
        }
        const size_t n = end - i;
        out += char(0x80 | (n & 0x3F));
        out += char(n >> 6);
        out += data.substr(i, n);
        i += n;
    }
    return out;
}

std::string contentsOf(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = (i / 512) % 3 == 0 ? 'z' : char('a' + random() % 26);
    return s;
}

// Records of many sizes around the 1 MiB steps in which the expansion is
// reported: small ones, ones that straddle a step, one far larger, and one
// whose extra text is longer than the reader's first guess at a record's texts.
PayloadBuilder sampleRecords(std::vector<std::string>& contents) {
    PayloadBuilder payload;
    const size_t sizes[] = {10, 700000, 1048000, 3, 2500000, 0, 400000, 1048576, 123457, 90000};
    for (size_t k = 0; k < sizeof sizes / sizeof *sizes; ++k) {
        contents.push_back(contentsOf(sizes[k], unsigned(k)));
        const std::string extra = k == 3 ? std::string(6000, 'x') : "";
        payload.add(("dir" + std::to_string(k % 3) + "\\file" + std::to_string(k) + ".bin").c_str(), KindInstallFolder,
                    0, contents.back(), extra.c_str());
    }
    return payload;
}

TEST_F(PlacementTest, ATokenImageIsPlacedWhileItExpands) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        std::vector<std::string> contents;
        PayloadBuilder records = sampleRecords(contents);
        // The hint is only a hint: the reader sizes the payload by measuring the tokens.
        const int32_t hints[] = {records.bytes.length(), 0, 100};
        const std::string image = tokenImageOf(records.bytes, hints[round]);
        MemoryStream payload;
        payload.assign(image.data(), int(image.size()));
        BackgroundExpansion expansion;
        ASSERT_TRUE(expansion.start(payload));
        placeFiles(payload, records.sizes.data(), records.count(), state, &expansion);
        EXPECT_TRUE(expansion.finish());
        EXPECT_EQ(text(payload), text(records.bytes));
        for (size_t k = 0; k < contents.size(); ++k) {
            const std::string path = install + "\\dir" + std::to_string(k % 3) + "\\file" + std::to_string(k) + ".bin";
            EXPECT_EQ(fileBytes(path), contents[k]) << "file " << k;
            // The time lies behind the contents: a record read before it was there would miss it.
            EXPECT_EQ(timeText(localTimeOf(path)), "2020-05-06 07:08:09") << "file " << k;
        }
        EXPECT_EQ(text(state.problemText), "");
        state.uninstallRecord.entries.clear();
    }
}

TEST(BackgroundExpansion, RefusesWhatIsNoSoundTokenImage) {
    std::string sound = tokenImageOf(String("sound enough"), 12);
    const std::string cases[] = {
        "",
        "no image at all, just bytes",
        sound.substr(0, sound.size() - 1),  // the literal's last byte cut off
    };
    for (const std::string& bytes : cases) {
        MemoryStream payload;
        payload.assign(bytes.data(), int(bytes.size()));
        BackgroundExpansion expansion;
        EXPECT_FALSE(expansion.start(payload));
        EXPECT_FALSE(expansion.started());
        EXPECT_EQ(text(payload), bytes) << "the payload is left as it was";
        EXPECT_TRUE(expansion.finish());
    }
}

}  // namespace
