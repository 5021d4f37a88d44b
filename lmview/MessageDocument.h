#pragma once
// The document behind the HTML view of one message. It answers every resource request itself,
// from the parts of the message it shows, and never hands a name on to Qt's own loader, which
// would read local files ("file:///…", absolute and relative paths) or devices: a name it does not
// know gets an empty placeholder. The view owns it; SetParts is called for each message shown.

#include "MessageLoading.h"

#include <QHash>
#include <QTextDocument>
#include <QUrl>

#include <functional>

class TqmMessage;

class TMessageDocument : public QTextDocument {
    Q_OBJECT
public:
    explicit TMessageDocument(QObject* parent = nullptr);

    // The parts that may answer, with their bytes taken from `message` (shared, not copied).
    void SetParts(const QList<TAttachmentEntry>& attachments, const TqmMessage& message);
    // What loadResource answers: the part's image or text, else a placeholder (a transparent 1x1
    // image, or an empty text for style sheets and pages). Never an invalid QVariant, since Qt
    // then asks the process-wide resource provider.
    QVariant Resource(int type, const QUrl& name);

    // Called for each remote request refused; images are requested while the page is laid out.
    std::function<void()> OnBlocked;
    int BlockedCount = 0;

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    QVariant PartResource(int type, qsizetype index) const;

    QList<TAttachmentEntry> m_parts;
    QHash<qsizetype, QByteArray> m_bytes;
    // By resource type, then name: a name may be asked for as an image and as a style sheet.
    QHash<int, QHash<QUrl, QVariant>> m_answered;
};

// The placeholder for every image that is not a part of the message.
QImage PlaceholderImage();
