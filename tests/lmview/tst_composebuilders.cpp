// Reply, forward, redirect and the composed message of "Später senden", each compared with a
// golden summary or message text in tests/data/lmview; the BCC fields' round trip through a file.

#include "ComposeFunctions.h"
#include "DBAccountsFunctions.h"
#include "PythonMail.h"
#include "TestData.h"
#include "qmmsg.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace {

QByteArray AddressText(const TqmMailAddress& address)
{
    return address.Name + " <" + address.Address + '>';
}

QByteArray ListText(const TqmAddressList& list)
{
    QByteArrayList entries;
    for (qsizetype i = 0; i < list.Count(); ++i)
        entries.append(AddressText(list.Items(i)));
    return entries.join(", ");
}

// The fields the builders set, one per line, then the header lines and the body.
QByteArray Summary(const TqmMessage& message)
{
    QByteArray text = "Sender: " + AddressText(message.Sender) + "\nTo: " + ListText(message.Recipients)
        + "\nCC: " + ListText(message.CC) + "\nSubject: " + message.Subject
        + "\nCharSet: " + QByteArray::number(int(message.CharSet))
        + "\nAttachments: " + QByteArray::number(message.Attachments.Count()) + "\nHeaders:\n";
    for (const QByteArray& line : message.Headers)
        text += "  " + line + '\n';
    text += "Body:\n";
    for (const QByteArray& line : message.Body)
        text += '|' + line + "|\n";
    return text;
}

QByteArray Encoded(TqmMessage& message)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    message.SaveToStream(buffer);
    QString text = QString::fromUtf8(buffer.data());
    text.replace(QRegularExpression(QStringLiteral("\\b\\d{8}\\b")), QStringLiteral("BOUNDARY"));
    return text.toUtf8();
}

void CompareWithGolden(const QByteArray& actual, const QString& expectedFile)
{
    const QByteArray expected = ReadTestData(expectedFile);
    if (actual != expected)
        qWarning().noquote() << "actual output:\n" << actual;
    QCOMPARE(actual, expected);
}

QStringList Entries(const TqmAddressList& list)
{
    QStringList entries;
    for (qsizetype i = 0; i < list.Count(); ++i)
        entries << QString::fromUtf8(list.Items(i).Name + '|' + list.Items(i).Address);
    return entries;
}

QStringList PythonEntries(const QJsonArray& list)
{
    QStringList entries;
    for (const QJsonValue& entry : list)
        entries << entry.toArray().at(0).toString() + QLatin1Char('|') + entry.toArray().at(1).toString();
    return entries;
}

void Load(const QString& file, TqmMessage& message)
{
    message.LoadFromFile(TestDataPath(QStringLiteral("lmview/builders/") + file));
}

// A compose file: "Key: value" lines; "Text:" takes the rest of the file.
TComposeInput ReadComposeInput(const QByteArray& content)
{
    TComposeInput input;
    input.Now = QDateTime(QDate(2026, 12, 8), QTime(14, 30, 5), Qt::OffsetFromUTC, 3600);
    const QString text = QString::fromUtf8(content);
    const qsizetype textAt = text.indexOf(QLatin1String("Text:\n"));
    input.Text = textAt < 0 ? QString() : text.mid(textAt + 6);
    for (const QString& line : text.left(textAt < 0 ? text.size() : textAt).split(QLatin1Char('\n'))) {
        const QString key = line.section(QLatin1String(": "), 0, 0);
        const QString value = line.section(QLatin1String(": "), 1);
        if (key == QLatin1String("Sender")) input.SenderText = value;
        else if (key == QLatin1String("To")) input.To = value;
        else if (key == QLatin1String("CC")) input.CC = value;
        else if (key == QLatin1String("BCC")) input.BCC = value;
        else if (key == QLatin1String("Subject")) input.Subject = value;
        else if (key == QLatin1String("ReplyTo")) input.ReplyTo = value.toUtf8();
        else if (key == QLatin1String("Redirect")) input.Redirect = value;
        else if (key == QLatin1String("Carried")) input.CarriedFields.append(value.toUtf8());
        else if (key == QLatin1String("Options")) {
            input.Hold = value.contains(QLatin1String("hold"));
            input.Receipt = value.contains(QLatin1String("receipt"));
            input.Disposition = value.contains(QLatin1String("disposition"));
        }
    }
    return input;
}

} // namespace

