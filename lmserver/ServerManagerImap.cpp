// The server manager's work on IMAP mailboxes: the inbox and the account's ticked folders are looked
// at read-only (EXAMINE) for the list, and changed only when the marks are carried out, folder by
// folder and by UID, each folder only while its UIDVALIDITY is the one it was listed with.

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

#include <memory>

void TServerManager::ConfigureImap(const TServerEntry& entry)
{
    m_imap.Server = entry.Server;
    m_imap.UserName = entry.UserName;
    m_imap.Password = entry.Password;
    m_imap.LogInMethod = entry.Auth == TAuthMethod::OAuth2 ? TqmLogInMethod::OAuth2 : TqmLogInMethod::Password;
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
    QStringList missing;
    const QStringList folders = ImapFoldersToFetch(Table.Server(server).Folders);
    for (int folder = 0; folder < folders.size() && !m_cancelled; ++folder) {
        Status(FolderCheckingStatus(folders.at(folder)));
        try {
            ListImapFolder(server, folders.at(folder));
        } catch (const EServerError& error) {
            // A ticked folder the server does not have (any more) leaves the others listed.
            if (folder == 0 || !m_imap.OnLine())
                throw;
            missing.append(ShownErrorText(error));
        }
        Progress(int((folder + 1) * 100 / folders.size()));
    }
    m_imap.CloseConnection();
    if (!missing.isEmpty()) {
        Table.Server(server).Error = ErrorStatus(missing.join(QLatin1Char(' ')));
        Status(Table.Server(server).Error);
    }
}

void TServerManager::ListImapFolder(int server, const QString& folder)
{
    const TqmImapMailbox mailbox = m_imap.Select(folder, true);
    TServerEntry& entry = Table.Server(server);
    entry.ListedFolders.append({folder, mailbox.UidValidity});
    const QList<TqmImapMessageInfo> infos = m_imap.FetchInfo(m_imap.SearchUids());
    entry.ListedCount += infos.size();
    for (const TqmImapMessageInfo& info : infos) {
        TMessageLine line = LineFromHeaders(info.Headers, info.Size);
        line.Folder = folder;
        line.Uid = info.Uid;
        line.Listed.Headers = info.Headers;
        line.Listed.Size = info.Size;
        line.Listed.HeadersRead = true;
        line.Listed.UIDL = TqmIMAP::MessageKey(folder, mailbox.UidValidity, info.Uid);
        Table.AppendLine(line);
        if (m_events.LineAdded)
            m_events.LineAdded(int(Table.Lines().size()) - 1);
    }
}

QList<int> TServerManager::MarkedImapLines(int server, const QString& folder) const
{
    const TServerEntry& entry = Table.Servers().at(server);
    QList<int> rows;
    for (int row = entry.FirstLine; row < entry.FirstLine + entry.Count; ++row) {
        const TMessageLine& line = Table.Lines().at(row);
        if (line.Folder == folder && (WantsRetrieve(line.MarkText) || WantsDelete(line.MarkText)))
            rows.append(row);
    }
    return rows;
}

QList<int> TServerManager::StillOnServer(int server, QList<int> rows)
{
    QList<quint32> uids;
    for (int row : std::as_const(rows))
        uids.append(Table.Lines().at(row).Uid);
    QList<quint32> present;
    for (const QByteArray& set : detail::UidSets(uids, 1000))
        present += m_imap.SearchUids("UID " + set);
    const int first = Table.Servers().at(server).FirstLine;
    rows.removeIf([&](int row) {
        if (present.contains(Table.Lines().at(row).Uid))
            return false;
        Status(LmserverMessage(LmserverText::MessageChanged, QString::number(row - first + 1)));
        return true;
    });
    return rows;
}

