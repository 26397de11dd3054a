#pragma once
// Message boxes of every layer go through this one seam. The windows install a backend
// that shows real boxes; tests install a responder that answers from a script and
// records what was asked. Without a backend a box answers OK at once and is recorded
// nowhere (layers below the windows run headless in tools and benchmarks).
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vcl {

enum MsgButtons { mbOK, mbOKCancel };
enum MsgResult { idOK = 1, idCancel = 2 };

// A plain box has no owner window; an application box is owned by the main form.
enum class BoxKind { Plain, Application };

struct MessageRecord {
    BoxKind kind;
    std::string text;
    std::string caption;
    MsgButtons buttons;
};

class MessageBoxBackend {
  public:
    virtual ~MessageBoxBackend() = default;
    // Shows one box and returns the answer; may be called from any thread.
    virtual int Show(const MessageRecord& box) = 0;
};

// Installs the backend (nullptr: answer OK silently). Returns the previous one.
MessageBoxBackend* SetMessageBoxBackend(MessageBoxBackend* backend);

// A plain message box: no owner window, the window's timers keep firing while it is open.
int MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons = mbOK);
// The application's own box, owned by the main window.
int ApplicationMessageBox(const std::string& text, const std::string& caption,
                          MsgButtons buttons = mbOK);

// Test seam: answers boxes from a script (OK when the script is empty), records every
// box, and can keep the event loop running for a while before answering, as a person
// would (the pump is installed by the form layer; without one it simply waits).
class MessageBoxResponder final : public MessageBoxBackend {
  public:
    MessageBoxResponder();
    ~MessageBoxResponder() override;

    int Show(const MessageRecord& box) override;

    void Answer(int result);                // the next box gets this answer
    void SetThinkTimeMs(uint32_t clockMs);  // events keep running this long per box
    std::vector<MessageRecord> Boxes() const;
    std::vector<std::string> Texts() const;
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::deque<int> answers_;
    std::vector<MessageRecord> boxes_;
    uint32_t thinkMs_ = 0;
    MessageBoxBackend* previous_;
};

// Runs the event loop of the window thread for `clockMs` (installed by the form layer).
void SetEventPump(std::function<void(uint32_t clockMs)> pump);
void PumpEvents(uint32_t clockMs);

}  // namespace vcl
