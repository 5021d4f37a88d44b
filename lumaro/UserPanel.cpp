#include "UserPanel.h"

#include "Images.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int TextIndent = 20;
constexpr int ImageSize = 16;
}

TUserPanel::TUserPanel(QWidget* parent) : QWidget(parent), m_image(UserPanelImage())
{
    setObjectName(QStringLiteral("UserPanel"));
    setMinimumHeight(ImageSize + 2);
}

void TUserPanel::SetUserName(const QString& name)
{
    m_name = name;
    update();
}

void TUserPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int top = (height() - ImageSize) / 2;
    m_image.paint(&painter, QRect(2, top, ImageSize, ImageSize));
    painter.drawText(rect().adjusted(2 + TextIndent, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, m_name);
}

void TUserPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Clicked();
    QWidget::mouseReleaseEvent(event);
}
