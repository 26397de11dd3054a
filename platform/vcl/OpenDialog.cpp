#include "platform/vcl/OpenDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>
#include <filesystem>
#include <system_error>

#include "platform/vcl/Application.h"
#include "platform/vcl/FileFilter.h"
#include "platform/vcl/OpenDialogResponder.h"
#include "platform/vcl/QtSupport.h"

namespace vcl {
namespace {

namespace fs = std::filesystem;

QWidget* DialogOwner() {
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    if (Application != nullptr && Application->MainForm() != nullptr &&
        Application->MainForm()->Visible()) {
        return Application->MainForm()->Widget();
    }
    return nullptr;
}

// A name typed without extension gets the default one, unless a file of that exact
// name exists.
std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
    const fs::path chosen(path);
    std::error_code error;
    if (extension.empty() || chosen.has_extension() || fs::exists(chosen, error)) {
        return path;
    }
    return path + "." + extension;
}

}  // namespace

bool TOpenDialog::Execute() {
    std::string chosen;
    if (OpenDialogResponder* responder = ActiveOpenDialogResponder()) {
        const auto answer = responder->Answer(
            OpenDialogRequest{filter_, filterIndex_, defaultExt_, fileName_, initialDir_, title_});
        if (!answer) {
            return false;
        }
        chosen = *answer;
    } else {
        chosen = AskUser();
    }
    if (chosen.empty()) {
        return false;
    }
    Accept(WithDefaultExtension(chosen, defaultExt_));
    return true;
}

std::string TOpenDialog::AskUser() const {
    QFileDialog dialog(DialogOwner(), qt::ToQ(title_));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's own dialog matches patterns without regard to case, as Windows does
    // ("*.img" finds FIRMWARE.IMG).
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QStringList filters;
    for (const FileFilter& entry : ParseFileFilter(filter_)) {
        filters << qt::ToQ(QtNameFilter(entry));
    }
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = filterIndex_ >= 1 && filterIndex_ <= filters.size() ? filterIndex_ : 1;
        dialog.selectNameFilter(filters[index - 1]);
    }
    if (!defaultExt_.empty()) {
        dialog.setDefaultSuffix(qt::ToQ(defaultExt_));
    }
    std::error_code error;
    const std::string folder = !initialDir_.empty() ? initialDir_
                               : !fileName_.empty() ? fs::path(fileName_).parent_path().string()
                                                    : fs::current_path(error).string();
    if (!folder.empty()) {
        dialog.setDirectory(qt::ToQ(folder));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return qt::FromQ(dialog.selectedFiles().constFirst());
}

void TOpenDialog::Accept(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(fs::path(path), error);
    const fs::path full = error ? fs::path(path) : absolute.lexically_normal();
    fileName_ = full.string();
    // The chosen file's folder becomes the current directory: later relative names
    // (the temporary logo files) are made beside the chosen file.
    if (full.has_parent_path()) {
        fs::current_path(full.parent_path(), error);
    }
}

}  // namespace vcl
