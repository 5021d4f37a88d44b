// The main window's side of composing: new Outbox messages from the message window's contact file
// and from mailto links, edited in the message window and filed into the Outbox.

#include "Main.h"

#include "ComposeHandOver.h"
#include "DBAccountsFunctions.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "PhraseFunctions.h"

#include <QFile>

void TMainFrm::NewMessageFromContact()
{
    const QString contact = Paths().Data.ContactFile;
    if (!QFile::exists(contact))
        return;
    ComposeNewMessage({contact, QString(), QString()});
    if (!Settings.General.DebugMode)
        QFile::remove(contact);
}

void TMainFrm::ComposeNewMessage(const TNewMessageSource& source)
{
    BringToFront();
    const QString signature = Settings.General.AutoSignature ? SignatureText(Settings.General.Signature) : QString();
    const QString workFile = MakeNewMessageFile(Paths().Data.SmtpDir, source, ReadDefaultAccount(), signature);
    if (workFile.isEmpty())
        return;
    const qint32 filed = EditIntoOutbox(workFile, [this](const QString& file) {
        RunWaited(Paths().Program.LmviewExe, EditCommandLine(file), Running.MessageWindow);
    }, Settings.General.DebugMode);
    if (filed > 0 && m_currentFolder == m_specialNames.value(int(TSpecialFolder::Outbox)))
        ActivateFolder();
    else
        RefreshCommandStates();
}
