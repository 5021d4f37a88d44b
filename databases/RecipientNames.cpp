#include "RecipientNames.h"

#include "DBAddressFunctions.h"
#include "qmutils.h"

#include <optional>

namespace {

bool IsAddress(const QByteArray& entry)
{
    return entry.contains('@');
}

bool NamesRecord(const TAddressRecord& record, const QByteArray& name)
{
    const QByteArray folded = name.toLower();
    if (record.Key.toLower() == folded)
        return true;
    if (record.Group)
        return false;
    return (record.FirstName + ' ' + record.LastName).trimmed().toLower() == folded
        || (record.LastName + ' ' + record.FirstName).trimmed().toLower() == folded;
}

std::optional<TAddressRecord> FindByName(const QByteArray& name)
{
    const int count = CountAddresses();
    for (int k = 1; k <= count; ++k) {
        const std::optional<TAddressRecord> record = ReadAddress(k);
        if (record && NamesRecord(*record, name))
            return record;
    }
    return std::nullopt;
}

struct TBookMailbox {
    QByteArray Address;
    QByteArray Name;
};

QByteArray ContactName(const TAddressRecord& record) { return (record.FirstName + ' ' + record.LastName).trimmed(); }

// A group's members: the lines of its group file ("address;name"), or the addresses of an older
// group's Email field; a contact is its own address under its name.
QList<TBookMailbox> MailboxesOf(const TAddressRecord& record)
{
    if (!record.Group) {
        const QByteArray address = record.Email.trimmed();
        return address.isEmpty() ? QList<TBookMailbox>() : QList<TBookMailbox>{{address, ContactName(record)}};
    }
    QList<TBookMailbox> mailboxes;
    const QByteArrayList members = record.RecordFormat < 1 ? record.Email.split(',') : ReadGroupMembers(record.Key);
    for (const QByteArray& member : members) {
        const qsizetype semicolon = member.indexOf(';');
        const QByteArray address = (semicolon < 0 ? member : member.left(semicolon)).trimmed();
        if (!address.isEmpty())
            mailboxes.append({address, semicolon < 0 ? QByteArray() : member.mid(semicolon + 1).trimmed()});
    }
    return mailboxes;
}

} // namespace

TRecipientExpansion ExpandRecipientNames(const QByteArrayList& entries)
{
    TRecipientExpansion expansion;
    for (const QByteArray& raw : entries) {
        const QByteArray entry = raw.trimmed();
        if (entry.isEmpty())
            continue;
        if (IsAddress(entry)) {
            expansion.Addresses.append(entry);
            continue;
        }
        const std::optional<TAddressRecord> record = FindByName(entry);
        const QList<TBookMailbox> mailboxes = record ? MailboxesOf(*record) : QList<TBookMailbox>();
        if (mailboxes.isEmpty()) {
            expansion.Refused = entry;
            return expansion;
        }
        for (const TBookMailbox& mailbox : mailboxes) {
            if (!IsAddress(mailbox.Address)) {
                expansion.Refused = entry + ": " + mailbox.Address;
                return expansion;
            }
            expansion.Addresses.append(FormatMailbox(mailbox.Name, mailbox.Address));
        }
    }
    return expansion;
}

QByteArrayList AddressBookRecipients()
{
    QByteArrayList recipients;
    const int count = CountAddresses();
    for (int k = 1; k <= count; ++k) {
        const std::optional<TAddressRecord> record = ReadAddress(k);
        if (!record)
            continue;
        if (record->Group) {
            if (!record->Key.trimmed().isEmpty())
                recipients.append(record->Key.trimmed());
        } else if (IsAddress(record->Email) && !record->Email.contains(',')) {
            recipients.append(FormatMailbox(ContactName(*record), record->Email.trimmed()));
        }
    }
    return recipients;
}
