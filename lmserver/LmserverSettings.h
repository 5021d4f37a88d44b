#pragma once
// The server manager's settings: its "Lmserver" group, the POP3 values of "General" it uses and
// its deletion warning, read with their defaults and written back in one place.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "DBAccountSecurity.h"
#include "qmpop3.h"

struct TLmserverSettings {
    // General
    bool LogActive = false;
    int PopTimeout = 60;
    // Larger messages are not fetched (0: no limit); see LoadPopMaxMessageSize.
    qint64 MaxMessageSize = TqmCustomPOP::DefaultMaxMessageSize;
    // Lmserver
    QString QuickServer;
    QString QuickUsername;
    QByteArray QuickPassword;
    bool QuickConnect = false;
    // The quick connection may log in without encryption (security "none" instead of "auto").
    bool QuickPlainText = false;
    // QuickProtocol: "pop3" or "imap" as an account's IncomingProtocol; missing = POP3.
    TIncomingProtocol QuickProtocol = TIncomingProtocol::Pop3;
    bool GetHeaders = true;
    int ExpandCount = 12;
    // Pixels; 0 = the form's own height of the tree.
    int TreeviewHeight = 0;
    QStringList AccountsNames;
    // Warnings
    bool SMDeleteMails = true;
};

// The settings of the active user; missing values give the defaults above.
TLmserverSettings ReadLmserverSettings();
// Writes the Lmserver group and SMDeleteMails (General is the settings dialog's to write). The
// quick-connect password is stored scrambled, and the registry file is made readable by its owner
// only, since it now holds a password.
void WriteLmserverSettings(const TLmserverSettings& settings);

// The key of the list's column widths ("Users/<user>/Columns/lmserver").
QString LmserverColumnsKey();
// Records how many columns the stored widths describe.
void WriteColumnCount(int count);
