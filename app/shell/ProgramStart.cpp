#include "app/shell/ProgramStart.h"

#include <memory>

#include "app/shell/Artwork.h"
#include "platform/drv/Bus.h"
#include "platform/drv/LibusbBus.h"
#include "platform/drv/SocketBus.h"
#include "platform/vcl/Vcl.h"

namespace shell {

void StartProgram(const std::string& title) {
    vcl::Application->Initialize();
    vcl::Application->SetTitle(title);
    InstallProgramIcon();
    drv::AddBus(std::make_unique<drv::SocketBus>());
    drv::AddBus(std::make_unique<drv::LibusbBus>());
}

}  // namespace shell
