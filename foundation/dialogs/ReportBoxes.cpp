#include "ReportBoxes.h"

#include <QApplication>
#include <QMessageBox>

void ShowReportInMessageBox(const TUserMessage& message)
{
    QWidget* parent = QApplication::activeWindow();
    const QString title = QApplication::applicationDisplayName();
    switch (message.Kind) {
    case TMessageKind::Information:
        QMessageBox::information(parent, title, message.Text);
        break;
    case TMessageKind::Warning:
        QMessageBox::warning(parent, title, message.Text);
        break;
    case TMessageKind::Error:
        QMessageBox::critical(parent, title, message.Text);
        break;
    }
}
