#pragma once
// The folders of an account's IMAP server, for the person to tick those the agent fetches from
// besides the inbox. The listing logs in through the connection test, so an untrusted certificate
// is asked about and a failure is said in the same plain words as in the wizard.

#include "ConnectionTest.h"

#include <QList>
#include <QString>
#include <QStringList>

struct TServerFolders {
    TServerTestResult Test;
    // Names as the person reads them (UTF-8), in the server's order, without the inbox and
    // without folders that cannot hold messages.
    QStringList Folders;
};

TServerFolders ListServerFolders(TConnectionTest& test, const TServerTestSettings& settings);

struct TFolderTick {
    QString Name;
    bool Ticked = false;
    // Ticked before, but the server has no such folder (any more).
    bool Missing = false;
};

// What the person ticks from: the server's folders, ticked where `ticked` names them, followed by
// the ticked ones the server does not have, so that nothing ticked vanishes unseen.
QList<TFolderTick> FolderTicks(const QStringList& server, const QStringList& ticked);
