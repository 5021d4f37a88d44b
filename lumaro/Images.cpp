#include "Images.h"

#include "TreeviewFunctions.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace {

constexpr int ImageSize = 16;

QPixmap Canvas()
{
    QPixmap pixmap(ImageSize, ImageSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawFolder(QPainter& p, const QColor& color)
{
    p.setPen(color.darker(160));
    p.setBrush(color);
    p.drawRect(1, 4, 13, 10);
    p.drawRect(1, 2, 6, 2);
}

void DrawEnvelope(QPainter& p, bool open)
{
    p.setPen(QColor(90, 90, 90));
    p.setBrush(open ? QColor(250, 250, 240) : QColor(255, 236, 150));
    if (open) {
        p.drawPolygon(QPolygon({QPoint(1, 7), QPoint(8, 2), QPoint(14, 7), QPoint(14, 14), QPoint(1, 14)}));
        p.drawLine(1, 7, 8, 11);
        p.drawLine(8, 11, 14, 7);
    } else {
        p.drawRect(1, 4, 13, 9);
        p.drawLine(1, 4, 8, 9);
        p.drawLine(8, 9, 14, 4);
    }
}

QIcon FolderImage(const QColor& color, const std::function<void(QPainter&)>& mark = {})
{
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    DrawFolder(p, color);
    if (mark)
        mark(p);
    return QIcon(pixmap);
}

QIcon TrashImage()
{
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    p.setPen(QColor(70, 70, 70));
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(3, 4, 9, 11);
    p.drawLine(1, 3, 14, 3);
    p.drawLine(6, 6, 6, 13);
    p.drawLine(9, 6, 9, 13);
    return QIcon(pixmap);
}

void ArrowMark(QPainter& p, bool down)
{
    p.setPen(QPen(QColor(0, 90, 180), 2));
    if (down) {
        p.drawLine(8, 6, 8, 12);
        p.drawLine(5, 9, 8, 12);
        p.drawLine(11, 9, 8, 12);
    } else {
        p.drawLine(8, 12, 8, 6);
        p.drawLine(5, 9, 8, 6);
        p.drawLine(11, 9, 8, 6);
    }
}

QIcon MessageImage(int image)
{
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    DrawEnvelope(p, image & 2);
    if (image & 1) {
        p.setPen(QPen(QColor(60, 60, 160), 1.5));
        p.drawLine(12, 8, 12, 15);
        p.drawLine(14, 8, 14, 15);
    }
    if (image & 4) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 30));
        p.drawEllipse(0, 0, 6, 6);
    }
    return QIcon(pixmap);
}

} // namespace

QList<QIcon> FolderTreeImages()
{
    const QColor folder(240, 200, 90);
    QList<QIcon> images(6);
    images[tiInbox] = FolderImage(folder, [](QPainter& p) { ArrowMark(p, true); });
    images[tiOutbox] = FolderImage(folder, [](QPainter& p) { ArrowMark(p, false); });
    images[tiFolder] = FolderImage(folder);
    images[tiSentTemplates] = FolderImage(QColor(170, 200, 240));
    images[tiRoot] = FolderImage(QColor(150, 200, 150));
    images[tiTrash] = TrashImage();
    return images;
}

QList<QIcon> MessageRowImages()
{
    QList<QIcon> images;
    for (int image = 0; image < 8; ++image)
        images.append(MessageImage(image));
    return images;
}

QIcon UserPanelImage()
{
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(QColor(120, 160, 210));
    p.drawEllipse(5, 1, 6, 6);
    QPainterPath body;
    body.addRoundedRect(2, 8, 12, 7, 3, 3);
    p.drawPath(body);
    return QIcon(pixmap);
}
