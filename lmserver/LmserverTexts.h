#pragma once
// The server manager's message numbers (German n, English n + 1000 in strings/program.txt) and the
// status line texts built from them.

#include <QString>

namespace LmserverText {
enum : int {
    Connecting = 3,
    CheckingMailbox = 4,
    MessageWord = 7,
    Messages = 9,
    WriteError = 12,
    AccountNotFound = 13,
    AccountSkipped = 300,
    MailboxPassword = 14,
    ConfirmDelete = 15,
    PasswordRequired = 16,
    ReceivingMessage = 17,
    MessageReceived = 18,
    DeletingMessage = 19,
    ClosingConnection = 20,
    ConnectionClosed = 21,
    Cancelled = 22,
    ErrorPrefix = 23,
    MessageChanged = 24,
    DeleteRefused = 25,
    QuitFailed = 26,
    CountChanged = 27,
    CheckFileNotWritten = 45,
    CheckingFolder = 340,
    FolderRecreatedNamed = 341,
    InboxName = 342,
    Pop3ServerCaption = 343,
    ImapServerCaption = 344,
    Pop3PortHint = 345,
    ImapPortHint = 346,
    FailedServerMark = 280,
};
} // namespace LmserverText

inline const QString LmserverTitle = QStringLiteral("Lumaro Mail Server Manager");

// Message `id` with its first "$T" replaced by `value`.
QString LmserverMessage(int id, const QString& value = {});

// The status line texts of the mailbox events.
QString ConnectingStatus(const QByteArray& server);
QString CheckingStatus(const QByteArray& server);
// "Receiving message #p of n..." with p counted from 1.
QString ReceivingStatus(int position, qint64 count);
QString DeletingStatus(int position);
QString ErrorStatus(const QString& error);
// IMAP: a folder as the list and the status line name it ("Posteingang" for INBOX).
QString ShownFolderName(const QString& folder);
QString FolderCheckingStatus(const QString& folder);
