// OstrelProbe: walks the user through the USB driver set-up for both of the projector's
// personalities and checks that it can be switched into Ostrel mode.
#include <exception>
#include <memory>

#include "app/shell/AboutBox.h"
#include "app/shell/Artwork.h"
#include "platform/drv/Bus.h"
#include "platform/drv/LibusbBus.h"
#include "platform/drv/SocketBus.h"
#include "platform/vcl/Vcl.h"
#include "probe/ProbeWindow.h"

int main(int argc, char** argv) {
    vcl::TApplication application(argc, argv);
    try {
        vcl::Application->Initialize();
        vcl::Application->SetTitle("Projector Ostrel");
        shell::InstallProgramIcon();
        // Virtual projectors of `ostrel-sim` on this machine join the devices the driver
        // sees; without a simulator this bus is simply empty.
        drv::AddBus(std::make_unique<drv::SocketBus>());
        drv::AddBus(std::make_unique<drv::LibusbBus>());  // the projector on real USB
        vcl::Application->CreateForm(probe::FormOstrel);
        vcl::Application->CreateForm(shell::AboutBox);
        vcl::Application->Run();
    } catch (...) {
        vcl::Application->HandleException(std::current_exception());
    }
    return 0;
}
