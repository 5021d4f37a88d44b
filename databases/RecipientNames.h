#pragma once
// Recipients as a message is queued: every entry of an address field must be an address
// ("local@domain"), or the server gets "RCPT TO:<Proj Team>". A name the address book knows (a
// group's name, a contact's key or "first last" / "last first" name, any case) stands for its
// addresses, which keep their names; any other entry without "@" is refused.

#include <QByteArray>
#include <QByteArrayList>

struct TRecipientExpansion {
    // The entries in order, names replaced by their addresses with the names the book gives them
    // ("Bob <bob@example.net>", FormatMailbox); empty entries left out.
    QByteArrayList Addresses;
    // The first entry that is no address and no name of the book (for a group, the member that is
    // no address); empty when every entry could be sent to.
    QByteArray Refused;
};

TRecipientExpansion ExpandRecipientNames(const QByteArrayList& entries);

// What the address book offers while an address field is typed into: every contact with an address
// as "Name <address>" (FormatMailbox) and every group by its name, which is expanded when the
// message is queued; in book order.
QByteArrayList AddressBookRecipients();
