#include "Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace quillora::ui::artwork {

namespace {

const QColor kDeepBlue(44, 72, 150);
const QColor kPaleBlue(214, 223, 246);

QPixmap blankPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void paintTile(QPainter& painter, int size) {
    QLinearGradient gradient(0, 0, 0, size);
    gradient.setColorAt(0, kHighlight.lighter(115));
    gradient.setColorAt(1, kDeepBlue);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(QRectF(0, 0, size, size), size * 0.18, size * 0.18);
}

// A feather on a slant, its shaft ending in a nib over a short line of ink.
void paintQuill(QPainter& painter, int size) {
    const qreal s = size;
    QPainterPath feather;
    feather.moveTo(0.30 * s, 0.78 * s);
    feather.cubicTo(0.34 * s, 0.50 * s, 0.52 * s, 0.24 * s, 0.80 * s, 0.14 * s);
    feather.cubicTo(0.76 * s, 0.40 * s, 0.56 * s, 0.62 * s, 0.30 * s, 0.78 * s);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(feather);
    painter.setPen(QPen(kDeepBlue, s * 0.025, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(0.32 * s, 0.74 * s), QPointF(0.74 * s, 0.20 * s));
    painter.setPen(QPen(Qt::white, s * 0.03, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(0.30 * s, 0.78 * s), QPointF(0.24 * s, 0.86 * s));
    painter.drawLine(QPointF(0.20 * s, 0.88 * s), QPointF(0.62 * s, 0.88 * s));
}

} // namespace

QPixmap productImage(int size) {
    QPixmap pixmap = blankPixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paintTile(painter, size);
    paintQuill(painter, size);
    return pixmap;
}

QPixmap eggImage(int size) {
    QPixmap pixmap = blankPixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    painter.setPen(QPen(kDeepBlue, s * 0.03));
    painter.setBrush(kPaleBlue);
    painter.drawEllipse(QRectF(0.22 * s, 0.08 * s, 0.56 * s, 0.80 * s));
    painter.setPen(QPen(kHighlight, s * 0.04, Qt::SolidLine, Qt::RoundCap));
    QPainterPath zigzag;
    zigzag.moveTo(0.25 * s, 0.50 * s);
    for (int i = 1; i <= 6; ++i)
        zigzag.lineTo((0.25 + i * 0.083) * s, (i % 2 == 1 ? 0.44 : 0.50) * s);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(zigzag);
    return pixmap;
}

QPixmap pageIcon(int page, bool alternate, int size) {
    QPixmap pixmap = blankPixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(alternate ? Qt::white : kHighlight, 1.5));
    painter.setBrush(alternate ? QColor(Qt::white) : kPaleBlue);
    painter.drawEllipse(QRectF(1.5, 1.5, size - 3, size - 3));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(size / 2);
    painter.setFont(font);
    painter.setPen(kDeepBlue);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QString::number(page + 1));
    return pixmap;
}

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(productImage(size));
    return icon;
}

} // namespace quillora::ui::artwork
