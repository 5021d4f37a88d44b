#pragma once
// A private Dovecot POP3 server (user alice, password secret) started through scripts/testservers
// on 127.0.0.1 and a free port, whose maildir the tests fill and inspect directly.

#include <QByteArrayList>
#include <QString>
#include <QStringList>

class Pop3Mailbox {
public:
    Pop3Mailbox() = default;
    Pop3Mailbox(const Pop3Mailbox&) = delete;
    Pop3Mailbox& operator=(const Pop3Mailbox&) = delete;
    ~Pop3Mailbox() { Stop(); }

    // An error text, empty on success.
    QString Start();
    void Stop();
    QByteArray Address() const { return "127.0.0.1:" + QByteArray::number(m_port); }

    // Replaces the mailbox with `messages`, in this order.
    void SetMessages(const QByteArrayList& messages);
    void AddMessage(const QByteArray& message);
    // Removes the message at `position` (server order, from 0).
    void RemoveMessage(int position);
    // What lies on the server now, in server order.
    QByteArrayList Messages() const;

private:
    QString MaildirCur() const;
    QStringList MessageFiles() const;

    quint16 m_port = 0;
    QString m_pid;
    QString m_directory;
    int m_counter = 0;
};

