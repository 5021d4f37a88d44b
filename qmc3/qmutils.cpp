#include "qmutils.h"

#include "qmmsgcls.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace {

bool IsUtf8ContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

QByteArray TrimmedShortText(const QByteArray& text)
{
    return CutToCapacity(TrimQuotes(text), qmShortTextCapacity);
}

} // namespace

QByteArray CutToCapacity(QByteArrayView text, qsizetype capacity)
{
    if (capacity <= 0)
        return {};
    if (text.size() <= capacity)
        return text.toByteArray();
    qsizetype cut = capacity;
    if (text.isValidUtf8()) {
        while (cut > 0 && IsUtf8ContinuationByte(text[cut]))
            --cut;
    }
    return text.first(cut).toByteArray();
}

void SplitAddress(const QByteArray& text, QByteArray& address, QByteArray& name)
{
    const qsizetype open = text.indexOf('<');
    if (open >= 0) {
        const qsizetype close = text.indexOf('>', open + 1);
        if (close < 0) {
            // Broken, but accepted: the entry is kept as a name so the user still sees it.
            address.clear();
            name = TrimmedShortText(text);
            return;
        }
        address = TrimmedShortText(text.mid(open + 1, close - open - 1));
        name = TrimmedShortText(text.left(open) + text.mid(close + 1));
        return;
    }
    const qsizetype bracket = text.indexOf('(');
    if (bracket >= 0) {
        address = TrimmedShortText(text.left(bracket));
        QByteArray comment = text.mid(bracket + 1).trimmed();
        if (comment.endsWith(')'))
            comment.chop(1);
        name = TrimmedShortText(comment);
        return;
    }
    address = CutToCapacity(text.trimmed(), qmShortTextCapacity);
    name.clear();
}

void PickMailAddress(const QByteArray& text, TqmMailAddress& mailAddress)
{
    SplitAddress(text, mailAddress.Address, mailAddress.Name);
}

QByteArray GetContentType(const QString& fileName)
{
    // Only the extension counts: glob patterns on whole names ("README*") do not.
    if (QFileInfo(fileName).suffix().isEmpty())
        return QByteArrayLiteral("application/octet-stream");
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return QByteArrayLiteral("application/octet-stream");
    return type.name().toLatin1();
}

QByteArray GetParameter(const QByteArray& name, const QByteArray& text)
{
    const qsizetype pos = text.toLower().indexOf(name.toLower());
    if (name.isEmpty() || pos < 0)
        return {};
    QByteArray value = text.mid(pos + name.size()).trimmed();
    if (value.startsWith('"')) {
        const qsizetype closing = value.indexOf('"', 1);
        value = closing < 0 ? value.mid(1) : value.mid(1, closing - 1);
    } else {
        const qsizetype blank = value.indexOf(' ');
        if (blank >= 0)
            value.truncate(blank);
    }
    if (value.endsWith(';'))
        value.chop(1);
    return value.trimmed();
}

QByteArray GetFirstPart(const QByteArray& text)
{
    const QByteArray examined = text.left(qmShortTextCapacity).trimmed();
    qsizetype end = 0;
    while (end < examined.size() && examined[end] != ' ' && examined[end] != '\t' && examined[end] != ';')
        ++end;
    return examined.left(end).trimmed();
}

QByteArray PickString(const QByteArray& text, int n, bool firstWordOnly)
{
    QByteArray rest = text;
    for (int word = 0; word < n; ++word) {
        const qsizetype blank = rest.indexOf(' ');
        if (blank < 0)
            return {};
        rest = rest.mid(blank + 1).trimmed();
    }
    if (firstWordOnly) {
        const qsizetype blank = rest.indexOf(' ');
        if (blank >= 0)
            rest.truncate(blank);
    }
    return rest.trimmed();
}

qint64 PickNumber(const QByteArray& text, int n)
{
    bool ok = false;
    const qint64 number = PickString(text, n, true).toLongLong(&ok);
    return ok ? number : -1;
}

QByteArray TrimQuotes(const QByteArray& text)
{
    QByteArray result = text.trimmed();
    qsizetype begin = 0;
    qsizetype end = result.size();
    while (begin < end && result[begin] == '"')
        ++begin;
    while (end > begin && result[end - 1] == '"')
        --end;
    return result.mid(begin, end - begin);
}

void TrimStrings(QByteArrayList& lines)
{
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
}

QString AddBackSlash(const QString& path)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}
