#include "app/logo/DisplayScaler.h"

#include <algorithm>
#include <string>

#include "app/logo/LogoImport.h"
#include "app/logo/Mysplash.h"

namespace logo {

using vcl::TColor;

namespace {

// What a display-sized bitmap holds of a colour: its colour value without the upper byte.
constexpr TColor kColourBits = 0xFFFFFF;

}  // namespace

DisplayScaler::DisplayScaler(int pictureWidth, int pictureHeight, int displayWidth,
                             int displayHeight)
    : pictureWidth_(pictureWidth),
      pictureHeight_(pictureHeight),
      displayWidth_(displayWidth),
      displayHeight_(displayHeight) {
    if (displayWidth < 0 || displayHeight < 0 || displayWidth > kMaxLogoDimension ||
        displayHeight > kMaxLogoDimension) {
        throw LogoSizeError("a display of " + std::to_string(displayWidth) + " x " +
                            std::to_string(displayHeight) + " pixels cannot take a logo");
    }
    const Placement place =
        PlaceOnDisplay(pictureWidth, pictureHeight, displayWidth, displayHeight);
    centred_ = place.centred;
    left_ = place.rect.Left;
    top_ = place.rect.Top;
    if (!centred_) {
        for (int x = 0; x < displayWidth; ++x) {
            columns_.push_back(static_cast<int>((2 * int64_t{x} + 1) * pictureWidth /
                                                (2 * int64_t{displayWidth})));
        }
    }
    row_.resize(static_cast<size_t>(displayWidth));
    pixels_.reserve(static_cast<size_t>(displayWidth) * static_cast<size_t>(displayHeight));
}

int DisplayScaler::SourceRow(int displayRow) const {
    return static_cast<int>((2 * int64_t{displayRow} + 1) * pictureHeight_ /
                            (2 * int64_t{displayHeight_}));
}

void DisplayScaler::PutRow(const std::vector<TColor>& row) {
    pixels_.insert(pixels_.end(), row.begin(), row.end());
    ++rowsDone_;
}

void DisplayScaler::PutFillRows(int untilRow) {
    if (fillRow_.empty()) {
        fillRow_.assign(static_cast<size_t>(displayWidth_), fill_);
    }
    while (rowsDone_ < std::min(untilRow, displayHeight_)) {
        PutRow(fillRow_);
    }
}

void DisplayScaler::AddRow(int y, const TColor* row) {
    if (pictureWidth_ <= 0) {
        return;  // an empty picture draws nothing: the logo is all fill colour
    }
    if (y == 0) {
        fill_ = row[0] & kColourBits;
    }
    if (centred_) {
        PutFillRows(top_ + y);
        std::fill_n(row_.begin(), left_, fill_);
        std::transform(row, row + pictureWidth_, row_.begin() + left_,
                       [](TColor c) { return c & kColourBits; });
        std::fill(row_.begin() + left_ + pictureWidth_, row_.end(), fill_);
        PutRow(row_);
        return;
    }
    // Every display row whose centre lies on this picture row: the first is gathered
    // straight into the logo, any further one is a copy of it.
    const size_t width = columns_.size();
    if (rowsDone_ < displayHeight_ && SourceRow(rowsDone_) == y) {
        const int* columns = columns_.data();
        vcl::AppendColours(pixels_, displayWidth_,
                           [row, columns](int x) { return row[columns[x]]; });
        ++rowsDone_;
    }
    while (rowsDone_ < displayHeight_ && SourceRow(rowsDone_) == y) {
        std::copy_n(pixels_.end() - static_cast<ptrdiff_t>(width), width, row_.begin());
        PutRow(row_);
    }
}

vcl::TBitmap DisplayScaler::Finish() {
    PutFillRows(displayHeight_);
    vcl::TBitmap scaled;
    scaled.Canvas().Brush.Color = fill_;
    scaled.AssignPixels(displayWidth_, displayHeight_, std::move(pixels_));
    return scaled;
}

}  // namespace logo
