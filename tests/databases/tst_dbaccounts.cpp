// The accounts database: the byte layout of header and account records, password scrambling,
// the find and list operations over present and deleted accounts, and damaged files.

#include "DBAccountsFunctions.h"
#include "Konstanten.h"
#include "ReportCapture.h"
#include "RecordBytes.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace RecordBytes;

namespace {

constexpr int RecordSize = 848;

TAccount NamedAccount(const QByteArray& name, const QByteArray& smtpServer = {}, bool standard = false)
{
    TAccount account;
    account.Name = name;
    account.SmtpServer = smtpServer;
    account.Standard = standard;
    return account;
}

} // namespace

class TestDBAccounts : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static QByteArray FileContent()
    {
        QFile file(Paths().Data.AccountsFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void ReplaceFile(const QByteArray& content)
    {
        QFile file(Paths().Data.AccountsFile);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(content), content.size());
    }

    static QByteArray ExpectedHeader()
    {
        QByteArray header(RecordSize, '\0');
        PutString(header, 9, "LM102");
        return header;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        detail::MutablePaths().Data = detail::ComputeDataPaths(m_dir.path());
    }

    void init()
    {
        QVERIFY(CreateAccountsDatabase());
    }

    void createWritesTheHeaderOnlyForTheOwner()
    {
        QCOMPARE(FileContent(), ExpectedHeader());
        QCOMPARE(QFile::permissions(Paths().Data.AccountsFile) & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());
        QVERIFY(CheckAccountsDatabase());
    }

    void accountRecordLayout()
    {
        TAccount account;
        account.Standard = true;
        account.Name = "Work";
        account.PopServer = "pop.example.org";
        account.PopUsername = "jdoe";
        account.PopPassword = "secret";
        account.PopKeepMails = false;
        account.PopDeleteMails = true;
        account.PopDeleteDays = 365;
        account.SmtpServer = "smtp.example.org";
        account.SmtpName = "Jane Doe";
        account.SmtpAddress = "jane@example.org";
        account.SmtpCompany = "Example";
        account.RASService = "Modem";
        account.RasForceService = true;
        account.RasHangUp = true;
        account.SmtpAuth = true;
        account.SmtpUsername = "jane";
        account.SmtpPassword = "Pa=;\"\xc3\xbc";
        account.SmtpReplyToAdr = "reply@example.org";
        account.SmtpAuthPop = true;
        QCOMPARE(WriteAccount(0, account), 1);

        QByteArray expected(RecordSize, '\0');
        Put(expected, 8, "\x01");
        PutString(expected, 9, "Work");
        PutString(expected, 111, "pop.example.org");
        PutString(expected, 162, "jdoe");
        PutString(expected, 213, QByteArray::fromHex("7f31cb95ebf8"));
        Put(expected, 264, QByteArray("\x00\x01", 2));
        PutInt(expected, 268, 365);
        PutInt(expected, 272, 110);
        PutString(expected, 276, "smtp.example.org");
        PutString(expected, 327, "Jane Doe");
        PutString(expected, 378, "jane@example.org");
        PutString(expected, 459, "Example");
        PutInt(expected, 512, 25);
        PutInt(expected, 516, 143);
        PutString(expected, 520, "Modem");
        Put(expected, 571, "\x01\x01\x01");
        PutString(expected, 574, "jane");
        PutString(expected, 655, QByteArray::fromHex("5c2db7de64602d"));
        PutString(expected, 736, "reply@example.org");
        Put(expected, 840, "\x01");
        QCOMPARE(FileContent(), ExpectedHeader() + expected);

        const std::optional<TAccount> read = ReadAccount(1);
        QVERIFY(read);
        QCOMPARE(read->PopPassword, QByteArray("secret"));
        QCOMPARE(read->SmtpPassword, account.SmtpPassword);
        QCOMPARE(read->PopDeleteDays, 365);
        QCOMPARE(read->RASService, QByteArray("Modem"));
    }

    void freshAccountHasTheDefaults()
    {
        QCOMPARE(WriteAccount(0, TAccount{}), 1);
        QByteArray expected(RecordSize, '\0');
        Put(expected, 264, "\x01\x01");
        PutInt(expected, 268, 2);
        PutInt(expected, 272, 110);
        PutInt(expected, 512, 25);
        PutInt(expected, 516, 143);
        QCOMPARE(FileContent().mid(RecordSize), expected);
    }

    void passwordsSurviveScrambling_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("expectedPop");
        QTest::addColumn<QByteArray>("expectedSmtp");
        const QByteArray umlauts = QByteArray("\xc3\xa4").repeated(45);
        const QByteArray anyBytes("\0\xff\x01 =;\"", 8);
        QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("1") << QByteArray("x") << QByteArray("x") << QByteArray("x");
        QTest::newRow("50") << QByteArray(50, 'p') << QByteArray(50, 'p') << QByteArray(50, 'p');
        QTest::newRow("60, cut to 50 for POP3") << QByteArray(60, 'p') << QByteArray(50, 'p') << QByteArray(60, 'p');
        QTest::newRow("90, cut to 80 for SMTP") << QByteArray(90, 'p') << QByteArray(50, 'p') << QByteArray(80, 'p');
        QTest::newRow("any byte") << anyBytes << anyBytes << anyBytes;
        // Two-byte characters are cut whole, never half of one.
        QTest::newRow("utf-8") << umlauts << umlauts.left(50) << umlauts.left(80);
    }
    void passwordsSurviveScrambling()
    {
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, expectedPop);
        QFETCH(QByteArray, expectedSmtp);
        TAccount account = NamedAccount("a");
        account.PopPassword = password;
        account.SmtpPassword = password;
        QCOMPARE(WriteAccount(0, account), 1);
        const std::optional<TAccount> read = ReadAccount(1);
        QVERIFY(read);
        QCOMPARE(read->PopPassword, expectedPop);
        QCOMPARE(read->SmtpPassword, expectedSmtp);
        QCOMPARE(int(quint8(FileContent().at(RecordSize + 213))), expectedPop.size());
        QCOMPARE(UnscramblePassword(ScramblePassword(password)), password);
    }

    void headerOnlyFileHasNoAccounts()
    {
        QCOMPARE(CountAccounts(), 0);
        QCOMPARE(FindDefaultAccount(), 0);
        QVERIFY(AccountNames().isEmpty());
        QVERIFY(SmtpServers().isEmpty());
        QVERIFY(!ReadAccount(1));
        const TAccount fallback = ReadDefaultAccount();
        QVERIFY(fallback.Name.isEmpty());
        QVERIFY(fallback.PopKeepMails);
        QCOMPARE(fallback.PopDeleteDays, 2);
    }

    void deletedDefaultIsSkipped()
    {
        QCOMPARE(WriteAccount(0, NamedAccount("first", {}, true)), 1);
        QCOMPARE(WriteAccount(0, NamedAccount("second")), 2);
        QCOMPARE(WriteAccount(0, NamedAccount("third", {}, true)), 3);
        QCOMPARE(FindDefaultAccount(), 1);
        QVERIFY(DeleteAccount(1));
        QCOMPARE(FindDefaultAccount(), 3);
        QCOMPARE(ReadDefaultAccount().Name, QByteArray("third"));
        QVERIFY(!DeleteAccount(1));
    }

    void deletedRecordsKeepTheirPlace()
    {
        for (const char* name : {"one", "two", "three"})
            QVERIFY(WriteAccount(0, NamedAccount(name)) > 0);
        QVERIFY(DeleteAccount(2));
        QCOMPARE(CountAccounts(), 3);
        QVERIFY(!ReadAccount(2));
        QCOMPARE(ReadAccount(3)->Name, QByteArray("three"));
        QCOMPARE(AccountNames(), QByteArrayList({"one", "three"}));
        QCOMPARE(FindAccountByName("two"), 0);
        QCOMPARE(FindAccountByName("Three"), 0);
        QCOMPARE(FindAccountByName("three"), 3);
        QCOMPARE(WriteAccount(0, NamedAccount("four")), 4);
    }

    void smtpServersAreListedOnceRegardlessOfCase()
    {
        QVERIFY(WriteAccount(0, NamedAccount("a", "mail.example.org")) > 0);
        QVERIFY(WriteAccount(0, NamedAccount("b", "")) > 0);
        QVERIFY(WriteAccount(0, NamedAccount("c", "Mail.Example.ORG")) > 0);
        QVERIFY(WriteAccount(0, NamedAccount("d", "smtp.other.net")) > 0);
        QVERIFY(WriteAccount(0, NamedAccount("e", "gone.example.org")) > 0);
        QVERIFY(DeleteAccount(5));
        QCOMPARE(SmtpServers(), QByteArrayList({"mail.example.org", "smtp.other.net"}));
        QCOMPARE(FindAccountBySmtpServer("Mail.Example.ORG"), 3);
        QCOMPARE(FindAccountBySmtpServer("gone.example.org"), 0);
    }

    void rewritingKeepsReservedBytes()
    {
        QCOMPARE(WriteAccount(0, NamedAccount("a")), 1);
        QByteArray content = FileContent();
        PutInt(content, RecordSize + 516, 7);
        PutString(content, RecordSize + 60, "kept");
        ReplaceFile(content);
        std::optional<TAccount> account = ReadAccount(1);
        QVERIFY(account);
        account->Name = "renamed";
        QCOMPARE(WriteAccount(1, *account), 1);
        const QByteArray rewritten = FileContent().mid(RecordSize);
        QCOMPARE(rewritten.mid(516, 4), QByteArray("\x07\0\0\0", 4));
        QCOMPARE(rewritten.mid(60, 5), QByteArray("\x04kept"));
        QCOMPARE(rewritten.mid(9, 8), QByteArray("\x07renamed"));
    }

    // Account databases of earlier versions hold the Windows code page: names and addresses read
    // as UTF-8 text and are written back as such; the scrambled passwords stay bytes.
    void windowsCodePageRecordsReadAsText()
    {
        TAccount account = NamedAccount("a");
        account.PopPassword = "p\xe4ss";
        QCOMPARE(WriteAccount(0, account), 1);
        QByteArray content = FileContent();
        PutString(content, RecordSize + 9, "B\xfcro");
        PutString(content, RecordSize + 327, "J\xfcrgen M\xfcller");
        PutString(content, RecordSize + 459, "\x84" "Gr\xfc\xdf" "e\x93 \x80");
        ReplaceFile(content);

        std::optional<TAccount> read = ReadAccount(1);
        QVERIFY(read);
        QCOMPARE(QString::fromUtf8(read->Name), QStringLiteral("Büro"));
        QCOMPARE(QString::fromUtf8(read->SmtpName), QStringLiteral("Jürgen Müller"));
        QCOMPARE(QString::fromUtf8(read->SmtpCompany), QStringLiteral("„Grüße“ €"));
        QCOMPARE(read->PopPassword, QByteArray("p\xe4ss"));
        QCOMPARE(FindAccountByName(QStringLiteral("Büro").toUtf8()), 1);

        QCOMPARE(WriteAccount(1, *read), 1);
        const QByteArray rewritten = FileContent().mid(RecordSize);
        QCOMPARE(rewritten.mid(9, 6), QByteArray("\x05" "B\xc3\xbcro"));
        QCOMPARE(rewritten.mid(327, 16), QByteArray("\x0f" "J\xc3\xbcrgen M\xc3\xbcller"));
        QCOMPARE(ReadAccount(1)->SmtpCompany, read->SmtpCompany);
        QCOMPARE(ReadAccount(1)->PopPassword, QByteArray("p\xe4ss"));
    }

    void writeNeedsAHeaderAndNoGap()
    {
        QCOMPARE(WriteAccount(5, NamedAccount("far")), 0);
        ReplaceFile({});
        QCOMPARE(WriteAccount(0, NamedAccount("a")), 0);
        QVERIFY(FileContent().isEmpty());
        QFile::remove(Paths().Data.AccountsFile);
        QCOMPARE(WriteAccount(0, NamedAccount("a")), 0);
        QCOMPARE(CountAccounts(), 0);
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("firstName");
        QByteArray account(RecordSize, '\0');
        PutString(account, 9, "acc");
        QByteArray otherMark = ExpectedHeader();
        Put(otherMark, 14, "3");
        QByteArray longLength = ExpectedHeader();
        Put(longLength, 9, "\x06");
        QByteArray overlong = account;
        Put(overlong, 9, "\xff");
        PutString(overlong, 60, "tail");

        QTest::newRow("empty file") << QByteArray() << false << 0 << QByteArray();
        QTest::newRow("truncated header") << ExpectedHeader().left(500) << false << 0 << QByteArray();
        QTest::newRow("other mark") << otherMark + account << false << 1 << QByteArray();
        QTest::newRow("mark with longer length") << longLength + account << false << 1 << QByteArray();
        QTest::newRow("partial last record") << ExpectedHeader() + account + account.left(100) << true << 1 << QByteArray("acc");
        QTest::newRow("length byte past the field") << ExpectedHeader() + overlong << true << 1
                                                    << QByteArray(overlong.mid(10, 50));
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, valid);
        QFETCH(int, count);
        QFETCH(QByteArray, firstName);
        ReplaceFile(content);
        QCOMPARE(CheckAccountsDatabase(), valid);
        QCOMPARE(CountAccounts(), count);
        const std::optional<TAccount> first = ReadAccount(1);
        QCOMPARE(first.has_value(), !firstName.isEmpty());
        if (first)
            QCOMPARE(first->Name, firstName);
        QCOMPARE(AccountNames().size(), firstName.isEmpty() ? 0 : 1);
    }

    void prepareRecreatesAnOutdatedFileWithMessage31()
    {
        ReportCapture reports;
        ReplaceFile(QByteArray(RecordSize, 'x'));
        QVERIFY(PrepareAccountsDatabase());
        QCOMPARE(FileContent(), ExpectedHeader());
        const QList<TUserMessage> taken = reports.Take();
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken.first().Id, 31);
        // The damaged file is kept beside the new one, and the message says where.
        const QString kept = Paths().Data.AccountsFile + QStringLiteral(".damaged-") + QDate::currentDate().toString(Qt::ISODate);
        QVERIFY(taken.first().Text.contains(kept));
        QFile keptFile(kept);
        QVERIFY(keptFile.open(QIODevice::ReadOnly));
        QCOMPARE(keptFile.readAll(), QByteArray(RecordSize, 'x'));

        QFile::remove(Paths().Data.AccountsFile);
        QVERIFY(PrepareAccountsDatabase());
        QCOMPARE(FileContent(), ExpectedHeader());
        QVERIFY(reports.Take().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDBAccounts)
#include "tst_dbaccounts.moc"
