#include "platform/vcl/core/IniFile.h"
#include "platform/vcl/core/Paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/ostrel-ini-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, ignored);
        fs::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const char kSample[] =
    "; projectors\r\n"
    "[USB]\r\n"
    "VID = 1501 \r\n"
    "\r\n"
    "[PID_DMD]\r\n"
    "7616=XGA\r\n"
    "  1234 =  SVGA   \r\n"
    "7616=second\r\n"
    "no equals sign\r\n"
    "[usb]\r\n"
    "VID=9999\r\n";

TEST(IniDocument, ReadsKeysInFileOrderIgnoringCaseAndBlanks) {
    const vcl::IniDocument doc = vcl::IniDocument::Parse(kSample);
    EXPECT_EQ(doc.Value("usb", "vid"), "1501") << "first occurrence of a repeated section";
    EXPECT_EQ(doc.Value("PID_DMD", "1234"), "SVGA");
    EXPECT_EQ(doc.Value("PID_DMD", "7616"), "XGA") << "first occurrence of a repeated key";
    EXPECT_EQ(doc.Keys("pid_dmd"), (std::vector<std::string>{"7616", "1234", "7616"}));
    EXPECT_EQ(doc.Sections(), (std::vector<std::string>{"USB", "PID_DMD"}));
    EXPECT_FALSE(doc.Value("PID_DMD", "no equals sign").has_value());
    EXPECT_FALSE(doc.Value("NONE", "VID").has_value());
    EXPECT_TRUE(doc.Keys("NONE").empty());
}

TEST(IniDocument, EdgeCasesOfTheText) {
    struct Case {
        const char* name;
        const char* text;
        const char* section;
        const char* key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"byte order mark", "\xEF\xBB\xBF[S]\nk=v", "S", "k", "v"},
        {"no final line break", "[S]\nk=v", "S", "k", "v"},
        {"entry before any section", "k=v\n[S]\n", "S", "k", std::nullopt},
        {"value with '='", "[S]\nk=a=b\n", "S", "k", "a=b"},
        {"empty value", "[S]\nk=\n", "S", "k", ""},
        {"comment with '#'", "[S]\n#k=v\n", "S", "k", std::nullopt},
        {"text after the bracket", "[S] trailing\nk=v\n", "S", "k", "v"},
        {"unclosed header is no section", "[S\nk=v\n", "S", "k", std::nullopt},
        {"tabs around", "[S]\n\tk\t=\tv\t\n", "S", "k", "v"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vcl::IniDocument::Parse(c.text).Value(c.section, c.key), c.value) << c.name;
    }
}

TEST(IniDocument, SetReplacesInPlaceAndKeepsEverythingElse) {
    vcl::IniDocument doc = vcl::IniDocument::Parse(kSample);
    doc.Set("pid_dmd", "1234", "WXGA");
    doc.Set("USB", "New", "x");
    doc.Set("Log", "Process status", "Update Completed!   ");
    EXPECT_EQ(doc.Serialize(),
              "; projectors\r\n"
              "[USB]\r\n"
              "VID = 1501 \r\n"
              "New=x\r\n"
              "\r\n"
              "[PID_DMD]\r\n"
              "7616=XGA\r\n"
              "1234=WXGA\r\n"
              "7616=second\r\n"
              "no equals sign\r\n"
              "[usb]\r\n"
              "VID=9999\r\n"
              "\r\n"
              "[Log]\r\n"
              "Process status=Update Completed!   \r\n");
}

TEST(IniDocument, KeepsPaddedKeysAndPutsLineBreaksOnOneLine) {
    vcl::IniDocument doc;
    doc.Set("S", "Device        ", "XGA");
    doc.Set("S", "Process status", "two\nlines");
    EXPECT_EQ(doc.Serialize(), "[S]\nDevice        =XGA\nProcess status=two lines\n");
    EXPECT_EQ(doc.Value("S", "Device"), "XGA");
    doc.Set("S", "device", "SVGA");
    EXPECT_EQ(doc.Keys("S"), (std::vector<std::string>{"device", "Process status"}));
}

TEST(IniDocument, ByteOrderMarkIsWrittenBackOnce) {
    vcl::IniDocument doc = vcl::IniDocument::Parse("\xEF\xBB\xBF\xEF\xBB\xBF[S]\nk=v\n");
    EXPECT_TRUE(doc.Sections().empty()) << "a second mark belongs to the first line";
    doc.Set("T", "k", "w");
    EXPECT_EQ(doc.Serialize(), "\xEF\xBB\xBF\xEF\xBB\xBF[S]\nk=v\n\n[T]\nk=w\n");
}

TEST(TIniFile, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
    TempDir dir;
    vcl::TIniFile ini(dir.File("ostrel.LOG"));
    EXPECT_EQ(ini.ReadString("USB", "VID", "1501"), "1501");
    EXPECT_TRUE(ini.ReadSection("PID_DMD").empty());
    EXPECT_FALSE(fs::exists(ini.FileName()));
    ini.WriteString("2026-12-11 10:00:00 AM", "File", "/tmp/a.img");
    ini.WriteString("2026-12-11 10:00:00 AM", "Process status", "");
    ini.WriteString("2026-12-11 10:00:00 AM", "File", "/tmp/b.img");
    EXPECT_EQ(ReadFile(ini.FileName()),
              "[2026-12-11 10:00:00 AM]\nFile=/tmp/b.img\nProcess status=\n");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"2026-12-11 10:00:00 AM"}));
    EXPECT_TRUE(ini.SectionExists("2026-12-11 10:00:00 am"));
}

TEST(TIniFile, ReadsWhatAnotherWriterLeft) {
    TempDir dir;
    WriteFile(dir.File("ostrel.USB"), kSample);
    const vcl::TIniFile ini(dir.File("ostrel.USB"));
    EXPECT_EQ(ini.ReadString("USB", "VID", "0"), "1501");
    EXPECT_EQ(ini.ReadSection("PID_DMD").size(), 3u);
}

TEST(TIniFile, FailedWriteRaisesAndLeavesTheFile) {
    TempDir dir;
    vcl::TIniFile missingFolder(dir.File("no/such/folder.LOG"));
    EXPECT_THROW(missingFolder.WriteString("S", "k", "v"), vcl::EIniFileException);

    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes to read-only files";
    }
    WriteFile(dir.File("ro.LOG"), "[S]\nk=old\n");
    ::chmod(dir.File("ro.LOG").c_str(), 0444);
    vcl::TIniFile readOnly(dir.File("ro.LOG"));
    EXPECT_THROW(readOnly.WriteString("S", "k", "new"), vcl::EIniFileException);
    EXPECT_EQ(readOnly.ReadString("S", "k", ""), "old");
}

}  // namespace

namespace {

TEST(TIniFile, WriteReplacesTheFileWholeAndLeavesNoScratchFile) {
    TempDir dir;
    WriteFile(dir.File("job.LOG"), "; kept\n[S]\nk=old\n");
    vcl::TIniFile ini(dir.File("job.LOG"));
    ini.WriteString("S", "k", "new");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "new");
    EXPECT_FALSE(vcl::FileExists(dir.File("job.LOG.new")));
}

}  // namespace
