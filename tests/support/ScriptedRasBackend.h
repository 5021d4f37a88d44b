#pragma once
// A dial-up backend for tests: the entries, connections and stored passwords are set by the test,
// a dial plays a script of (state, error) notifications from the event loop, and every call that
// changes something is recorded.

#include "nkRasCmp.h"

#include <QSet>
#include <QTimer>

class ScriptedRasBackend final : public TnkRasBackend {
public:
    struct Event {
        int State = 0;
        int Error = 0;
    };

    bool Available() const override { return true; }
    QStringList Entries() override { return EntryNames; }
    QList<TnkRasConnection> Connections() override { return Active; }
    bool HasStoredPassword(const QString& entry) override { return StoredPasswords.contains(entry); }
    void SetPassword(const QString& entry, const QString& password, bool removeAfterUse) override
    {
        PasswordsSet.append({entry, password});
        RemoveAfterUse = removeAfterUse;
    }
    QString Dial(const QString& entry, const TDialNotify& notify) override
    {
        Dialed.append(entry);
        const QString handle = QStringLiteral("dial-%1").arg(Dialed.size());
        int delay = 0;
        for (const Event& event : DialScript) {
            delay += StepMs;
            QTimer::singleShot(delay, &m_context, [notify, event] { notify(event.State, event.Error); });
        }
        return handle;
    }
    void HangUp(const QString& handle) override { HungUp.append(handle); }
    QString ErrorText(int code) const override { return ErrorTexts.value(code); }

    QStringList EntryNames;
    QList<TnkRasConnection> Active;
    QSet<QString> StoredPasswords;
    QList<Event> DialScript;
    int StepMs = 10;
    QHash<int, QString> ErrorTexts;

    QStringList Dialed;
    QStringList HungUp;
    QList<std::pair<QString, QString>> PasswordsSet;
    bool RemoveAfterUse = false;

private:
    // Pending notifications die with the backend.
    QObject m_context;
};
