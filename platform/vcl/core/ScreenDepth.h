#pragma once
// The screen's colour depth in bits per pixel. The form layer installs the real source;
// tests pin a depth with ScreenDepthOverride to see how pictures are reduced on 16-bit or
// 256-colour screens. Without either, a true-colour screen (32) is assumed.
#include <functional>

namespace vcl {

int ScreenColorDepth();

// Installs the source of the real depth (nullptr: none).
void SetScreenColorDepthSource(std::function<int()> source);

// While it lives, ScreenColorDepth() answers `bitsPerPixel`.
class ScreenDepthOverride {
  public:
    explicit ScreenDepthOverride(int bitsPerPixel);
    ~ScreenDepthOverride();
    ScreenDepthOverride(const ScreenDepthOverride&) = delete;
    ScreenDepthOverride& operator=(const ScreenDepthOverride&) = delete;

  private:
    int previous_;
};

}  // namespace vcl
