#include "ViewParts.h"

#include "MessageDocument.h"
#include "qmcharset.h"
#include "qmmsg.h"
#include "qmutils.h"

namespace {

bool IsHtml(const TqmAttItem& item)
{
    return item.ContentType.toLower() == "text/html";
}

QByteArray DeclaredCharset(const TqmAttItem& item)
{
    for (const TqmParameter& parameter : item.Parameters) {
        if (parameter.Name.compare("charset", Qt::CaseInsensitive) == 0)
            return parameter.Value;
    }
    return {};
}

// The text a reader sees of a page; its images and style sheets are answered by the document
// (placeholders), never loaded from anywhere.
QString TextOfPage(const QString& html)
{
    TMessageDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

bool ShownAfter(const TqmAttItem& item, bool afterAlternative)
{
    return item.Inline == TInlineText::AfterBody || (afterAlternative && item.Inline == TInlineText::AfterAlternative);
}

} // namespace

QString PartText(const TqmAttItem& item)
{
    return IsHtml(item) ? DecodeHtmlText(item.Data, DeclaredCharset(item)) : DecodeText(item.Data, DeclaredCharset(item));
}

QString ViewText(const TqmMessage& message, const TViewContent& content)
{
    QStringList pieces{BodyText(message)};
    for (const TAttachmentEntry& entry : content.Attachments) {
        const TqmAttItem& item = message.Attachments.Items(entry.Index);
        if (ShownAfter(item, false))
            pieces.append(IsHtml(item) ? TextOfPage(PartText(item)) : PartText(item));
    }
    return pieces.join(QLatin1String("\n\n"));
}

QString ViewHtml(const TqmMessage& message, const TViewContent& content)
{
    const bool alternative = content.HtmlPart >= 0;
    QString page = alternative ? PartText(message.Attachments.Items(content.HtmlPart)) : BodyText(message);
    for (const TAttachmentEntry& entry : content.Attachments) {
        const TqmAttItem& item = message.Attachments.Items(entry.Index);
        if (!ShownAfter(item, alternative))
            continue;
        if (IsHtml(item))
            page += PartText(item);
        else
            page += QLatin1String("<div style=\"white-space: pre-wrap\">") + PartText(item).toHtmlEscaped() + QLatin1String("</div>");
    }
    return page;
}

TAttachmentOpening HowToOpen(const QString& declaredType, const QString& fileName, const QString& fileType,
                             const std::function<bool(const QString&)>& hasHandler)
{
    const QString declared = declaredType.toLower();
    if (declared == QLatin1String("message/rfc822") || fileName.endsWith(QLatin1String(".eml"), Qt::CaseInsensitive))
        return TAttachmentOpening::OwnMessageWindow;
    // The desktop opens a file by the type it sees; the declared type only helps where it sees
    // nothing better than bytes.
    for (const QString& type : {fileType, declared}) {
        if (!type.isEmpty() && hasHandler(type))
            return TAttachmentOpening::Desktop;
    }
    return TAttachmentOpening::NoHandler;
}
