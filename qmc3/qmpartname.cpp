#include "qmpartname.h"

#include "qmconst.h"

#include <QHash>
#include <QMimeDatabase>

namespace {

bool IsMessageType(const QByteArray& type)
{
    return type == "message/rfc822" || type == "message/global";
}

QByteArray ExtensionOf(const QByteArray& type)
{
    if (type.isEmpty())
        return QByteArrayLiteral("txt");
    // A message of many unnamed parts asks for few types many times.
    thread_local QHash<QByteArray, QByteArray> known;
    const auto found = known.constFind(type);
    if (found != known.constEnd())
        return *found;
    const QMimeType mime = QMimeDatabase().mimeTypeForName(QString::fromLatin1(type));
    const QByteArray extension = mime.isValid() ? mime.preferredSuffix().toUtf8() : QByteArray();
    if (known.size() < 256)
        known.insert(type, extension);
    return extension;
}

} // namespace

QByteArray UnnamedPartName(const QByteArray& contentType, qsizetype position, bool numbered)
{
    const QByteArray type = contentType.trimmed().toLower();
    if (IsMessageType(type)) {
        const QByteArray word = qmMessageText(qmUnnamedMessage).toUtf8();
        return numbered ? word + ' ' + QByteArray::number(position) + ".eml" : word + ".eml";
    }
    const QByteArray name = qmMessageText(qmUnnamedPart).arg(position).toUtf8();
    const QByteArray extension = ExtensionOf(type);
    return extension.isEmpty() ? name : name + '.' + extension;
}
