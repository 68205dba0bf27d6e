// qpack build and inspect end to end on the host: the example project, volumes,
// compression with either codec, damaged installers, and bad projects that
// leave nothing behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "archive/archive_header.h"
#include "core/range_image.h"
#include "host/pe_test_image.h"
#include "qpack/build_command.h"
#include "qpack/inspect.h"
#include "qpack/project.h"

namespace fs = std::filesystem;

namespace {

class QpackBuild : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("qpack_build_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                           "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "out");
        writeBytes(dir / "stub.exe", bareStub(TestMachineI386, TestMagicPe32));
    }

    // A bare stub as built: program headers, code, and a zero trailer.
    static Bytes bareStub(uint16_t machine, uint16_t magic) {
        Bytes stub = peTestImage(machine, magic, 4096);
        std::fill(stub.end() - 4, stub.end(), 0);
        return stub;
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const std::string& name, const std::string& bytes) {
        fs::create_directories((dir / name).parent_path());
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    Bytes read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    void writeBytes(const fs::path& p, const Bytes& b) {
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }

    BuildRequest request(const fs::path& project) {
        BuildRequest r;
        r.project = project;
        r.output = dir / "out" / "Setup.exe";
        r.stub = dir / "stub.exe";
        return r;
    }

    InstallerImage build(const fs::path& project) {
        std::vector<std::string> warnings;
        return buildInstaller(request(project), warnings);
    }

    int inspect(std::string* report = nullptr) {
        std::ostringstream out;
        int code = inspectInstaller(dir / "out" / "Setup.exe", out);
        if (report) *report = out.str();
        return code;
    }

    std::vector<std::string> outputFiles() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir / "out")) names.push_back(e.path().filename().string());
        return names;
    }

    static uint32_t trailerOf(const Bytes& b) {
        size_t n = b.size();
        return b[n - 4] | b[n - 3] << 8 | b[n - 2] << 16 | uint32_t(b[n - 1]) << 24;
    }

    static std::string randomBytes(size_t n, unsigned seed) {
        std::mt19937 rng(seed);
        std::string s(n, 0);
        for (char& c : s) c = static_cast<char>(rng());
        return s;
    }

    fs::path dir;
};

TEST_F(QpackBuild, ExampleProjectBuildsAndInspectsSound) {
    fs::path example = fs::path(QP_SOURCE_DIR) / "examples" / "project" / "example.qpp";
    std::vector<std::string> warnings;
    build(example);
    std::string report;
    ASSERT_EQ(inspect(&report), 0) << report;
    for (const char* line : {"productName: \"Quill Notes\"", "language.1: \"Deutsch\"", "fileCount: 7",
                             "file.1.name: \"Docs\\\\guide.txt\"", "file.2.name: \"Docs\\\\more\\\\faq.txt\"",
                             "file.6.extra: \"0000000001.0000000002.0000000000.0000000000\"",
                             "file.6.time: 2024-04-30 09:15:00", "file.3.flags: 0x0000000C mode=if-missing",
                             "topColor: 0x006B2A10", "pictureSize: 424", "result: sound"})
        EXPECT_NE(report.find(line), std::string::npos) << line;
}

TEST_F(QpackBuild, ProgramBytesAreTheStubWithoutItsTrailer) {
    write("p.qpp", "[Product]\nName = P\n[Files]\na.txt\n");
    write("a.txt", "hello");
    InstallerImage image = build(dir / "p.qpp");
    Bytes stub = read(dir / "stub.exe");
    Bytes setup = read(dir / "out" / "Setup.exe");
    ASSERT_EQ(setup, image.installer);
    ASSERT_GT(setup.size(), stub.size());
    EXPECT_TRUE(std::equal(stub.begin(), stub.end() - 4, setup.begin()));
    uint32_t trailer = setup[setup.size() - 4] | setup[setup.size() - 3] << 8 | setup[setup.size() - 2] << 16 |
                       uint32_t(setup[setup.size() - 1]) << 24;
    EXPECT_EQ(trailer, stub.size() - 4);
    EXPECT_EQ(inspect(), 0);
}

