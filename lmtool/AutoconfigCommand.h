#pragma once
// lmtool autoconfig ADDRESS [--test]: looks up the address's mail settings (SettingsLookup) and
// prints what the first source that answers gives as one JSON line; --test first tries the
// candidates with the connection test, with the password from LUMARO_PASSWORD (never an argument,
// so that it stays out of the process list), and prints the set that works. Exit 1 with the
// reasons on stderr when nothing (working) was found.

#include <QStringList>

int RunAutoconfigCommand(const QStringList& arguments);
