#include "platform/vcl/core/MessageBox.h"

#include <atomic>

#include "platform/clock/Clock.h"

namespace vcl {
namespace {

std::atomic<MessageBoxBackend*> backend{nullptr};

std::mutex pumpMutex;
std::function<void(uint32_t)> eventPump;

int Show(BoxKind kind, const std::string& text, const std::string& caption, MsgButtons buttons) {
    MessageBoxBackend* current = backend.load();
    if (current == nullptr) {
        return idOK;
    }
    return current->Show(MessageRecord{kind, text, caption, buttons});
}

}  // namespace

MessageBoxBackend* SetMessageBoxBackend(MessageBoxBackend* next) {
    return backend.exchange(next);
}

int MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons) {
    return Show(BoxKind::Plain, text, caption, buttons);
}

int ApplicationMessageBox(const std::string& text, const std::string& caption, MsgButtons buttons) {
    return Show(BoxKind::Application, text, caption, buttons);
}

void SetEventPump(std::function<void(uint32_t)> pump) {
    std::lock_guard lock(pumpMutex);
    eventPump = std::move(pump);
}

void PumpEvents(uint32_t clockMs) {
    std::function<void(uint32_t)> pump;
    {
        std::lock_guard lock(pumpMutex);
        pump = eventPump;
    }
    if (pump) {
        pump(clockMs);
    } else {
        plat::Sleep(clockMs);
    }
}

MessageBoxResponder::MessageBoxResponder() : previous_(SetMessageBoxBackend(this)) {}

MessageBoxResponder::~MessageBoxResponder() {
    SetMessageBoxBackend(previous_);
}

int MessageBoxResponder::Show(const MessageRecord& box) {
    uint32_t think = 0;
    {
        std::lock_guard lock(mutex_);
        boxes_.push_back(box);
        think = thinkMs_;
    }
    if (think > 0) {
        PumpEvents(think);
    }
    std::lock_guard lock(mutex_);
    if (answers_.empty()) {
        return idOK;
    }
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

void MessageBoxResponder::Answer(int result) {
    std::lock_guard lock(mutex_);
    answers_.push_back(result);
}

void MessageBoxResponder::SetThinkTimeMs(uint32_t clockMs) {
    std::lock_guard lock(mutex_);
    thinkMs_ = clockMs;
}

std::vector<MessageRecord> MessageBoxResponder::Boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::vector<std::string> MessageBoxResponder::Texts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& box : boxes_) {
        texts.push_back(box.text);
    }
    return texts;
}

void MessageBoxResponder::Clear() {
    std::lock_guard lock(mutex_);
    boxes_.clear();
    answers_.clear();
}

}  // namespace vcl
