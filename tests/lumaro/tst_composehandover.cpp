// New Outbox messages: the work file made from the message window's contact file or from a
// mailto link, and filing it into the Outbox only when the editor changed it.

#include "ComposeHandOver.h"
#include "DBAccountsFunctions.h"
#include "DBMailboxFunctions.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "ReportCapture.h"
#include "qmmsg.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestComposeHandOver : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    TAccount m_account;

    static std::unique_ptr<TqmMessage> Parsed(const QString& path)
    {
        auto message = std::make_unique<TqmMessage>();
        message->LoadFromFile(path);
        return message;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        detail::MutablePaths().Data = detail::ComputeDataPaths(m_dir.path());
        CreateDataDirectories();
        const TFolderFiles outbox = SpecialFolderPaths(TSpecialFolder::Outbox);
        QVERIFY(CreateEmptyMessageFile(outbox.MessageFile));
        QVERIFY(CreateIndex(outbox.IndexFile));
        m_account.SmtpAddress = "jane@example.org";
        m_account.SmtpName = "Jane Doe";
    }

    void fromFields_data()
    {
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("signature");
        QTest::addColumn<QByteArrayList>("body");
        QTest::addColumn<int>("recipientCount");
        QTest::newRow("mailto with subject") << "bob@example.com" << "Frage" << "" << QByteArrayList{" "} << 1;
        QTest::newRow("two recipients and signature") << "a@x.org,b@y.org" << "" << "--\nJane" << QByteArrayList{"--", "Jane"} << 2;
    }

    void fromFields()
    {
        QFETCH(QString, recipients);
        QFETCH(QString, subject);
        QFETCH(QString, signature);
        const QString path = MakeNewMessageFile(Paths().Data.SmtpDir, {QString(), recipients, subject}, m_account, signature);
        QVERIFY(QFileInfo(path).fileName().startsWith(QLatin1String("new_")));
        const std::unique_ptr<TqmMessage> parsed = Parsed(path);
        const TqmMessage& message = *parsed;
        QCOMPARE(message.Sender.Address, QByteArray("jane@example.org"));
        QCOMPARE(message.Sender.Name, QByteArray("Jane Doe"));
        QCOMPARE(message.Subject, subject.toUtf8());
        QTEST(message.Body, "body");
        QTEST(int(message.Recipients.Count()), "recipientCount");
        QFile::remove(path);
    }

    void fromContactFileKeepsTheMessage()
    {
        TqmMessage reply;
        reply.Sender.Address = "bob@example.com";
        reply.Recipients.AddAddress("jane@example.org", "");
        reply.CC.AddAddress("dora@example.net", "Dora");
        reply.Subject = "Re: Plan";
        reply.Body = {"", "-----------------", ">Plan A"};
        reply.Headers.append("X-LMREDIRECT: carl@example.com");
        reply.SaveToFile(Paths().Data.ContactFile);
        const QString path = MakeNewMessageFile(Paths().Data.SmtpDir, {Paths().Data.ContactFile, {}, {}}, m_account, QStringLiteral("unused"));
        const std::unique_ptr<TqmMessage> parsed = Parsed(path);
        const TqmMessage& message = *parsed;
        QCOMPARE(message.Sender.Address, QByteArray("bob@example.com"));
        QCOMPARE(message.CC.Count(), 1);
        QCOMPARE(message.Body, reply.Body);
        QCOMPARE(message.Headers.GetFieldBody("X-LMREDIRECT"), QByteArray("carl@example.com"));
        QFile::remove(path);
    }

    void onlyAChangedWorkFileIsFiled()
    {
        const TFolderFiles outbox = SpecialFolderPaths(TSpecialFolder::Outbox);
        const QString untouched = MakeNewMessageFile(Paths().Data.SmtpDir, {QString(), "a@x.org", "s"}, m_account, {});
        QCOMPARE(EditIntoOutbox(untouched, [](const QString&) {}, false), 0);
        QCOMPARE(CountMessages(outbox.IndexFile, true), 0);
        QVERIFY(!QFile::exists(untouched));
        const QString edited = MakeNewMessageFile(Paths().Data.SmtpDir, {QString(), "a@x.org", "s"}, m_account, {});
        const qint32 record = EditIntoOutbox(edited, [](const QString& file) {
            QFile work(file);
            QVERIFY(work.open(QIODevice::Append));
            work.write("more\r\n");
            work.close();
            work.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
        }, false);
        QVERIFY(record > 0);
        QCOMPARE(CountMessages(outbox.IndexFile, true), 1);
        QCOMPARE(EditCommandLine(QStringLiteral("/q/new_1.eml")), (QStringList{"/q/new_1.eml", "0", "0", "EDIT"}));
    }
};

QTEST_GUILESS_MAIN(TestComposeHandOver)
#include "tst_composehandover.moc"
