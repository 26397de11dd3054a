#pragma once
// TOpenDialog: lets the user pick an existing file. Filter is written the form library's
// way ("Name|*.ext|Name|*.ext"), FilterIndex counts from 1, DefaultExt (without the dot)
// is added to a name typed without extension. A confirmed choice is stored in FileName
// (full path) and makes the file's folder the current directory, as the system dialog
// does with its default options. Tests answer it with an OpenDialogResponder.
#include <string>

#include "platform/vcl/Component.h"

namespace vcl {

class TOpenDialog : public TComponent {
  public:
    using TComponent::TComponent;

    const std::string& Filter() const { return filter_; }
    void SetFilter(const std::string& filter) { filter_ = filter; }
    int FilterIndex() const { return filterIndex_; }
    void SetFilterIndex(int index) { filterIndex_ = index; }
    const std::string& DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(const std::string& extension) { defaultExt_ = extension; }
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName) { fileName_ = fileName; }
    const std::string& InitialDir() const { return initialDir_; }
    void SetInitialDir(const std::string& folder) { initialDir_ = folder; }
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }

    // Shows the dialog; true when the user confirmed a file.
    bool Execute();

  private:
    std::string AskUser() const;
    void Accept(const std::string& path);

    std::string filter_;
    int filterIndex_ = 1;
    std::string defaultExt_;
    std::string fileName_;
    std::string initialDir_;
    std::string title_;
};

}  // namespace vcl
