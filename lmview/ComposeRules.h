#pragma once
// The compose panel's rules as plain data: the sender list built from the accounts, choosing the
// sender entry for a text, the recipient history and the completion of the To field.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct TAccount;

// One entry per distinct "address <name>" in account order; AccountEntries adds ";" and the
// account name to each, so that the same index names the account.
struct TSenderList {
    QStringList Entries;
    QStringList AccountEntries;
    // Index of the default account's entry, -1 without accounts.
    int DefaultIndex = -1;
};
TSenderList BuildSenderList(const QList<TAccount>& accounts);
// "address <name>" as the sender box shows it.
QString SenderEntryText(const QByteArray& address, const QByteArray& name);
// The account name an AccountEntries entry carries after its first ";".
QString AccountNameOfEntry(const QString& accountEntry);

struct TSenderChoice {
    int Index = -1;
    // Message 5 is due: the text was not empty and matched no entry.
    bool NotAnAccount = false;
};
// The entry equal to `text`; else the last entry whose beginning equals the text's part before
// " <" (letter case ignored); else the default entry.
TSenderChoice SelectSender(const TSenderList& senders, const QString& text);

// Appends a single new address (one entry, longer than 3 characters, with "@") and drops the oldest
// entries beyond `maxCount`; true when the history changed.
bool UpdateHistory(QStringList& history, const QString& to, bool keepHistory, int maxCount);

struct TCompletion {
    QString Text;
    // The completed rest, selected so that typing overwrites it.
    qsizetype SelectionStart = 0;
    qsizetype SelectionLength = 0;
};
// Where the entry being typed begins: after the last comma between entries before the caret (a
// comma in a quoted name does not count) and the blanks after it.
qsizetype TypedRecipientStart(const QString& text, qsizetype caret);
// Completes the entry typed before the caret from the first candidate (history entries, then the
// address book's "Name <address>") that starts with it, letter case ignored; what was typed keeps
// its letters and only the rest is added. Nothing when the text after the caret holds a ",".
std::optional<TCompletion> CompleteRecipient(const QString& text, qsizetype caret, const QStringList& candidates);
// The candidates that `typed` fits, letter case ignored: at the start of the entry, of its address,
// or of a word of its name ("wei" finds "Björn Weiß <bjoern@example.net>"); each once, in order.
QStringList MatchingRecipients(const QString& typed, const QStringList& candidates);
// The text with the entry typed before the caret replaced by `chosen`, the caret behind it.
TCompletion InsertRecipient(const QString& text, qsizetype caret, const QString& chosen);

// Which commands the window offers. View mode: reading, answering and handing over; edit mode:
// composing, with "Später senden" only while the message counts as changed.
struct TViewCommandStates {
    bool SendLater = false;
    // Any message being edited can be sent at once, changed or not, unless the user holds it back.
    bool SendNow = false;
    bool Answer = false;  // reply, forward, redirect, filter hand-over, sender to address book
    bool Compose = false; // insert phrase, add attachment, paste, cut, undo, the recipient buttons
    bool RemoveAttachment = false;
    bool AttachmentOpen = false; // open, save, send to
    bool HtmlView = false;
    friend bool operator==(const TViewCommandStates&, const TViewCommandStates&) = default;
};
TViewCommandStates ComputeViewCommandStates(bool editMode, bool changed, bool redirected, bool attachmentSelected,
                                            bool htmlMessage, bool held = false);
