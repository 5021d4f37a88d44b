#include "ComposeHandOver.h"

#include "DBAccountsFunctions.h"
#include "FolderSet.h"
#include "Reporter.h"
#include "SpoolFunctions.h"
#include "qmexcept.h"
#include "qmmsg.h"

#include <QFileInfo>

namespace {

constexpr int MsgWriteError = 12;

void FillFromFields(const TNewMessageSource& source, const TAccount& account, const QString& signature, TqmMessage& message)
{
    message.Sender.Address = account.SmtpAddress;
    message.Sender.Name = account.SmtpName;
    for (const QString& recipient : source.Recipients.split(QLatin1Char(','), Qt::SkipEmptyParts))
        message.Recipients.AddAddress(recipient.trimmed().toUtf8(), QByteArray());
    message.Subject = source.Subject.toUtf8();
    if (!signature.isEmpty())
        message.Body = signature.toUtf8().split('\n');
    message.CharSet = csUTF8;
}

} // namespace

QString MakeNewMessageFile(const QString& queueDir, const TNewMessageSource& source, const TAccount& defaultAccount,
                           const QString& signature)
{
    const QString path = NewMessageFileName(queueDir);
    try {
        TqmMessage message;
        if (source.SourceFile.isEmpty())
            FillFromFields(source, defaultAccount, signature, message);
        else
            message.LoadFromFile(source.SourceFile);
        if (message.Body.isEmpty())
            message.Body.append(" ");
        message.SaveToFile(path);
    } catch (const EMessageError& e) {
        Report(MsgWriteError, TMessageKind::Warning, e.Message());
        return {};
    }
    return path;
}

qint32 EditIntoOutbox(const QString& workFile, const std::function<void(const QString& workFile)>& runEditor, bool keepFile)
{
    const QDateTime handedOver = QFileInfo(workFile).lastModified();
    runEditor(workFile);
    return FileWorkFile(SpecialFolderPaths(TSpecialFolder::Outbox), workFile, handedOver, 0, keepFile);
}

QStringList EditCommandLine(const QString& workFile)
{
    return {workFile, QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("EDIT")};
}
