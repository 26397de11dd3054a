#pragma once
// The display-sized logo built from the picture a row at a time, so that a decoder can hand
// each row over while it is still in cache instead of the picture being read again whole.
#include <cstdint>
#include <vector>

#include "platform/vcl/core/Bitmap.h"

namespace logo {

// Fills the displayWidth × displayHeight logo with the picture's top-left colour and places
// the picture as PlaceOnDisplay (LogoImport.h) says: centred unscaled, or stretched by
// nearest neighbour with the source pixel under each target pixel's centre, exactly as the
// canvas's FillRect, Draw and StretchDraw would.
class DisplayScaler {
  public:
    // Throws LogoSizeError (Mysplash.h) for a display size the logo formats cannot hold,
    // before anything is allocated.
    DisplayScaler(int pictureWidth, int pictureHeight, int displayWidth, int displayHeight);

    // Row y of the picture, pictureWidth colour values as a bitmap holds them (upper byte
    // clear); rows come in order from the top.
    void AddRow(int y, const vcl::TColor* row);
    // The logo, once every row has come (rows that never came take the fill colour).
    vcl::TBitmap Finish();

  private:
    void PutRow(const std::vector<vcl::TColor>& row);
    void PutFillRows(int untilRow);
    int SourceRow(int displayRow) const;

    int pictureWidth_;
    int pictureHeight_;
    int displayWidth_;
    int displayHeight_;
    bool centred_ = false;
    int left_ = 0;
    int top_ = 0;
    vcl::TColor fill_ = 0;
    std::vector<int> columns_;      // source column of each display column, when stretched
    std::vector<vcl::TColor> row_;  // the display row being made
    std::vector<vcl::TColor> fillRow_;
    std::vector<vcl::TColor> pixels_;
    int rowsDone_ = 0;  // display rows made so far
};

}  // namespace logo
