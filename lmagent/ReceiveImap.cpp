#include "ReceiveImap.h"

#include "AgentEvents.h"
#include "CertificatePins.h"
#include "DBAccountSecurity.h"
#include "Reporter.h"
#include "tk_langlib.h"

namespace ImapText {
inline constexpr int CheckingFolder = 330;
inline constexpr int FolderChanged = 331;
inline constexpr int DeletionWaits = 332;
} // namespace ImapText

void TImapReceiveRun::Configure(int timeoutSeconds)
{
    ConfigureClient(m_imap, timeoutSeconds);
}

void TImapReceiveRun::ReadPicture()
{
    m_picture.Clear();
    m_folders.clear();
    m_refs.clear();
    for (const QString& folder : ImapFoldersToFetch(Job().Folders))
        ReadFolder(folder);
}

// Known messages come from their UIDs alone; the rest is looked at in one FETCH per batch.
void TImapReceiveRun::ReadFolder(const QString& folder)
{
    Events().Status(Prefix() + Text(ImapText::CheckingFolder, folder));
    const TqmImapMailbox mailbox = m_imap.Select(folder);
    const qsizetype folderIndex = m_folders.size();
    m_folders.append({folder, mailbox.UidValidity});
    QList<quint32> unknown;
    for (const quint32 uid : m_imap.SearchUids()) {
        const QByteArray key = TqmIMAP::MessageKey(folder, mailbox.UidValidity, uid);
        if (!KnownByUidl().contains(key)) {
            unknown.append(uid);
            continue;
        }
        auto item = std::make_unique<TqmRemoteInfoItem>();
        item->UIDL = key;
        m_picture.Add(std::move(item));
        m_refs.append({folderIndex, uid});
    }
    for (const TqmImapMessageInfo& info : m_imap.FetchInfo(unknown)) {
        auto item = std::make_unique<TqmRemoteInfoItem>();
        item->UIDL = TqmIMAP::MessageKey(folder, mailbox.UidValidity, info.Uid);
        item->Size = info.Size;
        item->Headers = info.Headers;
        item->HeadersRead = true;
        m_picture.Add(std::move(item));
        m_refs.append({folderIndex, info.Uid});
    }
}

bool TImapReceiveRun::SelectUnchanged(const TFolderPicture& folder)
{
    if (m_imap.Select(folder.Name).UidValidity == folder.UidValidity)
        return true;
    // The UIDs of the picture name other messages now: the next run matches them again.
    ReportText(ImapText::FolderChanged, TMessageKind::Warning, Text(ImapText::FolderChanged, folder.Name));
    return false;
}

// The messages of the folder being transferred that are now in the spool and stay on the server.
QList<quint32> TImapReceiveRun::SavedAndKept() const
{
    QList<quint32> uids;
    for (auto it = m_indexByUid.constBegin(); it != m_indexByUid.constEnd(); ++it) {
        const TqmRemoteInfoItem& item = m_picture.Items(it.value());
        if (item.MarkedToRetrieve && !item.MarkedToDelete && Saved(it.value()))
            uids.append(it.key());
    }
    return uids;
}

bool TImapReceiveRun::Transfer()
{
    m_retrieved = 0;
    m_toRetrieve = 0;
    for (qsizetype i = 0; i < m_picture.Count(); ++i)
        m_toRetrieve += m_picture.Items(i).MarkedToRetrieve ? 1 : 0;
    bool confirmed = true;
    for (qsizetype folder = 0; folder < m_folders.size(); ++folder)
        confirmed = TransferFolder(folder) && confirmed;
    m_imap.CloseConnection();
    return confirmed;
}

bool TImapReceiveRun::TransferFolder(qsizetype folder)
{
    QList<quint32> retrieve;
    QHash<quint32, qint64> sizes;
    m_indexByUid.clear();
    bool anyDeletion = false;
    for (qsizetype i = 0; i < m_refs.size(); ++i) {
        if (m_refs.at(i).Folder != folder)
            continue;
        const TqmRemoteInfoItem& item = m_picture.Items(i);
        m_indexByUid.insert(m_refs.at(i).Uid, int(i));
        anyDeletion = anyDeletion || item.MarkedToDelete;
        if (item.MarkedToRetrieve) {
            retrieve.append(m_refs.at(i).Uid);
            sizes.insert(m_refs.at(i).Uid, item.Size);
        }
    }
    if (retrieve.isEmpty() && !anyDeletion)
        return true;
    if (!SelectUnchanged(m_folders.at(folder)))
        return !anyDeletion;
    m_imap.FetchBodies(
        retrieve, sizes,
        [this](quint32 uid, qint64) {
            Events().Status(Text(AgentText::ReceivingMessage, QString::number(++m_retrieved)) + QString::number(m_toRetrieve));
            Events().Progress(0);
            return OpenSpoolFile(m_indexByUid.value(uid));
        },
        [this](quint32 uid) {
            SpoolFileComplete(m_indexByUid.value(uid));
            Events().Progress(100);
        });
    // Every message fetched from this folder is in place and on disk before any deletion.
    FlushGroup();
    if (Job().MarkRead)
        m_imap.MarkSeen(SavedAndKept());
    QList<quint32> remove;
    for (auto it = m_indexByUid.constBegin(); it != m_indexByUid.constEnd(); ++it) {
        const TqmRemoteInfoItem& item = m_picture.Items(it.value());
        // A message to fetch is deleted only once it is saved; one the server lost meanwhile is not.
        if (item.MarkedToDelete && (!item.MarkedToRetrieve || Saved(it.value())))
            remove.append(it.key());
    }
    if (remove.isEmpty())
        return true;
    Events().Status(Prefix() + Text(AgentText::OrganizingMailbox));
    if (m_imap.DeleteMessages(remove))
        return true;
    ReportText(ImapText::DeletionWaits, TMessageKind::Warning, m_imap.LastWarning);
    return false;
}
