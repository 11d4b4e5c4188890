#include "shell/qt/AppIcon.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>

namespace zevlo {

namespace {

QIcon DrawnIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x1e, 0x6f, 0xb8));
        painter.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
        painter.setPen(QPen(Qt::white, size / 8.0));
        const double m = size / 4.0;
        // A "Z" for the product.
        painter.drawPolyline(
            QPolygonF({QPointF(m, m), QPointF(size - m, m), QPointF(m, size - m), QPointF(size - m, size - m)}));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QIcon ApplicationIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral(":/icons/zevlo-%1.png").arg(size);
        if (QFile::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    if (icon.isNull() && QFile::exists(QStringLiteral(":/icons/zevlo.svg")))
        icon.addFile(QStringLiteral(":/icons/zevlo.svg"));
    return icon.isNull() ? DrawnIcon() : icon;
}

} // namespace zevlo
