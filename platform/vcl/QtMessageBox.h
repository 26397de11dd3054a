#pragma once
// The message-box backend on Qt: plain boxes have no owner window, application boxes
// are owned by the main form; both are modal and keep the window thread's timers
// running. Callable from any thread: a worker's box is shown by the window thread
// while the worker waits for the answer.
#include "platform/vcl/core/MessageBox.h"

namespace vcl {

class QtMessageBoxBackend final : public MessageBoxBackend {
  public:
    int Show(const MessageRecord& box) override;
};

}  // namespace vcl
