#include "MessageLoading.h"

#include "DBMailboxFunctions.h"
#include "qmcharset.h"
#include "qmexcept.h"
#include "qmmsg.h"

#include <QBuffer>
#include <QFileInfo>
#include <QUrl>

namespace {

const QString HtmlAlternativeName = QStringLiteral("Mail.htm");

bool IsHtmlAlternative(const TqmAttItem& item)
{
    return item.ContentType.toLower() == "text/html" && item.GetFileName().startsWith("_alt.");
}

void EmptyBlankBody(TqmMessage& message)
{
    if (message.Body.size() == 1 && message.Body.first() == " ")
        message.Body.clear();
}

bool SameName(const QString& a, const QString& b)
{
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

qsizetype PartNamed(const QString& name, const QList<TAttachmentEntry>& attachments)
{
    for (const TAttachmentEntry& entry : attachments)
        if (SameName(entry.FileName, name))
            return entry.Index;
    return -1;
}

qsizetype PartForContentId(const QString& id, const QList<TAttachmentEntry>& attachments)
{
    for (const TAttachmentEntry& entry : attachments)
        if (!entry.ContentId.isEmpty() && entry.ContentId == id)
            return entry.Index;
    // Mailers that name the part instead: the file name, or the part of the id before "@".
    const qsizetype byName = PartNamed(id, attachments);
    return byName >= 0 ? byName : PartNamed(id.section(QLatin1Char('@'), 0, 0), attachments);
}

// A bare name refers to a part only while it cannot be read as a path.
bool IsBareName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && name != QLatin1String(".") && name != QLatin1String("..");
}

} // namespace

bool LoadViewMessage(const TViewCommandLine& commandLine, TqmMessage& message, QString& error)
{
    try {
        if (commandLine.SingleFile) {
            message.LoadFromFile(commandLine.MessageFile);
        } else {
            std::optional<QByteArray> raw = ReadRawMessage(commandLine.MessageFile, commandLine.Offset, commandLine.Length);
            if (!raw) {
                error = QStringLiteral("%1: %2..%3").arg(commandLine.MessageFile).arg(commandLine.Offset).arg(commandLine.Length);
                return false;
            }
            QBuffer buffer(&*raw);
            buffer.open(QIODevice::ReadOnly);
            message.Clear();
            message.LoadFromStream(buffer);
        }
    } catch (const EMessageError& e) {
        error = e.Message();
        return false;
    }
    EmptyBlankBody(message);
    return true;
}

bool IsRedirected(const TqmMessage& message)
{
    return !message.Headers.GetFieldBody("X-LMREDIRECT").isEmpty();
}

bool BodyLooksLikeHtml(const TqmMessage& message)
{
    if (message.GetContentType() == "text/html" || message.BodyContentType == "text/html")
        return true;
    const QByteArray start = message.Body.join('\n').left(6).toUpper();
    return start == "<HTML>" || start == "<!DOCT";
}

TViewContent PrepareViewContent(TqmMessage& message)
{
    TViewContent content;
    for (qsizetype i = 0; i < message.Attachments.Count(); ++i) {
        TqmAttItem& item = message.Attachments.Items(i);
        const bool alternative = IsHtmlAlternative(item);
        if (alternative) {
            item.SetFileName(HtmlAlternativeName.toUtf8());
            content.Html = true;
        }
        TAttachmentEntry entry;
        entry.FileName = WithoutInvisibleControls(QFileInfo(QString::fromUtf8(item.GetFileName())).fileName());
        entry.Index = i;
        entry.ContentType = QString::fromUtf8(item.ContentType);
        entry.ContentId = QString::fromUtf8(item.ContentID).remove(QLatin1Char('<')).remove(QLatin1Char('>')).trimmed();
        if (alternative && content.HtmlPart < 0)
            content.HtmlPart = i;
        content.Attachments.append(entry);
    }
    if (!content.Html)
        content.Html = BodyLooksLikeHtml(message);
    return content;
}

QString BodyText(const TqmMessage& message)
{
    const QByteArray body = message.Body.join('\n');
    return BodyLooksLikeHtml(message) ? DecodeHtmlText(body, message.BodyCharset) : DecodeText(body, message.BodyCharset);
}

bool IsRemoteResource(const QUrl& name)
{
    const QString scheme = name.scheme().toLower();
    if (name.toString().startsWith(QLatin1String("//")))
        return true;
    return !scheme.isEmpty() && scheme != QLatin1String("cid") && scheme != QLatin1String("file")
        && scheme != QLatin1String("data");
}

qsizetype InlinePartFor(const QUrl& name, const QList<TAttachmentEntry>& attachments)
{
    if (name.scheme().compare(QLatin1String("cid"), Qt::CaseInsensitive) == 0)
        return PartForContentId(name.path(QUrl::FullyDecoded), attachments);
    if (!name.scheme().isEmpty() || !name.host().isEmpty())
        return -1;
    const QString bare = name.path(QUrl::FullyDecoded);
    return IsBareName(bare) ? PartNamed(bare, attachments) : -1;
}
