#pragma once
// lmtool commands that list the databases of a data directory.

#include <QStringList>

// accounts DATADIR [--with-passwords]: one object per present account of DATADIR/Accounts.ldb.
int RunAccountsCommand(const QStringList& arguments);
// addressbook DATADIR: one object per live record of DATADIR/Addressbook.lab, group members included.
int RunAddressbookCommand(const QStringList& arguments);
