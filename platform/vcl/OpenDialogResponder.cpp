#include "platform/vcl/OpenDialogResponder.h"

namespace vcl {
namespace {

OpenDialogResponder* active = nullptr;

}  // namespace

OpenDialogResponder::OpenDialogResponder() : previous_(active) {
    active = this;
}

OpenDialogResponder::~OpenDialogResponder() {
    active = previous_;
}

void OpenDialogResponder::Choose(const std::string& path) {
    answers_.emplace_back(path);
}

void OpenDialogResponder::Cancel() {
    answers_.emplace_back(std::nullopt);
}

std::optional<std::string> OpenDialogResponder::Answer(const OpenDialogRequest& request) {
    requests_.push_back(request);
    if (answers_.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> answer = answers_.front();
    answers_.pop_front();
    return answer;
}

OpenDialogResponder* ActiveOpenDialogResponder() {
    return active;
}

}  // namespace vcl
