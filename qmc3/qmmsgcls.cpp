#include "qmmsgcls.h"

#include "qmexcept.h"
#include "qmmime.h"
#include "qmutils.h"

#include <QFile>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

bool IsContinuationLine(const QByteArray& line)
{
    return line.startsWith(' ') || line.startsWith('\t');
}

// Drops the one blank or tab that conventionally follows the colon of a field.
QByteArray AfterColon(const QByteArray& line, qsizetype colon)
{
    const qsizetype start = colon + 1;
    const bool blankFollows = start < line.size() && (line[start] == ' ' || line[start] == '\t');
    return line.mid(blankFollows ? start + 1 : start);
}

// A field name as callers give it, with or without its colon, without it. Lookups run for every
// message of a folder rebuild, so the name is not copied.
QByteArrayView BareName(const QByteArray& name)
{
    return name.endsWith(':') ? QByteArrayView(name).chopped(1) : QByteArrayView(name);
}

bool IsUndecodedField(QByteArrayView bareName)
{
    return bareName.compare("CONTENT-TYPE", Qt::CaseInsensitive) == 0 || bareName.compare("X-UIDL", Qt::CaseInsensitive) == 0;
}

// True when `line` begins with the field name and its colon, in any letter case.
bool StartsFieldNamed(const QByteArray& line, QByteArrayView bareName)
{
    return line.size() > bareName.size() && line.at(bareName.size()) == ':'
        && qstrnicmp(line.constData(), bareName.data(), bareName.size()) == 0;
}

// True when `line` starts the field `upperName` (given without colon): the name, optional blanks,
// then the colon. "TO" therefore matches "To:" but not "Topic:".
// Header names compare without regard to case; no copy of the line is made, since header lookups
// run over every line of every message a folder index is rebuilt from.
bool StartsWithNoCase(const QByteArray& line, QByteArrayView prefix)
{
    return line.size() >= prefix.size() && qstrnicmp(line.constData(), prefix.data(), prefix.size()) == 0;
}

bool StartsField(const QByteArray& line, const QByteArray& upperName)
{
    if (!StartsWithNoCase(line, upperName))
        return false;
    return line.mid(upperName.size()).trimmed().startsWith(':');
}

QByteArray DecodedEntry(const QByteArray& piece)
{
    return CutToCapacity(DecodeHeader(piece.trimmed()), qmShortTextCapacity);
}

// Splits at the commas between entries (SplitAddressList); the entry after the last comma is added
// only when it is not empty. Entries are decoded after the split, so that an encoded comma stays
// inside its name.
void AppendEntries(const QByteArray& text, QByteArrayList& list)
{
    QByteArrayList entries = SplitAddressList(text);
    if (entries.last().trimmed().isEmpty())
        entries.removeLast();
    for (const QByteArray& entry : std::as_const(entries))
        list.append(DecodedEntry(entry));
}

template <typename Item>
void EraseAt(std::vector<Item>& items, qsizetype index)
{
    if (index < 0 || index >= qsizetype(items.size()))
        throw std::out_of_range("list index out of range");
    items.erase(items.begin() + index);
}

} // namespace

void TqmMailAddress::Clear()
{
    Name.clear();
    Address.clear();
}

void TqmAddressList::SetItem(qsizetype index, std::unique_ptr<TqmMailAddress> item)
{
    m_items.at(index) = std::move(item);
}

TqmMailAddress& TqmAddressList::Add(std::unique_ptr<TqmMailAddress> item)
{
    m_items.push_back(std::move(item));
    return *m_items.back();
}

TqmMailAddress& TqmAddressList::Add(const TqmMailAddress& item)
{
    return Add(std::make_unique<TqmMailAddress>(item));
}

TqmMailAddress& TqmAddressList::AddAddress(const QByteArray& address, const QByteArray& name)
{
    auto item = std::make_unique<TqmMailAddress>();
    item->Address = CutToCapacity(address, qmShortTextCapacity);
    item->Name = CutToCapacity(name, qmShortTextCapacity);
    return Add(std::move(item));
}

void TqmAddressList::Delete(qsizetype index)
{
    EraseAt(m_items, index);
}

void TqmAddressList::Assign(const TqmAddressList& source)
{
    if (&source == this)
        return;
    Clear();
    for (const auto& item : source.m_items)
        Add(*item);
}

TEncoding EncodingForContentType(const QByteArray& contentType)
{
    const QByteArray lower = contentType.toLower();
    if (lower == "text/plain" || lower == "text/rtf" || lower == "text/html")
        return etQP;
    if (lower == "message/rfc822")
        return etNone;
    return etBase64;
}

