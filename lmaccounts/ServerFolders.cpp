#include "ServerFolders.h"

#include "qmimap.h"

TServerFolders ListServerFolders(TConnectionTest& test, const TServerTestSettings& settings)
{
    TServerFolders folders;
    TServerTestSettings imap = settings;
    imap.Incoming = TIncomingProtocol::Imap;
    test.WhileLoggedIn = [&folders](TqmMailBase& client) {
        for (const TqmImapFolder& folder : static_cast<TqmIMAP&>(client).ListFolders()) {
            if (folder.Selectable() && folder.Name.compare(QLatin1String("INBOX"), Qt::CaseInsensitive) != 0)
                folders.Folders.append(folder.Name);
        }
    };
    folders.Test = test.TestPop3(imap);
    test.WhileLoggedIn = nullptr;
    if (folders.Test.Outcome != TTestOutcome::Success)
        folders.Folders.clear();
    return folders;
}

QList<TFolderTick> FolderTicks(const QStringList& server, const QStringList& ticked)
{
    QList<TFolderTick> ticks;
    for (const QString& name : server)
        ticks.append({name, ticked.contains(name), false});
    for (const QString& name : ticked) {
        if (!server.contains(name))
            ticks.append({name, true, true});
    }
    return ticks;
}
