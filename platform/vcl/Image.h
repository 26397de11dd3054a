#pragma once
// TImage: shows a picture given as 32-bit pixels (0x00BBGGRR, rows top down), placed as
// the form library places it: natural size at the top-left, or centred (Center),
// stretched over the control (Stretch), keeping its proportions (Proportional: shrunk to
// fit when larger than the control, and grown to fit too when also stretched).
#include <cstdint>
#include <span>
#include <vector>

#include "platform/vcl/Control.h"

namespace vcl {

// Where a picture of `pictureWidth` × `pictureHeight` lands in a control of
// `clientWidth` × `clientHeight` with the given settings.
TRect ImageDestRect(int pictureWidth, int pictureHeight, int clientWidth, int clientHeight,
                    bool stretch, bool proportional, bool center);

class TImage : public TControl {
  public:
    explicit TImage(TComponent* owner);

    // Takes a copy of `pixels` (width × height values) as the picture.
    void SetPicture(int width, int height, std::span<const uint32_t> pixels);
    void ClearPicture();
    int PictureWidth() const { return pictureWidth_; }
    int PictureHeight() const { return pictureHeight_; }
    // The picture's pixels as given (0x00BBGGRR).
    const std::vector<uint32_t>& PicturePixels() const { return pixels_; }

    bool Stretch() const { return stretch_; }
    void SetStretch(bool stretch);
    bool Proportional() const { return proportional_; }
    void SetProportional(bool proportional);
    bool Center() const { return center_; }
    void SetCenter(bool center);

    // Where the picture is drawn now, in the control's coordinates.
    TRect DestRect() const;

  private:
    friend class ImageWidget;
    void Changed();

    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
    std::vector<uint32_t> pixels_;
    bool stretch_ = false;
    bool proportional_ = false;
    bool center_ = false;
};

}  // namespace vcl