void TqmAttItem::SetFileName(const QByteArray& fileName)
{
    m_fileName = fileName;
    if (fileName.isEmpty())
        return;
    ContentType = GetContentType(QFile::decodeName(fileName));
    Encoding = EncodingForContentType(ContentType);
}

void TqmAttList::SetItem(qsizetype index, std::unique_ptr<TqmAttItem> item)
{
    m_items.at(index) = std::move(item);
}

TqmAttItem& TqmAttList::Add(std::unique_ptr<TqmAttItem> item)
{
    m_items.push_back(std::move(item));
    return *m_items.back();
}

TqmAttItem& TqmAttList::Add(const TqmAttItem& item)
{
    return Add(std::make_unique<TqmAttItem>(item));
}

TqmAttItem& TqmAttList::AddFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EMessageError(QStringLiteral("Cannot open file \"%1\": %2").arg(path, file.errorString()));
    auto item = std::make_unique<TqmAttItem>();
    item->Data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EMessageError(QStringLiteral("Cannot read file \"%1\": %2").arg(path, file.errorString()));
    item->SetFileName(QFile::encodeName(path));
    return Add(std::move(item));
}

void TqmAttList::Delete(qsizetype index)
{
    EraseAt(m_items, index);
}

void TqmAttList::Exchange(qsizetype first, qsizetype second)
{
    std::swap(m_items.at(first), m_items.at(second));
}

void TqmAttList::Assign(const TqmAttList& source)
{
    if (&source == this)
        return;
    Clear();
    for (const auto& item : source.m_items)
        Add(*item);
}

TqmHeaders TqmHeaders::FromText(const QByteArray& text)
{
    QByteArray normalized = text;
    normalized.replace("\r\n", "\n").replace('\r', '\n');
    TqmHeaders lines(normalized.split('\n'));
    if (normalized.endsWith('\n'))
        lines.removeLast();
    return lines;
}

qsizetype TqmHeaders::FindField(const QByteArray& name) const
{
    const QByteArrayView bareName = BareName(name);
    for (qsizetype index = 0; index < size(); ++index) {
        if (StartsFieldNamed(at(index), bareName))
            return index;
    }
    return -1;
}

qsizetype TqmHeaders::FieldEnd(qsizetype first) const
{
    qsizetype end = first + 1;
    while (end < size() && IsContinuationLine(at(end)))
        ++end;
    return end;
}

QByteArray TqmHeaders::GetRawFieldBody(const QByteArray& name) const
{
    const qsizetype first = FindField(name);
    if (first < 0)
        return {};
    QByteArray body = AfterColon(at(first), BareName(name).size()).trimmed();
    const qsizetype end = FieldEnd(first);
    for (qsizetype index = first + 1; index < end; ++index)
        body += ' ' + at(index).trimmed();
    return body;
}

QByteArray TqmHeaders::GetFieldBody(const QByteArray& name) const
{
    const QByteArray body = GetRawFieldBody(name);
    if (body.isEmpty() || IsUndecodedField(BareName(name)))
        return body;
    return CutToCapacity(DecodeHeader(body), qmShortTextCapacity);
}

void TqmHeaders::GetMultiLineFieldBody(const QByteArray& name, QByteArrayList& list) const
{
    list.clear();
    const QByteArray upperName = name.toUpper();
    qsizetype index = 0;
    while (index < size()) {
        if (!StartsField(at(index), upperName)) {
            ++index;
            continue;
        }
        // The field is unfolded before it is split: a name may be folded across lines. Folded lines
        // begin with a blank; lines without a colon are taken too, since broken mailers fold without one.
        QByteArray body = AfterColon(at(index), at(index).indexOf(':'));
        for (++index; index < size() && (IsContinuationLine(at(index)) || !at(index).contains(':')); ++index)
            body += IsContinuationLine(at(index)) ? at(index) : ' ' + at(index);
        AppendEntries(body, list);
    }
}

void TqmHeaders::Remove(const QByteArray& name)
{
    const qsizetype first = FindField(name);
    if (first >= 0)
        remove(first, FieldEnd(first) - first);
}

void TqmHeaders::RemoveXHeaders()
{
    qsizetype index = 0;
    while (index < size()) {
        if (StartsWithNoCase(at(index), "X-"))
            remove(index, FieldEnd(index) - index);
        else
            ++index;
    }
}

void TqmHeaders::CleanUp()
{
    const qsizetype empty = indexOf(QByteArray());
    if (empty >= 0)
        resize(empty);
}

bool TqmHeaders::Contains(const QByteArray& text, bool caseSensitive) const
{
    const QByteArray needle = caseSensitive ? text : text.toUpper();
    return std::any_of(cbegin(), cend(), [&](const QByteArray& line) {
        return (caseSensitive ? line : line.toUpper()).contains(needle);
    });
}