TEST_F(QpackBuild, VolumesSplitThePayloadAndAMissingOneIsReported) {
    write("v.qpp", "[Product]\nName = V\n[Build]\nVolumeSize = 16K\n[Files]\nbig.bin\nsmall.txt\n");
    write("big.bin", randomBytes(40000, 1));
    write("small.txt", "small");
    InstallerImage image = build(dir / "v.qpp");
    EXPECT_EQ(read(dir / "out" / "Setup.exe").size(), 16384u);
    ASSERT_EQ(image.volumes.size(), 2u);
    EXPECT_EQ(read(dir / "out" / "Disk2.QPK").size(), 16384u);
    EXPECT_TRUE(fs::exists(dir / "out" / "Disk3.QPK"));
    EXPECT_FALSE(fs::exists(dir / "out" / "Disk4.QPK"));
    std::string report;
    ASSERT_EQ(inspect(&report), 0) << report;
    EXPECT_NE(report.find("in 3 part(s)"), std::string::npos);
    fs::remove(dir / "out" / "Disk3.QPK");
    EXPECT_EQ(inspect(&report), 1);
    EXPECT_NE(report.find("Disk3.QPK"), std::string::npos);
}

TEST_F(QpackBuild, VolumeSizeBelowProgramAndHeaderIsRefused) {
    write("v.qpp", "[Product]\nName = V\n[Build]\nVolumeSize = 1K\n[Files]\na.txt\n");
    write("a.txt", "a");
    EXPECT_THROW(build(dir / "v.qpp"), std::runtime_error);
    EXPECT_TRUE(outputFiles().empty());
}

TEST_F(QpackBuild, CompressedPayloadAndHeaderReadBack) {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i % 10) + " of a very repetitive text\r\n";
    write("c.qpp", "[Product]\nName = C\n[Flags]\ncompressed-payload = yes\n[Files]\nt.txt\n");
    write("t.txt", text);
    InstallerImage image = build(dir / "c.qpp");
    std::string report;
    ASSERT_EQ(inspect(&report), 0) << report;
    EXPECT_NE(report.find("compressed-payload"), std::string::npos);
    EXPECT_NE(report.find(", compressed,"), std::string::npos);
    EXPECT_NE(report.find("\nheaderCodec: token image\n"), std::string::npos);
    EXPECT_NE(report.find("\npayloadCodec: token image\n"), std::string::npos);
    EXPECT_EQ(report.find("range-payload"), std::string::npos);
    EXPECT_NE(report.find("file.0.size: " + std::to_string(text.size())), std::string::npos);
    EXPECT_LT(image.installer.size(), text.size() / 4);
}

TEST_F(QpackBuild, ProgressCountsEveryFileBeforeReadingAndFollowsThePayload) {
    for (const char* codec : {"fast", "small"}) {
        SCOPED_TRACE(codec);
        write("p.qpp", std::string("[Product]\nName = P\n[Flags]\ncompressed-payload = yes\n[Build]\nCodec = ") + codec +
                           "\n[Files]\nfirst.txt\ndocs\\*.txt\n");
        write("first.txt", std::string(1000, 'f'));
        write("docs/a.txt", std::string(20, 'a'));
        write("docs/b.txt", std::string(300, 'b'));
        write("docs/c.txt", randomBytes(200000, 3));
        struct Read {
            size_t files, count;
            uint64_t bytes;
            bool operator==(const Read& o) const { return files == o.files && count == o.count && bytes == o.bytes; }
        };
        std::vector<Read> reads;
        std::vector<std::pair<size_t, size_t>> compressed;
        BuildProgress progress;
        progress.reading = [&](size_t files, size_t count, uint64_t bytes) { reads.push_back({files, count, bytes}); };
        progress.compressing = [&](size_t consumed, size_t total) { compressed.push_back({consumed, total}); };
        std::vector<std::string> warnings;
        buildInstaller(request(dir / "p.qpp"), warnings, progress);
        const std::vector<Read> expected = {{1, 4, 1000}, {2, 4, 1020}, {3, 4, 1320}, {4, 4, 201320}};
        EXPECT_TRUE(reads == expected);
        // Only the payload's compression is told: its records hold the files and more.
        ASSERT_FALSE(compressed.empty());
        EXPECT_EQ(compressed.back().first, compressed.back().second);
        EXPECT_GT(compressed.back().second, 201320u);
        EXPECT_LT(compressed.back().second, 202000u);
        EXPECT_EQ(inspect(), 0);
    }
}

