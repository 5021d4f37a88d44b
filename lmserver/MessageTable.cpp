#include "MessageTable.h"

#include "LmserverTexts.h"
#include "qmmsgcls.h"
#include "tk_langlib.h"

#include <algorithm>
#include <functional>

namespace {

QString HeaderText(const TqmHeaders& headers, const char* name)
{
    return QString::fromUtf8(headers.GetFieldBody(QByteArray(name)).trimmed());
}

} // namespace

QString LineText(const TMessageLine& line)
{
    return QStringList{line.Subject, line.Sender, line.Date, line.Size, line.MarkText}.join(QLatin1Char('|'));
}

TMessageLine LineWithoutHeaders(int number)
{
    TMessageLine line;
    line.Subject = MessageText(LmserverText::MessageWord) + QLatin1String(" #") + QString::number(number);
    return line;
}

TMessageLine LineFromHeaders(const TqmHeaders& headers, qint64 size)
{
    TMessageLine line;
    line.Subject = HeaderText(headers, "Subject");
    line.Sender = HeaderText(headers, "From");
    line.Date = HeaderText(headers, "Date");
    line.Size = QString::number(size);
    return line;
}

quint32 ListedUidValidity(const TServerEntry& entry, const QString& folder)
{
    for (const TListedFolder& listed : entry.ListedFolders)
        if (listed.Name == folder)
            return listed.UidValidity;
    return 0;
}

QString NextMark(const QString& mark)
{
    if (mark == Mark::Nothing)
        return Mark::Get;
    if (mark == Mark::Get)
        return Mark::Delete;
    if (mark == Mark::Delete)
        return Mark::GetDelete;
    if (mark == Mark::GetDelete)
        return Mark::Nothing;
    return Mark::Get;
}

bool WantsRetrieve(const QString& mark)
{
    return mark == Mark::Get || mark == Mark::GetDelete;
}

bool WantsDelete(const QString& mark)
{
    return mark == Mark::Delete || mark == Mark::GetDelete;
}

QString NodeText(const TServerEntry& entry)
{
    const QString head = QStringLiteral("%1 (%2): ").arg(QString::fromUtf8(entry.Server), QString::fromUtf8(entry.UserName));
    if (entry.Failed)
        return head + MessageText(LmserverText::FailedServerMark);
    return head + QString::number(entry.Count) + QLatin1Char(' ') + MessageText(LmserverText::Messages);
}

void TMessageTable::Clear()
{
    m_servers.clear();
    m_lines.clear();
}

int TMessageTable::AddServer(const TServerEntry& entry)
{
    m_servers.append(entry);
    m_servers.last().FirstLine = int(m_lines.size());
    m_servers.last().Count = 0;
    return int(m_servers.size()) - 1;
}

void TMessageTable::AppendLine(const TMessageLine& line)
{
    m_lines.append(line);
    ++m_servers.last().Count;
}

void TMessageTable::DropLinesOf(int server)
{
    TServerEntry& entry = m_servers[server];
    m_lines.remove(entry.FirstLine, entry.Count);
    entry.Count = 0;
}

void TMessageTable::RemoveDeletedLines(int server, QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    TServerEntry& entry = m_servers[server];
    int removed = 0;
    for (int row : rows) {
        if (row < entry.FirstLine || row >= entry.FirstLine + entry.Count)
            continue;
        m_lines.removeAt(row);
        --entry.Count;
        ++removed;
    }
    entry.ListedCount = qMax<qint64>(0, entry.ListedCount - removed);
    for (int later = server + 1; later < int(m_servers.size()); ++later)
        m_servers[later].FirstLine -= removed;
}

void TMessageTable::SetMark(const QList<int>& rows, const QString& mark)
{
    for (int row : rows)
        m_lines[row].MarkText = mark;
}

void TMessageTable::ToggleMark(const QList<int>& rows)
{
    for (int row : rows)
        m_lines[row].MarkText = NextMark(m_lines.at(row).MarkText);
}

bool TMessageTable::HasWork(int server) const
{
    const TServerEntry& entry = m_servers.at(server);
    for (int row = entry.FirstLine; row < entry.FirstLine + entry.Count; ++row)
        if (WantsRetrieve(m_lines.at(row).MarkText) || WantsDelete(m_lines.at(row).MarkText))
            return true;
    return false;
}

bool TMessageTable::AnyWork() const
{
    for (int server = 0; server < int(m_servers.size()); ++server)
        if (HasWork(server))
            return true;
    return false;
}

bool TMessageTable::AnyMarkedDelete() const
{
    for (const TMessageLine& line : m_lines)
        if (line.MarkText == Mark::Delete)
            return true;
    return false;
}
