#pragma once
// The dialogs of Send, Receive and the Transmit settings: which SMTP server to send through and
// which accounts to receive from. They only collect the choice; the main window runs the jobs.

#include <QByteArrayList>
#include <QDialog>

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;

// "Send messages": one SMTP server out of those the accounts name.
class TSendSimpleFrm : public QDialog {
    Q_OBJECT
public:
    TSendSimpleFrm(const QByteArrayList& smtpServers, const QByteArray& lastServer, QWidget* parent = nullptr);
    QByteArray Server() const;

    QComboBox* SmtpServerCmb;
    QPushButton* SendBtn;
    QPushButton* CancelBtn;
};

// "Receive messages": the accounts to receive from, in list order.
class TReceiveMultipleFrm : public QDialog {
    Q_OBJECT
public:
    TReceiveMultipleFrm(const QByteArrayList& accounts, const QByteArrayList& ticked, QWidget* parent = nullptr);
    QByteArrayList Ticked() const;

    QListWidget* Listbox;
    QPushButton* ReceiveBtn;
    QPushButton* CancelBtn;
};

struct TTransmitSettings {
    QByteArray SmtpServer;
    QByteArrayList PopServers;
    bool IgnoreSmtp = false;
    bool IgnorePop = false;
    bool FirstReceive = false;
};

// "Transmit settings": what F9 sends and receives, and in which order.
class TSendReceiveConfFrm : public QDialog {
    Q_OBJECT
public:
    TSendReceiveConfFrm(const QByteArrayList& accounts, const QByteArrayList& smtpServers,
                        const TTransmitSettings& settings, QWidget* parent = nullptr);
    TTransmitSettings Settings() const;

    QListWidget* Listbox;
    QComboBox* ActionSmtpServerCmb;
    QCheckBox* ActionIgnoreSmtpChk;
    QCheckBox* ActionIgnorePopChk;
    QCheckBox* ActionFirstReceiveChk;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};
