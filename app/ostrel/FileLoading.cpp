// Choosing and loading a file: the Choose button with the open dialog, the file load that
// dispatches on the extension to the image check or a picture import and prepares the
// job's offsets, the image check itself, and the double click that shows the flash table.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <limits>
#include <stdexcept>

#include "app/firmware/FileImageSource.h"
#include "app/firmware/FirmwareImage.h"
#include "app/logo/Mysplash.h"
#include "app/ostrel/FlashJob.h"
#include "app/ostrel/Flashimginfo.h"
#include "app/ostrel/LoadedImage.h"
#include "app/ostrel/LogoSizeLimit.h"
#include "app/ostrel/Ostrel_BCCunit.h"
#include "app/shell/InfoText.h"
#include "app/shell/ProjectorInfo.h"
#include "link/State.h"
#include "platform/vcl/core/Paths.h"

namespace ostrel {

using namespace vcl;

namespace {

// The size of a file, as the job's signed 32-bit total; throws when it cannot be taken.
int32_t FileLength(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        throw std::runtime_error("cannot open " + path);
    }
    const std::streamoff size = file.tellg();
    if (size < 0 || size > std::numeric_limits<int32_t>::max()) {
        throw std::runtime_error("cannot take the size of " + path);
    }
    return static_cast<int32_t>(size);
}

std::string UpperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Restores the normal cursor on every way out of the load.
class HourGlass {
  public:
    explicit HourGlass(TForm& form) : form_(form) { form_.SetCursor(crHourGlass); }
    ~HourGlass() { form_.SetCursor(crDefault); }
    HourGlass(const HourGlass&) = delete;
    HourGlass& operator=(const HourGlass&) = delete;

  private:
    TForm& form_;
};

}  // namespace

bool TFormOstrel::RefuseWhileBusy() {
    // The running job's file, offsets and logo file must not change under it.
    if (!FlashJob.busy.load()) {
        return false;
    }
    MessageBox("Please wait till flash job finished.", "Flash is busy!");
    return true;
}

void TFormOstrel::btnChooseClick(TObject* /*sender*/) {
    if (RefuseWhileBusy()) {
        return;
    }
    if (OpenDialog->Execute()) {
        ActionLoadFileExecute(this);
    }
}

void TFormOstrel::ActionLoadFileExecute(TObject* /*sender*/) {
    if (loading_ || RefuseWhileBusy()) {
        return;
    }
    loading_ = true;
    struct LoadEnd {
        bool& flag;
        ~LoadEnd() { flag = false; }
    } loadEnd{loading_};
    imageCheck.imageValid = false;
    btnFlash->SetEnabled(false);
    HourGlass busyCursor(*this);
    Repaint();
    try {
        LoadChosenFile();
    } catch (const std::exception&) {
        ApplicationMessageBox("Read flash image", "File Error", mbOKCancel);
    }
}

void TFormOstrel::LoadChosenFile() {
    const std::string path = OpenDialog->FileName();
    FlashJob.total = FileLength(path);
    flashFileName_ = ExtractFileNameWithoutExt(path).substr(0, kFileNameBuffer - 1);
    editDirectory->SetText(ExtractFileDir(path));
    editFlashFile->SetText(flashFileName_);
    const std::string extension = UpperCase(ExtractFileExt(path));
    GroupBoxJPEGColors->Hide();
    GroupBoxFlashMode->Show();
    if (!ImportByExtension(extension)) {
        return;
    }
    if (imageCheck.imageValid) {
        FinishImageLoad();
    } else {
        FinishPictureLoad();
    }
    ShowLoadedSize();
}

bool TFormOstrel::ImportByExtension(const std::string& extension) {
    if (extension == ".BMP") {
        ActionBMPExecute(this);
    } else if (extension == ".JPG") {
        GroupBoxFlashMode->Hide();
        GroupBoxJPEGColors->Show();
        GroupBoxJPEGColors->Repaint();
        ActionJPEGExecute(this);
    } else if (extension == ".SPLB") {
        ActionSPLBExecute(this);
    } else if (extension == ".SPLC") {
        ActionSPLCExecute(this);
    } else if (extension == ".RLE") {
        ActionRLE8Execute(this);
    } else if (extension == ".IMG") {
        ActionChkImgExecute(this);
        if (!imageCheck.imageValid) {
            MessageBox("Invalid firmware signature!", "IMG error");
            return false;
        }
    } else {
        return false;
    }
    return true;
}

void TFormOstrel::FinishImageLoad() {
    GroupBoxFlashMode->SetEnabled(true);
    GroupBoxBitmap->Hide();
    GroupBoxFlashOption->Show();
    GroupBoxFlashOption->SetCaption("Firmware image");
    FlashJob.position = CheckBoxSkipBoot->Checked() ? static_cast<int32_t>(firmware::kBootSize) : 0;
    btnFlash->SetEnabled(true);
}

void TFormOstrel::FinishPictureLoad() {
    GroupBoxBitmap->Show();
    GroupBoxFlashOption->Hide();
    GroupBoxFlashOption->SetCaption("Splash logo");
    FlashJob.position = 0;
    // The projector model alone decides the format, whatever kind of picture was loaded;
    // the name is relative: the file goes next to the picture.
    const bool model7616 = lnk::model7616.load();
    const std::string logoFile = model7616 ? logo::kSplcFileName : logo::kSplbFileName;
    const auto width = static_cast<int>(shell::displayWidth);
    const auto height = static_cast<int>(shell::displayHeight);
    if (model7616) {
        logo::WriteSplcFile(scaledLogo_, width, height, logoFile);
    } else {
        logo::WriteSplbFile(scaledLogo_, width, height, logoFile);
    }
    FlashJob.total = FileLength(logoFile);
    const uint32_t base = model7616 ? firmware::kFlashBase7616 : firmware::kFlashBase;
    const uint32_t limit = LogoSizeLimit(shell::logoAddress - base);
    const auto total = static_cast<uint32_t>(FlashJob.total.load());
    if (total > limit) {
        MessageBox(
            shell::FormatText("Compressed image over %d bytes", static_cast<int>(total - limit)),
            "Try less colors");
    } else if (shell::logoReady) {
        btnFlash->SetEnabled(true);
    }
}

void TFormOstrel::ShowLoadedSize() {
    const int32_t position = FlashJob.position.load();
    const int32_t total = FlashJob.total.load();
    lblBytes->SetCaption(shell::FormatText("Bytes:%6d/%6d", position, total));
    lblBytes->Show();
    if (total > 0) {
        ProgressBar->SetPosition(static_cast<int>(int64_t{position} * 100 / total));
    }
    lblTime->SetCaption("Time:00:00");
    lblTime->Show();
    lblCheckSum->Hide();
}

void TFormOstrel::ActionChkImgExecute(TObject* /*sender*/) {
    imageCheck.imageValid = false;
    try {
        firmware::FileImageSource image(OpenDialog->FileName());
        const bool layout2 = lnk::model7616.load();
        firmware::CheckImage(image, layout2, imageCheck);
        imageCheckedAsLayout2 = layout2;
    } catch (const std::exception&) {
        ApplicationMessageBox("Reading flash image", "File Error");
    }
}

void TFormOstrel::editFlashFileDblClick(TObject* /*sender*/) {
    if (!imageCheck.imageValid || FormFlashImgInfo == nullptr) {
        return;
    }
    FormFlashImgInfo->SetVisible(!FormFlashImgInfo->Visible());
}

void TFormOstrel::editFlashWriteDelayChange(TObject* /*sender*/) {
    // The write is paced by the projector's acknowledgements alone.
}

}  // namespace ostrel
