#include "AddressFunctions.h"

#include "ContactHandOver.h"
#include "DBAccountsFunctions.h"
#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "tk_langlib.h"
#include "UserSettings.h"
#include "qmutils.h"

#include <QDir>
#include <QFile>

namespace {

constexpr int CategoriesText = 504;
constexpr int SignaturesText = 513;
constexpr qsizetype KeyCapacity = 82;
// Three names and an address; anything longer is not ours.
constexpr qint64 MaxContactFileSize = 64 * 1024;

QByteArray Utf8(const QString& text)
{
    return text.toUtf8();
}

QString Text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

// Phrase file names write ? : \ / * as $1$ ... $5$.
QString UnescapePhraseName(QString name)
{
    static const QString reserved = QStringLiteral("?:\\/*");
    for (int i = 0; i < reserved.size(); ++i)
        name.replace(QStringLiteral("$%1$").arg(i + 1), reserved.mid(i, 1));
    return name;
}

TVCard CardOfRecord(const TAddressRecord& record, const QByteArrayList& members)
{
    TVCard card;
    card.Group = record.Group;
    card.FormattedName = record.Group ? Text(record.Key)
                                      : (Text(record.FirstName) + QLatin1Char(' ') + Text(record.LastName)).trimmed();
    card.LastName = Text(record.LastName);
    card.FirstName = Text(record.FirstName);
    if (!record.Group && !record.Email.isEmpty())
        card.Emails.append(Text(record.Email));
    if (!record.Category.isEmpty())
        card.Categories.append(Text(record.Category));
    card.Note = Text(record.Info);
    for (const QByteArray& line : members) {
        const qsizetype semicolon = line.indexOf(';');
        if (semicolon < 0)
            card.Members.append({Text(line), QString()});
        else
            card.Members.append({Text(line.left(semicolon)), Text(line.mid(semicolon + 1))});
    }
    card.PreferredSender = Text(record.PreferredSender);
    card.DefaultSubject = Text(record.DefaultSubject);
    card.Signature = Text(record.Signature);
    return card;
}

TAddressRecord RecordOfCard(const TVCard& card, const QString& defaultCategory, QByteArrayList& members)
{
    TAddressRecord record;
    record.Group = card.Group;
    record.Category = Utf8(card.Categories.value(0, defaultCategory));
    record.Info = Utf8(card.Note).replace("\r\n", " ").replace('\n', ' ');
    record.PreferredSender = Utf8(card.PreferredSender);
    record.DefaultSubject = Utf8(card.DefaultSubject);
    record.Signature = Utf8(card.Signature);
    if (card.Group) {
        record.Key = CutToCapacity(Utf8(card.FormattedName.trimmed()), KeyCapacity);
        for (const TVCardMember& member : card.Members)
            members.append(MemberLine(member.Address, member.Name));
        return record;
    }
    // The book keeps one address per contact; further ones are kept in the notes rather than lost.
    record.Email = Utf8(card.Emails.value(0));
    if (card.Emails.size() > 1) {
        const QByteArray more = Utf8(card.Emails.mid(1).join(QStringLiteral(", ")));
        record.Info = record.Info.isEmpty() ? more : record.Info + ' ' + more;
    }
    // The book does not allow commas in names (they separate last and first name in the list).
    record.LastName = CutToCapacity(Utf8(card.LastName).replace(',', ' ').trimmed(), 50);
    record.FirstName = CutToCapacity(Utf8(card.FirstName).replace(',', ' ').trimmed(), 30);
    if (record.LastName.isEmpty())
        std::swap(record.LastName, record.FirstName);
    record.Key = ContactKey(record.LastName, record.FirstName);
    return record;
}

} // namespace

QString AddressBookWindowTitle()
{
    return IsEnglish() ? AddressBookTitleEnglish : AddressBookTitleGerman;
}

QString AddressBookColumnsKey()
{
    const QString columns = UserContext().Keys.Columns;
    return columns.left(columns.lastIndexOf(QLatin1Char('/')) + 1) + QStringLiteral("lmab");
}

QString ContactCaption(const QByteArray& lastName, const QByteArray& firstName)
{
    return firstName.isEmpty() ? Text(lastName) : Text(lastName) + QStringLiteral(", ") + Text(firstName);
}

TAddressRow RowOfRecord(int record, const TAddressRecord& address)
{
    if (address.Group)
        return {record, Text(address.Key), QString(), true};
    return {record, ContactCaption(address.LastName, address.FirstName), Text(address.Email), false};
}

QList<TAddressRow> AddressRows()
{
    QList<TAddressRow> rows;
    const int count = CountAddresses();
    for (int k = 1; k <= count; ++k)
        if (const std::optional<TAddressRecord> address = ReadAddress(k))
            rows.append(RowOfRecord(k, *address));
    return rows;
}

