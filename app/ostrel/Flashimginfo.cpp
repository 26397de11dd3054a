#include "app/ostrel/Flashimginfo.h"

#include "app/firmware/FirmwareImage.h"
#include "app/ostrel/LoadedImage.h"
#include "app/shell/InfoText.h"

namespace ostrel {

using namespace vcl;

TFormFlashImgInfo* FormFlashImgInfo = nullptr;

namespace {

constexpr char kRowCaptions[9][20] = {"FT Signature:", "Application code ", "Boot code",
                                      "OSD data",      "Splash logo",       "ASIC config",
                                      "App config",    "Others binary",     "Sequence code"};
constexpr int kFirstRowTop = 12;
constexpr int kRowPitch = 26;
// What a row shows where a layout-2 table has no such field.
constexpr char kNoField[] = "   n/a    ";

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::string Hex(uint32_t value) {
    return shell::FormatText("0x%08X", value);
}

}  // namespace

TFormFlashImgInfo::TFormFlashImgInfo(TComponent* owner) : TForm(owner) {
    SetCaption("Flash Table Infomation");
    SetBorderStyle(bsDialog);
    SetBounds(708, 130, 276, 351);
    SetColor(clBtnShadow);
    Font()->SetName("MS Sans Serif");
    OnShow = Method(this, &TFormFlashImgInfo::FormShow);

    TLabel** values[] = {&lblSig,  &lblApp,  &lblBoot,   &lblOSD, &lblLogo,
                         &lblASIC, &lblAppC, &lblOthers, &lblSeq};
    for (int row = 0; row < 9; ++row) {
        *values[row] = AddRow(row, kRowCaptions[row]);
    }

    lblAppVer = new TLabel(this);
    lblAppVer->SetParent(this);
    lblAppVer->SetAutoSize(false);
    lblAppVer->SetBounds(8, kFirstRowTop + 9 * kRowPitch + 6, 252, 16);
    lblAppVer->SetAlignment(taCenter);
    lblAppVer->SetCaption("          ?         ");

    Button1 = new TButton(this);
    Button1->SetParent(this);
    Button1->SetBounds(96, 280, 75, 25);
    Button1->SetCaption("Close");
    Button1->OnClick = Method(this, &TFormFlashImgInfo::Button1Click);
}

TLabel* TFormFlashImgInfo::AddRow(int row, const char* caption) {
    const int top = kFirstRowTop + row * kRowPitch;
    auto* name = new TLabel(this);
    name->SetParent(this);
    name->SetBounds(16, top, 0, 16);
    name->SetCaption(caption);
    rowCaptions[static_cast<size_t>(row)] = name;

    auto* value = new TLabel(this);
    value->SetParent(this);
    value->SetBounds(140, top, 0, 16);
    value->Font()->SetName("Fixedsys");
    value->SetCaption("0x00000000");
    return value;
}

void TFormFlashImgInfo::FormShow(TObject* /*sender*/) {
    const firmware::FlashTable table = firmware::DecodeFlashTable(imageCheck.table1);
    const uint32_t fields[] = {table.ftSignature, table.appCode,      table.bootCode,
                               table.osdData,     table.splashLogo,   table.asicConfig,
                               table.appConfig,   table.othersBinary, table.sequenceCode};
    TLabel* const values[] = {lblSig,  lblApp,  lblBoot,   lblOSD, lblLogo,
                              lblASIC, lblAppC, lblOthers, lblSeq};
    for (size_t row = 0; row < 9; ++row) {
        values[row]->SetCaption(Hex(fields[row]));
    }
    if (imageCheckedAsLayout2) {
        // The layout-2 table names none of these parts; its own signature is the only
        // field that means the same, and the layout-1 copy belongs to an older image.
        lblSig->SetCaption(Hex(Le32(&imageCheck.table2[0])));
        for (size_t row = 1; row < 9; ++row) {
            values[row]->SetCaption(kNoField);
        }
    }
    lblAppVer->SetCaption("Release:" + firmware::FormatRelease(imageCheck.imageRelease));
}

void TFormFlashImgInfo::Button1Click(TObject* /*sender*/) {
    Hide();
}

}  // namespace ostrel
