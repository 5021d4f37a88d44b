#include "StartupFunctions.h"

#include "DBAccountsFunctions.h"
#include "DBAddressFunctions.h"
#include "FolderSet.h"
#include "CommandLine.h"
#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "tk_reglib.h"

#include <QFileInfo>

QStringList CreateMissingSpecialFolders(const QStringList& folders)
{
    QStringList created;
    for (qsizetype i = 0; i < std::min<qsizetype>(SpecialFolderCount, folders.size()); ++i) {
        const TFolderFiles files = FolderPaths(folders[i]);
        if (QFileInfo::exists(files.MessageFile) || !MayCreateSpecialFolder(i))
            continue;
        if (CreateEmptyMessageFile(files.MessageFile) && CreateIndex(files.IndexFile))
            created.append(folders[i]);
    }
    return created;
}

bool FolderNeedsRepair(const TFolderFiles& folder)
{
    FinishInterruptedReorganize(folder);
    return CheckIndexHealth(folder) != TIndexHealth::Sound;
}

void CreateMissingDatabases()
{
    if (!QFileInfo::exists(Paths().Data.AccountsFile))
        CreateAccountsDatabase();
    if (!QFileInfo::exists(Paths().Data.AddressbookFile))
        CreateAddressBook();
}

int DisplayedMessageCount(const TFolderFiles& folder)
{
    return std::max(CountMessages(folder.IndexFile, true), 0);
}

bool FolderFilesPresent(const TFolderFiles& folder)
{
    return QFileInfo::exists(folder.MessageFile) && QFileInfo::exists(folder.IndexFile);
}

void StartActiveUser(const QStringList& arguments, const TUserChooser& chooser)
{
    ReadInstallationValues();
    BuildUserList();
    if (!arguments.isEmpty()) {
        if (const std::optional<QString> user = UserOfArgument(arguments.first())) {
            for (const QString& known : UserContext().Users) {
                if (known.compare(*user, Qt::CaseInsensitive) != 0)
                    continue;
                StoreCurrentUser(known);
                break;
            }
        }
    }
    ChooseUserAtStart(chooser);
    EnterActiveUser();
}