class TestComposeBuilders : public QObject {
    Q_OBJECT

private slots:
    void builders_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("includeCC");
        QTest::addColumn<bool>("quote");
        QTest::addColumn<QString>("signature");
        QTest::newRow("reply-quoted-with-cc-and-signature") << "reply" << "latin1.eml" << true << true << "--\nJane";
        QTest::newRow("reply-re-without-colon") << "reply" << "replan.eml" << false << false << "";
        QTest::newRow("reply-without-recipient") << "reply" << "norecipient.eml" << false << true << "";
        QTest::newRow("forward-latin1") << "forward" << "latin1.eml" << false << false << "";
        QTest::newRow("forward-keeps-fw") << "forward" << "norecipient.eml" << false << false << "";
        QTest::newRow("redirect-latin1") << "redirect" << "latin1.eml" << false << false << "";
        QTest::newRow("redirect-without-recipient") << "redirect" << "norecipient.eml" << false << false << "";
        QTest::newRow("reply-threaded") << "reply" << "threaded.eml" << false << false << "";
        QTest::newRow("reply-in-reply-to-only") << "reply" << "in-reply-to-only.eml" << false << false << "";
        QTest::newRow("forward-threaded") << "forward" << "threaded.eml" << false << false << "";
        QTest::newRow("redirect-threaded") << "redirect" << "threaded.eml" << false << false << "";
    }

    void builders()
    {
        QFETCH(QString, kind);
        QFETCH(QString, source);
        QFETCH(bool, includeCC);
        QFETCH(bool, quote);
        QFETCH(QString, signature);
        TqmMessage current;
        Load(source, current);
        TqmMessage built;
        if (kind == QLatin1String("reply")) {
            BuildReply(current, {includeCC, quote, signature}, built);
        } else if (kind == QLatin1String("forward")) {
            TAccount account;
            account.SmtpAddress = "me@example.org";
            account.SmtpName = "Me Myself";
            BuildForward(current, account, built);
        } else {
            BuildRedirect(current, built);
        }
        CompareWithGolden(Summary(built), QStringLiteral("lmview/builders/%1.expected").arg(QString::fromLatin1(QTest::currentDataTag())));
    }

    void composedMessages_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& file : TestDataCases(QStringLiteral("lmview/compose"))) {
            if (file.endsWith(QLatin1String(".compose")))
                QTest::newRow(qPrintable(file)) << file.chopped(8);
        }
    }

    void composedMessages()
    {
        QFETCH(QString, name);
        const TComposeInput input = ReadComposeInput(ReadTestData(QStringLiteral("lmview/compose/%1.compose").arg(name)));
        TqmMessage message;
        QVERIFY(BuildComposedMessage(input, message).isEmpty());
        const QByteArray written = Encoded(message);
        CompareWithGolden(written, QStringLiteral("lmview/compose/%1.expected").arg(name));
        // A conforming reader finds the same recipients and subject, in lines of at most 78.
        TqmMessage ours;
        QByteArray copy = written;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        ours.LoadFromStream(buffer);
        QString error;
        const QJsonObject python = ReadWithPython(written, error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(PythonEntries(python.value(QStringLiteral("to")).toArray()), Entries(ours.Recipients));
        QCOMPARE(PythonEntries(python.value(QStringLiteral("cc")).toArray()), Entries(ours.CC));
        QCOMPARE(python.value(QStringLiteral("subject")).toString(), QString::fromUtf8(ours.Subject));
        QCOMPARE(python.value(QStringLiteral("defects")).toArray(), QJsonArray());
        QVERIFY(python.value(QStringLiteral("longest")).toInt() <= 78);
    }

    void bccFieldsSurviveTheWorkFile()
    {
        QTemporaryDir dir;
        TComposeInput input;
        input.SenderText = QStringLiteral("jane@example.org <Jane>");
        input.BCC = QStringLiteral("a@example.org,b@example.net");
        TqmMessage message;
        BuildComposedMessage(input, message);
        const QString file = dir.filePath(QStringLiteral("new_1.eml"));
        message.SaveToFile(file);
        TqmMessage reread;
        reread.LoadFromFile(file);
        QCOMPARE(BccFieldText(reread.Headers), input.BCC);
        QCOMPARE(std::count_if(reread.Headers.cbegin(), reread.Headers.cend(), [](const QByteArray& line) { return line.startsWith("X-LMBCC: "); }), 2);
    }

    void carriedFields_data()
    {
        QTest::addColumn<QByteArray>("loaded");
        QTest::addColumn<bool>("redirected");
        QTest::addColumn<QByteArrayList>("carried");
        const QByteArray threaded = "Message-ID: <m@x>\nIn-Reply-To: <p@x>\nReferences: <a@x>\n <p@x>\nSubject: s";
        QTest::newRow("composed reply keeps threading, not the id")
            << threaded << false << QByteArrayList{"In-Reply-To: <p@x>", "References: <a@x> <p@x>"};
        QTest::newRow("redirect keeps the id too")
            << threaded << true << QByteArrayList{"Message-ID: <m@x>", "In-Reply-To: <p@x>", "References: <a@x> <p@x>"};
        QTest::newRow("nothing to carry") << QByteArray("Subject: s\nX-LMHOLD: 1") << true << QByteArrayList();
    }
    void carriedFields()
    {
        QFETCH(QByteArray, loaded);
        QFETCH(bool, redirected);
        QFETCH(QByteArrayList, carried);
        QCOMPARE(CarriedFields(TqmHeaders::FromText(loaded), redirected), carried);
    }

    // Reply → contact file → work file → "Später senden": the compose panel shows no threading
    // fields, so they must reach the composed message by way of the loaded work file.
    void replyThreadingSurvivesComposing()
    {
        QTemporaryDir dir;
        TqmMessage original;
        Load(QStringLiteral("threaded.eml"), original);
        TqmMessage reply;
        BuildReply(original, {}, reply);
        const QString workFile = dir.filePath(QStringLiteral("new_1.eml"));
        reply.SaveToFile(workFile);
        TqmMessage loaded;
        loaded.LoadFromFile(workFile);
        TComposeInput input;
        input.SenderText = QStringLiteral("bob@example.com <Bob>");
        input.CarriedFields = CarriedFields(loaded.Headers, false);
        TqmMessage composed;
        BuildComposedMessage(input, composed);
        QCOMPARE(composed.Headers.GetRawFieldBody("In-Reply-To"), QByteArray("<c3@mail.example.org>"));
        QCOMPARE(composed.Headers.GetRawFieldBody("References"),
                 QByteArray("<a1-0123456789abcdef@example.org> <b2-0123456789abcdef0123456789@example.com> "
                            "<c3@mail.example.org>"));
        QVERIFY(composed.Headers.GetRawFieldBody("Message-ID").isEmpty());
    }

    void unreadableAttachmentIsReportedAndTheRestKept()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("gut.txt"));
        QFile file(good);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Inhalt");
        file.close();
        TComposeInput input;
        input.SenderText = QStringLiteral("jane@example.org <Jane>");
        input.AttachmentFiles = {dir.filePath(QStringLiteral("fehlt.txt")), good};
        TqmMessage message;
        QCOMPARE(BuildComposedMessage(input, message).size(), 1);
        QCOMPARE(message.Attachments.Count(), 1);
        QCOMPARE(message.Attachments.Items(0).Data, QByteArray("Inhalt"));
    }

    void addressFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("written");
        QTest::newRow("empty") << "" << 0 << "";
        QTest::newRow("two without blank") << "a@x.org,b@y.org" << 2 << "a@x.org,b@y.org";
        QTest::newRow("blank kept as read") << "a@x.org, b@y.org" << 2 << "a@x.org, b@y.org";
        QTest::newRow("trailing comma") << "a@x.org," << 2 << "a@x.org,";
        QTest::newRow("comma in a quoted name") << "\"Schmidt, Jürgen\" <j@example.de>,b@y.org" << 2
                                                << "\"Schmidt, Jürgen\" <j@example.de>,b@y.org";
    }

    void addressFields()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(QString, written);
        TqmAddressList list;
        ReadAddressField(text, list);
        QCOMPARE(list.Count(), count);
        QCOMPARE(WriteAddressField(list), written);
    }

    // The To field of a re-opened work file shows the names it was saved with.
    void namesSurviveReediting_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("shown");
        QTest::newRow("last, first") << "\"Schmidt, Jürgen\" <j@example.de>, Björn Weiß <bjoern@example.net>"
                                     << "\"Schmidt, Jürgen\" <j@example.de>,Björn Weiß <bjoern@example.net>";
        QTest::newRow("bare addresses") << "a@x.org,b@y.org" << "a@x.org,b@y.org";
        QTest::newRow("quote in name") << "\"Jane \\\"JD\\\" Doe\" <jd@example.org>" << "\"Jane \\\"JD\\\" Doe\" <jd@example.org>";
    }

    void namesSurviveReediting()
    {
        QFETCH(QString, to);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        TComposeInput input;
        input.SenderText = QStringLiteral("jane@example.org <Jane>");
        input.To = to;
        TqmMessage message;
        BuildComposedMessage(input, message);
        const QString file = dir.filePath(QStringLiteral("edit_1.eml"));
        message.SaveToFile(file);
        TqmMessage reread;
        reread.LoadFromFile(file);
        QCOMPARE(WriteAddressField(reread.Recipients), shown);
    }

    // A forward goes through the contact file and an edit window, whose work directory holds the
    // attachments as files until "Später senden" reads them back: each keeps its bytes and the type
    // it was declared with, whatever its name says.
    void forwardKeepsAttachments_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("forward-unnamed-gif-sent") << "unnamed-gif.eml";
        QTest::newRow("forward-same-names-sent") << "same-names.eml";
    }

    void forwardKeepsAttachments()
    {
        QFETCH(QString, source);
        QTemporaryDir dir;
        TqmMessage original;
        Load(source, original);
        TAccount account;
        account.SmtpAddress = "me@example.org";
        account.SmtpName = "Me Myself";
        TqmMessage forward;
        BuildForward(original, account, forward);
        const QString contactFile = dir.filePath(QStringLiteral("contact.eml"));
        forward.SaveToFile(contactFile);
        TqmMessage loaded;
        loaded.LoadFromFile(contactFile);
        TComposeInput input;
        input.Now = QDateTime(QDate(2026, 12, 8), QTime(14, 30, 5), Qt::OffsetFromUTC, 3600);
        input.SenderText = QStringLiteral("me@example.org <Me Myself>");
        input.To = QStringLiteral("\"Schmidt, Jürgen\" <j@example.de>");
        input.Subject = QString::fromUtf8(loaded.Subject);
        input.Text = QStringLiteral("Zur Info.");
        input.CarriedFields = CarriedFields(loaded.Headers, false);
        for (qsizetype i = 0; i < loaded.Attachments.Count(); ++i) {
            input.WorkAttachments.append(WriteWorkAttachment(loaded, i, dir.filePath(QStringLiteral("work"))));
            input.AttachmentFiles.append(input.WorkAttachments.constLast().Path);
        }
        TqmMessage composed;
        QVERIFY(BuildComposedMessage(input, composed).isEmpty());
        const QByteArray sent = Encoded(composed);
        CompareWithGolden(sent, QStringLiteral("lmview/builders/%1.expected").arg(QString::fromLatin1(QTest::currentDataTag())));

        TqmMessage received;
        QByteArray copy = sent;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        received.LoadFromStream(buffer);
        QString error;
        const QJsonObject python = ReadWithPython(sent, error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QJsonArray pythonParts = python.value(QStringLiteral("attachments")).toArray();
        QCOMPARE(received.Attachments.Count(), original.Attachments.Count());
        QCOMPARE(pythonParts.size(), original.Attachments.Count());
        for (qsizetype i = 0; i < original.Attachments.Count(); ++i) {
            const TqmAttItem& before = original.Attachments.Items(i);
            QCOMPARE(received.Attachments.Items(i).ContentType, before.ContentType);
            QCOMPARE(received.Attachments.Items(i).Data, before.Data);
            QCOMPARE(pythonParts.at(i).toArray().at(1).toString(), QString::fromUtf8(before.ContentType));
            QCOMPARE(pythonParts.at(i).toArray().at(2).toInt(), before.Data.size());
        }
    }

    void subjects_data()
    {
        QTest::addColumn<QByteArray>("subject");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("forward");
        QTest::newRow("plain") << QByteArray("Hallo") << QByteArray("Re: Hallo") << QByteArray("Fw: Hallo");
        QTest::newRow("re any case") << QByteArray("rE: x") << QByteArray("rE: x") << QByteArray("Fw: rE: x");
        QTest::newRow("re blank") << QByteArray("Re x") << QByteArray("Re: Re x") << QByteArray("Fw: Re x");
        QTest::newRow("fw") << QByteArray("FW:x") << QByteArray("Re: FW:x") << QByteArray("FW:x");
        QTest::newRow("empty") << QByteArray() << QByteArray("Re: ") << QByteArray("Fw: ");
    }

    void subjects()
    {
        QFETCH(QByteArray, subject);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, forward);
        QCOMPARE(ReplySubject(subject), reply);
        QCOMPARE(ForwardSubject(subject), forward);
    }
};

QTEST_GUILESS_MAIN(TestComposeBuilders)
#include "tst_composebuilders.moc"
