#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/vcl/FileFilter.h"
#include "platform/vcl/OpenDialog.h"
#include "platform/vcl/OpenDialogResponder.h"

namespace vcl {
namespace {

namespace fs = std::filesystem;

struct FilterCase {
    const char* name;
    const char* filter;
    std::vector<FileFilter> expected;
};

TEST(FileFilter, ParsesFilterStrings) {
    const FilterCase cases[] = {
        {"one entry", "Projector firmware image|*.img", {{"Projector firmware image", {"*.img"}}}},
        {"three entries",
         "Projector firmware image|*.img|Windows bitmap file|*.bmp|JPEG file|*.jpg",
         {{"Projector firmware image", {"*.img"}},
          {"Windows bitmap file", {"*.bmp"}},
          {"JPEG file", {"*.jpg"}}}},
        {"several patterns", "Pictures|*.bmp; *.jpg", {{"Pictures", {"*.bmp", "*.jpg"}}}},
        {"name without patterns dropped", "Images|*.img|Orphan", {{"Images", {"*.img"}}}},
        {"empty name takes patterns", "|*.rle", {{"*.rle", {"*.rle"}}}},
        {"empty filter", "", {}},
    };
    for (const FilterCase& c : cases) {
        EXPECT_EQ(ParseFileFilter(c.filter), c.expected) << c.name;
    }
    EXPECT_EQ(QtNameFilter({"Pictures", {"*.bmp", "*.jpg"}}), "Pictures (*.bmp *.jpg)");
}

class OpenDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        start = fs::current_path();
        folder = fs::temp_directory_path() /
                 ("vcl_open_dialog_" +
                  std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::create_directories(folder / "images");
        std::ofstream(folder / "images" / "LOGO.BMP") << "BM";
    }
    void TearDown() override {
        fs::current_path(start);
        fs::remove_all(folder);
    }

    fs::path start;
    fs::path folder;
};

TEST_F(OpenDialogTest, ConfirmedChoiceSetsFileNameAndCurrentFolder) {
    OpenDialogResponder responder;
    TOpenDialog dialog(nullptr);
    dialog.SetFilter("Projector firmware image|*.img");
    dialog.SetDefaultExt("IMG");
    responder.Choose((folder / "images" / "LOGO.BMP").string());

    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.FileName(), (folder / "images" / "LOGO.BMP").string());
    EXPECT_EQ(fs::current_path(), folder / "images");
    ASSERT_EQ(responder.Requests().size(), 1u);
    EXPECT_EQ(responder.Requests()[0].filter, "Projector firmware image|*.img");
    EXPECT_EQ(responder.Requests()[0].defaultExt, "IMG");
}

TEST_F(OpenDialogTest, CancelChangesNothing) {
    OpenDialogResponder responder;
    TOpenDialog dialog(nullptr);
    dialog.SetFileName("/nowhere/old.img");
    responder.Cancel();

    EXPECT_FALSE(dialog.Execute());
    EXPECT_FALSE(dialog.Execute());  // an empty script cancels too
    EXPECT_EQ(dialog.FileName(), "/nowhere/old.img");
    EXPECT_EQ(fs::current_path(), start);
}

TEST_F(OpenDialogTest, RelativeNameWithoutExtensionGetsTheDefaultOne) {
    OpenDialogResponder responder;
    TOpenDialog dialog(nullptr);
    dialog.SetDefaultExt("IMG");
    fs::current_path(folder);
    responder.Choose("images/../images/FIRMWARE");

    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.FileName(), (folder / "images" / "FIRMWARE.IMG").string());
    EXPECT_EQ(fs::current_path(), folder / "images");
}

}  // namespace
}  // namespace vcl
