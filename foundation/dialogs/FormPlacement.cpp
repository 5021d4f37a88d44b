#include "FormPlacement.h"

#include "tk_reglib.h"

#include <algorithm>

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

std::optional<QRect> ScreenAt(const QList<QRect>& screens, QPoint point)
{
    const auto found
        = std::find_if(screens.cbegin(), screens.cend(), [point](const QRect& screen) { return screen.contains(point); });
    return found == screens.cend() ? std::nullopt : std::optional<QRect>(*found);
}

// The form's own screen first, so that a window without parent opens where the program was started.
QList<QRect> AvailableScreens(const QWidget& form)
{
    QList<QRect> screens;
    const QScreen* own = form.screen() ? form.screen() : QGuiApplication::primaryScreen();
    if (own)
        screens.append(own->availableGeometry());
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != own)
            screens.append(screen->availableGeometry());
    }
    return screens;
}

std::optional<QRect> ParentFrame(const QWidget& form)
{
    const QWidget* parent = form.parentWidget() ? form.parentWidget()->window() : nullptr;
    if (!parent || !parent->isVisible())
        return std::nullopt;
    return parent->frameGeometry();
}

// Known only once the window manager has framed the window; until then geometry and frame agree.
QMargins FrameMargins(const QWidget& form)
{
    const QRect frame = form.frameGeometry();
    const QRect client = form.geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

// Window managers frame a window after it is shown, and X11 reports the frame's extents later still;
// until then a place right at the screen's edge puts title bar or bottom border beyond it. So the
// window is kept on the screen whenever it is moved or resized during its first second on screen.
class TFrameCheck : public QObject {
public:
    explicit TFrameCheck(QWidget& form) : QObject(&form), m_form(&form)
    {
        form.installEventFilter(this);
        if (form.isVisible())
            Start();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_form)
            return false;
        if (event->type() == QEvent::Show)
            Start();
        else if (m_started && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
            QTimer::singleShot(0, this, &TFrameCheck::KeepOnScreen);
        return false;
    }

private:
    static constexpr int SettleMs = 1000;

    void Start()
    {
        if (m_started)
            return;
        m_started = true;
        QTimer::singleShot(0, this, &TFrameCheck::KeepOnScreen);
        QTimer::singleShot(SettleMs, this, &QObject::deleteLater);
    }

    void KeepOnScreen()
    {
        if (!m_form || m_form->isMaximized() || m_form->isFullScreen() || !m_form->isVisible())
            return;
        const QRect placed = PlaceWindow(m_form->geometry(), m_form->size(), std::nullopt, AvailableScreens(*m_form),
                                         FrameMargins(*m_form));
        if (placed != m_form->geometry())
            m_form->setGeometry(placed);
    }

    QPointer<QWidget> m_form;
    bool m_started = false;
};

} // namespace

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
    std::optional<QRect> storedPlace;
    if (stored && stored->Width > 0 && stored->Height > 0)
        storedPlace = QRect(stored->Left, stored->Top, stored->Width, stored->Height);
    if (stored && stored->Maximized()) {
        // What the user gets back on leaving the maximized state: the stored normal size, centred.
        form.setGeometry(PlaceWindow(std::nullopt, QSize(stored->Width, stored->Height), ParentFrame(form),
                                     AvailableScreens(form), FrameMargins(form)));
        form.setWindowState(form.windowState() | Qt::WindowMaximized);
        return;
    }
    form.setGeometry(
        PlaceWindow(storedPlace, form.size(), ParentFrame(form), AvailableScreens(form), FrameMargins(form)));
    new TFrameCheck(form);
}

QRect PlaceWindow(const std::optional<QRect>& stored, QSize size, const std::optional<QRect>& parent,
                  const QList<QRect>& screens, QMargins frame)
{
    if (screens.isEmpty())
        return stored.value_or(QRect(QPoint(0, 0), size));
    if (stored) {
        const QRect storedFrame = stored->marginsAdded(frame);
        if (const std::optional<QRect> screen = ScreenAt(screens, storedFrame.center()))
            return FittedOnScreen(storedFrame, *screen).marginsRemoved(frame);
        size = stored->size();
    }
    const QRect anchor = parent.value_or(screens.first());
    const QRect screen = ScreenAt(screens, anchor.center()).value_or(screens.first());
    QRect placed(QPoint(0, 0), size.grownBy(frame).boundedTo(screen.size()));
    placed.moveCenter(anchor.center());
    return FittedOnScreen(placed, screen).marginsRemoved(frame);
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
