// The archive header and file records: what the builder writes the reader
// reads back field for field, and every damaged form ends in its code.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "archive/archive_header.h"
#include "archive/file_record.h"
#include "core/memory_stream.h"
#include "core/range_image.h"
#include "qpack/archive_writer.h"
#include "qpack/range_compressor.h"

namespace {

String asString(const Bytes& b) { return String(reinterpret_cast<const char*>(b.data()), static_cast<int>(b.size())); }

ArchiveContent sampleContent() {
    ArchiveContent c;
    c.flags = FlagRegisterProduct | FlagTestChecksums | FlagExtendsProduct | FlagUseColors;
    c.uninstallerTime = ArchiveTime{2024, 5, 1, 12, 30, 59};
    c.publisher = "Pub";
    c.productName = "Prod";
    c.startMenuFolder = "Menu\\Sub";
    c.defaultDirectory = "<os>\\Prod";
    c.productVersion = "2.5";
    c.productRegistryKey = "Pub\\Prod";
    c.licenceText = "licence\r\ntext";
    c.readmeText = "readme";
    c.uninstallSubdir = "Uninst";
    c.titleColor = 0x00FFFFFF;
    c.topColor = 0x00800000;
    c.bottomColor = 0x00000010;
    c.picture = {0x28, 0, 0, 0, 0xFF, 0x80, 0x00, 0x01};
    c.masterProduct = "Master";
    for (int i = 0; i < ScriptCount; ++i) c.scripts[i] = "echo " + std::to_string(i) + "\r\n";
    c.archiveDate = ArchiveDate{31, 12, 2023};
    c.languageNames = {"English", "Deutsch", "Fran\xE7" "ais"};
    for (int n = 0; n < 60; ++n)
        c.strings.push_back({"en " + std::to_string(n), "de " + std::to_string(n), n == 7 ? "" : "fr"});
    ArchiveRecord a{"bin\\a.exe", KindInstallFolder, FileDesktopShortcut | PlaceOnlyIfMissing, {1, 2, 3, 0, 0xFF},
                    ArchiveTime{2020, 1, 2, 3, 4, 5}, "A shortcut"};
    ArchiveRecord empty{"empty.txt", KindShared, 0, {}, ArchiveTime{}, ""};
    ArchiveRecord sys{"q.dll", KindSystem, PlaceOnlyIfPresent, {9}, ArchiveTime{1999, 12, 31, 23, 59, 59},
                      "0000000001.0000000002"};
    c.records = {a, empty, sys};
    return c;
}

TEST(ArchiveHeader, ReadsBackEveryFieldTheBuilderWrote) {
    ArchiveContent c = sampleContent();
    Bytes payload = encodeRecords(c.records);
    Bytes plain = encodePlainHeader(c, 0x12345678u, payload);
    ArchiveHeader h;
    ASSERT_EQ(parseArchiveHeader(asString(plain), checksumOf(plain), h), 0);

    EXPECT_EQ(h.flags, c.flags);
    EXPECT_EQ(h.uninstallerTime.year, 2024);
    EXPECT_EQ(h.uninstallerTime.second, 59);
    EXPECT_EQ(h.programChecksum, 0x12345678u);
    ASSERT_EQ(h.fileCount, 3);
    EXPECT_EQ(h.fileSizes[0], 5);
    EXPECT_EQ(h.fileSizes[1], 0);
    EXPECT_EQ(h.fileSizes[2], 1);
    EXPECT_EQ(h.payloadLength, static_cast<int32_t>(payload.size()));
    EXPECT_EQ(h.payloadChecksum, checksumOf(payload));
    const std::pair<const String*, const std::string*> texts[] = {
        {&h.publisher, &c.publisher},         {&h.productName, &c.productName},
        {&h.startMenuFolder, &c.startMenuFolder}, {&h.defaultDirectory, &c.defaultDirectory},
        {&h.productVersion, &c.productVersion}, {&h.productRegistryKey, &c.productRegistryKey},
        {&h.licenceText, &c.licenceText},     {&h.readmeText, &c.readmeText},
        {&h.uninstallSubdir, &c.uninstallSubdir}, {&h.masterProduct, &c.masterProduct},
    };
    for (const auto& t : texts) EXPECT_STREQ(t.first->cStr(), t.second->c_str());
    for (int i = 0; i < ScriptCount; ++i) EXPECT_STREQ(h.scripts[i].cStr(), c.scripts[i].c_str());
    EXPECT_EQ(h.titleColorValue, c.titleColor);
    EXPECT_EQ(h.topColorValue, c.topColor);
    EXPECT_EQ(h.bottomColorValue, c.bottomColor);
    ASSERT_EQ(h.picture.length(), 8);
    EXPECT_EQ(std::memcmp(h.picture.cStr(), c.picture.data(), 8), 0);
    EXPECT_EQ(h.archiveDate.day, 31);
    EXPECT_EQ(h.archiveDate.month, 12);
    EXPECT_EQ(h.archiveDate.year, 2023);
    ASSERT_EQ(h.languageCount, 3);
    ASSERT_EQ(h.stringCount, 60);
    for (int l = 0; l < 3; ++l) EXPECT_STREQ(h.languageNames[l].cStr(), c.languageNames[l].c_str());
    for (int n = 0; n < 60; ++n)
        for (int l = 0; l < 3; ++l) EXPECT_STREQ(h.text(n, l)->cStr(), c.strings[n][l].c_str()) << n << "/" << l;
    EXPECT_EQ(h.text(60, 0), nullptr);
    EXPECT_EQ(h.text(0, 3), nullptr);

    MemoryStream stream{asString(payload)};
    for (int i = 0; i < h.fileCount; ++i) {
        FileRecord r;
        ASSERT_EQ(decodeFileRecord(stream, h.fileSizes[i], true, r), 0) << i;
        const ArchiveRecord& w = c.records[i];
        EXPECT_STREQ(r.name.cStr(), w.name.c_str());
        EXPECT_EQ(r.kind, w.kind);
        EXPECT_EQ(r.fileFlags, w.fileFlags);
        ASSERT_EQ(r.contents.length, static_cast<int>(w.contents.size()));
        if (!w.contents.empty()) {
            EXPECT_EQ(std::memcmp(r.contents.bytes, w.contents.data(), w.contents.size()), 0);
        }
        EXPECT_EQ(r.fileTime.year, w.time.year);
        EXPECT_EQ(r.fileTime.month, w.time.month);
        EXPECT_EQ(r.fileTime.second, w.time.second);
        EXPECT_STREQ(r.extra.cStr(), w.extra.c_str());
    }
    EXPECT_TRUE(stream.atEnd());
}

TEST(ArchiveHeader, MasterProductIsPresentOnlyWithItsFlag) {
    ArchiveContent c = sampleContent();
    c.flags &= ~uint32_t(FlagExtendsProduct);
    Bytes plain = encodePlainHeader(c, 0, encodeRecords(c.records));
    ArchiveHeader h;
    ASSERT_EQ(parseArchiveHeader(asString(plain), checksumOf(plain), h), 0);
    EXPECT_TRUE(h.masterProduct.isEmpty());
    EXPECT_STREQ(h.scripts[ScriptPreInstall].cStr(), "echo 0\r\n");
}

// A header stream composed field by field, so each case can damage one count.
struct RawHeader {
    uint32_t flags = 0;
    int32_t fileCount = 1;
    std::vector<int32_t> sizes{4};
    int32_t payloadLength = 30;
    int32_t pictureSize = 0;
    int languageCount = 1;
    int32_t stringCount = 2;
    uint32_t endMarker = HeaderEndMarker;
    size_t cutTo = 0;  // 0: whole

