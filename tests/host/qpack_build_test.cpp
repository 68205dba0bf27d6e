// qpack build and inspect end to end on the host: the example project, volumes,
// compression, damaged installers, and bad projects that leave nothing behind.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

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
    EXPECT_NE(report.find("file.0.size: " + std::to_string(text.size())), std::string::npos);
    EXPECT_LT(image.installer.size(), text.size() / 4);
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
