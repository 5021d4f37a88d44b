#pragma once
// What the view shows of a message: the text for the text control and the page for the HTML view,
// each with the text and HTML parts the sender placed after the body (they stay in the attachment
// list too), and how an attachment is opened.

#include "MessageLoading.h"

#include <QString>

#include <functional>

class TqmAttItem;
class TqmMessage;

// The body, then each part shown after the body, in order, separated by an empty line. HTML parts
// are given as the text a reader sees (their markup is not shown); the body itself stays as it is.
QString ViewText(const TqmMessage& message, const TViewContent& content);

// The page of the HTML view: the HTML alternative (or the body), then the parts shown after it, in
// order: HTML parts as they are, text parts with their line breaks kept.
QString ViewHtml(const TqmMessage& message, const TViewContent& content);

// A text or HTML part in the charset its Content-Type declares (an HTML part without one: the
// charset its meta tag names), else detected from its bytes.
QString PartText(const TqmAttItem& item);

enum class TAttachmentOpening {
    OwnMessageWindow, // a message: shown in a message window of this program
    Desktop,          // handed to the program the desktop has for its type
    NoHandler,        // the desktop has no program for it: the user is told and may save it
};
// `declaredType` as the message declares it, `fileType` as judged from name and content;
// `hasHandler` tells whether the desktop has a program for a type.
TAttachmentOpening HowToOpen(const QString& declaredType, const QString& fileName, const QString& fileType,
                             const std::function<bool(const QString&)>& hasHandler);
