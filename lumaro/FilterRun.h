#pragma once
// The local run of the message filter over the Inbox: every listed message goes to the folder of
// the first move rule (in file order) that its sender, To list or subject matches. Keep and delete
// rules are the agent's (they act on the server) and are passed over here.

#include "DBMailboxFunctions.h"

#include <QByteArrayList>
#include <QList>
#include <QString>

#include <functional>

struct TFilterRunResult {
    int Moved = 0;
    // A move failed (reported by the store); the message stayed in the Inbox.
    bool Failed = false;
};

// Which rule sends each of `entries` where: the target folder file name per entry, empty when no
// move rule matches. Only the header block of each message is read.
QStringList PlanFilterMoves(const QByteArrayList& ruleLines, const TFolderFiles& inbox, const QList<TListEntry>& entries);

// Carries out the plan: one move per target folder, in list order. Moved messages leave `entries`;
// a rule naming the Inbox itself moves nothing; a folder that does not exist fails the move.
TFilterRunResult RunLocalFilter(const QByteArrayList& ruleLines, const TFolderFiles& inbox, QList<TListEntry>& entries,
                                const std::function<TFolderFiles(const QString& folderFileName)>& folderFiles);
