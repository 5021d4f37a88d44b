#include "FormPlacement.h"

#include "tk_reglib.h"

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
    form.setGeometry(stored->Left, stored->Top, stored->Width, stored->Height);
}