void TServerManager::CarryOutImapServer(int server, const QString& spoolDir)
{
    const TServerEntry entry = Table.Servers().at(server);
    ConfigureImap(entry);
    m_fetched.clear();
    TImapPass pass;
    pass.SpoolDir = spoolDir;
    const std::optional<TAgentJob> job = detail::ReceiveJobOf(entry);
    pass.MarkRead = job && job->MarkRead;
    for (int row = entry.FirstLine; row < entry.FirstLine + entry.Count; ++row)
        pass.ToReceive += WantsRetrieve(Table.Lines().at(row).MarkText) ? 1 : 0;
    // Whatever ends the pass, what is in the spool counts as received, and what a folder expunged
    // is gone from the server: its lines leave the list.
    const auto finish = qScopeGuard([&] {
        RecordFetched(entry);
        if (!pass.Deleted.isEmpty()) {
            Table.RemoveDeletedLines(server, pass.Deleted);
            if (m_events.ServerChanged)
                m_events.ServerChanged(server);
        }
    });
    try {
        TrustingOnce(server, [this] { m_imap.OpenConnection(); });
        for (const TListedFolder& folder : entry.ListedFolders) {
            if (m_cancelled || m_spoolFailed)
                break;
            const QList<int> rows = MarkedImapLines(server, folder.Name);
            if (!rows.isEmpty())
                CarryOutImapFolder(server, folder, rows, pass);
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

void TServerManager::CarryOutImapFolder(int server, const TListedFolder& folder, const QList<int>& marked, TImapPass& pass)
{
    // The UIDs of the list name these messages only under the UIDVALIDITY they were listed with.
    if (m_imap.Select(folder.Name).UidValidity != folder.UidValidity) {
        Status(LmserverMessage(LmserverText::FolderRecreatedNamed, ShownFolderName(folder.Name)));
        return;
    }
    const QList<int> rows = StillOnServer(server, marked);
    QList<quint32> retrieve;
    QHash<quint32, qint64> sizes;
    QHash<quint32, int> rowOfUid;
    // The marks as they were before fetching turns them into "fetched".
    QHash<int, QString> markOfRow;
    for (int row : rows) {
        const TMessageLine& line = Table.Lines().at(row);
        rowOfUid.insert(line.Uid, row);
        markOfRow.insert(row, line.MarkText);
        if (WantsRetrieve(line.MarkText)) {
            retrieve.append(line.Uid);
            sizes.insert(line.Uid, line.Listed.Size);
        }
    }
    const QSet<int> saved = FetchImapBodies(retrieve, sizes, rowOfUid, pass);
    QList<quint32> remove;
    QList<quint32> kept;
    QList<int> removedRows;
    for (int row : rows) {
        const QString& mark = markOfRow.value(row);
        const bool fetched = saved.contains(row);
        // Nothing is deleted that was to be fetched and is not safe in the spool.
        if (WantsDelete(mark) && (fetched || !WantsRetrieve(mark))) {
            remove.append(Table.Lines().at(row).Uid);
            removedRows.append(row);
        } else if (fetched) {
            kept.append(Table.Lines().at(row).Uid);
        }
    }
    // As the agent would: fetched mail that stays on the server is marked read when the account says so.
    if (pass.MarkRead && !kept.isEmpty())
        m_imap.MarkSeen(kept);
    if (remove.isEmpty())
        return;
    Status(DeletingStatus(removedRows.first() - Table.Servers().at(server).FirstLine));
    if (m_imap.DeleteMessages(remove))
        pass.Deleted += removedRows;
    else
        Status(m_imap.LastWarning);
}

QSet<int> TServerManager::FetchImapBodies(const QList<quint32>& uids, const QHash<quint32, qint64>& sizes,
                                         const QHash<quint32, int>& rowOfUid, TImapPass& pass)
{
    QSet<int> saved;
    std::unique_ptr<QBuffer> body;
    m_imap.FetchBodies(
        uids, sizes,
        [&](quint32, qint64) {
            body = std::make_unique<QBuffer>();
            body->open(QIODevice::WriteOnly);
            Status(ReceivingStatus(pass.Received, pass.ToReceive));
            Progress(0);
            return body.get();
        },
        [&](quint32 uid) {
            const int row = rowOfUid.value(uid);
            ++pass.Received;
            // A spool that cannot take this message will not take the next: nothing more is saved.
            if (m_spoolFailed || !SaveMessage(pass.SpoolDir, ++pass.Saved, body->data())) {
                m_spoolFailed = true;
                return;
            }
            saved.insert(row);
            const TqmRemoteInfoItem& listed = Table.Lines().at(row).Listed;
            m_fetched.append({listed.UIDL, listed.Headers.GetFieldBody("Message-Id"), listed.Headers.GetFieldBody("Date")});
            SetMark(row, Mark::Got);
            Progress(100);
        });
    return saved;
}