    Bytes bytes() const {
        ByteWriter w;
        w.u32(flags);
        w.time(ArchiveTime{});
        w.u32(0);
        w.i32(fileCount);
        for (int32_t s : sizes) w.i32(s);
        w.i32(payloadLength);
        w.u32(0);
        for (int i = 0; i < 9; ++i) w.text("t");
        w.u32(1), w.u32(2), w.u32(3);
        w.i32(pictureSize);
        for (int i = 0; i < 5; ++i) w.text("");
        w.date(ArchiveDate{1, 1, 2000});
        w.u8(static_cast<uint8_t>(languageCount));
        w.i32(stringCount);
        for (int l = 0; l < languageCount; ++l) w.text("L");
        for (int64_t i = 0; i < int64_t(languageCount) * std::min(stringCount, 10000); ++i) w.text("m");
        w.u32(endMarker);
        Bytes b = w.bytes;
        if (cutTo) b.resize(cutTo);
        return b;
    }
};

TEST(ArchiveHeader, EachDamagedCountEndsInItsCode) {
    struct Case {
        const char* what;
        RawHeader header;
        int code;
    };
    auto with = [](auto change) {
        RawHeader h;
        change(h);
        return h;
    };
    const Case cases[] = {
        {"sound", RawHeader{}, 0},
        {"no files", with([](RawHeader& h) { h.fileCount = 0, h.sizes.clear(); }), CodeBadFileCount},
        {"negative file count", with([](RawHeader& h) { h.fileCount = -3, h.sizes.clear(); }), CodeBadFileCount},
        {"negative size", with([](RawHeader& h) { h.fileCount = 2, h.sizes = {5, -1}; }), CodeNegativeFileSize},
        {"empty payload", with([](RawHeader& h) { h.payloadLength = 0; }), CodeBadPayloadLength},
        {"file count beyond the block", with([](RawHeader& h) { h.fileCount = 0x7FFFFFFF; }), CodeBadPayloadLength},
        {"no languages", with([](RawHeader& h) { h.languageCount = 0; }), CodeNoLanguages},
        {"no strings", with([](RawHeader& h) { h.stringCount = 0; }), CodeBadStringCount},
        {"10001 strings", with([](RawHeader& h) { h.stringCount = 10001; }), CodeBadStringCount},
        {"10000 strings", with([](RawHeader& h) { h.stringCount = 10000; }), 0},
        {"wrong end marker", with([](RawHeader& h) { h.endMarker = 0xD3E82B96; }), CodeBadEndMarker},
        {"cut before the end marker", with([](RawHeader& h) { h.cutTo = 100; }), CodeBadEndMarker},
        {"picture beyond the block", with([](RawHeader& h) { h.pictureSize = 0x7FFFFFF0; }), CodeNoLanguages},
        {"cut inside the sizes", with([](RawHeader& h) { h.cutTo = 38; }), CodeBadPayloadLength},
        {"cut inside the flags", with([](RawHeader& h) { h.cutTo = 2; }), CodeBadFileCount},
    };
    for (const Case& c : cases) {
        Bytes b = c.header.bytes();
        ArchiveHeader h;
        EXPECT_EQ(parseArchiveHeader(asString(b), 0, h), c.code) << c.what;
    }
}

TEST(ArchiveHeader, ChecksumIsTestedOnlyWithItsFlag) {
    for (bool flagged : {false, true}) {
        RawHeader raw;
        raw.flags = flagged ? uint32_t(FlagTestChecksums) : 0u;
        Bytes b = raw.bytes();
        uint32_t key = checksumOf(b);
        ArchiveHeader h;
        EXPECT_EQ(parseArchiveHeader(asString(b), key, h), 0) << flagged;
        EXPECT_EQ(parseArchiveHeader(asString(b), key + 1, h), flagged ? CodeHeaderChecksum : 0) << flagged;
    }
}

TEST(ArchiveHeader, DecodingUnscramblesAndExpandsOnlyACompressedImage) {
    const char plain[] = "plain header bytes";
    String image(plain, 18);
    scramble(image.data(), image.length(), 0xA1B2C3D4u);
    decodeHeaderImage(image, 0xA1B2C3D4u);
    EXPECT_STREQ(image.cStr(), plain);
    // Five zero bytes scrambled give the key's bytes, then its lowest byte again.
    String zeros(5);
    std::memset(zeros.data(), 0, 5);
    scramble(zeros.data(), 5, 0x11223344u);
    const unsigned char want[] = {0x44, 0x33, 0x22, 0x11, 0x44};
    EXPECT_EQ(std::memcmp(zeros.cStr(), want, 5), 0);
}

TEST(ArchiveHeader, ARangeCodedHeaderDecodesAndADamagedOneFailsItsChecksum) {
    // Without test-checksums in the header: the damaged image is checked all the same.
    ArchiveContent c = sampleContent();
    c.flags &= ~uint32_t(FlagTestChecksums);
    Bytes plain = encodePlainHeader(c, 0x12345678u, encodeRecords(c.records));
    const uint32_t key = checksumOf(plain);
    const Bytes image = compressRangeImage(plain.data(), plain.size());
    ASSERT_EQ(image[0] | image[1] << 8 | image[2] << 16 | uint32_t(image[3]) << 24, RangeImageMagic);
    const size_t segmentTableEnd = RangeImageHeadSize + RangeSegmentEntrySize;
    ASSERT_GT(image.size(), segmentTableEnd);
    const struct {
        const char* what;
        std::function<void(Bytes&)> damage;
        int code;
    } cases[] = {
        {"sound", [](Bytes&) {}, 0},
        {"cut by a byte", [](Bytes& b) { b.pop_back(); }, CodeHeaderChecksum},
        {"cut inside the segment table", [&](Bytes& b) { b.resize(segmentTableEnd - 1); }, CodeHeaderChecksum},
        {"segment's expanded size one larger", [](Bytes& b) { ++b[RangeImageHeadSize]; }, CodeHeaderChecksum},
        {"segment's packed size one smaller", [](Bytes& b) { --b[RangeImageHeadSize + 4]; }, CodeHeaderChecksum},
    };
    for (const auto& cs : cases) {
        Bytes damaged = image;
        cs.damage(damaged);
        String block = asString(damaged);
        scramble(block.data(), block.length(), key);
        decodeHeaderImage(block, key);
        ArchiveHeader h;
        EXPECT_EQ(parseArchiveHeader(block, key, h), cs.code) << cs.what;
        if (cs.code == 0) {
            EXPECT_TRUE(block == asString(plain));
            EXPECT_STREQ(h.masterProduct.cStr(), "Master");
            EXPECT_EQ(h.stringCount, 60);
        } else {
            // Refused images are read as they stand, their magic word as the flags.
            EXPECT_EQ(h.flags, RangeImageMagic) << cs.what;
        }
    }
}

Bytes recordBytes(const std::string& name, const Bytes& contents, uint32_t storedChecksum, size_t cutTo = 0) {
    ByteWriter w;
    w.text(name);
    w.i32(KindInstallFolder);
    w.i32(0);
    w.raw(contents);
    w.u32(storedChecksum);
    w.time(ArchiveTime{2001, 2, 3, 4, 5, 6});
    w.text("extra");
    if (cutTo) w.bytes.resize(cutTo);
    return w.bytes;
}

TEST(FileRecord, DamagedOrUnsafeRecordsEndInTheirCodes) {
    const Bytes contents{'a', 'b', 'c'};
    uint32_t good = checksumOf(contents);
    struct Case {
        const char* what;
        Bytes bytes;
        int32_t size;
        bool testChecksums;
        int code;
    };
    const Case cases[] = {
        {"sound", recordBytes("dir\\f.txt", contents, good), 3, true, 0},
        {"empty name", recordBytes("", contents, good), 3, true, CodeBadRecordName},
        {"parent component", recordBytes("..\\evil.exe", contents, good), 3, true, CodeBadRecordName},
        {"inner parent", recordBytes("a\\..\\..\\b", contents, good), 3, true, CodeBadRecordName},
        {"slash parent", recordBytes("a/../b", contents, good), 3, true, CodeBadRecordName},
        {"drive", recordBytes("C:\\Windows\\x.dll", contents, good), 3, true, CodeBadRecordName},
        {"stream colon", recordBytes("f.txt:stream", contents, good), 3, true, CodeBadRecordName},
        {"leading backslash", recordBytes("\\x.txt", contents, good), 3, true, CodeBadRecordName},
        {"contents past the end", recordBytes("f", contents, good, 2 + 8 + 2), 3, false, CodeContentsPastEnd},
        {"size past the end", recordBytes("f", contents, good), 0x7FFFFFFF, false, CodeContentsPastEnd},
        {"checksum differs, tested", recordBytes("f", contents, good ^ 1), 3, true, CodeContentsChecksum},
        {"checksum differs, untested", recordBytes("f", contents, good ^ 1), 3, false, 0},
        {"empty contents", recordBytes("f", {}, checksumOf({})), 0, true, 0},
    };
    for (const Case& c : cases) {
        MemoryStream s{asString(c.bytes)};
        FileRecord r;
        EXPECT_EQ(decodeFileRecord(s, c.size, c.testChecksums, r), c.code) << c.what;
        if (c.code == 0) {
            EXPECT_STREQ(r.extra.cStr(), "extra") << c.what;
            EXPECT_EQ(r.fileTime.day, 3) << c.what;
        }
    }
}

// A payload whose bytes come in steps, as from an expansion on another
// thread: each wait gives the smallest multiple of the step that covers
// what was asked, final once all is there.
struct SteppedPayload {
    MemoryStream* payload;
    int total;
    int step;
    int waits = 0;
    static ReadableExtent readableTo(void* self, int64_t end) {
        SteppedPayload& p = *static_cast<SteppedPayload*>(self);
        ++p.waits;
        int64_t readable = (end + p.step - 1) / p.step * p.step;
        if (readable > p.total) readable = p.total;
        p.payload->limitReads(int(readable));
        return {int(readable), readable == p.total};
    }
};

TEST(FileRecord, AGrowingPayloadDecidesAsTheWholeOne) {
    std::vector<ArchiveRecord> records = sampleContent().records;
    records.push_back({"long\\extra.txt", KindInstallFolder, 0, Bytes(5000, 'c'), ArchiveTime{2022, 2, 2, 2, 2, 2},
                       std::string(9000, 'x')});
    // A name so long that the contents pass the first guess at the record's end.
    records.push_back({std::string(4092, 'n'), KindInstallFolder, 0, Bytes(300, 'd'), ArchiveTime{2023, 3, 3, 3, 3, 3}, ""});
    records.push_back({"late.txt", KindShared, 0, {7, 7}, ArchiveTime{2021, 1, 1, 1, 1, 1}, "last"});
    records.push_back({"..\\damaged.txt", KindInstallFolder, 0, {1}, ArchiveTime{}, ""});
    const String bytes = asString(encodeRecords(records));
    for (int step : {1, 3, 64, 4097, 1 << 20}) {
        SCOPED_TRACE(step);
        MemoryStream whole{bytes};
        MemoryStream growing{bytes};
        SteppedPayload source{&growing, bytes.length(), step};
        for (const ArchiveRecord& w : records) {
            const int32_t size = int32_t(w.contents.size());
            FileRecord expected, actual;
            const int expectedCode = decodeFileRecord(whole, size, true, expected);
            ReadableExtent decidedOn{};
            ASSERT_EQ(decodeGrowingFileRecord(growing, size, true, actual, SteppedPayload::readableTo, &source,
                                              decidedOn),
                      expectedCode)
                << w.name;
            EXPECT_TRUE(decidedOn.final || growing.position() < decidedOn.end) << w.name;
            EXPECT_EQ(growing.position(), whole.position()) << w.name;
            EXPECT_STREQ(actual.name.cStr(), expected.name.cStr());
            EXPECT_EQ(actual.kind, expected.kind);
            EXPECT_EQ(actual.contentsChecksum, expected.contentsChecksum);
            EXPECT_EQ(actual.fileTime.year, expected.fileTime.year) << w.name;
            EXPECT_EQ(actual.fileTime.second, expected.fileTime.second) << w.name;
            EXPECT_STREQ(actual.extra.cStr(), expected.extra.cStr()) << w.name;
            EXPECT_EQ(std::string(actual.contents.bytes, size_t(actual.contents.length)),
                      std::string(expected.contents.bytes, size_t(expected.contents.length)))
                << w.name;
            if (expectedCode) break;
        }
        if (step == 1) {
            EXPECT_GT(source.waits, int(records.size())) << "small steps read some records again";
        }
    }
}

TEST(FileRecord, RecordNameSafety) {
    const std::pair<const char*, bool> cases[] = {
        {"a.txt", true},  {"sub\\dir\\a.txt", true}, {"..a", true},     {"a..", true},   {"a\\..b\\c", true},
        {"", false},      {"..", false},             {"a\\..", false},  {"\\a", false},  {"/a", false},
        {"c:a", false},   {"a\\b:c", false},         {"x/../y", false}, {"..\\", false},
        // Line breaks would forge entries of the uninstall record; Windows
        // trims trailing dots and blanks, so these components name a parent.
        {"a\r\nC:\\boot.ini", false}, {"a\tb", false}, {"a\"b", false}, {"a*", false}, {"a?", false},
        {"a<b", false}, {"a>b", false}, {"a|b", false}, {".. \\x", false}, {". .\\x", false},
        {"a\\...\\x", false}, {".", false}, {"sub\\.\\x", false}, {"a b\\c d.txt", true}, {"\xE9t\xE9.txt", true},
    };
    for (const auto& c : cases) EXPECT_EQ(isSafeRecordName(c.first), c.second) << c.first;
}

}  // namespace
