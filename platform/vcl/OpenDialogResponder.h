#pragma once
// Test seam of TOpenDialog: while a responder lives, Execute() asks it instead of showing
// a dialog. Each dialog takes the next scripted answer (a file, or cancel; cancel when
// the script is empty) and is recorded with the settings it was shown with.
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace vcl {

struct OpenDialogRequest {
    std::string filter;
    int filterIndex;
    std::string defaultExt;
    std::string fileName;
    std::string initialDir;
    std::string title;
};

class OpenDialogResponder {
  public:
    OpenDialogResponder();
    ~OpenDialogResponder();
    OpenDialogResponder(const OpenDialogResponder&) = delete;
    OpenDialogResponder& operator=(const OpenDialogResponder&) = delete;

    void Choose(const std::string& path);  // the next dialog confirms `path`
    void Cancel();                         // the next dialog is cancelled
    const std::vector<OpenDialogRequest>& Requests() const { return requests_; }

    // Called by TOpenDialog: records the request, returns the chosen path or nothing.
    std::optional<std::string> Answer(const OpenDialogRequest& request);

  private:
    std::deque<std::optional<std::string>> answers_;
    std::vector<OpenDialogRequest> requests_;
    OpenDialogResponder* previous_;
};

// The responder in charge, if any.
OpenDialogResponder* ActiveOpenDialogResponder();

}  // namespace vcl
