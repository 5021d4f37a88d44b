#include "MessageDocument.h"

#include "qmcharset.h"
#include "qmmsg.h"

#include <QImage>

TMessageDocument::TMessageDocument(QObject* parent) : QTextDocument(parent) {}

void TMessageDocument::SetParts(const QList<TAttachmentEntry>& attachments, const TqmMessage& message)
{
    m_parts = attachments;
    m_bytes.clear();
    m_answered.clear();
    BlockedCount = 0;
    for (const TAttachmentEntry& entry : attachments)
        m_bytes.insert(entry.Index, message.Attachments.Items(entry.Index).Data);
}

QVariant TMessageDocument::loadResource(int type, const QUrl& name)
{
    return Resource(type, name);
}

QVariant TMessageDocument::Resource(int type, const QUrl& name)
{
    QHash<QUrl, QVariant>& answered = m_answered[type];
    const auto known = answered.constFind(name);
    if (known != answered.constEnd())
        return *known;
    const qsizetype part = InlinePartFor(name, m_parts);
    QVariant answer = part >= 0 ? PartResource(type, part) : QVariant();
    if (!answer.isValid()) {
        if (part < 0 && IsRemoteResource(name)) {
            ++BlockedCount;
            if (OnBlocked)
                OnBlocked();
        }
        answer = type == ImageResource ? QVariant(PlaceholderImage()) : QVariant(QString());
    }
    answered.insert(name, answer);
    return answer;
}

// Only images and texts are answered from a part; a part that is no readable image shows the
// placeholder.
QVariant TMessageDocument::PartResource(int type, qsizetype index) const
{
    const QByteArray bytes = m_bytes.value(index);
    if (type == ImageResource) {
        const QImage image = QImage::fromData(bytes);
        return image.isNull() ? QVariant() : QVariant(image);
    }
    return DecodeText(bytes);
}

QImage PlaceholderImage()
{
    QImage image(1, 1, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}
