// The main client: hands its argument to a running instance, or starts the main window.

#include "Main.h"
#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "Reporter.h"
#include "SingleInstance.h"
#include "qmpump.h"

#include <QApplication>
#include <QMessageBox>

namespace {

constexpr int UnsafeTempDirMessage = 514;

void ShowReport(const TUserMessage& message)
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

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumaro Mail"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lumaro Mail"));
    const QStringList arguments = QApplication::arguments().mid(1);
    if (HandOverToRunningInstance(MainWindowTitle, arguments))
        return 0;

    SetReportHandler(ShowReport);
    SetMessagePump([] { QCoreApplication::processEvents(); });
    InitProgramPaths(QApplication::applicationFilePath());
    ReadLanguage();
    if (!Paths().System.RefusedTempDir.isEmpty())
        Report(UnsafeTempDirMessage, TMessageKind::Warning, Paths().System.RefusedTempDir);

    TMainFrm mainFrm(arguments);
    mainFrm.ListenForWindowMessages();
    mainFrm.show();
    return QApplication::exec();
}
