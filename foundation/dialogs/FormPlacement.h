#pragma once
// Saving and restoring a window's position as a 16-byte registry value named after the form, and
// the rule that opens every window fully on the screen it belongs to.

#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>

#include <optional>

class QWidget;

// Writes the placement of `form` under its object name in registry key `key`: the normal geometry
// of the client area, as RestoreFormPlacement sets it again.
void SaveFormPlacement(const QWidget& form, const QString& key);
// Places `form` by PlaceWindow: at its stored place when that lies on a screen, else centred over
// its parent window (or its screen), never larger than the screen's available area. A stored Top of
// -999 maximizes it. Once the window manager has framed the window, a frame that still reaches
// beyond the available area (title bar, borders) is moved back onto it.
void RestoreFormPlacement(QWidget& form, const QString& key);

// Where a window opens. Rectangles are client areas (QWidget::geometry) except `parent` and
// `screens`, which are frame and available screen rectangles; `frame` is what the window manager
// adds around the client area (none while unknown). A stored place whose frame has its centre on a
// screen is kept, moved fully onto that screen; otherwise the window gets the stored size, else
// `size`, centred over `parent`, else over the first screen, which is the window's own.
QRect PlaceWindow(const std::optional<QRect>& stored, QSize size, const std::optional<QRect>& parent,
                  const QList<QRect>& screens, QMargins frame = {});

// `window` made to fit into `available`: no larger than it, and moved inside it.
QRect FittedOnScreen(const QRect& window, const QRect& available);
