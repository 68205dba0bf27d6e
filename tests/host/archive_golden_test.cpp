// The crafted inputs in tests/golden/header and tests/golden/records (also
// replayed by the fuzz targets): each file's name starts with the code it
// must end in ("code29-..."; code00 for a sound input).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/archive_header.h"
#include "archive/file_record.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int expectedCode(const fs::path& p) { return std::stoi(p.filename().string().substr(4)); }

std::vector<fs::path> inputs(const char* name) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(fs::path(QP_SOURCE_DIR) / "tests" / "golden" / name))
        if (e.path().extension() == ".bin") files.push_back(e.path());
    return files;
}

// The same reading as fuzz/header_fuzz.cpp: a key, then the header image.
TEST(ArchiveGolden, HeaderInputsEndInTheCodeTheirNamesGive) {
    auto files = inputs("header");
    ASSERT_GE(files.size(), 10u);
    for (const fs::path& f : files) {
        std::string bytes = readFile(f);
        ASSERT_GE(bytes.size(), 4u) << f;
        uint32_t key = uint8_t(bytes[0]) | uint8_t(bytes[1]) << 8 | uint8_t(bytes[2]) << 16 | uint32_t(uint8_t(bytes[3])) << 24;
        String block(bytes.data() + 4, static_cast<int>(bytes.size() - 4));
        decodeHeaderImage(block, 0);
        ArchiveHeader header;
        EXPECT_EQ(parseArchiveHeader(block, key, header), expectedCode(f)) << f.filename();
    }
}

// The same reading as fuzz/records_fuzz.cpp: flags and count byte, sizes, payload.
TEST(ArchiveGolden, RecordInputsEndInTheCodeTheirNamesGive) {
    auto files = inputs("records");
    ASSERT_GE(files.size(), 5u);
    for (const fs::path& f : files) {
        std::string bytes = readFile(f);
        ASSERT_GE(bytes.size(), 1u) << f;
        bool testChecksums = bytes[0] & 1;
        int count = ((uint8_t(bytes[0]) >> 1) & 7) + 1;
        size_t head = 1 + 4 * size_t(count);
        ASSERT_GE(bytes.size(), head) << f;
        MemoryStream payload;
        payload.write(bytes.data() + head, static_cast<int>(bytes.size() - head));
        payload.seek(0);
        int code = 0;
        for (int i = 0; i < count && code == 0; ++i) {
            int32_t size = 0;
            std::memcpy(&size, bytes.data() + 1 + 4 * i, 4);
            FileRecord record;
            code = decodeFileRecord(payload, size, testChecksums, record);
        }
        EXPECT_EQ(code, expectedCode(f)) << f.filename();
    }
}

}  // namespace
