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

// A group's members: the lines of its group file up to ";", or the addresses of an older group's
// Email field.
QByteArrayList AddressesOf(const TAddressRecord& record)
{
    if (!record.Group)
        return record.Email.trimmed().isEmpty() ? QByteArrayList() : QByteArrayList{record.Email.trimmed()};
    QByteArrayList addresses;
    const QByteArrayList members = record.RecordFormat < 1 ? record.Email.split(',') : ReadGroupMembers(record.Key);
    for (const QByteArray& member : members) {
        const qsizetype semicolon = member.indexOf(';');
        const QByteArray address = (semicolon < 0 ? member : member.left(semicolon)).trimmed();
        if (!address.isEmpty())
            addresses.append(address);
    }
    return addresses;
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
        const QByteArrayList addresses = record ? AddressesOf(*record) : QByteArrayList();
        if (addresses.isEmpty()) {
            expansion.Refused = entry;
            return expansion;
        }
        for (const QByteArray& address : addresses) {
            if (!IsAddress(address)) {
                expansion.Refused = entry + ": " + address;
                return expansion;
            }
            expansion.Addresses.append(address);
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
            recipients.append(FormatMailbox((record->FirstName + ' ' + record->LastName).trimmed(), record->Email.trimmed()));
        }
    }
    return recipients;
}
