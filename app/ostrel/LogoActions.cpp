// The picture importers of the main window: each reads the chosen file, draws it into
// the import buffer and the preview and prints its size; the BMP and JPEG imports also
// fit the picture to the projector's display in the scaled logo buffer, from which the
// file load encodes the logo that is flashed.
#include <vector>

#include "app/logo/LogoImport.h"
#include "app/ostrel/Ostrel_BCCunit.h"
#include "app/shell/ProjectorInfo.h"
#include "platform/vcl/core/BmpFile.h"
#include "platform/vcl/core/ScreenDepth.h"

namespace ostrel {

using namespace vcl;

namespace {

constexpr char kImageFileError[] = "Image file error!!!";
// The import buffer's control is kept at this size; its bitmap has the picture's.
constexpr int kImportBufferWidth = 200;
constexpr int kImportBufferHeight = 150;

// A bitmap's colours as the picture of an image control.
void ShowBitmap(TImage& image, const TBitmap& bitmap) {
    const std::vector<TColor>& pixels = bitmap.Pixels();
    std::vector<uint32_t> colours(pixels.begin(), pixels.end());
    image.SetPicture(bitmap.Width(), bitmap.Height(), colours);
}

logo::JpegDepthButton CheckedDepthButton(const TFormOstrel& form) {
    if (form.rb8bit->Checked()) {
        return logo::JpegDepthButton::rb8bit;
    }
    return form.rb16bit->Checked() ? logo::JpegDepthButton::rb16bit
                                   : logo::JpegDepthButton::rb24bit;
}

int DisplayWidth() {
    return static_cast<int>(shell::displayWidth);
}

int DisplayHeight() {
    return static_cast<int>(shell::displayHeight);
}

}  // namespace

void TFormOstrel::ShowScaled(const TBitmap& scaled) {
    scaledLogo_ = scaled;
    imgBufScaled->SetWidth(scaled.Width());
    imgBufScaled->SetHeight(scaled.Height());
    ShowBitmap(*imgBufScaled, scaledLogo_);
    // The preview stretches the whole logo over itself.
    ShowBitmap(*Image1, scaledLogo_);
}

void TFormOstrel::ShowImported(const TBitmap& picture) {
    importPicture_ = picture;
    imgBuf->SetWidth(kImportBufferWidth);
    imgBuf->SetHeight(kImportBufferHeight);
    ShowBitmap(*imgBuf, importPicture_);
}

void TFormOstrel::ShowPreview(const TBitmap& picture) {
    // Silver where the picture leaves room, which with a stretched preview is only
    // while there is no picture at all.
    TBitmap preview(Image1->Width(), Image1->Height(), pf24bit);
    preview.Canvas().Brush.Color = clSilver;
    preview.Canvas().FillRect(TRect{0, 0, preview.Width(), preview.Height()});
    ShowBitmap(*Image1, picture.Empty() ? preview : picture);
}

void TFormOstrel::ActionBMPExecute(TObject* /*sender*/) {
    try {
        const std::vector<uint8_t> file = ReadWholeFile(OpenDialog->FileName());
        const logo::ImportedPicture imported =
            logo::ImportBmp(file, DisplayWidth(), DisplayHeight());
        ShowImported(imported.picture);
        ShowScaled(imported.scaled);
        pnlImgSize->SetCaption(imported.sizeText);
    } catch (const std::exception&) {
        MessageBox(kImageFileError, "Open BMP");
    }
}

void TFormOstrel::ActionJPEGExecute(TObject* /*sender*/) {
    const logo::JpegColourChoice colours =
        logo::ChooseJpegColours(ScreenColorDepth(), CheckedDepthButton(*this));
    rb24bit->SetEnabled(colours.rb24bitEnabled);
    rb16bit->SetEnabled(colours.rb16bitEnabled);
    rb8bit->SetEnabled(colours.rb8bitEnabled);
    // Checking a button runs its click, the file load, which is running already and
    // ignores the nested call.
    switch (colours.checked) {
        case logo::JpegDepthButton::rb24bit:
            rb24bit->SetChecked(true);
            break;
        case logo::JpegDepthButton::rb16bit:
            rb16bit->SetChecked(true);
            break;
        case logo::JpegDepthButton::rb8bit:
            rb8bit->SetChecked(true);
            break;
    }
    try {
        const std::vector<uint8_t> file = ReadWholeFile(OpenDialog->FileName());
        const logo::ImportedPicture imported =
            logo::ImportJpeg(file, colours, DisplayWidth(), DisplayHeight());
        ShowImported(imported.picture);
        ShowScaled(imported.scaled);
        pnlImgSize->SetCaption(imported.sizeText);
    } catch (const std::exception&) {
        MessageBox(kImageFileError, "Open JPG");
    }
}

void TFormOstrel::ShowPreviewImport(const logo::PreviewPicture& imported) {
    if (imported.recognised) {
        importPicture_ = imported.picture;
        imgBuf->SetWidth(importPicture_.Width());
        imgBuf->SetHeight(importPicture_.Height());
        ShowBitmap(*imgBuf, importPicture_);
    }
    // A file that is not of its kind leaves the previous picture, which the preview
    // and the size text then show.
    ShowPreview(importPicture_);
    pnlImgSize->SetCaption(
        logo::SizeText(importPicture_.Width(), importPicture_.Height(), imported.bitCount));
}

void TFormOstrel::ActionRLE8Execute(TObject* /*sender*/) {
    try {
        ShowPreviewImport(logo::ImportRle8(ReadWholeFile(OpenDialog->FileName())));
    } catch (const std::exception&) {
        MessageBox(kImageFileError, "Open RLE8");
    }
}

void TFormOstrel::ActionSPLBExecute(TObject* /*sender*/) {
    try {
        ShowPreviewImport(logo::ImportSplb(ReadWholeFile(OpenDialog->FileName())));
    } catch (const std::exception&) {
        MessageBox(kImageFileError, "Open SPLB");
    }
}

void TFormOstrel::ActionSPLCExecute(TObject* /*sender*/) {
    try {
        ShowPreviewImport(logo::ImportSplc(ReadWholeFile(OpenDialog->FileName())));
    } catch (const std::exception&) {
        MessageBox(kImageFileError, "Open SPLC");
    }
}

}  // namespace ostrel