TEST_F(QpackBuild, DamagedInstallersGiveTheirCodes) {
    write("d.qpp", "[Product]\nName = D\n[Build]\nCompressHeader = no\n[Files]\na.txt\n");
    write("a.txt", "contents of a");
    build(dir / "d.qpp");
    const Bytes good = read(dir / "out" / "Setup.exe");
    const size_t program = 4092, size = good.size();
    auto setInt = [](Bytes& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
    };
    const struct {
        const char* what;
        std::function<void(Bytes&)> damage;
        int code;
    } cases[] = {
        {"sound", [](Bytes&) {}, 0},
        {"trailer zero", [&](Bytes& b) { setInt(b, size - 4, 0); }, 10},
        {"trailer negative", [&](Bytes& b) { setInt(b, size - 4, 0xFFFFFFF0u); }, 10},
        {"trailer beyond the file", [&](Bytes& b) { setInt(b, size - 4, uint32_t(size + 10)); }, 10},
        {"trailer not at the magic", [&](Bytes& b) { setInt(b, size - 4, uint32_t(program - 1)); }, 20},
        {"header length zero", [&](Bytes& b) { setInt(b, program + 4, 0); }, 22},
        {"header byte changed", [&](Bytes& b) { b[program + 12 + 20] ^= 0x40; }, 25},
        {"program byte changed", [](Bytes& b) { b[100] ^= 1; }, 40},
        {"payload byte changed", [&](Bytes& b) { b[size - 6] ^= 1; }, 55},
    };
    for (const auto& c : cases) {
        Bytes b = good;
        c.damage(b);
        writeBytes(dir / "out" / "Setup.exe", b);
        EXPECT_EQ(inspect(), c.code) << c.what;
    }
}

TEST_F(QpackBuild, BadProjectsNameFileAndLineAndLeaveNothingBehind) {
    write("a.txt", "a");
    write("bad.bmp", "not a bitmap at all, just text that is long enough to pass the size test........");
    const struct {
        const char* project;
        const char* message;
    } cases[] = {
        {"[Product]\nName = P\n[Files]\na.txt\nmissing.txt\n", ":5: file not found: "},
        {"[Product]\nName = P\n[Flags]\nfast = yes\n[Files]\na.txt\n", ":4: unknown flag 'fast'"},
        {"[Product]\nName = P\n[Appearance]\nTopColor = #12\n[Files]\na.txt\n", ":4: bad colour '#12'"},
        {"[Product]\nName = P\n[Files]\na.txt | target=..\\..\\x.txt\n", ":4: unsafe target name"},
        {"[Product]\nName = P\n[Files]\nnothing\\*.txt\n", ":4: folder not found"},
        {"[Product]\nName = P\n[Files]\n*.none\n", ":4: no file matches *.none"},
        {"[Product]\nName = P\n[Files]\na.txt\na.txt\n", ":5: two files would be installed as 'a.txt'"},
        {"[Product]\nName = P\n[Appearance]\nPicture = bad.bmp\n[Files]\na.txt\n", ":4: not a Windows bitmap"},
        {"[Product]\nName = P\n[Texts]\nReadme = none.txt\n[Files]\na.txt\n", ":4: file not found"},
        {"[Product]\nName = P\n[Languages]\nX = none.msg\n[Files]\na.txt\n", ":4: message file not found"},
    };
    for (const auto& c : cases) {
        write("p.qpp", c.project);
        try {
            build(dir / "p.qpp");
            ADD_FAILURE() << "built: " << c.project;
        } catch (const std::exception& e) {
            std::string wanted = (dir / "p.qpp").string() + c.message;
            EXPECT_EQ(std::string(e.what()).rfind(wanted, 0), 0u) << e.what() << "\nwanted: " << wanted;
        }
        EXPECT_TRUE(outputFiles().empty()) << c.project;
    }
}

TEST_F(QpackBuild, AStubThatAlreadyCarriesAnArchiveIsRefused) {
    write("p.qpp", "[Product]\nName = P\n[Files]\na.txt\n");
    write("a.txt", "a");
    build(dir / "p.qpp");
    fs::copy_file(dir / "out" / "Setup.exe", dir / "stub.exe", fs::copy_options::overwrite_existing);
    fs::remove(dir / "out" / "Setup.exe");
    EXPECT_THROW(build(dir / "p.qpp"), std::runtime_error);
    EXPECT_TRUE(outputFiles().empty());
}

