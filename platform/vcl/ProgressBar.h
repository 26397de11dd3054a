#pragma once
// TProgressBar: a bar between Min and Max at Position (kept inside the range, as the
// system control keeps it), with a background colour of its own.
#include "platform/vcl/Control.h"

class QProgressBar;

namespace vcl {

class TProgressBar : public TControl {
  public:
    explicit TProgressBar(TComponent* owner);

    int Min() const { return min_; }
    void SetMin(int min);
    int Max() const { return max_; }
    void SetMax(int max);
    int Position() const;
    void SetPosition(int position);
    bool Smooth() const { return smooth_; }
    // Qt draws one continuous bar in any case; the setting is kept for the caller.
    void SetSmooth(bool smooth) { smooth_ = smooth; }

  private:
    void Apply();

    QProgressBar* bar_;
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    bool smooth_ = false;
};

}  // namespace vcl
