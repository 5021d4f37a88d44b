#include "FormPlacement.h"

#include "tk_reglib.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void SaveFormPlacement(const QWidget& form, const QString& key)
{
    const QRect normal = form.isMaximized() ? form.normalGeometry() : form.geometry();
    TWindowPlacement placement{normal.x(), normal.y(), normal.width(), normal.height()};
    if (form.isMaximized())
        placement.Top = TWindowPlacement::MaximizedTop;
    TRegistryKey(key).WriteBinary(form.objectName(), EncodeWindowPlacement(placement));
}

void RestoreFormPlacement(QWidget& form, const QString& key)
{
    const std::optional<TWindowPlacement> stored =
        DecodeWindowPlacement(TRegistryKey(key).ReadBinary(form.objectName()));
    if (!stored)
        return;
    if (stored->Maximized()) {
        form.setGeometry(stored->Left, form.y(), stored->Width, stored->Height);
        form.setWindowState(form.windowState() | Qt::WindowMaximized);
        return;
    }
    QRect place(stored->Left, stored->Top, stored->Width, stored->Height);
    const QScreen* screen = QGuiApplication::screenAt(place.center());
    if (!screen)
        screen = form.screen() ? form.screen() : QGuiApplication::primaryScreen();
    if (screen)
        place = FittedOnScreen(place, screen->availableGeometry());
    form.setGeometry(place);
}

QRect FittedOnScreen(const QRect& window, const QRect& available)
{
    if (available.isEmpty())
        return window;
    QRect fitted(window.topLeft(), window.size().boundedTo(available.size()));
    fitted.moveLeft(std::clamp(fitted.left(), available.left(), available.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), available.top(), available.bottom() - fitted.height() + 1));
    return fitted;
}
