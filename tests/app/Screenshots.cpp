// Takes the pictures of the windows in docs/: Ostrel's main window and OstrelProbe's,
// each with a virtual projector attached and its lines filled, and the about box.
// Not a test: run it under a display (xvfb-run) with the folder to write to.
//
//   xvfb-run -a build/tests/app/window_screenshots docs
#include <unistd.h>

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/ostrel/Ostrel_BCCunit.h"
#include "app/shell/AboutBox.h"
#include "app/shell/Artwork.h"
#include "app/shell/ProjectorInfo.h"
#include "link/State.h"
#include "platform/clock/Clock.h"
#include "platform/drv/VirtualBus.h"
#include "platform/vcl/Vcl.h"
#include "platform/vcl/core/Paths.h"
#include "probe/ProbeWindow.h"
#include "sim/Projector.h"

namespace {

namespace fs = std::filesystem;

constexpr char kUsbFile[] = "[USB]\nVID=1501\n[PID_DMD]\n5010=XGA\n7616=WXGA\n";

template <typename Pred>
bool PumpUntil(Pred done, uint32_t clockMs = 20000) {
    const uint64_t end = plat::NowMs() + clockMs;
    while (!done() && plat::NowMs() < end) {
        vcl::PumpEvents(50);
    }
    return done();
}

bool Save(vcl::TForm* form, const fs::path& file) {
    vcl::PumpEvents(300);  // let the window paint
    const bool saved = form->Widget()->grab().save(QString::fromStdString(file.string()));
    std::printf("%s %s\n", saved ? "wrote" : "could not write", file.c_str());
    return saved;
}

// Stands in for the executable `name` in `folder`, with its `.USB` file beside it.
void PretendToBe(const fs::path& folder, const std::string& name) {
    std::ofstream(folder / (name + ".USB")) << kUsbFile;
    vcl::SetExecutablePathForTesting((folder / name).string());
}

bool ShootOstrel(const fs::path& output) {
    vcl::Application->CreateForm(ostrel::FormOstrel);
    vcl::Application->CreateForm(shell::AboutBox);
    ostrel::FormOstrel->Show();
    const bool filled = PumpUntil([] {
        return ostrel::FormOstrel->lblResolution->Visible() &&
               ostrel::FormOstrel->editUSB->Text() == "USB ";
    });
    bool saved = filled && Save(ostrel::FormOstrel, output / "ostrel.png");
    shell::AboutBox->Show();
    saved = Save(shell::AboutBox, output / "about.png") && saved;
    shell::AboutBox->Hide();
    ostrel::FormOstrel->Close();  // closes the link
    delete shell::AboutBox;
    shell::AboutBox = nullptr;
    delete ostrel::FormOstrel;
    ostrel::FormOstrel = nullptr;
    return saved;
}

bool ShootProbe(const fs::path& output) {
    shell::ResetProjectorInfo();  // a program of its own would start afresh
    vcl::Application->CreateForm(probe::FormOstrel);
    probe::FormOstrel->Show();
    const bool filled = PumpUntil([] {
        return probe::FormOstrel->btnCheckOstrel->Enabled() &&
               probe::FormOstrel->lblResolution->Visible();
    });
    if (!filled) {
        std::fprintf(stderr, "probe window not filled: usbOpen %d attached %d target '%s'\n",
                     lnk::usbOpen.load(), lnk::attached.load(),
                     probe::FormOstrel->lblTarget->Caption().c_str());
    }
    const bool saved = filled && Save(probe::FormOstrel, output / "ostrel-probe.png");
    lnk::MyUSBclose();
    delete probe::FormOstrel;
    probe::FormOstrel = nullptr;
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder for the pictures>\n", argv[0]);
        return 2;
    }
    const fs::path output = fs::absolute(argv[1]);
    char pattern[] = "/tmp/ostrel-shots-XXXXXX";
    const fs::path folder = ::mkdtemp(pattern);
    plat::SetClockSpeed(20);

    vcl::TApplication application(argc, argv);
    vcl::Application->SetTitle("Projector Ostrel");
    shell::InstallProgramIcon();

    sim::Projector projector;
    projector.PlugInto(drv::TheVirtualBus());

    PretendToBe(folder, "ostrel");
    bool ok = ShootOstrel(output);
    PretendToBe(folder, "ostrel-probe");
    ok = ShootProbe(output) && ok;

    projector.Unplug();
    vcl::SetExecutablePathForTesting("");
    fs::remove_all(folder);
    return ok ? 0 : 1;
}
