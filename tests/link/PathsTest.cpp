#include "platform/vcl/core/Paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(Paths, SplitsAndChangesExtensionsLikeTheRunTime) {
    struct Case {
        const char* path;
        const char* dir;
        const char* name;
        const char* bare;
        const char* ext;
        const char* usb;
    };
    const Case cases[] = {
        {"/opt/ostrel/bin/ostrel", "/opt/ostrel/bin", "ostrel", "ostrel", "",
         "/opt/ostrel/bin/ostrel.USB"},
        {"/home/u/logo.jpg", "/home/u", "logo.jpg", "logo", ".jpg", "/home/u/logo.USB"},
        {"/a.b/file", "/a.b", "file", "file", "", "/a.b/file.USB"},
        {"/x/archive.tar.gz", "/x", "archive.tar.gz", "archive.tar", ".gz", "/x/archive.tar.USB"},
        {"/rootfile.img", "/", "rootfile.img", "rootfile", ".img", "/rootfile.USB"},
        {"relative.img", "", "relative.img", "relative", ".img", "relative.USB"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vcl::ExtractFileDir(c.path), c.dir) << c.path;
        EXPECT_EQ(vcl::ExtractFileName(c.path), c.name) << c.path;
        EXPECT_EQ(vcl::ExtractFileNameWithoutExt(c.path), c.bare) << c.path;
        EXPECT_EQ(vcl::ExtractFileExt(c.path), c.ext) << c.path;
        EXPECT_EQ(vcl::ChangeFileExt(c.path, ".USB"), c.usb) << c.path;
    }
}

TEST(Paths, ExecutablePathIsThisProgramUnlessSet) {
    EXPECT_TRUE(fs::equivalent(vcl::ExecutablePath(), "/proc/self/exe"));
    vcl::SetExecutablePathForTesting("/somewhere/bin/ostrel");
    EXPECT_EQ(vcl::ExecutablePath(), "/somewhere/bin/ostrel");
    vcl::SetExecutablePathForTesting("");
    EXPECT_TRUE(fs::equivalent(vcl::ExecutablePath(), "/proc/self/exe"));
}

TEST(Paths, ConfigFileIsLookedForBesideThenInTheInstalledFolder) {
    char pattern[] = "/tmp/ostrel-paths-XXXXXX";
    const fs::path prefix = ::mkdtemp(pattern);
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "etc/ostrel");
    vcl::SetExecutablePathForTesting((prefix / "bin/ostrel").string());

    const auto candidates = vcl::ConfigFileCandidates(".USB");
    ASSERT_EQ(candidates.size(), 3u);
    EXPECT_EQ(candidates[0], (prefix / "bin/ostrel.USB").string());
    EXPECT_EQ(candidates[1], (prefix / "etc/ostrel/ostrel.USB").string());
    EXPECT_EQ(candidates[2], "/etc/ostrel/ostrel.USB");

    EXPECT_EQ(vcl::ConfigFilePath(".USB"), candidates[0]) << "none exists: the one beside";
    std::ofstream(candidates[1]) << "[USB]\n";
    EXPECT_EQ(vcl::ConfigFilePath(".USB"), candidates[1]);
    std::ofstream(candidates[0]) << "[USB]\n";
    EXPECT_EQ(vcl::ConfigFilePath(".USB"), candidates[0]);
    EXPECT_TRUE(vcl::FileExists(candidates[0]));
    EXPECT_FALSE(vcl::FileExists(prefix.string())) << "a folder is not a file";

    vcl::SetExecutablePathForTesting("/usr/bin/ostrel");
    EXPECT_EQ(vcl::ConfigFileCandidates(".USB"),
              (std::vector<std::string>{"/usr/bin/ostrel.USB", "/etc/ostrel/ostrel.USB"}));
    vcl::SetExecutablePathForTesting("/bin/ostrel");
    EXPECT_EQ(vcl::ConfigFileCandidates(".USB"),
              (std::vector<std::string>{"/bin/ostrel.USB", "/etc/ostrel/ostrel.USB"}));
    vcl::SetExecutablePathForTesting("");
    fs::remove_all(prefix);
}

}  // namespace
