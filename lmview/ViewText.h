#pragma once
// What the view mode shows and hands on, as plain data: quoted stretches to colour, links to mark
// and whether a link may be opened, the header label texts, the filter hand-over text and the
// address book's arguments for a sender.

#include "ContactHandOver.h"

#include <QList>
#include <QString>
#include <QStringList>

class TqmAddressList;
class TqmMailAddress;
class TqmMessage;
class QUrl;

struct TTextSpan {
    qsizetype Start = 0;
    qsizetype Length = 0;
    friend bool operator==(const TTextSpan&, const TTextSpan&) = default;
};

// Every line that begins with ">" up to its end; a ">" inside a line is no quote.
QList<TTextSpan> QuoteStretches(const QString& text);

// Links in plain text: http://, https://, ftp://, mailto: and "www." up to the next blank, angle
// bracket or quote; trailing sentence punctuation is not part of the link.
struct TLinkSpan {
    TTextSpan Span;
    QString Url;  // "www." gets "http://" in front
    friend bool operator==(const TLinkSpan&, const TLinkSpan&) = default;
};
QList<TLinkSpan> FindLinks(const QString& text);

enum class TLinkAction { OpenInBrowser, ComposeMessage, Refuse };
// Only http, https and ftp go to the desktop; mailto composes a message; anything else is refused.
TLinkAction LinkActionFor(const QUrl& url);

// "Name (address)", or the address alone without a name.
QString SenderLabelText(const TqmMailAddress& sender);
// Each entry's name, or its address without a name, joined with ",".
QString AddressListLabelText(const TqmAddressList& list);
// The Date field in local time in the display format; empty when it is no readable date.
QString DateLabelText(const QByteArray& dateField, const QString& displayFormat);

enum class TFilterField { Sender, Recipient, Subject };
// "Sender <address>", "Recipient <first recipient>" or "Subject <subject>".
QString FilterHandOverText(TFilterField field, const TqmMessage& message);

// The sender as a new contact: the name is split at its first blank, first name before it; an
// empty part becomes a single blank.
TContactHandOver AddressBookContact(const TqmMailAddress& sender);
