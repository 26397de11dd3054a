#include "platform/vcl/Memo.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <stdexcept>

#include "platform/vcl/QtSupport.h"

namespace vcl {
namespace {

// The memo's lines, read from and written to the widget each time, so that what the
// user typed is what the lines hold.
class MemoLines final : public TStrings {
  public:
    explicit MemoLines(QPlainTextEdit* edit) : edit_(edit) {}

    int Count() const override { return static_cast<int>(Read().size()); }
    std::string Strings(int index) const override {
        const QStringList lines = Read();
        Check(index, lines.size());
        return qt::FromQ(lines[index]);
    }
    void Put(int index, const std::string& line) override {
        QStringList lines = Read();
        Check(index, lines.size());
        lines[index] = qt::ToQ(line);
        Write(lines);
    }
    void Insert(int index, const std::string& line) override {
        QStringList lines = Read();
        Check(index, lines.size() + 1);
        lines.insert(index, qt::ToQ(line));
        Write(lines);
    }
    void Delete(int index) override {
        QStringList lines = Read();
        Check(index, lines.size());
        lines.removeAt(index);
        Write(lines);
    }
    void Clear() override { edit_->clear(); }

  private:
    static void Check(int index, qsizetype count) {
        if (index < 0 || index >= count) {
            throw std::out_of_range("List index out of bounds");
        }
    }
    QStringList Read() const {
        const QString text = edit_->toPlainText();
        // An empty memo has no lines (a single empty line reads back as none).
        return text.isEmpty() ? QStringList{} : text.split(QLatin1Char('\n'));
    }
    void Write(const QStringList& lines) { edit_->setPlainText(lines.join(QLatin1Char('\n'))); }

    QPlainTextEdit* edit_;
};

}  // namespace

TMemo::TMemo(TComponent* owner)
    : TControl(owner, new QPlainTextEdit),
      edit_(static_cast<QPlainTextEdit*>(Widget())),
      lines_(std::make_unique<MemoLines>(edit_)) {
    SetBackgroundRoles(kBackgroundBase);
    edit_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    ForwardMouseClicks(edit_->viewport());
}

TMemo::~TMemo() = default;

bool TMemo::ReadOnly() const {
    return edit_->isReadOnly();
}

void TMemo::SetReadOnly(bool readOnly) {
    edit_->setReadOnly(readOnly);
}

bool TMemo::WordWrap() const {
    return edit_->lineWrapMode() != QPlainTextEdit::NoWrap;
}

void TMemo::SetWordWrap(bool wordWrap) {
    edit_->setLineWrapMode(wordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

std::string TMemo::GetText() const {
    return lines_->Text();
}

void TMemo::SetTextValue(const std::string& text) {
    lines_->SetText(text);
}

}  // namespace vcl
