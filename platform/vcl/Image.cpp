#include "platform/vcl/Image.h"

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <stdexcept>

namespace vcl {

// Draws the picture of its TImage. The picture is turned into the toolkit's pixel
// format at the first paint after it changed, so a picture set in a window that is never
// shown (or replaced before a paint) is not converted at all.
class ImageWidget final : public QWidget {
  public:
    explicit ImageWidget(const TImage* image) : image_(image) {}

    void PictureChanged() {
        picture_ = QImage();
        update();
    }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        if (image_->PictureWidth() == 0 || image_->PictureHeight() == 0) {
            return;
        }
        if (picture_.isNull()) {
            picture_ =
                ToQImage(image_->PictureWidth(), image_->PictureHeight(), image_->PicturePixels());
        }
        const TRect dest = image_->DestRect();
        QPainter painter(this);
        painter.drawImage(QRect(dest.Left, dest.Top, dest.Width(), dest.Height()), picture_);
    }

  private:
    static QImage ToQImage(int width, int height, const std::vector<uint32_t>& pixels) {
        QImage picture(width, height, QImage::Format_RGB32);
        const uint32_t* source = pixels.data();
        for (int y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < width; ++x) {
                const uint32_t bgr = *source++;
                line[x] = qRgb(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                               static_cast<int>((bgr >> 16) & 0xFF));
            }
        }
        return picture;
    }

    const TImage* image_;
    QImage picture_;  // null until the first paint after a change
};

TRect ImageDestRect(int pictureWidth, int pictureHeight, int clientWidth, int clientHeight,
                    bool stretch, bool proportional, bool center) {
    int width = pictureWidth;
    int height = pictureHeight;
    if (stretch || (proportional && (width > clientWidth || height > clientHeight))) {
        if (proportional && width > 0 && height > 0) {
            const double aspect = static_cast<double>(width) / height;
            if (width > height) {
                width = clientWidth;
                height = static_cast<int>(clientWidth / aspect);
                if (height > clientHeight) {
                    height = clientHeight;
                    width = static_cast<int>(clientHeight * aspect);
                }
            } else {
                height = clientHeight;
                width = static_cast<int>(clientHeight * aspect);
                if (width > clientWidth) {
                    width = clientWidth;
                    height = static_cast<int>(clientWidth / aspect);
                }
            }
        } else {
            width = clientWidth;
            height = clientHeight;
        }
    }
    TRect rect{0, 0, width, height};
    if (center) {
        const int dx = (clientWidth - width) / 2;
        const int dy = (clientHeight - height) / 2;
        rect = TRect{dx, dy, dx + width, dy + height};
    }
    return rect;
}

TImage::TImage(TComponent* owner) : TControl(owner, new ImageWidget(this)) {
    ForwardMouseClicks();
}

void TImage::SetPicture(int width, int height, std::span<const uint32_t> pixels) {
    if (width < 0 || height < 0 ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        throw std::invalid_argument("picture size does not match its pixels");
    }
    pictureWidth_ = width;
    pictureHeight_ = height;
    pixels_.assign(pixels.begin(), pixels.end());
    static_cast<ImageWidget*>(Widget())->PictureChanged();
}

void TImage::ClearPicture() {
    pictureWidth_ = 0;
    pictureHeight_ = 0;
    pixels_.clear();
    static_cast<ImageWidget*>(Widget())->PictureChanged();
}

void TImage::SetStretch(bool stretch) {
    stretch_ = stretch;
    Changed();
}

void TImage::SetProportional(bool proportional) {
    proportional_ = proportional;
    Changed();
}

void TImage::SetCenter(bool center) {
    center_ = center;
    Changed();
}

TRect TImage::DestRect() const {
    return ImageDestRect(pictureWidth_, pictureHeight_, Width(), Height(), stretch_, proportional_,
                         center_);
}

void TImage::Changed() {
    Invalidate();
}

}  // namespace vcl