TEST_F(QpackBuild, TheStubMustBeAProgramForTheAskedArchitecture) {
    write("p.qpp", "[Product]\nName = P\n[Files]\na.txt\n");
    write("a.txt", "a");
    Bytes notPe(4096, 0x90);
    notPe[0] = 'M', notPe[1] = 'Z';
    const std::string stubName = (dir / "stub.exe").string();
    const struct {
        const char* what;
        std::optional<Bytes> stub;  // none: missing
        std::optional<PeArchitecture> asked;
        bool besideQpack;
        std::string error;  // empty: builds, and inspect names the architecture
        const char* architecture;
    } cases[] = {
        {"x86, none asked", bareStub(TestMachineI386, TestMagicPe32), {}, false, "", "x86 (PE32, i386)"},
        {"x64, none asked", bareStub(TestMachineAmd64, TestMagicPe32Plus), {}, false, "", "x64 (PE32+, AMD64)"},
        {"x64 asked", bareStub(TestMachineAmd64, TestMagicPe32Plus), PeArchitecture::X64, true, "", "x64 (PE32+, AMD64)"},
        {"x86 for x64", bareStub(TestMachineI386, TestMagicPe32), PeArchitecture::X64, false,
         stubName + ": the stub is an x86 program, but an x64 installer was asked for", nullptr},
        {"x64 for x86", bareStub(TestMachineAmd64, TestMagicPe32Plus), PeArchitecture::X86, true,
         stubName + ": the stub is an x64 program, but an x86 installer was asked for", nullptr},
        {"ARM64", bareStub(0xAA64, TestMagicPe32Plus), {}, false,
         stubName + ": the stub's architecture is unknown (PE32+, machine 0xAA64): a stub is an x86 (PE32, i386) or "
                    "x64 (PE32+, AMD64) program",
         nullptr},
        {"not a PE program", notPe, {}, false,
         stubName + ": the stub is not a Windows program: the PE header offset 0x90909090 lies beyond the end of the "
                    "file (4096 bytes)",
         nullptr},
        {"missing beside qpack", {}, PeArchitecture::X64, true,
         "the x64 stub " + stubName + " is missing: qpack looks for its stubs in its own folder. Give the stub with "
         "--stub PATH, or install qpack with quillpack.exe and quillpack64.exe beside it",
         nullptr},
        {"missing, named", {}, {}, false, "the stub " + stubName + " given with --stub does not exist", nullptr},
    };
    for (const auto& c : cases) {
        fs::remove(dir / "stub.exe");
        if (c.stub) writeBytes(dir / "stub.exe", *c.stub);
        BuildRequest r = request(dir / "p.qpp");
        r.architecture = c.asked;
        r.stubBesideQpack = c.besideQpack;
        std::vector<std::string> warnings;
        try {
            buildInstaller(r, warnings);
            EXPECT_EQ(c.error, "") << c.what << ": built";
            std::string report;
            EXPECT_EQ(inspect(&report), 0) << c.what;
            EXPECT_NE(report.find(std::string("\narchitecture: ") + c.architecture + "\n"), std::string::npos)
                << c.what << "\n" << report;
        } catch (const std::exception& e) {
            EXPECT_EQ(e.what(), c.error) << c.what;
            EXPECT_TRUE(outputFiles().empty()) << c.what;
        }
        fs::remove(dir / "out" / "Setup.exe");
    }
}

TEST_F(QpackBuild, InspectReportsAProgramWithoutPeHeadersAsUnknownAndKeepsItsCode) {
    write("p.qpp", "[Product]\nName = P\n[Files]\na.txt\n");
    write("a.txt", "a");
    build(dir / "p.qpp");
    Bytes setup = read(dir / "out" / "Setup.exe");
    setup[TestPeOffset] = 'N';
    writeBytes(dir / "out" / "Setup.exe", setup);
    std::string report;
    EXPECT_EQ(inspect(&report), 40);
    EXPECT_NE(report.find("\narchitecture: unknown (no PE signature at offset 0x40)\nheader: "), std::string::npos)
        << report;
}

TEST_F(QpackBuild, MissingMessagesFallBackToEnglishWithAWarning) {
    write("p.qpp", "[Product]\nName = P\n[Languages]\nEnglish = builtin\nPirate = p.msg\n[Files]\na.txt\n");
    write("a.txt", "a");
    write("p.msg", "0 = Arr, <product>\n");
    std::vector<std::string> warnings;
    buildInstaller(request(dir / "p.qpp"), warnings);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("59 message(s) missing"), std::string::npos) << warnings[0];
    std::string report;
    ASSERT_EQ(inspect(&report), 0);
    EXPECT_NE(report.find("message.0.1: \"Arr, <product>\""), std::string::npos);
    EXPECT_NE(report.find("message.49.1: \"&Cancel\""), std::string::npos);
}

