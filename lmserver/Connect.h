#pragma once
// The connect window: the quick-connect fields or the check list of the mail accounts, and the
// choice whether headers are listed. It shows the settings and, on Connect, writes them back.

#include "LmserverSettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class TConnectFrm : public QDialog {
    Q_OBJECT
public:
    // `accountNames`: every mail account, in database order.
    TConnectFrm(const TLmserverSettings& settings, const QStringList& accountNames, QWidget* parent = nullptr);

    // Shows the window modally; true when the user chose Connect, and `settings` then holds the
    // window's values.
    static bool Execute(QWidget* parent, TLmserverSettings& settings);
    void ApplyTo(TLmserverSettings& settings) const;
    QStringList TickedAccounts() const;

    QCheckBox* QuickChk;
    QWidget* QuickPnl;
    QWidget* AccountsPnl;
    // POP3 or IMAP, in the order of TIncomingProtocol.
    QComboBox* ProtocolCmb;
    QLineEdit* ServerEdt;
    QLabel* ServerLbl;
    // Which port the server field means without one, and how to ask for TLS from the first byte.
    QLabel* PortHintLbl;
    QLineEdit* UserEdt;
    QLineEdit* PasswordEdt;
    // The quick connection's security: ticked is "none", else "auto".
    QCheckBox* PlainTextChk;
    QListWidget* AccountsLst;
    QCheckBox* HeadersChk;
    QLabel* HeadersLbl;
    QPushButton* ConnectBtn;
    QPushButton* CancelBtn;

private:
    QWidget* CreateQuickPanel();
    QWidget* CreateAccountsPanel(const QStringList& accountNames, const QStringList& ticked);
    void QuickChkClick();
    // The server caption, the port hint and the headers choice follow the quick connection's protocol.
    void ShowProtocol();
    TIncomingProtocol QuickProtocol() const;
    void UpdateConnectBtn();
};
