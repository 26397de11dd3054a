// Loading a firmware image through Choose: the window's fields, the image check with its
// failures, the boot-area option, and the flash table dialog.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/shell/InfoText.h"
#include "tests/app/JobFixture.h"

namespace apptest {
namespace {

using ostrel::FlashJob;
using ostrel::FormOstrel;

constexpr uint32_t kImageSize = 0x8000;

std::vector<uint8_t> Image(bool layout2, uint32_t size = kImageSize) {
    firmware::SampleImageSpec spec;
    spec.size = size;
    spec.model7616 = layout2;
    return firmware::MakeSampleImage(spec);  // release 2008/01/15B
}

class FileLoading : public JobWindow {
  protected:
    void SetUp() override {
        JobWindow::SetUp();
        OpenBoth();
    }
    std::string ImageFile(const std::vector<uint8_t>& image, const std::string& name = "fw.img") {
        return WriteFile(name, image);
    }
    std::string Bytes(int position, int total) const {
        return shell::FormatText("Bytes:%6d/%6d", position, total);
    }
};

TEST_F(FileLoading, ValidImageFillsTheFieldsAndEnablesStart) {
    for (bool skipBoot : {false, true}) {
        SCOPED_TRACE(skipBoot ? "boot skipped" : "whole image");
        FormOstrel->CheckBoxSkipBoot->SetChecked(skipBoot);
        const std::string path = ImageFile(Image(false), "Release 5.img");
        Choose(path);
        ASSERT_FALSE(dialogs_.Requests().empty());
        EXPECT_EQ(dialogs_.Requests().back().filter, "Projector firmware image|*.img");
        EXPECT_EQ(dialogs_.Requests().back().defaultExt, "IMG");
        EXPECT_TRUE(boxes_.Boxes().empty());
        EXPECT_TRUE(ostrel::imageCheck.imageValid);
        EXPECT_EQ(FormOstrel->editDirectory->Text(), folder_.string());
        EXPECT_EQ(FormOstrel->editFlashFile->Text(), "Release 5");
        EXPECT_EQ(FormOstrel->FlashFileName(), "Release 5");
        const int position = skipBoot ? 16384 : 0;
        EXPECT_EQ(FlashJob.position.load(), position);
        EXPECT_EQ(FlashJob.total.load(), static_cast<int>(kImageSize));
        EXPECT_EQ(FormOstrel->lblBytes->Caption(), Bytes(position, kImageSize));
        EXPECT_TRUE(FormOstrel->lblBytes->Visible());
        EXPECT_EQ(FormOstrel->ProgressBar->Position(),
                  position * 100 / static_cast<int>(kImageSize));
        EXPECT_EQ(FormOstrel->lblTime->Caption(), "Time:00:00");
        EXPECT_TRUE(FormOstrel->lblTime->Visible());
        EXPECT_FALSE(FormOstrel->lblCheckSum->Visible());
        EXPECT_EQ(FormOstrel->GroupBoxFlashOption->Caption(), "Firmware image");
        EXPECT_TRUE(FormOstrel->GroupBoxFlashOption->Visible());
        EXPECT_FALSE(FormOstrel->GroupBoxBitmap->Visible());
        EXPECT_TRUE(FormOstrel->GroupBoxFlashMode->Enabled());
        EXPECT_TRUE(FormOstrel->GroupBoxFlashMode->Visible());
        EXPECT_FALSE(FormOstrel->GroupBoxJPEGColors->Visible());
        EXPECT_TRUE(FormOstrel->btnFlash->Enabled());
        EXPECT_EQ(FormOstrel->Cursor(), vcl::crDefault);
        Renew();
    }
}

TEST_F(FileLoading, SkipBootClickMovesTheStartOnlyWhileStartIsEnabled) {
    Choose(ImageFile(Image(false)));
    FormOstrel->CheckBoxSkipBoot->SetChecked(true);
    EXPECT_EQ(FlashJob.position.load(), 0x4000);
    EXPECT_EQ(FormOstrel->lblBytes->Caption(), Bytes(16384, kImageSize));
    EXPECT_EQ(FormOstrel->ProgressBar->Position(), 50);
    FormOstrel->CheckBoxSkipBoot->SetChecked(false);
    EXPECT_EQ(FlashJob.position.load(), 0);
    EXPECT_EQ(FormOstrel->ProgressBar->Position(), 0);

    FormOstrel->btnFlash->SetEnabled(false);  // as during a job
    FormOstrel->CheckBoxSkipBoot->SetChecked(true);
    EXPECT_EQ(FlashJob.position.load(), 0);
    EXPECT_EQ(FormOstrel->lblBytes->Caption(), Bytes(0, kImageSize));
}

struct InvalidRow {
    const char* name;
    std::vector<uint8_t> (*bytes)();
};

TEST_F(FileLoading, InvalidImagesAreRefusedAndNeverPassOnAnEarlierTable) {
    const InvalidRow rows[] = {
        {"table signature broken",
         [] {
             std::vector<uint8_t> image = Image(false);
             image[0x4000] ^= 0xFF;
             return image;
         }},
        {"application code without the signature",
         [] {
             std::vector<uint8_t> image = Image(false);
             image[0x6000] ^= 0xFF;
             return image;
         }},
        {"cut inside the flash table",
         [] {
             std::vector<uint8_t> image = Image(false);
             image.resize(0x4000 + 100);
             return image;
         }},
        {"cut before the release record",
         [] {
             std::vector<uint8_t> image = Image(false);
             image.resize(0x7002);
             return image;
         }},
        {"a layout-2 image while no 0x7616 projector was identified", [] { return Image(true); }},
        {"empty file", [] { return std::vector<uint8_t>{}; }},
    };
    for (const InvalidRow& row : rows) {
        SCOPED_TRACE(row.name);
        // A valid image first: its table copies must not make the next file pass.
        Choose(ImageFile(Image(false), "good.img"));
        ASSERT_TRUE(ostrel::imageCheck.imageValid);
        boxes_.Clear();
        Choose(ImageFile(row.bytes(), "bad.img"));
        EXPECT_FALSE(ostrel::imageCheck.imageValid);
        ASSERT_EQ(boxes_.Boxes().size(), 1u);
        EXPECT_EQ(boxes_.Boxes()[0].text, "Invalid firmware signature!");
        EXPECT_EQ(boxes_.Boxes()[0].caption, "IMG error");
        EXPECT_EQ(boxes_.Boxes()[0].kind, vcl::BoxKind::Plain);
        EXPECT_FALSE(FormOstrel->btnFlash->Enabled());
        EXPECT_EQ(FormOstrel->Cursor(), vcl::crDefault);
        EXPECT_EQ(FormOstrel->editFlashFile->Text(), "bad");
        boxes_.Clear();
    }
}

TEST_F(FileLoading, FilesThatCannotBeReadAreReportedAsFileErrors) {
    Choose(ImageFile(Image(false)));
    ASSERT_TRUE(FormOstrel->btnFlash->Enabled());
    std::filesystem::create_directory(folder_ / "folder.img");
    // A file that is gone by the time it is loaded, and a name that is no file.
    for (const char* name : {"gone.img", "folder.img"}) {
        SCOPED_TRACE(name);
        boxes_.Clear();
        Choose((folder_ / name).string());
        ASSERT_EQ(boxes_.Boxes().size(), 1u);
        EXPECT_EQ(boxes_.Boxes()[0].text, "Read flash image");
        EXPECT_EQ(boxes_.Boxes()[0].caption, "File Error");
        EXPECT_EQ(boxes_.Boxes()[0].buttons, vcl::mbOKCancel);
        EXPECT_EQ(boxes_.Boxes()[0].kind, vcl::BoxKind::Application);
        EXPECT_FALSE(ostrel::imageCheck.imageValid);
        EXPECT_FALSE(FormOstrel->btnFlash->Enabled());
        EXPECT_EQ(FormOstrel->Cursor(), vcl::crDefault);
    }
}

TEST_F(FileLoading, CancelledDialogAndUnknownExtensions) {
    Choose(ImageFile(Image(false)));
    ASSERT_TRUE(FormOstrel->btnFlash->Enabled());
    dialogs_.Cancel();
    FormOstrel->btnChoose->Click();
    EXPECT_TRUE(FormOstrel->btnFlash->Enabled()) << "a cancelled dialog changes nothing";
    EXPECT_EQ(FormOstrel->editFlashFile->Text(), "fw");

    for (const char* name : {"picture.jpeg", "noextension"}) {
        SCOPED_TRACE(name);
        Choose(WriteFile(name, {1, 2, 3}));
        EXPECT_TRUE(boxes_.Boxes().empty());
        EXPECT_FALSE(FormOstrel->btnFlash->Enabled());
        EXPECT_FALSE(ostrel::imageCheck.imageValid);
        EXPECT_EQ(FormOstrel->editFlashFile->Text(), vcl::ExtractFileNameWithoutExt(name));
        EXPECT_EQ(FormOstrel->editDirectory->Text(), folder_.string());
    }
}

TEST_F(FileLoading, LongNamesAreCutToTheNameBuffer) {
    const std::string name(200, 'n');
    Choose(ImageFile(Image(false), name + ".img"));
    EXPECT_EQ(FormOstrel->FlashFileName(), std::string(131, 'n'));
}

TEST_F(FileLoading, FlashTableDialogShowsTheNineRowsAndTheRelease) {
    ostrel::TFormFlashImgInfo& dialog = *ostrel::FormFlashImgInfo;
    EXPECT_FALSE(dialog.Visible());
    EXPECT_EQ(dialog.Caption(), "Flash Table Infomation");
    FormOstrel->editFlashFileDblClick(nullptr);
    EXPECT_FALSE(dialog.Visible()) << "no valid image yet";

    Choose(ImageFile(Image(false)));
    FormOstrel->editFlashFileDblClick(FormOstrel->editFlashFile);
    ASSERT_TRUE(dialog.Visible());
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"FT Signature:", "0x01234567"}, {"Application code ", "0xFE206000"},
        {"Boot code", "0xFE200000"},     {"OSD data", "0xFE210000"},
        {"Splash logo", "0xFE380000"},   {"ASIC config", "0x00000000"},
        {"App config", "0x00000000"},    {"Others binary", "0xFE207000"},
        {"Sequence code", "0x00000000"}};
    vcl::TLabel* const values[] = {dialog.lblSig,  dialog.lblApp,    dialog.lblBoot,
                                   dialog.lblOSD,  dialog.lblLogo,   dialog.lblASIC,
                                   dialog.lblAppC, dialog.lblOthers, dialog.lblSeq};
    for (size_t row = 0; row < rows.size(); ++row) {
        EXPECT_EQ(dialog.rowCaptions[row]->Caption(), rows[row].first);
        EXPECT_EQ(values[row]->Caption(), rows[row].second) << rows[row].first;
        EXPECT_EQ(values[row]->Font()->Name(), "Fixedsys");
    }
    EXPECT_EQ(dialog.lblAppVer->Caption(), "Release:2008/01/15B");

