#pragma once
// Loading the message the window shows or edits, and what the view makes of it: the attachment
// list with the HTML alternative, HTML detection, the text in its declared charset, and the files
// the HTML view may show as images.

#include "ViewCommandLine.h"

#include <QList>
#include <QString>

class TqmMessage;

// A single file is parsed as a whole; a folder message is read from exactly offset..offset+length-1
// (separator included). A body that is just " " is emptied. False with `error` set on failure.
bool LoadViewMessage(const TViewCommandLine& commandLine, TqmMessage& message, QString& error);

bool IsRedirected(const TqmMessage& message);

struct TAttachmentEntry {
    QString FileName;  // as listed
    QString Path;      // in the work directory, under the cleaned name
    QString ContentType;
    // Its Content-ID without the angle brackets; empty when it has none.
    QString ContentId;
};

struct TViewContent {
    QList<TAttachmentEntry> Attachments;
    bool Html = false;
    // The saved HTML alternative; empty when the body itself is the HTML text.
    QString HtmlFile;
    // Attachments that could not be saved, with the reason.
    QStringList SaveErrors;
};

// The attachment list of the view: an HTML alternative ("_alt." and text/html) is renamed
// "Mail.htm"; with `saveAttachments` every attachment is written into `workDir` under its cleaned
// name. Without an alternative the message is HTML when its type is text/html or its text starts
// with "<HTML>" or "<!DOCT".
TViewContent PrepareViewContent(TqmMessage& message, const QString& workDir, bool saveAttachments);
bool BodyLooksLikeHtml(const TqmMessage& message);

// The body for the text control and the HTML view, decoded from its declared charset.
QString BodyText(const TqmMessage& message);

// The local file that answers an image request of the HTML view, empty when there is none. Remote
// names (a scheme other than "cid:" or "file:", or "//") are never answered. "cid:" names are
// matched against the attachment file names.
QString ImageFileFor(const QString& name, const QList<TAttachmentEntry>& attachments, const QString& workDir);
// True when the HTML view must not fetch `name` (anything with a network scheme or "//").
bool IsRemoteResource(const QString& name);
