#include "platform/vcl/Application.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include "platform/vcl/EventPump.h"
#include "platform/vcl/Exception.h"
#include "platform/vcl/QtMessageBox.h"
#include "platform/vcl/WindowThread.h"
#include "platform/vcl/core/ScreenDepth.h"

namespace vcl {

TApplication* Application = nullptr;

namespace {

int QtScreenDepth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->depth() : 32;
}

std::string ExceptionBoxText(std::string message) {
    if (!message.empty() && message.back() > '.') {
        message += '.';
    }
    return message;
}

}  // namespace

TApplication::TApplication(int& argc, char** argv)
    : TComponent(nullptr), toolkit_(std::make_unique<QApplication>(argc, argv)) {
    // The message loop ends when the main form closes, not when the last box does.
    QApplication::setQuitOnLastWindowClosed(false);
    StartWindowThreadCalls();
    boxes_ = std::make_unique<QtMessageBoxBackend>();
    previousBoxes_ = SetMessageBoxBackend(boxes_.get());
    SetEventPump(PumpQtEvents);
    SetScreenColorDepthSource(QtScreenDepth);
    Application = this;
}

TApplication::~TApplication() {
    DestroyComponents();
    SetScreenColorDepthSource(nullptr);
    SetEventPump(nullptr);
    SetMessageBoxBackend(previousBoxes_);
    StopWindowThreadCalls();
    Application = nullptr;
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    QGuiApplication::setApplicationDisplayName(QString::fromStdString(title));
}

void TApplication::Adopt(TForm* form) {
    if (mainForm_ == nullptr) {
        mainForm_ = form;
    }
}

void TApplication::FormDestroyed(const TForm* form) {
    if (mainForm_ == form) {
        mainForm_ = nullptr;
    }
}

void TApplication::Run() {
    try {
        if (mainForm_ != nullptr && showMainForm_) {
            mainForm_->Show();
        }
        if (!terminated_) {
            QApplication::exec();
        }
    } catch (...) {
        HandleException(std::current_exception());
    }
}

void TApplication::Terminate() {
    terminated_ = true;
    QCoreApplication::quit();
}

void TApplication::ProcessMessages() {
    QCoreApplication::processEvents();
}

int TApplication::MessageBox(const std::string& text, const std::string& caption,
                             MsgButtons buttons) {
    return ApplicationMessageBox(text, caption, buttons);
}

void TApplication::HandleException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& known) {
        ShowException(known);
    } catch (...) {
        ShowException(Exception(""));
    }
}

void TApplication::ShowException(const std::exception& error) {
    ApplicationMessageBox(ExceptionBoxText(error.what()), title_, mbOK);
}

}  // namespace vcl
