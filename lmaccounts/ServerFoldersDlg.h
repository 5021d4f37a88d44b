#pragma once
// The folders of the account's IMAP server to tick: the accounts editor opens it with the settings
// being edited; it lists the server's folders as it opens and hands back the ticked ones.

#include "ConnectionTest.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

class TServerFoldersDlg : public QDialog {
    Q_OBJECT
public:
    TServerFoldersDlg(const TServerTestSettings& settings, const QStringList& ticked, QWidget* parent = nullptr);
    ~TServerFoldersDlg() override;

    QStringList Ticked() const;
    // The certificate the person trusted while the folders were read; empty when none.
    TServerPin TrustedPin() const { return m_trustedPin; }
    // Set by tests; the default asks with the certificate window.
    std::function<bool(const TnkCertificateFacts&)> AskTrust;

    QLabel* StatusLbl;
    QListWidget* FoldersLst;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void ReadFolders();

    TServerTestSettings m_settings;
    QStringList m_ticked;
    TServerPin m_trustedPin;
    std::unique_ptr<TConnectionTest> m_test;
    bool m_started = false;
};
