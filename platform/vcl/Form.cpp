#include "platform/vcl/Form.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

#include "platform/vcl/Application.h"
#include "platform/vcl/QtSupport.h"
#include "platform/vcl/Screen.h"

namespace vcl {
namespace {

// The window of a form: routes the window manager's close request and the Enter key
// (default button) to the form.
class FormWidget final : public QWidget {
  public:
    explicit FormWidget(TForm* form) : form_(form) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        qt::RunGuarded([this] { form_->Close(); });
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            for (QPushButton* button : findChildren<QPushButton*>()) {
                if (button->isDefault() && button->isEnabled() && button->isVisible()) {
                    button->click();
                    return;
                }
            }
        }
        QWidget::keyPressEvent(event);
    }

  private:
    TForm* form_;
};

}  // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner, new FormWidget(this)) {
    TControl::SetVisible(false);
    Font()->SetName("MS Sans Serif");
    Font()->SetHeight(-11);
    ApplyWindowFlags();
}

TForm::~TForm() {
    if (Application != nullptr) {
        Application->FormDestroyed(this);
    }
    if (modalLoop_ != nullptr) {
        modalLoop_->exit(mrCancel);
    }
    DestroyComponents();
}

void TForm::AfterConstruction() {
    if (OnCreate) {
        qt::RunGuarded([this] { OnCreate(this); });
    }
}

int TForm::ClientWidth() const {
    return Widget()->width();
}
int TForm::ClientHeight() const {
    return Widget()->height();
}

void TForm::SetClientSize(int width, int height) {
    Widget()->setMinimumSize(0, 0);
    Widget()->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    Widget()->resize(width, height);
    ApplySizeConstraint();
    Realign();
}

TRect TForm::ClientRect() const {
    return TRect{0, 0, ClientWidth(), ClientHeight()};
}

TRect TForm::Bounds() const {
    const QRect frame = Widget()->frameGeometry();
    return TRect{frame.x(), frame.y(), frame.x() + frame.width(), frame.y() + frame.height()};
}

void TForm::SetBounds(int left, int top, int width, int height) {
    const QRect frame = Widget()->frameGeometry();
    const QRect client = Widget()->geometry();
    const int frameWidth = frame.width() - client.width();
    const int frameHeight = frame.height() - client.height();
    Widget()->move(left, top);
    SetClientSize(width - frameWidth, height - frameHeight);
}

void TForm::SetBorderStyle(TBorderStyle style) {
    borderStyle_ = style;
    ApplyWindowFlags();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
    borderIcons_ = icons;
    ApplyWindowFlags();
}

void TForm::ApplyWindowFlags() {
    Qt::WindowFlags flags = Qt::Window;
    if (borderStyle_ == bsNone) {
        flags |= Qt::FramelessWindowHint;
    } else {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        const bool dialog = borderStyle_ == bsDialog || borderStyle_ == bsToolWindow ||
                            borderStyle_ == bsSizeToolWin;
        const bool sizeable = borderStyle_ == bsSizeable || borderStyle_ == bsSizeToolWin;
        if (borderIcons_.Contains(biSystemMenu)) {
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        }
        if (!dialog && borderIcons_.Contains(biMinimize)) {
            flags |= Qt::WindowMinimizeButtonHint;
        }
        if (sizeable && borderIcons_.Contains(biMaximize)) {
            flags |= Qt::WindowMaximizeButtonHint;
        }
    }
    // Qt hides a window whose flags change; a visible form stays visible where it was.
    const bool shown = Widget()->isVisible();
    const QPoint where = Widget()->pos();
    Widget()->setWindowFlags(flags);
    if (shown) {
        Widget()->move(where);
        Widget()->show();
    }
    ApplySizeConstraint();
}

void TForm::ApplySizeConstraint() {
    const bool sizeable = borderStyle_ == bsSizeable || borderStyle_ == bsSizeToolWin;
    if (sizeable) {
        Widget()->setMinimumSize(0, 0);
        Widget()->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        Widget()->setFixedSize(Widget()->size());
    }
}

void TForm::CentreOnScreen() {
    const int left = Screen->Width() / 2 - Width() / 2;
    const int top = Screen->Height() / 2 - Height() / 2;
    Widget()->move(left, top);
}

void TForm::SetVisible(bool visible) {
    if (visible == Visible()) {
        return;
    }
    if (visible) {
        if (position_ == poScreenCenter) {
            CentreOnScreen();
        }
        if (OnShow) {
            qt::RunGuarded([this] { OnShow(this); });
        }
        TControl::SetVisible(true);
        Widget()->raise();
        Widget()->activateWindow();
    } else {
        TControl::SetVisible(false);
        if (OnHide) {
            qt::RunGuarded([this] { OnHide(this); });
        }
        if (modalLoop_ != nullptr) {
            if (modalResult_ == mrNone) {
                modalResult_ = mrCancel;
            }
            modalLoop_->exit(modalResult_);
        }
    }
}

void TForm::Close() {
    if (closing_) {
        return;
    }
    closing_ = true;
    if (modalLoop_ != nullptr && modalResult_ == mrNone) {
        modalResult_ = mrCancel;
    }
    try {
        if (OnClose) {
            OnClose(this);
        }
    } catch (...) {
        closing_ = false;
        throw;
    }
    closing_ = false;
    Hide();
    if (Application != nullptr && Application->MainForm() == this) {
        Application->Terminate();
    }
}

TModalResult TForm::ShowModal() {
    modalResult_ = mrNone;
    Widget()->setWindowModality(Qt::ApplicationModal);
    Show();
    QEventLoop loop;
    modalLoop_ = &loop;
    if (modalResult_ == mrNone && Visible()) {
        loop.exec();
    }
    modalLoop_ = nullptr;
    Hide();
    Widget()->setWindowModality(Qt::NonModal);
    return modalResult_;
}

void TForm::SetModalResult(TModalResult result) {
    modalResult_ = result;
    if (result != mrNone && modalLoop_ != nullptr) {
        modalLoop_->exit(result);
    }
}

std::string TForm::GetText() const {
    return qt::FromQ(Widget()->windowTitle());
}

void TForm::SetTextValue(const std::string& text) {
    Widget()->setWindowTitle(qt::ToQ(text));
}

}  // namespace vcl
