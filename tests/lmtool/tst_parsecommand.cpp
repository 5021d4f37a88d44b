// lmtool parse run as a program on sample messages: the JSON object it prints and its exit codes.

#include "TestData.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct TParseRun {
    int ExitCode = -1;
    QByteArray Output;
    QByteArray Errors;
    QJsonObject Object;
};

TParseRun Parse(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(LMTOOL_PATH), QStringList{QStringLiteral("parse")} + arguments);
    TParseRun run;
    if (!process.waitForFinished(30000))
        return run;
    run.ExitCode = process.exitCode();
    run.Output = process.readAllStandardOutput();
    run.Errors = process.readAllStandardError();
    run.Object = QJsonDocument::fromJson(run.Output).object();
    return run;
}

QString Sha256(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace

class TestParseCommand : public QObject {
    Q_OBJECT

private slots:
    void mixedMessage();
    void utf8Message();
    void currentMailerShapes_data();
    void currentMailerShapes();
    void headerBytesThatAreNotUtf8();
    void unreadableFile_data();
    void unreadableFile();
    void wrongArguments();
};

void TestParseCommand::mixedMessage()
{
    const TParseRun run = Parse({TestDataPath(QStringLiteral("messages/mixed-base64.eml"))});
    QCOMPARE(run.ExitCode, 0);
    QCOMPARE(run.Output.count('\n'), 1);
    QStringList keys = run.Object.keys();
    keys.sort();
    QCOMPARE(keys, (QStringList{"attachments", "body_charset", "body_lines", "body_sha256", "body_text", "cc",
                                "charset", "content_type", "encoding", "from_address", "from_name", "priority",
                                "return_receipt", "subject", "to"}));
    const QJsonObject& o = run.Object;
    QCOMPARE(o[QStringLiteral("subject")].toString(), QStringLiteral("Files"));
    QCOMPARE(o[QStringLiteral("from_name")].toString(), QStringLiteral("Ann"));
    QCOMPARE(o[QStringLiteral("to")].toArray().at(0).toObject()[QStringLiteral("address")].toString(),
             QStringLiteral("ben@example.com"));
    QCOMPARE(o[QStringLiteral("cc")].toArray().size(), 0);
    QCOMPARE(o[QStringLiteral("content_type")].toString(), QStringLiteral("multipart/mixed"));
    QCOMPARE(o[QStringLiteral("encoding")].toInt(), 0);
    QCOMPARE(o[QStringLiteral("charset")].toInt(), 1);
    QCOMPARE(o[QStringLiteral("body_charset")].toString(), QStringLiteral("iso-8859-1"));
    QCOMPARE(o[QStringLiteral("priority")].toInt(), 1);
    QCOMPARE(o[QStringLiteral("return_receipt")].toBool(), false);
    QCOMPARE(o[QStringLiteral("body_lines")].toInt(), 1);
    QCOMPARE(o[QStringLiteral("body_sha256")].toString(), Sha256("See the files attached, Gr\xFC\xDF" "e.\r\n"));
    QCOMPARE(o[QStringLiteral("body_text")].toString(), QStringLiteral("See the files attached, Grüße."));
    const QJsonArray attachments = o[QStringLiteral("attachments")].toArray();
    QCOMPARE(attachments.size(), 4);
    QByteArray pixels;
    for (int i = 0; i < 3 * 256; ++i)
        pixels += char(i % 256);
    pixels += QByteArray("\0\xFF\r\n\n\r", 6);
    const QJsonObject first = attachments.at(0).toObject();
    QCOMPARE(first[QStringLiteral("file_name")].toString(), QStringLiteral("pixels.png"));
    QCOMPARE(first[QStringLiteral("content_type")].toString(), QStringLiteral("image/png"));
    QCOMPARE(first[QStringLiteral("encoding")].toInt(), 1);
    QCOMPARE(first[QStringLiteral("size")].toInt(), pixels.size());
    QCOMPARE(first[QStringLiteral("sha256")].toString(), Sha256(pixels));
    const QJsonObject last = attachments.at(3).toObject();
    QCOMPARE(last[QStringLiteral("file_name")].toString(), QStringLiteral("grüße.txt"));
    QCOMPARE(last[QStringLiteral("encoding")].toInt(), 2);
    QCOMPARE(last[QStringLiteral("sha256")].toString(), Sha256("Line one continued"));
}

void TestParseCommand::utf8Message()
{
    const TParseRun run = Parse({TestDataPath(QStringLiteral("messages/qp-utf8.eml"))});
    QCOMPARE(run.ExitCode, 0);
    QCOMPARE(run.Object[QStringLiteral("subject")].toString(), QStringLiteral("Café crème"));
    QCOMPARE(run.Object[QStringLiteral("charset")].toInt(), 3);
    QCOMPARE(run.Object[QStringLiteral("body_text")].toString(),
             QStringLiteral("Un café crème, s'il vous plaît.\nNaïve résumé €"));
}

void TestParseCommand::currentMailerShapes_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("bodyStart");
    QTest::addColumn<QStringList>("attachments"); // file name, then Content-ID, for each
    QTest::newRow("html with inline images") << QStringLiteral("html-inline-images-and-attachment")
        << QStringLiteral("Hello Dave,\n\nthe chart")
        << QStringList{"_alt.0", "", "chart.png", "chart.png@01DA0001", "Part 4.gif", "logo@01DA0001", "report.pdf", ""};
    QTest::newRow("rfc 2231 names") << QStringLiteral("rfc2231-names") << QStringLiteral("Four files")
        << QStringList{"Résumé.pdf", "", "Lettre de motivation pour le poste de développeuse.odt", "",
                       "Grüße aus Köln.txt", "", "Büro Foto.png", ""};
    QTest::newRow("base64 utf-8 text") << QStringLiteral("base64-utf8-text") << QStringLiteral("Привет, мир!")
        << QStringList{"page.html", ""};
    QTest::newRow("windows-1251 without blanks") << QStringLiteral("parameters-without-blanks")
        << QStringLiteral("Привет из Москвы.") << QStringList{"report.bin", ""};
}

