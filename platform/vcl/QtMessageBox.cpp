#include "platform/vcl/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/vcl/Application.h"
#include "platform/vcl/QtSupport.h"
#include "platform/vcl/WindowThread.h"

namespace vcl {
namespace {

QWidget* OwnerOf(const MessageRecord& box) {
    if (box.kind != BoxKind::Application || Application == nullptr ||
        Application->MainForm() == nullptr || !Application->MainForm()->Visible()) {
        return nullptr;
    }
    return Application->MainForm()->Widget();
}

int ShowOnWindowThread(const MessageRecord& box) {
    QMessageBox dialog(OwnerOf(box));
    dialog.setWindowTitle(qt::ToQ(box.caption));
    // Plain text: the texts hold "<OK>" and runs of blanks that must show as they are.
    dialog.setTextFormat(Qt::PlainText);
    dialog.setText(qt::ToQ(box.text));
    QPushButton* ok = dialog.addButton(QMessageBox::Ok);
    QPushButton* cancel =
        box.buttons == mbOKCancel ? dialog.addButton(QMessageBox::Cancel) : nullptr;
    dialog.setDefaultButton(ok);
    dialog.setEscapeButton(cancel != nullptr ? cancel : ok);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.exec();
    return cancel != nullptr && dialog.clickedButton() == cancel ? idCancel : idOK;
}

}  // namespace

int QtMessageBoxBackend::Show(const MessageRecord& box) {
    if (QCoreApplication::instance() == nullptr) {
        return idOK;
    }
    int answer = idOK;
    CallOnWindowThread([&answer, &box] { answer = ShowOnWindowThread(box); });
    return answer;
}

}  // namespace vcl
