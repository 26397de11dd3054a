#pragma once
// TTimer: runs OnTimer on the window thread every Interval clock milliseconds while
// Enabled (the default). Intervals run at the platform clock's speed.
//
// As with the system timers of the form library, ticks go on while a handler waits in a
// message box (the box's event loop dispatches them), and a tick may then start while
// the previous tick of the same timer has not returned yet. A handler that must not run
// twice at once guards itself.
#include <cstdint>
#include <memory>

#include "platform/vcl/Component.h"

class QTimer;

namespace vcl {

class TTimer : public TComponent {
  public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    uint32_t Interval() const { return interval_; }
    void SetInterval(uint32_t clockMs);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    TNotifyEvent OnTimer;

  private:
    void Restart();
    void Tick();

    std::unique_ptr<QTimer> timer_;
    uint32_t interval_ = 1000;
    bool enabled_ = true;
};

}  // namespace vcl
