// OstrelProbe: walks the user through the USB driver set-up for both of the projector's
// personalities and checks that it can be switched into Ostrel mode.
#include <exception>
#include <memory>

#include "app/shell/AboutBox.h"
#include "app/shell/ProgramStart.h"
#include "platform/vcl/Vcl.h"
#include "probe/ProbeWindow.h"

int main(int argc, char** argv) {
    vcl::TApplication application(argc, argv);
    try {
        shell::StartProgram("Projector Ostrel");
        vcl::Application->CreateForm(probe::FormOstrel);
        vcl::Application->CreateForm(shell::AboutBox);
        vcl::Application->Run();
    } catch (...) {
        vcl::Application->HandleException(std::current_exception());
    }
    return 0;
}
