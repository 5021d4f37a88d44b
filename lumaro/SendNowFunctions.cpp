#include "SendNowFunctions.h"

#include "DBAccountsFunctions.h"

namespace {

constexpr qsizetype RememberedEdits = 16;

} // namespace

void TSendNowRequests::EditStarted(const QString& workFile)
{
    // Work file names recur once the old file is gone; an earlier edit of the same name is over.
    m_ended.remove(workFile);
    m_endedOrder.removeAll(workFile);
    m_editing.insert(workFile);
}

std::optional<TSendNowOrder> TSendNowRequests::EditEnded(const QString& workFile, qint32 record)
{
    m_editing.remove(workFile);
    if (m_waiting.contains(workFile))
        return TSendNowOrder{record, m_waiting.take(workFile)};
    m_ended.insert(workFile, record);
    m_endedOrder.append(workFile);
    while (m_endedOrder.size() > RememberedEdits)
        m_ended.remove(m_endedOrder.takeFirst());
    return std::nullopt;
}

TSendNowRequests::TArrival TSendNowRequests::Requested(const QString& workFile, const QByteArray& account,
                                                       TSendNowOrder& order)
{
    if (m_editing.contains(workFile)) {
        m_waiting.insert(workFile, account);
        return TArrival::Waiting;
    }
    if (!m_ended.contains(workFile))
        return TArrival::Unknown;
    order = {m_ended.take(workFile), account};
    m_endedOrder.removeAll(workFile);
    return TArrival::Ready;
}

QByteArray SendNowServer(const QByteArray& accountName)
{
    const int number = accountName.isEmpty() ? 0 : FindAccountByName(accountName);
    const std::optional<TAccount> account = number > 0 ? ReadAccount(number) : std::nullopt;
    if (account && !account->SmtpServer.isEmpty())
        return account->SmtpServer;
    return ReadDefaultAccount().SmtpServer;
}