QByteArray ContactKey(const QByteArray& lastName, const QByteArray& firstName)
{
    return CutToCapacity(lastName + firstName, KeyCapacity);
}

bool ContactNameAcceptable(const QString& lastName)
{
    return lastName.size() >= 2;
}

int CheckContact(const TAddressRecord& contact, int ownRecord)
{
    const int found = FindAddressByKey(ContactKey(contact.LastName, contact.FirstName));
    if (found != 0 && found != ownRecord)
        return AddressText::DuplicateName;
    if (contact.LastName.contains(',') || contact.FirstName.contains(','))
        return AddressText::CommaInName;
    return 0;
}

int CheckGroup(const TAddressRecord& group, int ownRecord)
{
    const int found = FindAddressByKey(CutToCapacity(group.Key, KeyCapacity));
    return found != 0 && found != ownRecord ? AddressText::DuplicateName : 0;
}

std::optional<TNewContactArguments> ParseNewContactArguments(const QStringList& arguments)
{
    if (arguments.value(0) != QLatin1String("NEW"))
        return std::nullopt;
    if (arguments.value(1) != ContactFileArgument)
        return TNewContactArguments{arguments.value(1).trimmed(), arguments.value(2).trimmed(), arguments.value(3)};
    QFile file(arguments.value(2));
    const TContactHandOver contact
        = ParseContactHandOver(file.open(QIODevice::ReadOnly) ? file.read(MaxContactFileSize) : QByteArray());
    return TNewContactArguments{contact.LastName.trimmed(), contact.FirstName.trimmed(), contact.Address};
}

int SaveAddress(int k, const TAddressRecord& record, const QByteArrayList& members, const QByteArray& oldKey)
{
    const int written = WriteAddressWithMembers(k, record, members);
    // The members now lie in the file of the new name; the one of the old name would be an orphan.
    if (written != 0 && record.Group && !oldKey.isEmpty() && oldKey != CutToCapacity(record.Key, KeyCapacity)
        && GroupFileName(oldKey) != GroupFileName(record.Key))
        QFile::remove(GroupFileName(oldKey));
    return written;
}

QByteArray MemberLine(const QString& address, const QString& name)
{
    return name.isEmpty() ? Utf8(address) : Utf8(address) + ';' + Utf8(name);
}

QStringList DefaultCategories()
{
    return MessageText(CategoriesText).split(QLatin1Char('|'));
}

QStringList ReadCategories()
{
    return CurrentAddressCategories();
}

void WriteCategories(const QStringList& categories)
{
    SaveCurrentAddressCategories(categories);
}

QStringList SenderEntries()
{
    QStringList entries;
    const int count = CountAccounts();
    for (int n = 1; n <= count; ++n)
        if (const std::optional<TAccount> account = ReadAccount(n)) {
            const QString entry = Text(account->SmtpAddress) + QStringLiteral(" <") + Text(account->SmtpName) + QLatin1Char('>');
            if (!entries.contains(entry))
                entries.append(entry);
        }
    return entries;
}

QString DefaultSenderEntry()
{
    const std::optional<TAccount> account = ReadAccount(FindDefaultAccount());
    return account ? Text(account->SmtpAddress) + QStringLiteral(" <") + Text(account->SmtpName) + QLatin1Char('>')
                   : QString();
}

QStringList SignatureNames()
{
    const QString prefix = MessageText(SignaturesText) + QLatin1Char('$');
    QStringList names;
    for (const QString& file : QDir(Paths().Data.PhrasesDir).entryList(QDir::Files, QDir::Name))
        if (file.startsWith(prefix))
            names.append(UnescapePhraseName(file.mid(prefix.size())));
    return names;
}

QList<TVCard> ExportCards()
{
    QList<TVCard> contacts;
    QList<TVCard> groups;
    const int count = CountAddresses();
    for (int k = 1; k <= count; ++k) {
        QByteArrayList members;
        if (const std::optional<TAddressRecord> address = ReadAddressWithMembers(k, members))
            (address->Group ? groups : contacts).append(CardOfRecord(*address, members));
    }
    return contacts + groups;
}

TImportResult ImportCards(const QList<TVCard>& cards, const QString& defaultCategory)
{
    TImportResult result;
    for (const TVCard& card : cards) {
        QByteArrayList members;
        const TAddressRecord record = RecordOfCard(card, defaultCategory, members);
        const bool named = record.Group ? !record.Key.isEmpty() : ContactNameAcceptable(Text(record.LastName));
        if (!named || FindAddressByKey(record.Key) != 0 || WriteAddressWithMembers(0, record, members) == 0)
            ++result.Skipped;
        else
            ++result.Imported;
    }
    return result;
}
