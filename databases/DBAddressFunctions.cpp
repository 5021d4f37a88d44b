#include "DBAddressFunctions.h"

#include "AtomicFile.h"
#include "DamagedFile.h"
#include "Konstanten.h"
#include "RecordFile.h"
#include "qmcharset.h"
#include "Reporter.h"

#include <QFile>

#include <limits>

using namespace RecordCodec;

namespace {

namespace Field {
constexpr qsizetype Deleted = 0;
constexpr qsizetype DeletedCount = 4;
constexpr TStringField Category{8, 50};
constexpr qsizetype Group = 110;
constexpr TStringField Key{112, 82};
constexpr TStringField LastName{195, 50};
constexpr TStringField FirstName{246, 30};
constexpr TStringField Email{328, 255};
constexpr TStringField DefaultSubject{665, 80};
constexpr TStringField PreferredSender{746, 80};
constexpr TStringField Reserved827{827, 50};
constexpr TStringField Reserved889{889, 50};
constexpr TStringField Info{1236, 255};
constexpr TStringField Signature{1492, 50};
constexpr qsizetype ReservedFlag1 = 1645;
constexpr qsizetype ReservedFlag2 = 1646;
constexpr qsizetype RecordFormat = 1648;
} // namespace Field

const QByteArray FormatMark("LM101");

TRecordFile AddressFile()
{
    return TRecordFile(Paths().Data.AddressbookFile, AddressRecordSize);
}

QByteArray FreshAddressRecord()
{
    QByteArray record(AddressRecordSize, '\0');
    WriteBool(record, Field::ReservedFlag1, true);
    WriteBool(record, Field::ReservedFlag2, true);
    WriteInt32(record, Field::RecordFormat, 1);
    return record;
}

QByteArrayList SplitLines(const QByteArray& text)
{
    QByteArrayList lines;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

QByteArrayList MembersInEmailField(const QByteArray& email)
{
    QByteArrayList members;
    for (const QByteArray& entry : email.split(',')) {
        const QByteArray address = entry.trimmed();
        if (!address.isEmpty())
            members.append(address);
    }
    return members;
}

bool KeepsMembersInGroupFile(const TAddressRecord& record)
{
    return record.Group && record.RecordFormat >= 1;
}

bool CountDeletedRecordInHeader()
{
    const TRecordFile file = AddressFile();
    std::optional<QByteArray> header = file.Read(0);
    if (!header)
        return false;
    const qint32 count = ReadInt32(*header, Field::DeletedCount);
    // A damaged count at its maximum stays there instead of wrapping to a negative one.
    if (count < std::numeric_limits<qint32>::max())
        WriteInt32(*header, Field::DeletedCount, count + 1);
    return file.Write(0, *header);
}

} // namespace

namespace detail {

QByteArray EncodeAddress(const TAddressRecord& record)
{
    QByteArray bytes = record.Stored.size() == AddressRecordSize ? record.Stored : FreshAddressRecord();
    WriteBool(bytes, Field::Deleted, record.Deleted);
    WriteInt32(bytes, Field::DeletedCount, record.DeletedCount);
    WriteString(bytes, Field::Category, record.Category);
    WriteBool(bytes, Field::Group, record.Group);
    WriteString(bytes, Field::Key, record.Key);
    WriteString(bytes, Field::LastName, record.LastName);
    WriteString(bytes, Field::FirstName, record.FirstName);
    WriteString(bytes, Field::Email, record.Email);
    WriteString(bytes, Field::DefaultSubject, record.DefaultSubject);
    WriteString(bytes, Field::PreferredSender, record.PreferredSender);
    WriteString(bytes, Field::Info, record.Info);
    WriteString(bytes, Field::Signature, record.Signature);
    WriteInt32(bytes, Field::RecordFormat, record.RecordFormat);
    return bytes;
}

TAddressRecord DecodeAddress(const QByteArray& bytes)
{
    TAddressRecord record;
    record.Deleted = ReadBool(bytes, Field::Deleted);
    record.DeletedCount = ReadInt32(bytes, Field::DeletedCount);
    record.Category = ReadText(bytes, Field::Category);
    record.Group = ReadBool(bytes, Field::Group);
    record.Key = ReadText(bytes, Field::Key);
    record.LastName = ReadText(bytes, Field::LastName);
    record.FirstName = ReadText(bytes, Field::FirstName);
    record.Email = ReadText(bytes, Field::Email);
    record.DefaultSubject = ReadText(bytes, Field::DefaultSubject);
    record.PreferredSender = ReadText(bytes, Field::PreferredSender);
    record.Info = ReadText(bytes, Field::Info);
    record.Signature = ReadText(bytes, Field::Signature);
    record.RecordFormat = ReadInt32(bytes, Field::RecordFormat);
    record.Stored = bytes;
    return record;
}

QByteArray AddressBookHeader()
{
    QByteArray header = FreshAddressRecord();
    WriteString(header, Field::Key, FormatMark);
    return header;
}

} // namespace detail

bool CreateAddressBook()
{
    return AddressFile().Create({detail::AddressBookHeader()}, /*ownerOnly=*/true);
}

bool CheckAddressBook()
{
    const auto header = AddressFile().Read(0);
    return header && HasFormatMark(*header, Field::Key, FormatMark);
}

int CountAddresses()
{
    const auto records = AddressFile().RecordCount();
    return records && *records > 1 ? int(*records - 1) : 0;
}

std::optional<TAddressRecord> ReadAddress(int k, bool includeDeleted)
{
    if (k < 1 || !CheckAddressBook())
        return std::nullopt;
    const auto bytes = AddressFile().Read(k);
    if (!bytes)
        return std::nullopt;
    TAddressRecord record = detail::DecodeAddress(*bytes);
    if (record.Deleted && !includeDeleted)
        return std::nullopt;
    return record;
}

std::optional<TAddressRecord> ReadAddressWithMembers(int k, QByteArrayList& members)
{
    std::optional<TAddressRecord> record = ReadAddress(k);
    members.clear();
    if (record && record->Group) {
        members = KeepsMembersInGroupFile(*record) ? ReadGroupMembers(record->Key)
                                                   : MembersInEmailField(record->Email);
    }
    return record;
}

int WriteAddress(int k, const TAddressRecord& record)
{
    const TRecordFile file = AddressFile();
    if (k < 1)
        k = FindFreeAddress();
    if (k < 1) {
        // Appending to a file without its header would put the record where the header belongs.
        const auto records = file.RecordCount();
        if (!records || *records < 1)
            return 0;
        k = int(*records);
    }
    TAddressRecord written = record;
    written.RecordFormat = 1;
    return file.Write(k, detail::EncodeAddress(written)) ? k : 0;
}

int WriteAddressWithMembers(int k, const TAddressRecord& record, const QByteArrayList& members)
{
    if (!record.Group)
        return WriteAddress(k, record);
    if (!WriteGroupMembers(record.Key, members))
        return 0;
    TAddressRecord group = record;
    group.Email.clear();
    return WriteAddress(k, group);
}

bool DeleteAddress(int k)
{
    const std::optional<TAddressRecord> record = ReadAddress(k);
    if (!record)
        return false;
    QByteArray bytes = record->Stored;
    WriteBool(bytes, Field::Deleted, true);
    for (TStringField field : {Field::Key, Field::LastName, Field::FirstName, Field::Reserved827, Field::Reserved889})
        BlankString(bytes, field);
    if (!AddressFile().Write(k, bytes))
        return false;
    if (KeepsMembersInGroupFile(*record))
        QFile::remove(GroupFileName(record->Key));
    return CountDeletedRecordInHeader();
}

int FindAddressByKey(const QByteArray& key)
{
    const auto records = AddressFile().ReadAllMarked(Field::Key, FormatMark);
    if (!records)
        return 0;
    for (qsizetype k = 1; k < records->size(); ++k) {
        const TAddressRecord record = detail::DecodeAddress(records->at(k));
        if (!record.Deleted && record.Key == key)
            return int(k);
    }
    return 0;
}

int FindFreeAddress()
{
    const auto records = AddressFile().ReadAll();
    if (!records || records->isEmpty() || ReadInt32(records->first(), Field::DeletedCount) <= 0)
        return 0;
    for (qsizetype k = 1; k < records->size(); ++k) {
        if (ReadBool(records->at(k), Field::Deleted))
            return int(k);
    }
    return 0;
}

QString GroupFileName(const QByteArray& key)
{
    QByteArray fileName = key;
    fileName.replace('/', QByteArrayView("$4$"));
    return Paths().Data.LmabDir + QLatin1Char('/') + QFile::decodeName(fileName) + QLatin1String(".grp");
}

QByteArrayList ReadGroupMembers(const QByteArray& key)
{
    QFile file(GroupFileName(key));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Group files of earlier versions are in the Windows code page, line by line like the records.
    QByteArrayList members = SplitLines(file.readAll());
    for (QByteArray& member : members)
        member = UndeclaredToUtf8(member);
    return members;
}

bool WriteGroupMembers(const QByteArray& key, const QByteArrayList& members)
{
    QByteArray content;
    for (const QByteArray& member : members)
        content += member + "\r\n";
    return WriteFileAtomically(GroupFileName(key), content);
}

bool PrepareAddressBook()
{
    if (!QFile::exists(Paths().Data.AddressbookFile)) {
        if (CreateAddressBook())
            return true;
    } else if (CheckAddressBook()) {
        return true;
    } else if (RecreateDamagedDatabase(Paths().Data.AddressbookFile, 1, CreateAddressBook)) {
        return true;
    }
    Report(2, TMessageKind::Error);
    return false;
}
