#include "ReportBoxes.h"

#include <QApplication>

QMessageBox::StandardButton ShowPlainMessageBox(QMessageBox::Icon icon, QWidget* parent, const QString& title,
                                                const QString& text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setObjectName(QStringLiteral("PlainMessageBox"));
    box.setTextFormat(Qt::PlainText);
    // Errors quote servers and paths: the user may copy them.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    const int answer = box.exec();
    // Closing the box by its frame gives the escape button, or -1 without one.
    return answer < 0 ? QMessageBox::NoButton : QMessageBox::StandardButton(answer);
}

void ShowReportInMessageBox(const TUserMessage& message)
{
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (message.Kind) {
    case TMessageKind::Information:
        break;
    case TMessageKind::Warning:
        icon = QMessageBox::Warning;
        break;
    case TMessageKind::Error:
        icon = QMessageBox::Critical;
        break;
    }
    ShowPlainMessageBox(icon, QApplication::activeWindow(), QApplication::applicationDisplayName(), message.Text);
}