// The body and every attachment of messages shaped as today's mailers send them.
void TestParseCommand::currentMailerShapes()
{
    QFETCH(QString, file);
    QFETCH(QString, bodyStart);
    QFETCH(QStringList, attachments);
    const TParseRun run = Parse({TestDataPath(QStringLiteral("mime/%1.eml").arg(file))});
    QCOMPARE(run.ExitCode, 0);
    QVERIFY2(run.Object[QStringLiteral("body_text")].toString().startsWith(bodyStart), run.Output.constData());
    QStringList actual;
    for (const QJsonValue& item : run.Object[QStringLiteral("attachments")].toArray())
        actual << item[QStringLiteral("file_name")].toString() << item[QStringLiteral("content_id")].toString();
    QCOMPARE(actual, attachments);
}

void TestParseCommand::headerBytesThatAreNotUtf8()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("latin1.eml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("From: J\xFCrgen <j@example.de>\r\nSubject: Gr\xFC\xDF" "e \x80\r\n\r\nK\xE4se\r\n");
    file.close();
    const TParseRun run = Parse({path});
    QCOMPARE(run.ExitCode, 0);
    QCOMPARE(run.Object[QStringLiteral("from_name")].toString(), QStringLiteral("Jürgen"));
    QCOMPARE(run.Object[QStringLiteral("subject")].toString(), QStringLiteral("Grüße €"));
    QCOMPARE(run.Object[QStringLiteral("body_text")].toString(), QStringLiteral("Käse"));
    QCOMPARE(run.Object[QStringLiteral("body_charset")].toString(), QString());
}

void TestParseCommand::unreadableFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << QStringLiteral("/nonexistent/message.eml");
    QTest::newRow("directory") << TestDataPath(QStringLiteral("messages"));
}

void TestParseCommand::unreadableFile()
{
    QFETCH(QString, path);
    const TParseRun run = Parse({path});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY(run.Output.isEmpty());
    QVERIFY(run.Errors.startsWith("lmtool: "));
}

void TestParseCommand::wrongArguments()
{
    QCOMPARE(Parse({}).ExitCode, 2);
    QCOMPARE(Parse({QStringLiteral("a.eml"), QStringLiteral("b.eml")}).ExitCode, 2);
}

QTEST_GUILESS_MAIN(TestParseCommand)
#include "tst_parsecommand.moc"