TEST(QpackProjectDocument, ExampleInTheDocumentIsTheExampleProject) {
    auto readText = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    std::string doc = readText(fs::path(QP_SOURCE_DIR) / "docs" / "project-format.md");
    size_t start = doc.find("```ini\n");
    ASSERT_NE(start, std::string::npos);
    start += 7;
    size_t end = doc.find("```", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(doc.substr(start, end - start), readText(fs::path(QP_SOURCE_DIR) / "examples" / "project" / "example.qpp"));
}

TEST_F(QpackBuild, Utf8ProjectsAndFilesBecomeWindowsText) {
    write("p.qpp", "[Product]\nName = Caf\xC3\xA9\n[Languages]\nFran\xC3\xA7" "ais = f.msg\n[Texts]\nReadme = r.txt\n"
                   "[Files]\na.txt | target=R\xC3\xA9sum\xC3\xA9.txt\n");
    write("a.txt", "a");
    write("f.msg", "0 = \xE2\x80\x9C<product>\xE2\x80\x9D\n");
    write("r.txt", "line \xE2\x82\xAC\n");
    build(dir / "p.qpp");
    std::string report;
    ASSERT_EQ(inspect(&report), 0) << report;
    for (const char* line : {"productName: \"Caf\\xE9\"", "language.0: \"Fran\\xE7ais\"",
                             "message.0.0: \"\\x93<product>\\x94\"", "readmeText: \"line \\x80\\r\\n\"",
                             "file.0.name: \"R\\xE9sum\\xE9.txt\""})
        EXPECT_NE(report.find(line), std::string::npos) << line;
}

}  // namespace

