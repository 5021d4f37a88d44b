#pragma once
// The receive run over IMAP: the inbox and the job's further folders. A message's unique id is its
// folder, the folder's UIDVALIDITY and its UID (TqmIMAP::MessageKey) in its check-file line; a folder whose UIDVALIDITY changed finds its messages again by
// Message-ID and Date. Only messages the check file does not know are looked at (ENVELOPE and
// RFC822.SIZE, no body) for the rules; bodies come with BODY.PEEK[], many per command, so the
// server's \Seen stays as it was. Per folder, every fetched message is durable in the spool before
// anything of that folder is flagged \Deleted and expunged.

#include "Receive.h"
#include "qmimap.h"

class TImapReceiveRun final : public TReceiveRun {
public:
    TImapReceiveRun(const TAgentJob& job, const TReceivePaths& paths, const TAgentEvents& events)
        : TReceiveRun(job, paths, events)
    {
    }

protected:
    TqmMailBase& Client() override { return m_imap; }
    TqmRemoteInfo& Picture() override { return m_picture; }
    void Configure(int timeoutSeconds) override;
    void ReadPicture() override;
    bool Transfer() override;
    QString SpoolName(int index) const override { return QStringLiteral("imap_%1").arg(index + 1); }

private:
    struct TFolderPicture {
        QString Name;
        quint32 UidValidity = 0;
    };
    // Where picture item i lives on the server.
    struct TMessageRef {
        qsizetype Folder = 0;
        quint32 Uid = 0;
    };
    void ReadFolder(const QString& folder);
    // False when the folder's UIDVALIDITY changed since the picture: nothing of it is touched.
    bool SelectUnchanged(const TFolderPicture& folder);
    bool TransferFolder(qsizetype folder);
    QList<quint32> SavedAndKept() const;

    TqmIMAP m_imap;
    TqmRemoteInfo m_picture;
    QList<TFolderPicture> m_folders;
    QList<TMessageRef> m_refs;
    QHash<quint32, int> m_indexByUid;
    int m_retrieved = 0;
    int m_toRetrieve = 0;
};
