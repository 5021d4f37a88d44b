#pragma once
// The store-side steps of the main client's start-up and shutdown that need no window.

#include "DBMailboxFunctions.h"
#include "UserFunctions.h"

#include <QString>
#include <QStringList>

// Creates the message file and index of every special folder (the first five names) whose message
// file is missing. Returns the names created.
QStringList CreateMissingSpecialFolders(const QStringList& folders);

// Completes an interrupted reorganisation and tells whether the folder needs a repair (index missing,
// without the format mark, or otherwise not sound).
bool FolderNeedsRepair(const TFolderFiles& folder);

// Creates the accounts database and the address book when their files are missing.
void CreateMissingDatabases();

// The number of messages the folder's index shows; 0 when it cannot be read.
int DisplayedMessageCount(const TFolderFiles& folder);

// True when both files of the folder exist.
bool FolderFilesPresent(const TFolderFiles& folder);

// The user steps of start-up: installation values and user list, a "-U<user>" first argument naming
// an existing user (any letter case) becomes CurrentUser, the user chooser (when asked for and there
// is more than one user), then that user's setting keys, data directory and data directories.
void StartActiveUser(const QStringList& arguments, const TUserChooser& chooser = {});
