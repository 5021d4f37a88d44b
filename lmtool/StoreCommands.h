#pragma once
// lmtool commands over folder files and data directories: paths are given explicitly.

#include <QStringList>

// list FOLDER.mbx: one object per index record after the header, deleted ones included.
int RunListCommand(const QStringList& arguments);
// append FOLDER.mbx FILE...: appends message files as received mail is; one object per file.
int RunAppendCommand(const QStringList& arguments);
// rebuild FOLDER.mbx: a new index from the message file.
int RunRebuildCommand(const QStringList& arguments);
// reorganize FOLDER.mbx: compacts the folder.
int RunReorganizeCommand(const QStringList& arguments);
// export FOLDER.mbx RECORD TARGET: the message of RECORD without its separator line.
int RunExportCommand(const QStringList& arguments);
// import-spool DATADIR: the spool of DATADIR into its Inbox.
int RunImportSpoolCommand(const QStringList& arguments);
// check DATADIR: the start-up check of all folders of DATADIR.
int RunCheckCommand(const QStringList& arguments);
