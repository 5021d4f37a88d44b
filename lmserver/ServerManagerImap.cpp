// The server manager's work on IMAP mailboxes: the inbox is looked at read-only (EXAMINE) for the
// list, and changed only when the marks are carried out, by UID.

#include "ServerManager.h"

#include "CertificatePins.h"
#include "DBAccountSecurity.h"
#include "Konstanten.h"
#include "LmserverTexts.h"
#include "SharedFunctions.h"
#include "tk_langlib.h"

#include <QBuffer>
#include <QScopeGuard>
#include <QSet>

#include <map>
#include <memory>

namespace {

const QString Inbox = QStringLiteral("INBOX");

} // namespace

void TServerManager::ConfigureImap(const TServerEntry& entry)
{
    m_imap.Server = entry.Server;
    m_imap.UserName = entry.UserName;
    m_imap.Password = entry.Password;
    m_imap.Security = entry.Security;
    ApplyPin(m_imap, entry.Pin);
    m_imap.TlsSeenBefore = TlsSeenBefore(entry.AccountName, TMailService::Pop, entry.Server);
    m_imap.SetTimeOut(m_settings.PopTimeout);
    m_imap.MaxMessageSize = m_settings.MaxMessageSize;
    m_imap.LogFileName = m_settings.LogActive ? Paths().Data.LogFile : QString();
}

void TServerManager::ListImapServer(int server)
{
    TrustingOnce(server, [this] { m_imap.OpenConnection(); });
    if (m_imap.UpgradedToTls())
        RememberTlsSeen(Table.Server(server).AccountName, TMailService::Pop, m_imap.Server);
    Status(CheckingStatus(m_imap.Server));
    const TqmImapMailbox inbox = m_imap.Select(Inbox, true);
    const QList<TqmImapMessageInfo> infos = m_imap.FetchInfo(m_imap.SearchUids());
    Table.Server(server).UidValidity = inbox.UidValidity;
    Table.Server(server).ListedCount = infos.size();
    for (const TqmImapMessageInfo& info : infos) {
        TMessageLine line = LineFromHeaders(info.Headers, info.Size);
        line.Uid = info.Uid;
        line.Listed.Headers = info.Headers;
        line.Listed.Size = info.Size;
        line.Listed.HeadersRead = true;
        line.Listed.UIDL = TqmIMAP::MessageKey(Inbox, inbox.UidValidity, info.Uid);
        Table.AppendLine(line);
        if (m_events.LineAdded)
            m_events.LineAdded(int(Table.Lines().size()) - 1);
    }
    Progress(100);
    m_imap.CloseConnection();
}

QList<int> TServerManager::MarkedImapLines(int server)
{
    const TServerEntry& entry = Table.Servers().at(server);
    QList<int> rows;
    QList<quint32> uids;
    for (int row = entry.FirstLine; row < entry.FirstLine + entry.Count; ++row) {
        const QString& mark = Table.Lines().at(row).MarkText;
        if (WantsRetrieve(mark) || WantsDelete(mark)) {
            rows.append(row);
            uids.append(Table.Lines().at(row).Uid);
        }
    }
    if (rows.isEmpty())
        return rows;
    QByteArrayList sets = detail::UidSets(uids, 1000);
    QList<quint32> present;
    for (const QByteArray& set : sets)
        present += m_imap.SearchUids("UID " + set);
    rows.removeIf([&](int row) {
        if (present.contains(Table.Lines().at(row).Uid))
            return false;
        Status(LmserverMessage(LmserverText::MessageChanged, QString::number(row - entry.FirstLine + 1)));
        return true;
    });
    return rows;
}

void TServerManager::CarryOutImapServer(int server, const QString& spoolDir)
{
    const TServerEntry entry = Table.Servers().at(server);
    ConfigureImap(entry);
    m_fetched.clear();
    // Whatever ends the pass, what is in the spool counts as received.
    const auto record = qScopeGuard([&] { RecordFetched(entry); });
    try {
        TrustingOnce(server, [this] { m_imap.OpenConnection(); });
        // The UIDs of the list name these messages only under the UIDVALIDITY they were listed with.
        if (m_imap.Select(Inbox).UidValidity != entry.UidValidity) {
            Status(MessageText(LmserverText::FolderRecreated));
            m_imap.CloseConnection();
            return;
        }
        const QList<int> rows = MarkedImapLines(server);
        QList<quint32> retrieve;
        QHash<quint32, int> rowOfUid;
        QList<int> toDelete;
        for (int row : rows) {
            const TMessageLine& line = Table.Lines().at(row);
            rowOfUid.insert(line.Uid, row);
            if (WantsRetrieve(line.MarkText))
                retrieve.append(line.Uid);
            if (WantsDelete(line.MarkText))
                toDelete.append(row);
        }
        QSet<int> saved;
        std::unique_ptr<QBuffer> body;
        m_imap.FetchBodies(
            retrieve, {},
            [&](quint32, qint64) {
                body = std::make_unique<QBuffer>();
                body->open(QIODevice::WriteOnly);
                Status(ReceivingStatus(int(saved.size()), retrieve.size()));
                return body.get();
            },
            [&](quint32 uid) {
                const int row = rowOfUid.value(uid);
                // A spool that cannot take this message will not take the next: nothing more is saved.
                if (m_spoolFailed || !SaveMessage(spoolDir, int(saved.size()) + 1, body->data())) {
                    m_spoolFailed = true;
                    return;
                }
                saved.insert(row);
                const TqmRemoteInfoItem& listed = Table.Lines().at(row).Listed;
                m_fetched.append({listed.UIDL, listed.Headers.GetFieldBody("Message-Id"), listed.Headers.GetFieldBody("Date")});
                SetMark(row, Mark::Got);
            });
        // Nothing is deleted that was to be fetched and is not safe in the spool.
        toDelete.removeIf([&](int row) { return retrieve.contains(Table.Lines().at(row).Uid) && !saved.contains(row); });
        QList<quint32> uids;
        for (int row : std::as_const(toDelete))
            uids.append(Table.Lines().at(row).Uid);
        if (!uids.isEmpty()) {
            Status(DeletingStatus(toDelete.first() - entry.FirstLine));
            if (m_imap.DeleteMessages(uids)) {
                Table.RemoveDeletedLines(server, toDelete);
                if (m_events.ServerChanged)
                    m_events.ServerChanged(server);
            } else {
                Status(m_imap.LastWarning);
            }
        }
        m_imap.CloseConnection();
        Progress(m_spoolFailed ? 0 : 100);
        return;
    } catch (const EqmException& error) {
        Status(m_cancelled ? MessageText(LmserverText::Cancelled) : ErrorStatus(ShownErrorText(error)));
    }
    if (m_imap.OnLine())
        m_imap.Close();
    Progress(0);
}
