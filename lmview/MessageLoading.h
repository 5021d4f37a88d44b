#pragma once
// Loading the message the window shows or edits, and what the view makes of it: the attachment
// list with the HTML alternative, HTML detection, the text in its declared charset, and the parts
// the HTML view may show as images.

#include "ViewCommandLine.h"

#include <QList>
#include <QString>

class TqmMessage;
class QUrl;

// A single file is parsed as a whole; a folder message is read from exactly offset..offset+length-1
// (separator included). A body that is just " " is emptied. False with `error` set on failure.
bool LoadViewMessage(const TViewCommandLine& commandLine, TqmMessage& message, QString& error);

bool IsRedirected(const TqmMessage& message);

struct TAttachmentEntry {
    // As listed: the name's last path component without bidi and zero-width characters.
    QString FileName;
    // Position in the message's Attachments.
    qsizetype Index = -1;
    QString ContentType;
    // Its Content-ID without the angle brackets; empty when it has none.
    QString ContentId;
};

struct TViewContent {
    QList<TAttachmentEntry> Attachments;
    bool Html = false;
    // The attachment index of the HTML alternative; -1 when the body itself is the HTML text.
    qsizetype HtmlPart = -1;
};

// The attachment list of the view: an HTML alternative ("_alt." and text/html) is renamed
// "Mail.htm". Nothing is written: a part reaches the disk only when the user opens or saves it.
// Without an alternative the message is HTML when its type or the type of its text part is
// text/html, or its text starts with "<HTML>" or "<!DOCT".
TViewContent PrepareViewContent(TqmMessage& message);
bool BodyLooksLikeHtml(const TqmMessage& message);

// The body for the text control and the HTML view, decoded from its declared charset (an HTML body
// without one: the charset its meta tag names), else detected from its bytes.
QString BodyText(const TqmMessage& message);

// The attachment (index into the message's Attachments) that answers a resource request of the
// HTML view, -1 when none does. Only parts of this message answer: "cid:" names by Content-ID,
// else by file name; a bare name ("logo.png") by file name. Paths, "file:", "data:" and remote
// names never match, so nothing outside the message can be shown.
qsizetype InlinePartFor(const QUrl& name, const QList<TAttachmentEntry>& attachments);
// True when `name` would be fetched from the network (a network scheme or "//"); the view then
// says that remote content was blocked.
bool IsRemoteResource(const QUrl& name);
