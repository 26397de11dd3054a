#pragma once
// TApplication: the program's one application object (global `Application`). It owns the
// toolkit, the forms made with CreateForm (first one = main form), the message loop, the
// message-box backend, the exception box and the title.
//
//   int main(int argc, char** argv) {
//       vcl::TApplication application(argc, argv);
//       Application->SetTitle("Projector Ostrel");
//       Application->CreateForm(FormOstrel);
//       Application->CreateForm(AboutBox);
//       Application->Run();
//   }
#include <exception>
#include <memory>
#include <string>

#include "platform/vcl/Component.h"
#include "platform/vcl/Form.h"
#include "platform/vcl/core/MessageBox.h"

class QApplication;

namespace vcl {

class TApplication : public TComponent {
  public:
    // Starts the toolkit, installs the message-box backend and the event pump, and sets
    // the global `Application`. One at a time.
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    void Initialize() {}
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);

    // Makes a form owned by the application, stores it in `reference` and then runs its
    // OnCreate, so that the handler can already use the global reference. The first
    // form made is the main form.
    template <typename Form>
    void CreateForm(Form*& reference) {
        reference = new Form(this);
        Adopt(reference);
        reference->AfterConstruction();
    }
    TForm* MainForm() const { return mainForm_; }
    // Called by a form that is being destroyed, so that it is no longer the main form.
    void FormDestroyed(const TForm* form);
    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool show) { showMainForm_ = show; }

    // Shows the main form and runs the message loop until the main form closes or
    // Terminate is called.
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Handles the events that are waiting, then returns.
    void ProcessMessages();

    // The application's own message box, owned by the main form.
    int MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons = mbOK);

    // The exception box: the exception's message (a full stop added as the form library
    // does) with the title as caption. Exceptions of other types show an empty message.
    void HandleException(std::exception_ptr error);
    void ShowException(const std::exception& error);

    // Top-most windows are a Windows notion; on Linux the boxes are modal over all the
    // program's windows anyway, so these keep nothing to normalise or restore.
    void NormalizeTopMosts() {}
    void RestoreTopMosts() {}

  private:
    void Adopt(TForm* form);

    std::unique_ptr<QApplication> toolkit_;
    std::unique_ptr<MessageBoxBackend> boxes_;
    MessageBoxBackend* previousBoxes_ = nullptr;
    std::string title_;
    TForm* mainForm_ = nullptr;
    bool showMainForm_ = true;
    bool terminated_ = false;
};

extern TApplication* Application;

}  // namespace vcl
