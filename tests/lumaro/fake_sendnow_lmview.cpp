// A stand-in for the message window in edit mode that does what its "Sofort senden" does: it writes
// the work file (here: the file it was given, with a line added to the text), leaves the send-now
// request for the main window and posts window message 3029. The account it names comes from
// LUMARO_TEST_SENDNOW_ACCOUNT. Exit code 0 when the main window took the message.

#include "RegistryFunctions.h"
#include "WindowMessages.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 5 || arguments.at(4) != QLatin1String("EDIT"))
        return 2;
    const QString workFile = arguments.at(1);
    QFile file(workFile);
    if (!file.open(QIODevice::Append))
        return 3;
    file.write("Sent at once.\r\n");
    file.close();
    // The main window files a work file only when it is newer than when it was handed over.
    if (!file.open(QIODevice::ReadWrite)
        || !file.setFileTime(QDateTime::currentDateTime().addSecs(3), QFileDevice::FileModificationTime))
        return 4;
    file.close();
    WriteSendNowRequest({workFile, qEnvironmentVariable("LUMARO_TEST_SENDNOW_ACCOUNT")});
    return PostWindowMessage(MainWindowTitle, wmSendNow) ? 0 : 1;
}
