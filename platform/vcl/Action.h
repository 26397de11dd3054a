#pragma once
// TAction: a named command with an OnExecute handler; TActionList: the component that
// owns a form's actions.
#include <string>

#include "platform/vcl/Component.h"

namespace vcl {

class TActionList : public TComponent {
  public:
    using TComponent::TComponent;
};

class TAction : public TComponent {
  public:
    using TComponent::TComponent;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption) { caption_ = caption; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }

    // Runs OnExecute with the action as sender; false when disabled or without handler.
    bool Execute();

    TNotifyEvent OnExecute;

  private:
    std::string caption_;
    bool enabled_ = true;
};

}  // namespace vcl
