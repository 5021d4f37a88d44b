#include "RecordFile.h"

#include "AtomicFile.h"
#include "qmcharset.h"
#include "qmutils.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>

namespace RecordCodec {

QByteArray ReadString(QByteArrayView record, TStringField field)
{
    if (field.Offset < 0 || field.Offset >= record.size())
        return {};
    const qsizetype stored = quint8(record[field.Offset]);
    const qsizetype available = record.size() - field.Offset - 1;
    const qsizetype length = std::min({stored, field.Capacity, available});
    return record.sliced(field.Offset + 1, length).toByteArray();
}

QByteArray ReadText(QByteArrayView record, TStringField field)
{
    return UndeclaredToUtf8(ReadString(record, field));
}

void WriteString(QByteArray& record, TStringField field, QByteArrayView value)
{
    const QByteArray text = CutToCapacity(value, std::min<qsizetype>(field.Capacity, 255));
    record[field.Offset] = char(quint8(text.size()));
    char* characters = record.data() + field.Offset + 1;
    std::copy(text.cbegin(), text.cend(), characters);
    std::fill(characters + text.size(), characters + field.Capacity, '\0');
}

void BlankString(QByteArray& record, TStringField field)
{
    const qsizetype length = ReadString(record, field).size();
    WriteString(record, field, QByteArray(length, ' '));
}

qint32 ReadInt32(QByteArrayView record, qsizetype offset)
{
    return qFromLittleEndian<qint32>(record.data() + offset);
}

void WriteInt32(QByteArray& record, qsizetype offset, qint32 value)
{
    qToLittleEndian(value, record.data() + offset);
}

bool ReadBool(QByteArrayView record, qsizetype offset)
{
    return record[offset] != '\0';
}

void WriteBool(QByteArray& record, qsizetype offset, bool value)
{
    record[offset] = value ? '\1' : '\0';
}

bool HasFormatMark(QByteArrayView header, TStringField markField, QByteArrayView mark)
{
    const qsizetype end = markField.Offset + 1 + mark.size();
    if (header.size() < end)
        return false;
    return quint8(header[markField.Offset]) == mark.size()
        && header.sliced(markField.Offset + 1, mark.size()) == mark;
}

} // namespace RecordCodec

TRecordFile::TRecordFile(const QString& path, qsizetype recordSize)
    : m_path(path), m_recordSize(recordSize)
{
}

std::optional<qint64> TRecordFile::RecordCount() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.size() / m_recordSize;
}

std::optional<QByteArray> TRecordFile::Read(qint64 n) const
{
    QFile file(m_path);
    if (n < 0 || !file.open(QIODevice::ReadOnly) || !file.seek(n * m_recordSize))
        return std::nullopt;
    QByteArray record = file.read(m_recordSize);
    if (record.size() != m_recordSize)
        return std::nullopt;
    return record;
}

std::optional<QList<QByteArray>> TRecordFile::ReadAll() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QList<QByteArray> records;
    records.reserve(content.size() / m_recordSize);
    for (qsizetype at = 0; at + m_recordSize <= content.size(); at += m_recordSize)
        records.append(content.sliced(at, m_recordSize));
    return records;
}

std::optional<QList<QByteArray>> TRecordFile::ReadAllMarked(TStringField markField, QByteArrayView mark) const
{
    auto records = ReadAll();
    if (!records || records->isEmpty() || !RecordCodec::HasFormatMark(records->first(), markField, mark))
        return std::nullopt;
    return records;
}

bool TRecordFile::Write(qint64 n, QByteArrayView record) const
{
    if (n < 0 || record.size() != m_recordSize)
        return false;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    if (n > file.size() / m_recordSize || !file.seek(n * m_recordSize))
        return false;
    return file.write(record.data(), record.size()) == record.size() && file.flush();
}

bool TRecordFile::Create(const QList<QByteArray>& records, bool ownerOnly) const
{
    TAtomicFile file(m_path, ownerOnly);
    if (!file.Open())
        return false;
    for (const QByteArray& record : records) {
        if (record.size() != m_recordSize || !file.Write(record))
            return false;
    }
    return file.Commit();
}
