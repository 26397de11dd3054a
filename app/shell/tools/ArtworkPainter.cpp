#include "app/shell/tools/ArtworkPainter.h"

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

namespace shell {
namespace {

constexpr int kLogoWidth = 156;
constexpr int kLogoHeight = 520;

const QColor kNightTop(11, 31, 58);
const QColor kNightBottom(24, 66, 112);
const QColor kBody(216, 222, 230);
const QColor kBodyEdge(120, 132, 150);
const QColor kLensDark(24, 30, 46);
const QColor kLensGlow(120, 190, 255);
const QColor kBeam(255, 244, 200);

// A projector seen from the front, its lens at (`lensX`, `lensY`) of radius `lens`.
void PaintProjector(QPainter& painter, const QRectF& body, QPointF lensCentre, qreal lens) {
    painter.setPen(QPen(kBodyEdge, body.height() / 25));
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, kBody.lighter(110));
    shade.setColorAt(1, kBody.darker(125));
    painter.setBrush(shade);
    painter.drawRoundedRect(body, body.height() / 5, body.height() / 5);

    QRadialGradient glass(lensCentre, lens);
    glass.setColorAt(0, kLensGlow);
    glass.setColorAt(0.45, kLensDark.lighter(160));
    glass.setColorAt(1, kLensDark);
    painter.setPen(QPen(kBodyEdge.darker(130), lens / 6));
    painter.setBrush(glass);
    painter.drawEllipse(lensCentre, lens, lens);

    // Two vents and a power light on the top face.
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBodyEdge);
    const qreal vent = body.width() / 10;
    for (int i = 0; i < 2; ++i) {
        painter.drawRoundedRect(QRectF(body.left() + vent * (1 + 1.6 * i), body.top() + vent, vent,
                                       body.height() / 2.6),
                                vent / 3, vent / 3);
    }
    painter.setBrush(QColor(90, 220, 120));
    painter.drawEllipse(QPointF(body.right() - vent * 1.5, body.top() + vent * 1.5), vent / 2.5,
                        vent / 2.5);
}

void PaintBeam(QPainter& painter, QPointF from, qreal spread, qreal length) {
    QLinearGradient fade(from, from + QPointF(0, length));
    QColor strong = kBeam;
    strong.setAlpha(170);
    QColor gone = kBeam;
    gone.setAlpha(0);
    fade.setColorAt(0, strong);
    fade.setColorAt(1, gone);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fade);
    painter.drawPolygon(
        QPolygonF({from + QPointF(-spread / 10, 0), from + QPointF(spread / 10, 0),
                   from + QPointF(spread, length), from + QPointF(-spread, length)}));
}

}  // namespace

QImage PaintLogo() {
    QImage image(kLogoWidth, kLogoHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient night(0, 0, 0, kLogoHeight);
    night.setColorAt(0, kNightTop);
    night.setColorAt(1, kNightBottom);
    painter.fillRect(image.rect(), night);

    // A few fixed stars.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 150));
    for (const QPointF star : {QPointF(20, 24), QPointF(121, 40), QPointF(60, 16),
                               QPointF(140, 150), QPointF(14, 190), QPointF(100, 8)}) {
        painter.drawEllipse(star, 1.6, 1.6);
    }

    const QPointF lens(78, 112);
    PaintBeam(painter, lens, 74, 300);
    PaintProjector(painter, QRectF(22, 62, 112, 58), lens, 19);

    // The picture the beam throws: a small screen with a rising line.
    const QRectF screen(18, 300, 120, 74);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 2));
    painter.setBrush(QColor(255, 255, 255, 40));
    painter.drawRect(screen);
    painter.setPen(QPen(QColor(255, 214, 90), 3));
    QPainterPath rise;
    rise.moveTo(screen.left() + 12, screen.bottom() - 14);
    rise.lineTo(screen.left() + 44, screen.bottom() - 34);
    rise.lineTo(screen.left() + 70, screen.bottom() - 26);
    rise.lineTo(screen.right() - 12, screen.top() + 14);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(rise);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(27);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    painter.setFont(font);
    painter.setPen(QColor(235, 242, 250));
    painter.drawText(QRectF(0, 450, kLogoWidth, 40), Qt::AlignCenter, QStringLiteral("OSTREL"));
    painter.end();
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage PaintIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 64.0;

    QLinearGradient night(0, 0, 0, size);
    night.setColorAt(0, kNightTop);
    night.setColorAt(1, kNightBottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(night);
    painter.drawRoundedRect(QRectF(0, 0, size, size), 12 * unit, 12 * unit);

    const QPointF lens(32 * unit, 30 * unit);
    PaintBeam(painter, lens, 26 * unit, 34 * unit);
    PaintProjector(painter, QRectF(8 * unit, 14 * unit, 48 * unit, 24 * unit), lens, 9 * unit);
    painter.end();
    return image;
}

}  // namespace shell
