// "Add sender to address book" from a message whose sender's name is made of Qt options: the
// address book is started with arguments the message cannot shape, and the names reach it in a
// private file that is gone once the address book has ended.

#include "Konstanten.h"
#include "Main.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Stands in for the address book: notes its arguments and the contact file it was given.
const QByteArray FakeAddressBook = "#!/bin/sh\n"
                                   "printf '%s\\n' \"$@\" > \"$0.arguments\"\n"
                                   "cat \"$3\" > \"$0.contact\"\n";

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestAddressBookHandOver : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_programDir;
    std::unique_ptr<ScopedRegistry> m_registry;

private slots:
    void initTestCase()
    {
        m_registry = std::make_unique<ScopedRegistry>();
        InitProgramPaths(m_programDir.filePath(QStringLiteral("modules/lmview")));
        SetLanguage(0);
        CreateDataDirectories();
        QFile lmab(Paths().Program.LmabExe);
        QVERIFY(lmab.open(QIODevice::WriteOnly));
        lmab.write(FakeAddressBook);
        lmab.close();
        QVERIFY(lmab.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void senderNameNeverBecomesArguments()
    {
        ReportCapture reports;
        const QString eml = Paths().System.TempDir + QStringLiteral("/hostile.eml");
        QFile file(eml);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("From: \"/tmp/lumaro-1000/23.tmp -platformpluginpath\" <kontakt@example.org>\r\n"
                   "Subject: Kontakt\r\n\r\nHallo\r\n");
        file.close();
        TLmviewFrm window(*ParseViewCommandLine({eml}));
        QVERIFY(window.LoadMessage());
        window.AddToAdrItm->trigger();

        const QList<QByteArray> arguments = ReadAll(Paths().Program.LmabExe + QStringLiteral(".arguments")).split('\n');
        QCOMPARE(arguments.size(), 4);
        QCOMPARE(arguments.at(0), QByteArray("NEW"));
        QCOMPARE(arguments.at(1), QByteArray("--contact-file"));
        const QString contactFile = QString::fromLocal8Bit(arguments.at(2));
        QCOMPARE(QFileInfo(contactFile).path(), Paths().System.TempDir);
        QCOMPARE(ReadAll(Paths().Program.LmabExe + QStringLiteral(".contact")),
                 QByteArray("-platformpluginpath\n/tmp/lumaro-1000/23.tmp\nkontakt@example.org\n"));
        QVERIFY(!QFile::exists(contactFile));
    }
};

QTEST_MAIN(TestAddressBookHandOver)
#include "tst_addressbookhandover.moc"
