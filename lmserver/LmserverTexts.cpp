#include "LmserverTexts.h"

#include "tk_langlib.h"

QString LmserverMessage(int id, const QString& value)
{
    return FillIn(MessageText(id), value);
}

QString ConnectingStatus(const QByteArray& server)
{
    return MessageText(LmserverText::Connecting) + QLatin1String(": ") + QString::fromUtf8(server);
}

QString CheckingStatus(const QByteArray& server)
{
    return MessageText(LmserverText::CheckingMailbox) + QLatin1String(": ") + QString::fromUtf8(server);
}

QString ReceivingStatus(int position, qint64 count)
{
    return LmserverMessage(LmserverText::ReceivingMessage, QString::number(position + 1)) + QString::number(count)
        + QLatin1String("...");
}

QString DeletingStatus(int position)
{
    return MessageText(LmserverText::DeletingMessage) + QString::number(position + 1);
}

QString ErrorStatus(const QString& error)
{
    return MessageText(LmserverText::ErrorPrefix) + error;
}

QString ShownFolderName(const QString& folder)
{
    // RFC 3501, 5.1: INBOX is the inbox in any case.
    if (folder.compare(QLatin1String("INBOX"), Qt::CaseInsensitive) == 0)
        return MessageText(LmserverText::InboxName);
    return folder;
}

QString FolderCheckingStatus(const QString& folder)
{
    return LmserverMessage(LmserverText::CheckingFolder, ShownFolderName(folder));
}
