#include "qmmsgid.h"

#include "qmmsgcls.h"
#include "qmutils.h"

#include <QRandomGenerator>
#include <QSysInfo>

#include <algorithm>
#include <array>

namespace {

constexpr qsizetype FoldWidth = 78;
const QByteArray FallbackDomain = QByteArrayLiteral("localhost.localdomain");

bool IsDomainChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// A dot-atom of letters, digits, hyphens and dots (RFC 5322, 3.4.1), which keeps the id parseable.
bool IsUsableDomain(QByteArrayView domain)
{
    return !domain.isEmpty() && !domain.startsWith('.') && !domain.endsWith('.') && !domain.contains("..")
        && std::all_of(domain.begin(), domain.end(), IsDomainChar);
}

QByteArray DomainOf(QByteArrayView senderAddress)
{
    QByteArrayView address = senderAddress.trimmed();
    if (address.endsWith('>'))
        address.chop(1);
    const qsizetype at = address.lastIndexOf('@');
    const QByteArrayView domain = at < 0 ? QByteArrayView() : address.sliced(at + 1).trimmed();
    if (IsUsableDomain(domain))
        return domain.toByteArray();
    const QByteArray host = QSysInfo::machineHostName().toLatin1();
    return host.contains('.') && IsUsableDomain(host) ? host : FallbackDomain;
}

QByteArray RandomPart()
{
    std::array<quint32, 4> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.data()), sizeof(words)).toHex();
}

// The "<...>" of a field body that may carry comments around it; a body without angle brackets is
// taken whole (broken, but accepted for interoperability).
QByteArray AngleId(const QByteArray& body)
{
    const qsizetype open = body.indexOf('<');
    const qsizetype close = open < 0 ? -1 : body.indexOf('>', open);
    if (close < 0)
        return body.trimmed();
    return body.mid(open, close - open + 1);
}

struct THeaderBlock {
    TqmHeaders Lines;
    // Where the empty line that ends the header block begins, or the text's size without one.
    qsizetype End = 0;
    // The first line of each field, as offsets into the text, in the order of `Lines`.
    QList<qsizetype> LineStarts;
};

THeaderBlock ReadHeaderBlock(const QByteArray& text)
{
    THeaderBlock block;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf('\n', pos);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        QByteArray line = text.sliced(pos, end - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            break;
        block.Lines.append(line);
        block.LineStarts.append(pos);
        pos = next;
    }
    block.End = pos;
    return block;
}

qsizetype FieldLine(const TqmHeaders& lines, QByteArrayView name)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        if (line.size() > name.size() && line.at(name.size()) == ':'
            && QByteArrayView(line).first(name.size()).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

QByteArray NewMessageId(QByteArrayView senderAddress)
{
    return '<' + RandomPart() + '@' + DomainOf(senderAddress) + '>';
}

bool AddMissingMessageId(QByteArray& messageText)
{
    const THeaderBlock block = ReadHeaderBlock(messageText);
    if (!block.Lines.GetRawFieldBody("Message-ID").isEmpty())
        return false;
    QByteArray address;
    QByteArray name;
    SplitAddress(block.Lines.GetFieldBody("From"), address, name);
    const QByteArray lineEnd = messageText.contains("\r\n") ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    const QByteArray field = "Message-ID: " + NewMessageId(address) + lineEnd;
    // An empty field would only make a second one; the new one takes its place.
    const qsizetype empty = FieldLine(block.Lines, "Message-ID");
    if (empty >= 0) {
        const qsizetype start = block.LineStarts.at(empty);
        const qsizetype end = empty + 1 < block.LineStarts.size() ? block.LineStarts.at(empty + 1) : block.End;
        messageText.replace(start, end - start, field);
        return true;
    }
    const bool needsLineEnd = block.End > 0 && !messageText.sliced(0, block.End).endsWith('\n');
    messageText.insert(block.End, needsLineEnd ? lineEnd + field : field);
    return true;
}

QByteArray ReferencesFor(const TqmHeaders& parent)
{
    const QByteArray id = AngleId(parent.GetRawFieldBody("Message-ID"));
    if (id.isEmpty())
        return {};
    QByteArray references = parent.GetRawFieldBody("References").simplified();
    if (references.isEmpty()) {
        const QByteArray inReplyTo = parent.GetRawFieldBody("In-Reply-To");
        if (inReplyTo.count('<') == 1)
            references = AngleId(inReplyTo);
    }
    return references.isEmpty() ? id : references + ' ' + id;
}

QByteArrayList FoldedField(QByteArrayView name, QByteArrayView body)
{
    QByteArrayList lines;
    QByteArray line = name.toByteArray() + ':';
    bool lineHasWord = false;
    for (const QByteArray& word : body.toByteArray().simplified().split(' ')) {
        if (word.isEmpty())
            continue;
        if (lineHasWord && line.size() + 1 + word.size() > FoldWidth) {
            lines.append(line);
            line.clear();
        }
        line += ' ' + word;
        lineHasWord = true;
    }
    lines.append(line);
    return lines;
}

void AddReplyThreading(const TqmHeaders& parent, TqmHeaders& headers)
{
    const QByteArray id = AngleId(parent.GetRawFieldBody("Message-ID"));
    if (id.isEmpty())
        return;
    headers.append("In-Reply-To: " + id);
    headers.append(FoldedField("References", ReferencesFor(parent)));
}

void AddForwardThreading(const TqmHeaders& parent, TqmHeaders& headers)
{
    const QByteArray references = ReferencesFor(parent);
    if (!references.isEmpty())
        headers.append(FoldedField("References", references));
}
