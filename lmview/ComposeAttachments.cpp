#include "ComposeAttachments.h"

#include "qmexcept.h"
#include "qmmsg.h"

#include <QDir>

TWorkAttachment WriteWorkAttachment(const TqmMessage& message, qsizetype index, const QString& directory)
{
    const QString folder = QDir(directory).filePath(QString::number(index));
    if (!QDir().mkpath(folder))
        throw EMessageError(folder);
    const TqmAttItem& item = message.Attachments.Items(index);
    TWorkAttachment written;
    written.Path = message.SaveAttachment(index, folder);
    written.ContentType = item.ContentType;
    written.Parameters = item.Parameters;
    written.ContentID = item.ContentID;
    return written;
}

void ApplyDeclaredType(const QList<TWorkAttachment>& written, const QString& path, TqmAttItem& item)
{
    for (const TWorkAttachment& declared : written) {
        if (declared.Path != path || declared.ContentType.isEmpty())
            continue;
        item.ContentType = declared.ContentType;
        item.Encoding = EncodingForContentType(declared.ContentType);
        item.Parameters = declared.Parameters;
        item.ContentID = declared.ContentID;
        return;
    }
}