namespace {

uint32_t u32At(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// Where a signer writes in a real program's headers, read the long way round.
struct SignerFields {
    size_t checkSumAt, entryAt;
};
SignerFields signerFields(const Bytes& b) {
    size_t optional = u32At(b, 0x3C) + 24;
    bool pe32Plus = (u32At(b, optional) & 0xFFFF) == TestMagicPe32Plus;
    return {optional + 64, optional + (pe32Plus ? 144 : 128)};
}

// What a signer does: zero padding to a multiple of 8, a certificate table
// behind it, both fields of the headers rewritten. Returns the table offset.
size_t signLikeASigner(Bytes& b) {
    SignerFields f = signerFields(b);
    b.resize((b.size() + 7) / 8 * 8, 0);
    size_t table = b.size();
    b.resize(table + 48, 0xC3);
    putLittleEndian(b, f.entryAt, uint32_t(table), 4);
    putLittleEndian(b, f.entryAt + 4, 48, 4);
    putLittleEndian(b, f.checkSumAt, 0x0001D2C5, 4);
    return table;
}

// The report without the lines that describe the file rather than its archive.
std::string archiveLines(const std::string& report) {
    std::istringstream in(report);
    std::string line, kept;
    while (std::getline(in, line))
        if (line.rfind("installer: ", 0) != 0 && line.rfind("signature: ", 0) != 0 && line.rfind("archiveEnd: ", 0) != 0)
            kept += line + "\n";
    return kept;
}

}  // namespace

TEST_F(QpackBuild, InstallersEndOnAMultipleOfEight) {
    // Every residue of the contents' length, the header stored either way
    // (compressed at three levels and as a range image, and kept
    // compressed), and a first file
    // that the volume size fills.
    for (const std::string settings : {"CompressHeader = no\n", "CompressHeader = yes\n", "CompressHeader = yes\nLevel = 1\n",
                                       "CompressHeader = yes\nLevel = 6\n", "CompressHeader = yes\nCodec = small\n",
                                       "VolumeSize = 12003\n"}) {
        for (size_t length = 0; length < 8; ++length) {
            SCOPED_TRACE(settings + "length " + std::to_string(length));
            const bool volumes = settings[0] == 'V';
            fs::remove_all(dir / "out");
            fs::create_directories(dir / "out");
            write("p.qpp", "[Product]\nName = P\n[Build]\n" + settings + "[Files]\na.bin\n");
            write("a.bin", randomBytes(length + (volumes ? 12000 : 0), unsigned(length)));
            InstallerImage image = build(dir / "p.qpp");
            EXPECT_EQ(image.installer.size() % 8, 0u);
            EXPECT_EQ(read(dir / "out" / "Setup.exe").size(), image.installer.size());
            if (volumes) {
                EXPECT_LE(image.installer.size(), 12003u);
                EXPECT_FALSE(image.volumes.empty());
            }
            std::string report;
            EXPECT_EQ(inspect(&report), 0) << report;
            // Aligned without giving up the header's compression.
            if (settings.rfind("CompressHeader = yes", 0) == 0) {
                EXPECT_NE(report.find(", compressed,"), std::string::npos) << report;
            }
        }
    }
}

TEST_F(QpackBuild, SignedInstallersReadAsTheirUnsignedSelves) {
    // A stub with every data directory and its CheckSum set, as the linker
    // leaves ours: the signer's CheckSum differs, so only a checksum that
    // counts the field as zero fits both files.
    Bytes stub = bareStub(TestMachineI386, TestMagicPe32);
    putLittleEndian(stub, TestPeOffset + 24 + 92, 16, 4);
    putLittleEndian(stub, TestPeOffset + 24 + 64, 0x00012345, 4);
    writeBytes(dir / "stub.exe", stub);
    write("s.qpp", "[Product]\nName = S\n[Flags]\ntest-checksums = yes\n[Build]\nCompressHeader = no\n"
                   "[Files]\na.txt\n");
    write("a.txt", "signed contents");
    build(dir / "s.qpp");
    const Bytes unsignedSetup = read(dir / "out" / "Setup.exe");
    EXPECT_EQ(u32At(unsignedSetup, signerFields(unsignedSetup).checkSumAt), 0x00012345u);
    std::string unsignedReport;
    ASSERT_EQ(inspect(&unsignedReport), 0) << unsignedReport;
    EXPECT_NE(unsignedReport.find("\nsignature: none\narchiveEnd: " + std::to_string(unsignedSetup.size()) + "\n"),
              std::string::npos) << unsignedReport;

    Bytes signedSetup = unsignedSetup;
    const size_t table = signLikeASigner(signedSetup);
    ASSERT_EQ(table, unsignedSetup.size()) << "the installer was not aligned, so the signer padded it";
    const size_t entryAt = signerFields(signedSetup).entryAt;
    const size_t program = trailerOf(unsignedSetup), size = signedSetup.size();
    const struct {
        const char* what;
        std::function<void(Bytes&)> change;
        int code;
    } cases[] = {
        {"signed", [](Bytes&) {}, 0},
        {"table size 0", [&](Bytes& b) { putLittleEndian(b, entryAt + 4, 0, 4); }, CodeBadArchiveOffset},
        {"table past the end", [&](Bytes& b) { putLittleEndian(b, entryAt + 4, 49, 4); }, CodeBadArchiveOffset},
        {"table not ending the file", [&](Bytes& b) { b.push_back(0); }, CodeBadArchiveOffset},
        {"table overlapping the archive",
         [&](Bytes& b) {
             putLittleEndian(b, entryAt, uint32_t(program + 8), 4);
             putLittleEndian(b, entryAt + 4, uint32_t(size - program - 8), 4);
         },
         CodeBadMagic},
        {"program byte changed after signing", [](Bytes& b) { b[TestPeOffset + 24 + 200] ^= 1; }, CodeProgramChecksum},
        {"payload byte changed after signing", [&](Bytes& b) { b[table - 6] ^= 1; }, CodePayloadChecksum},
    };
    for (const auto& c : cases) {
        Bytes b = signedSetup;
        c.change(b);
        writeBytes(dir / "out" / "Setup.exe", b);
        std::string report;
        EXPECT_EQ(inspect(&report), c.code) << c.what << "\n" << report;
        if (c.code == 0) {
            EXPECT_EQ(archiveLines(report), archiveLines(unsignedReport));
            EXPECT_NE(report.find("\nsignature: certificate table at " + std::to_string(table) + ", 48 bytes\narchiveEnd: " +
                                  std::to_string(table) + "\n"),
                      std::string::npos) << report;
        }
    }
}

TEST_F(QpackBuild, InstallersBuiltBeforeSignaturesWereReadStillInspectSound) {
    // Their program checksum covers the bytes as they stand, the linker's
    // CheckSum field among them; a changed program byte still fails it.
    for (const char* name : {"unsigned-x86.exe", "unsigned-x64.exe"}) {
        SCOPED_TRACE(name);
        Bytes golden = read(fs::path(QP_SOURCE_DIR) / "tests" / "golden" / "installers" / name);
        ASSERT_NE(u32At(golden, signerFields(golden).checkSumAt), 0u);
        writeBytes(dir / "out" / "Setup.exe", golden);
        std::string report;
        ASSERT_EQ(inspect(&report), 0) << report;
        EXPECT_NE(report.find("\nsignature: none\narchiveEnd: " + std::to_string(golden.size()) + "\n"), std::string::npos)
            << report;
        EXPECT_NE(report.find("flags: 0x00000804 register-product test-checksums"), std::string::npos);
        golden[0x200] ^= 1;
        writeBytes(dir / "out" / "Setup.exe", golden);
        EXPECT_EQ(inspect(), CodeProgramChecksum);
    }
}

TEST_F(QpackBuild, SigningWithoutOsslsigncodeSaysSoAndWritesNothing) {
    write("p.qpp", "[Product]\nName = P\n[Files]\na.txt\n");
    write("a.txt", "a");
    write("cert.pem", "certificate");
    write("key.pem", "key");
    const char* path = std::getenv("PATH");
    const std::string savedPath = path ? path : "";
    fs::create_directories(dir / "empty");
    setenv("PATH", (dir / "empty").string().c_str(), 1);
    BuildRequest r = request(dir / "p.qpp");
    r.signing = SigningKey{dir / "cert.pem", dir / "key.pem"};
    std::vector<std::string> warnings;
    std::string error;
    try {
        buildInstaller(r, warnings);
    } catch (const std::runtime_error& e) {
        error = e.what();
    }
    setenv("PATH", savedPath.c_str(), 1);
    EXPECT_NE(error.find("signing needs osslsigncode, which is not installed"), std::string::npos) << error;
    EXPECT_TRUE(outputFiles().empty());
}

namespace {

// An installer's archive taken apart (no volumes): the header image
// unscrambled, its key, and the payload as stored.
struct StoredArchive {
    String headerImage;
    uint32_t key = 0;
    String payload;
};

StoredArchive storedArchive(const Bytes& setup) {
    const size_t program = u32At(setup, setup.size() - 4);
    const size_t headerLength = u32At(setup, program + 4), headerAt = program + 12;
    StoredArchive a;
    a.key = u32At(setup, program + 8);
    a.headerImage = String(reinterpret_cast<const char*>(setup.data() + headerAt), int(headerLength));
    scramble(a.headerImage.data(), a.headerImage.length(), a.key);
    const size_t payloadAt = headerAt + headerLength;
    a.payload = String(reinterpret_cast<const char*>(setup.data() + payloadAt), int(setup.size() - 4 - payloadAt));
    return a;
}

bool holdsRangeImage(const String& block) {
    return isRangeImage(reinterpret_cast<const unsigned char*>(block.cStr()), block.length());
}

}  // namespace

TEST_F(QpackBuild, SmallCodecStoresRangeImagesThatExpandToWhatAPlainBuildStores) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "entry " + std::to_string(i % 97) + " of a text that repeats itself\r\n";
    write("t.txt", text);
    write("r.bin", randomBytes(20000, 5));
    const std::string product = "[Product]\nName = S\n";
    const std::string files = "[Files]\nt.txt\nr.bin\n";

