#pragma once
// Answers the modal dialog a command under test opens: `step` runs on it as soon as it is the active
// modal window. A dialog that never comes within `triesLeft` polls of 10 ms leaves whatever modal
// window is open closed, so the test fails instead of hanging in the dialog's event loop.

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <functional>

template <typename Dialog>
void WhenModal(const std::function<void(Dialog&)>& step, int triesLeft = 1000)
{
    QTimer::singleShot(10, [step, triesLeft] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget()))
            step(*dialog);
        else if (triesLeft > 0)
            WhenModal(step, triesLeft - 1);
        else if (QApplication::activeModalWidget())
            QApplication::activeModalWidget()->close();
    });
}
