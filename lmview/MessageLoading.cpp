#include "MessageLoading.h"

#include "DBMailboxFunctions.h"
#include "qmcharset.h"
#include "qmexcept.h"
#include "qmmsg.h"

#include <QBuffer>
#include <QDir>
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

// Until the parser keeps each part's Content-ID, an inline image is found by its file name: the
// part after "cid:" up to "@" is compared with the attachment names.
QString AttachmentForContentId(const QString& contentId, const QList<TAttachmentEntry>& attachments)
{
    const QString id = QUrl::fromPercentEncoding(contentId.toUtf8());
    for (const TAttachmentEntry& entry : attachments)
        if (!entry.ContentId.isEmpty() && entry.ContentId == id)
            return entry.Path;
    // Mailers that name the part instead: the file name, or the part of the id before "@".
    const QString local = id.section(QLatin1Char('@'), 0, 0);
    for (const TAttachmentEntry& entry : attachments) {
        const QString name = QFileInfo(entry.FileName).fileName();
        if (name.compare(id, Qt::CaseInsensitive) == 0 || name.compare(local, Qt::CaseInsensitive) == 0)
            return entry.Path;
    }
    return {};
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
    if (message.GetContentType() == "text/html")
        return true;
    const QByteArray start = message.Body.join('\n').left(6).toUpper();
    return start == "<HTML>" || start == "<!DOCT";
}

TViewContent PrepareViewContent(TqmMessage& message, const QString& workDir, bool saveAttachments)
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
        entry.FileName = QString::fromUtf8(item.GetFileName());
        entry.ContentType = QString::fromUtf8(item.ContentType);
        entry.ContentId = QString::fromUtf8(item.ContentID).remove(QLatin1Char('<')).remove(QLatin1Char('>')).trimmed();
        entry.Path = QDir(workDir).filePath(QFileInfo(entry.FileName).fileName());
        if (saveAttachments) {
            try {
                entry.Path = message.SaveAttachment(i, workDir);
            } catch (const EMessageError& e) {
                content.SaveErrors.append(e.Message());
            }
        }
        if (alternative && content.HtmlFile.isEmpty())
            content.HtmlFile = entry.Path;
        content.Attachments.append(entry);
    }
    if (!content.Html)
        content.Html = BodyLooksLikeHtml(message);
    return content;
}

QString BodyText(const TqmMessage& message)
{
    return DecodeText(message.Body.join('\n'), message.BodyCharset);
}

bool IsRemoteResource(const QString& name)
{
    const QUrl url(name);
    const QString scheme = url.scheme().toLower();
    if (name.startsWith(QLatin1String("//")))
        return true;
    return !scheme.isEmpty() && scheme != QLatin1String("cid") && scheme != QLatin1String("file");
}

QString ImageFileFor(const QString& name, const QList<TAttachmentEntry>& attachments, const QString& workDir)
{
    if (IsRemoteResource(name))
        return {};
    if (name.startsWith(QLatin1String("cid:"), Qt::CaseInsensitive))
        return AttachmentForContentId(name.mid(4), attachments);
    // Other names are files of the work directory, never a path outside it.
    const QString file = QFileInfo(QUrl(name).path()).fileName();
    const QString path = QDir(workDir).filePath(file);
    return !file.isEmpty() && QFileInfo(path).isFile() ? path : QString();
}
