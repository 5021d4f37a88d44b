#pragma once
// vCard files (RFC 6350, and the older 3.0 and 2.1 forms other programs still write): many cards
// in one UTF-8 file. Only what the address book keeps is read: the names, e-mail addresses,
// categories, the note, and for a group card (KIND:group) its members.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct TVCardMember {
    QString Address;
    QString Name;
    bool operator==(const TVCardMember&) const = default;
};

struct TVCard {
    bool Group = false;
    QString FormattedName;
    QString LastName;
    QString FirstName;
    // The preferred address first.
    QStringList Emails;
    QStringList Categories;
    QString Note;
    QList<TVCardMember> Members;
    // The address book's own fields, written as extension properties.
    QString PreferredSender;
    QString DefaultSubject;
    QString Signature;
    bool operator==(const TVCard&) const = default;
};

// Version 4.0 cards, lines folded at 75 octets, CRLF line ends.
QByteArray WriteVCards(const QList<TVCard>& cards);
// Every card of the file; text that is no card is skipped.
QList<TVCard> ReadVCards(const QByteArray& file);

namespace detail {
// Joins folded lines (a line starting with a blank or tab continues the one before) and the soft
// line breaks of quoted-printable values of 2.1 cards.
QList<QByteArray> UnfoldVCardLines(const QByteArray& file);
// RFC 6350, 3.2: lines longer than 75 octets are folded, never inside a UTF-8 character.
QByteArray FoldVCardLine(const QByteArray& line);
} // namespace detail
