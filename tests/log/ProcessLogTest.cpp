#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "log/Myini.h"
#include "platform/clock/Clock.h"
#include "platform/vcl/core/MessageBox.h"
#include "platform/vcl/core/Paths.h"

namespace processlog {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

// "yyyy-mm-dd hh:mm:ss AM" or "... PM".
bool LooksLikeSectionName(const std::string& name) {
    const std::string shape = "dddd-dd-dd dd:dd:dd xM";
    if (name.size() != shape.size()) {
        return false;
    }
    for (size_t i = 0; i < shape.size(); ++i) {
        const bool ok = shape[i] == 'd'   ? std::isdigit(static_cast<unsigned char>(name[i])) != 0
                        : shape[i] == 'x' ? (name[i] == 'A' || name[i] == 'P')
                                          : name[i] == shape[i];
        if (!ok) {
            return false;
        }
    }
    return true;
}

class ProcessLog : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("ostrel-log-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "bin");
        vcl::SetExecutablePathForTesting((folder_ / "bin" / "ostrel").string());
        ::setenv("XDG_STATE_HOME", (folder_ / "state").c_str(), 1);
        plat::SetClockSpeed(1000);
    }
    void TearDown() override {
        vcl::SetExecutablePathForTesting("");
        ::unsetenv("XDG_STATE_HOME");
        plat::SetClockSpeed(1);
        fs::remove_all(folder_);
    }

    static std::vector<std::string> Lines(const std::string& path) {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty()) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    static JobDescription FirmwareJob() {
        return {"/data/fw/new.img", "XGA",          "Release:2007/03/01C",
                "Version:1.2.3.4",  "Life:0002:05", 0x08010200};
    }

    fs::path folder_;
    vcl::MessageBoxResponder boxes_;
};

TEST_F(ProcessLog, SectionPerJobWithKeysInOrderAndLastStatus) {
    ASSERT_TRUE(StartProcessLog(FirmwareJob()));
    EXPECT_TRUE(LooksLikeSectionName(LogSection)) << LogSection;
    const std::string firstSection = LogSection;
    EXPECT_TRUE(WriteProcessStatus("Erasing old firmware...                          "));
    EXPECT_TRUE(WriteProcessStatus("Update Completed!   Checksum:0x0001E240 Verified!"));

    plat::Sleep(1500);  // the next job starts in a later second
    JobDescription logoJob = FirmwareJob();
    logoJob.file = "/data/logo.jpg";
    logoJob.fileRelease.reset();
    ASSERT_TRUE(StartProcessLog(logoJob));
    ASSERT_NE(LogSection, firstSection);

    const std::string path = (folder_ / "bin" / "ostrel.LOG").string();
    EXPECT_EQ(ProcessLogPath(), path);
    EXPECT_THAT(Lines(path),
                ElementsAre("[" + firstSection + "]", "File=/data/fw/new.img", "Device        =XGA",
                            "DeviceRelease =Release:2007/03/01C", "DeviceVersion =Version:1.2.3.4",
                            "DeviceLife    =Life:0002:05", "FileRelease   =2008/01/02A",
                            "Process status=Update Completed!   Checksum:0x0001E240 Verified!",
                            "[" + LogSection + "]", "File=/data/logo.jpg", "Device        =XGA",
                            "DeviceRelease =Release:2007/03/01C", "DeviceVersion =Version:1.2.3.4",
                            "DeviceLife    =Life:0002:05", "Process status="));
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(ProcessLog, UnwritableExecutableFolderUsesTheStateFolder) {
    vcl::SetExecutablePathForTesting((folder_ / "missing" / "ostrel").string());
    ASSERT_TRUE(StartProcessLog(FirmwareJob()));
    EXPECT_EQ(ProcessLogPath(), (folder_ / "state" / "ostrel" / "ostrel.LOG").string());
    EXPECT_TRUE(fs::exists(ProcessLogPath()));
}

TEST_F(ProcessLog, UnwritableLogIsReportedOnceAndTheJobGoesOn) {
    vcl::SetExecutablePathForTesting((folder_ / "missing" / "ostrel").string());
    ::setenv("XDG_STATE_HOME", "/dev/null", 1);  // no folder can be made below a device
    EXPECT_FALSE(StartProcessLog(FirmwareJob()));
    EXPECT_FALSE(WriteProcessStatus("Erasing old firmware...                          "));
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    EXPECT_EQ(boxes_.Boxes()[0].caption, "Process log");
    EXPECT_THAT(boxes_.Boxes()[0].text, ::testing::HasSubstr("cannot be written"));
}

TEST_F(ProcessLog, LogThatCannotBeReadIsReportedLikeOneThatCannotBeWritten) {
    // Something that is no file stands where the log goes: reading it already fails.
    fs::create_directories(ProcessLogPath());
    EXPECT_FALSE(StartProcessLog(FirmwareJob()));
    EXPECT_FALSE(WriteProcessStatus("Erasing old firmware...                          "));
    ASSERT_EQ(boxes_.Boxes().size(), 1u);
    EXPECT_EQ(boxes_.Boxes()[0].caption, "Process log");
}

}  // namespace
}  // namespace processlog
