#pragma once
// The address book program's rules without windows: the rows of the list, the contact and group
// checks, the command line, saving with group renames, the categories, the sender and signature
// choices, and moving contacts to and from vCard files.

#include "DBAddressFunctions.h"
#include "VCard.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Message numbers of the address book's string table.
namespace AddressText {
inline constexpr int Outdated = 1;
inline constexpr int AccessError = 2;
inline constexpr int DuplicateName = 3;
inline constexpr int ConfirmDelete = 4;
inline constexpr int AlreadyMember = 6;
inline constexpr int CommaInName = 7;
inline constexpr int Imported = 9;
inline constexpr int ImportSkipped = 10;
inline constexpr int ReadError = 11;
inline constexpr int WriteError = 12;
inline constexpr int Exported = 13;
} // namespace AddressText

inline const QString AddressBookTitleGerman = QStringLiteral("Lumaro Mail Adressbuch");
inline const QString AddressBookTitleEnglish = QStringLiteral("Lumaro Mail Address Book");
QString AddressBookWindowTitle();
// "Users/<user>/Columns/lmab": the main client's columns key with its last part replaced.
QString AddressBookColumnsKey();

struct TAddressRow {
    int Record = 0;
    QString Caption;
    QString Email;
    bool Group = false;
};

// Last name, and ", " + first name when there is one.
QString ContactCaption(const QByteArray& lastName, const QByteArray& firstName);
TAddressRow RowOfRecord(int record, const TAddressRecord& address);
// Every live record in record order.
QList<TAddressRow> AddressRows();

// The key of a contact: the last name directly followed by the first name.
QByteArray ContactKey(const QByteArray& lastName, const QByteArray& firstName);

// What keeps a contact or group dialog open: 0 when it may close, else the message number.
int CheckContact(const TAddressRecord& contact, int ownRecord);
int CheckGroup(const TAddressRecord& group, int ownRecord);
// OK of the contact dialog needs a last name of at least two characters.
bool ContactNameAcceptable(const QString& lastName);

// The arguments after "NEW" (last name, first name, address), or the contact file they name: last
// name and first name trimmed, the address as given.
struct TNewContactArguments {
    QString LastName;
    QString FirstName;
    QString Email;
};
std::optional<TNewContactArguments> ParseNewContactArguments(const QStringList& arguments);

// Writes the record (k < 1: a new one) with its members; when a group's name changed, the group
// file of the old name goes. The record number, 0 on failure.
int SaveAddress(int k, const TAddressRecord& record, const QByteArrayList& members, const QByteArray& oldKey);

// A member line: the address, and ";" + the name when there is one.
QByteArray MemberLine(const QString& address, const QString& name);

// The categories the address book shares with the recipient chooser (see UserSettings.h).
QStringList ReadCategories();
// An empty list stores the default.
void WriteCategories(const QStringList& categories);
QStringList DefaultCategories();

// One entry per account: "address <name>", each once, in account order.
QStringList SenderEntries();
// The entry of the default account, empty when there is none.
QString DefaultSenderEntry();
// The phrase names of the signature category (text 513).
QStringList SignatureNames();

// The book as vCards: contacts, then groups with their members, in record order.
QList<TVCard> ExportCards();
struct TImportResult {
    int Imported = 0;
    // Cards whose name is already in the book, or that carry no usable name.
    int Skipped = 0;
};
// Adds every card as a new contact or group; `defaultCategory` for cards without a category.
TImportResult ImportCards(const QList<TVCard>& cards, const QString& defaultCategory);
