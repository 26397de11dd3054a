// Ostrel: the projector's firmware and splash logo update program.
#include <exception>
#include <memory>

#include "app/ostrel/Ostrel_BCCunit.h"
#include "app/shell/AboutBox.h"
#include "app/shell/Artwork.h"
#include "platform/drv/Bus.h"
#include "platform/drv/LibusbBus.h"
#include "platform/drv/SocketBus.h"
#include "platform/vcl/Vcl.h"

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
        vcl::Application->CreateForm(ostrel::FormOstrel);
        vcl::Application->CreateForm(shell::AboutBox);
        vcl::Application->Run();
    } catch (...) {
        vcl::Application->HandleException(std::current_exception());
    }
    return 0;
}
