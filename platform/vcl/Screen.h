#pragma once
// TScreen: the size of the screen the windows are placed on and the program-wide
// cursor. The size can be fixed for tests (offscreen platforms report whatever they like).
#include <optional>

#include "platform/vcl/Types.h"

namespace vcl {

class TScreen {
  public:
    int Width() const;
    int Height() const;

    TCursor Cursor() const { return cursor_; }
    // crHourGlass shows the busy cursor over every window until crDefault.
    void SetCursor(TCursor cursor);

    // Test seam: the size that Width and Height report (std::nullopt: the real screen).
    void SetSizeForTest(std::optional<int> width, std::optional<int> height);

  private:
    TCursor cursor_ = crDefault;
    std::optional<int> testWidth_;
    std::optional<int> testHeight_;
};

extern TScreen* Screen;

}  // namespace vcl
