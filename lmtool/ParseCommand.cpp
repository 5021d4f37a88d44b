#include "ParseCommand.h"

#include "ToolCommands.h"

#include "qmcharset.h"
#include "qmexcept.h"
#include "qmmsg.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>

namespace {

QString Text(const QByteArray& bytes)
{
    return QString::fromUtf8(UndeclaredToUtf8(bytes));
}

QString Sha256(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QJsonArray Addresses(const TqmAddressList& list)
{
    QJsonArray array;
    for (qsizetype i = 0; i < list.Count(); ++i)
        array.append(QJsonObject{{QStringLiteral("name"), Text(list.Items(i).Name)},
                                 {QStringLiteral("address"), Text(list.Items(i).Address)}});
    return array;
}

QJsonArray Attachments(const TqmAttList& list)
{
    QJsonArray array;
    for (qsizetype i = 0; i < list.Count(); ++i) {
        const TqmAttItem& item = list.Items(i);
        array.append(QJsonObject{{QStringLiteral("file_name"), Text(item.GetFileName())},
                                 {QStringLiteral("content_type"), Text(item.ContentType)},
                                 {QStringLiteral("encoding"), int(item.Encoding)},
                                 {QStringLiteral("content_id"), Text(item.ContentID)},
                                 {QStringLiteral("parameters"), Text(WriteParameters(item.Parameters).mid(2))},
                                 {QStringLiteral("size"), qint64(item.Data.size())},
                                 {QStringLiteral("sha256"), Sha256(item.Data)}});
    }
    return array;
}

QByteArray BodyWithLineEnds(const QByteArrayList& body)
{
    QByteArray bytes;
    for (const QByteArray& line : body)
        bytes += line + "\r\n";
    return bytes;
}

QJsonObject Describe(const TqmMessage& message)
{
    return QJsonObject{
        {QStringLiteral("subject"), Text(message.Subject)},
        {QStringLiteral("from_name"), Text(message.Sender.Name)},
        {QStringLiteral("from_address"), Text(message.Sender.Address)},
        {QStringLiteral("to"), Addresses(message.Recipients)},
        {QStringLiteral("cc"), Addresses(message.CC)},
        {QStringLiteral("content_type"), Text(message.GetContentType())},
        {QStringLiteral("encoding"), int(message.Encoding)},
        {QStringLiteral("charset"), int(message.CharSet)},
        {QStringLiteral("body_charset"), Text(message.BodyCharset)},
        {QStringLiteral("priority"), int(message.Priority)},
        {QStringLiteral("return_receipt"), message.ReturnReceipt},
        {QStringLiteral("body_lines"), qint64(message.Body.size())},
        {QStringLiteral("body_sha256"), Sha256(BodyWithLineEnds(message.Body))},
        {QStringLiteral("body_text"), DecodeText(message.Body.join('\n'), message.BodyCharset)},
        {QStringLiteral("attachments"), Attachments(message.Attachments)},
    };
}

} // namespace

int RunParseCommand(const QStringList& arguments)
{
    if (arguments.size() != 1)
        return ExitUsage;
    TqmMessage message;
    try {
        message.LoadFromFile(arguments.first());
    } catch (const EqmException& error) {
        return Fail(error.Message());
    }
    WriteJsonLine(Describe(message));
    return ExitSuccess;
}