    FormOstrel->editFlashFileDblClick(nullptr);
    EXPECT_FALSE(dialog.Visible()) << "a second double click hides it";
    FormOstrel->editFlashFileDblClick(nullptr);
    ASSERT_TRUE(dialog.Visible());
    dialog.Button1->Click();
    EXPECT_FALSE(dialog.Visible()) << "Close hides it";

    // An invalid file: the double click does nothing, whether the dialog is open or not.
    FormOstrel->editFlashFileDblClick(nullptr);
    ASSERT_TRUE(dialog.Visible());
    Choose(WriteFile("broken.img", {1, 2, 3}));
    FormOstrel->editFlashFileDblClick(nullptr);
    EXPECT_TRUE(dialog.Visible());
    dialog.Button1Click(nullptr);
    FormOstrel->editFlashFileDblClick(nullptr);
    EXPECT_FALSE(dialog.Visible());
}

TEST_F(FileLoading, FlashTableDialogOfALayout2ImageShowsNoStaleAddresses) {
    Choose(ImageFile(Image(false), "layout1.img"));  // leaves a layout-1 table copy
    Plug(Model7616());
    Tick();
    ASSERT_TRUE(lnk::model7616.load());
    Choose(ImageFile(Image(true), "layout2.img"));
    ASSERT_TRUE(ostrel::imageCheck.imageValid);
    FormOstrel->editFlashFileDblClick(nullptr);
    ostrel::TFormFlashImgInfo& dialog = *ostrel::FormFlashImgInfo;
    ASSERT_TRUE(dialog.Visible());
    EXPECT_EQ(dialog.lblSig->Caption(), "0x01234567");
    for (vcl::TLabel* value : {dialog.lblApp, dialog.lblBoot, dialog.lblOthers, dialog.lblSeq}) {
        EXPECT_EQ(value->Caption(), "   n/a    ");
    }
    EXPECT_EQ(dialog.lblAppVer->Caption(), "Release:2008/01/15B");
}

}  // namespace
}  // namespace apptest