    write("p.qpp", product + "[Build]\nCompressHeader = no\n" + files);
    const StoredArchive plain = storedArchive(build(dir / "p.qpp").installer);
    std::string report;
    ASSERT_EQ(inspect(&report), 0) << report;
    EXPECT_NE(report.find("\nheaderCodec: stored\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\npayloadCodec: stored\n"), std::string::npos) << report;
    write("p.qpp", product + "[Flags]\ncompressed-payload = yes\n[Build]\nCodec = small\n" + files);
    const InstallerImage image = build(dir / "p.qpp");
    StoredArchive small = storedArchive(image.installer);

    ASSERT_TRUE(holdsRangeImage(small.headerImage));
    String header = small.headerImage;
    ASSERT_TRUE(ExpandRangeImage(header));
    ArchiveHeader h;
    ASSERT_EQ(parseArchiveHeader(header, small.key, h), 0);
    EXPECT_EQ(h.flags, uint32_t(FlagTestChecksums | FlagCompressedPayload | FlagRangePayload));
    EXPECT_EQ(h.payloadLength, small.payload.length());
    ASSERT_TRUE(holdsRangeImage(small.payload));
    ASSERT_LT(small.payload.length(), plain.payload.length() / 2);
    String payload = small.payload;
    ASSERT_TRUE(ExpandRangeImage(payload));
    EXPECT_TRUE(payload == plain.payload);

