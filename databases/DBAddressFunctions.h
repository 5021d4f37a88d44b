#pragma once
// The address book of the active user: "Addressbook.lab" (Paths().Data.AddressbookFile), records of
// 1652 bytes with record 0 as header (mark "LM101" in the key field, count of deleted records), and
// one ".grp" file of members per group in Paths().Data.LmabDir. Deleted records stay in the file
// until a new record takes their place. Every function opens its files, works and closes them;
// failures come back as false or 0, never as exceptions or messages.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <optional>

struct TAddressRecord {
    bool Deleted = false;
    // Only meaningful in the header; 0 in contacts and groups.
    qint32 DeletedCount = 0;
    QByteArray Category;
    bool Group = false;
    // Contact: last name directly followed by first name; group: the group name. Unique in the book.
    QByteArray Key;
    QByteArray LastName;
    QByteArray FirstName;
    // Contact: the address. Group of format 0: the member addresses separated by ",".
    QByteArray Email;
    QByteArray DefaultSubject;
    QByteArray PreferredSender;
    QByteArray Info;
    QByteArray Signature;
    // 1: a group's members are in its group file; below 1: an older group with members in Email.
    qint32 RecordFormat = 1;
    // The record as it was read, so that rewriting it keeps the reserved fields; empty for a new one.
    QByteArray Stored;
};

inline constexpr qsizetype AddressRecordSize = 1652;

// Replaces the book by one holding the header only.
bool CreateAddressBook();
bool CheckAddressBook();
// Number of records after the header, deleted ones included.
int CountAddresses();
// Record k (k >= 1) of a book with the right mark; deleted records only with `includeDeleted`.
std::optional<TAddressRecord> ReadAddress(int k, bool includeDeleted = false);
// ReadAddress; for a group also its members: the group file's lines, or for a group of format 0 the
// entries of its Email field, so that the next WriteAddressWithMembers moves them into a group file.
std::optional<TAddressRecord> ReadAddressWithMembers(int k, QByteArrayList& members);
// Writes the record at k, or for k < 1 at the first deleted place or at the end; always with record
// format 1. The number written, 0 on failure.
int WriteAddress(int k, const TAddressRecord& record);
// For a group the members are saved to its group file first and its Email field is emptied.
int WriteAddressWithMembers(int k, const TAddressRecord& record, const QByteArrayList& members);
// Marks record k deleted, blanks its names, removes a group's file and counts it in the header.
bool DeleteAddress(int k);
int FindAddressByKey(const QByteArray& key);
// The first deleted record when the header counts any, else 0.
int FindFreeAddress();
// "<address book dir>/<key>.grp"; a "/" in the key is written as "$4$" so no key leaves the directory.
QString GroupFileName(const QByteArray& key);

QByteArrayList ReadGroupMembers(const QByteArray& key);
bool WriteGroupMembers(const QByteArray& key, const QByteArrayList& members);

// Start-up of the address book program: creates a missing book, sets an outdated one aside and
// recreates it (message 1); false after message 2 when no usable book could be made.
bool PrepareAddressBook();

namespace detail {
QByteArray EncodeAddress(const TAddressRecord& record);
TAddressRecord DecodeAddress(const QByteArray& record);
QByteArray AddressBookHeader();
} // namespace detail
