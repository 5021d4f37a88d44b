#pragma once
// Files of fixed-size little-endian records: the field codec and access to record n of a file.
// A string field has a capacity: one length byte, then `capacity` bytes of which only the first
// `length` mean anything. Record 0 of such a file is a header carrying a five-character format mark
// and, in some files, the count of records marked deleted. Records are values (QByteArray); every
// file operation opens the file, works and closes it again.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

struct TStringField {
    qsizetype Offset = 0;
    qsizetype Capacity = 0;
};

namespace RecordCodec {

// A length byte beyond the capacity is taken as the capacity: the field never reads past itself.
QByteArray ReadString(QByteArrayView record, TStringField field);
// A string field that holds text, as UTF-8: earlier versions wrote the Windows code page, so bytes
// that are not valid UTF-8 are read as Windows-1252 (the suite writes UTF-8 from then on).
QByteArray ReadText(QByteArrayView record, TStringField field);
// `value` cut to the capacity (at a UTF-8 character boundary when valid UTF-8); the bytes behind
// the text are zeroed so that nothing of an older, longer value stays in the file.
void WriteString(QByteArray& record, TStringField field, QByteArrayView value);
// Every byte of the text replaced by a blank, the length kept.
void BlankString(QByteArray& record, TStringField field);

qint32 ReadInt32(QByteArrayView record, qsizetype offset);
void WriteInt32(QByteArray& record, qsizetype offset, qint32 value);
// Any byte other than 0 reads as true; true is written as 1.
bool ReadBool(QByteArrayView record, qsizetype offset);
void WriteBool(QByteArray& record, qsizetype offset, bool value);

// Compares length byte and characters, as the files were always compared.
bool HasFormatMark(QByteArrayView header, TStringField markField, QByteArrayView mark);

} // namespace RecordCodec

// One file of records of `recordSize` bytes. A trailing partial record is ignored: the file is read
// up to its last whole record.
class TRecordFile {
public:
    TRecordFile(const QString& path, qsizetype recordSize);

    const QString& Path() const { return m_path; }
    qsizetype RecordSize() const { return m_recordSize; }

    // Number of whole records, or nothing when the file cannot be opened.
    std::optional<qint64> RecordCount() const;
    std::optional<QByteArray> Read(qint64 n) const;
    // All whole records, record 0 first.
    std::optional<QList<QByteArray>> ReadAll() const;
    // All whole records when record 0 carries `mark` in `markField`; nothing for any other file.
    std::optional<QList<QByteArray>> ReadAllMarked(TStringField markField, QByteArrayView mark) const;
    // Writes record n into the existing file without truncating it. n may be the record count
    // (an append) but not beyond: a gap would leave records of zero bytes that read as live ones.
    bool Write(qint64 n, QByteArrayView record) const;
    // Replaces the whole file by `records` (see TAtomicFile).
    bool Create(const QList<QByteArray>& records, bool ownerOnly) const;

private:
    QString m_path;
    qsizetype m_recordSize;
};
