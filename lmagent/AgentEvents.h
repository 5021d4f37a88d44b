#pragma once
// What the transfer units tell the agent's window, and what they ask of the user. Warnings and
// information go through Report (Reporter.h); everything that needs an answer or changes the
// window is one of these events. An unset event means: nothing to show, the default answer.

#include "nkcertificate.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

struct TAgentEvents {
    // The transfer status line.
    std::function<void(const QString& text)> OnStatus;
    // The dial-up status line.
    std::function<void(const QString& text)> OnDialStatus;
    // 0-100.
    std::function<void(int percent)> OnProgress;
    std::function<void(const QString& title)> OnTitle;
    // Nothing when the user cancelled.
    std::function<std::optional<QByteArray>(const QString& caption, const QString& text)> OnPasswordRequest;
    // A Yes/No question; true for Yes.
    std::function<bool(const QString& text)> OnQuestion;
    // A certificate the system does not trust; true when the user trusts it.
    std::function<bool(const TnkCertificateFacts& facts)> OnCertificateQuestion;

    void Status(const QString& text) const;
    void DialStatus(const QString& text) const;
    void Progress(int percent) const;
    void Title(const QString& title) const;
    std::optional<QByteArray> Password(const QString& caption, const QString& text) const;
    // Without a handler the answer is Yes.
    bool Question(const QString& text) const;
    // Without a handler the certificate is not trusted.
    bool TrustCertificate(const TnkCertificateFacts& facts) const;
};

// The agent's numbered texts.
namespace AgentText {
inline constexpr int Sending = 2;
inline constexpr int Receiving = 3;
inline constexpr int CheckingMailbox = 4;
inline constexpr int Cancelled = 5;
inline constexpr int Connecting = 6;
inline constexpr int ConnectionClosed = 7;
inline constexpr int ClosingConnection = 8;
inline constexpr int ReceivingMessage = 9;
inline constexpr int SendingMessage = 10;
inline constexpr int AddressRejected = 11;
inline constexpr int SendFailedQuestion = 13;
inline constexpr int DeletingMessage = 14;
inline constexpr int OrganizingMailbox = 15;
inline constexpr int WriteError = 16;
inline constexpr int CancelCaption = 17;
inline constexpr int CloseCaption = 18;
inline constexpr int EstablishingDialUp = 19;
inline constexpr int EnterPassword = 21;
inline constexpr int UsingConnection = 22;
inline constexpr int Terminating = 23;
inline constexpr int ConnectingTo = 24;
inline constexpr int ConnectedTo = 25;
inline constexpr int MailboxPassword = 26;
inline constexpr int DialUpPassword = 27;
inline constexpr int EntryNotFound = 28;
inline constexpr int NoDialUp = 29;
inline constexpr int DialFailed = 30;
inline constexpr int MessagesTooLarge = 70;
inline constexpr int DiskNearlyFull = 71;
inline constexpr int CheckFileInUse = 72;
inline constexpr int ErrorStatus = 40;
inline constexpr int NoConnection = 41;
inline constexpr int PasswordRefused = 42;
inline constexpr int StorePassword = 43;
inline constexpr int PasswordNotStored = 44;
inline constexpr int AccessTokenRefused = 300;
inline constexpr int MessageError = 45;
inline constexpr int LineTooLongHeld = 60;
inline constexpr int RecipientNotAnAddress = 61;
inline constexpr int CouldNotRead = 280;
inline constexpr int SmtpWithAuth = 281;
// The fixed English text every program shows for a file it cannot delete; the id tells it apart.
inline constexpr int CouldNotDelete = 91;
} // namespace AgentText
