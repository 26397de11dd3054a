// Ostrel: the projector's firmware and splash logo update program.
#include <exception>
#include <memory>

#include "app/ostrel/Flashimginfo.h"
#include "app/ostrel/Ostrel_BCCunit.h"
#include "app/shell/AboutBox.h"
#include "app/shell/ProgramStart.h"
#include "platform/vcl/Vcl.h"

int main(int argc, char** argv) {
    vcl::TApplication application(argc, argv);
    try {
        shell::StartProgram("Projector Ostrel");
        vcl::Application->CreateForm(ostrel::FormOstrel);
        vcl::Application->CreateForm(shell::AboutBox);
        vcl::Application->CreateForm(ostrel::FormFlashImgInfo);
        vcl::Application->Run();
    } catch (...) {
        vcl::Application->HandleException(std::current_exception());
    }
    return 0;
}