    ASSERT_EQ(inspect(&report), 0) << report;
    for (const char* line : {"\nheaderCodec: range image, 1 segment\n", "\npayloadCodec: range image, 1 segment\n",
                             "compressed-payload test-checksums range-payload\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
}

TEST_F(QpackBuild, DamagedRangePayloadsGiveTheirCodes) {
    write("t.txt", randomBytes(3000, 8) + std::string(3000, 'x'));
    write("p.qpp", "[Product]\nName = R\n[Flags]\ncompressed-payload = yes\n"
                   "[Build]\nCompressHeader = no\nCodec = small\n[Files]\nt.txt\n");
    const Bytes good = build(dir / "p.qpp").installer;
    const StoredArchive stored = storedArchive(good);
    const Bytes payload(stored.payload.cStr(), stored.payload.cStr() + stored.payload.length());
    // Head: magic, expanded size, segment count; then per segment its expanded and packed size.
    const size_t entry = RangeImageHeadSize, coded = RangeImageHeadSize + RangeSegmentEntrySize;
    ASSERT_EQ(u32At(payload, 8), 1u);
    const uint32_t packed = u32At(payload, entry + 4);
    ASSERT_EQ(coded + packed, payload.size());

    // The header is plain: the payload's length and checksum follow the one file size.
    const size_t payloadLengthAt = 4 + 24 + 4 + 4 + 4;
    auto withPayload = [&](const Bytes& p, bool fixChecksum) {
        String header = stored.headerImage;
        ByteWriter fields;
        fields.i32(int32_t(p.size()));
        fields.u32(checksumOf(fixChecksum ? p : payload));
        std::memcpy(header.data() + payloadLengthAt, fields.bytes.data(), 8);
        const uint32_t key = checksum(header.cStr(), header.length());
        scramble(header.data(), header.length(), key);
        const size_t program = u32At(good, good.size() - 4);
        Bytes b(good.begin(), good.begin() + std::ptrdiff_t(program + 8));
        ByteWriter rest;
        rest.u32(key);
        b.insert(b.end(), rest.bytes.begin(), rest.bytes.end());
        b.insert(b.end(), header.cStr(), header.cStr() + header.length());
        b.insert(b.end(), p.begin(), p.end());
        b.insert(b.end(), good.end() - 4, good.end());
        return b;
    };
    auto changed = [&](const std::function<void(Bytes&)>& change) {
        Bytes p = payload;
        change(p);
        return p;
    };
    const struct {
        const char* what;
        Bytes payload;
        bool fixChecksum;
        int code;
    } cases[] = {
        {"sound", payload, true, 0},
        {"coded byte flipped", changed([&](Bytes& p) { p[coded + packed / 2] ^= 0x10; }), false, CodePayloadChecksum},
        {"segment table cut", Bytes(payload.begin(), payload.begin() + std::ptrdiff_t(entry + 4)), true,
         CodePayloadExpandFailed},
        {"no segments", changed([&](Bytes& p) { putLittleEndian(p, 8, 0, 4); }), true, CodePayloadExpandFailed},
        {"17 segments", changed([&](Bytes& p) { putLittleEndian(p, 8, MaxRangeSegments + 1, 4); }), true,
         CodePayloadExpandFailed},
        {"expanded size lies", changed([&](Bytes& p) { putLittleEndian(p, entry, u32At(p, entry) + 1, 4); }), true,
         CodePayloadExpandFailed},
        {"packed size lies", changed([&](Bytes& p) { putLittleEndian(p, entry + 4, packed + 1, 4); }), true,
         CodePayloadExpandFailed},
        {"coded bytes end early", changed([&](Bytes& p) {
             p.resize(coded + packed / 2);
             putLittleEndian(p, entry + 4, packed / 2, 4);
         }),
         true, CodePayloadExpandFailed},
    };
    for (const auto& c : cases) {
        writeBytes(dir / "out" / "Setup.exe", withPayload(c.payload, c.fixChecksum));
        std::string report;
        EXPECT_EQ(inspect(&report), c.code) << c.what << "\n" << report;
    }
}
