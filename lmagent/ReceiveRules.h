#pragma once
// Which messages of a POP3 mailbox the agent retrieves and deletes, and which check-file lines
// describe them, decided from the account's keep settings and the check file of earlier runs.

#include "CheckFile.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>

struct TRemoteMessage {
    QByteArray MessageId;
    QByteArray Date;
    // Empty when the server offers no unique ids.
    QByteArray Uidl;
};

Q_DECLARE_TYPEINFO(TRemoteMessage, Q_RELOCATABLE_TYPE);

struct TReceiveRules {
    bool KeepMails = false;
    // Below 1: kept messages are never deleted.
    int DeleteDays = 0;
    QDate Today;
};

// When a message's line belongs into the check file.
enum class TLineUse {
    // Always: an earlier message that stays on the server.
    Carried,
    // Once the message is saved in the spool, and from then on.
    AfterSave,
    // Once the message is saved, until the server has confirmed its deletion with QUIT.
    AfterSaveUntilQuit,
    // Until the server has confirmed the deletion with QUIT: retrieved earlier, deleted now.
    UntilQuit,
};

struct TMessagePlan {
    bool Retrieve = false;
    bool Delete = false;
    TCheckLine Line;
    TLineUse Use = TLineUse::Carried;
};

Q_DECLARE_TYPEINFO(TMessagePlan, Q_RELOCATABLE_TYPE);

// The line key of every message in server order. A message's key is its Message-Id and Date;
// a message that has neither, or shares both with an earlier message on the server, is keyed by
// its unique id when the server gave one, so that no two messages share a line.
TCheckList MessageKeys(const QList<TRemoteMessage>& messages);

// One plan per message, in server order. A message whose line is in `oldList` (found by the unique
// id the line records, else by its key, else by the key the server manager gives it) was
// retrieved before and is never retrieved again; with KeepMails it is deleted once its deletion
// day has come (a day that cannot be read counts as not yet), without KeepMails at once. Every
// line of a message with a unique id records that id.
QList<TMessagePlan> PlanMessages(const QList<TRemoteMessage>& messages, TCheckList oldList,
                                 const TReceiveRules& rules);

// The lines of `list` by the unique id they record: in their own field, or as the key the server
// manager writes (UidlKey). A message whose id is among them needs no header lines to be planned:
// its line's key stands for them.
QHash<QByteArray, TCheckLine> LinesByUidl(const TCheckList& list);
