// Message-IDs of outgoing messages and the threading fields of replies and forwards.

#include "qmmsgcls.h"
#include "qmmsgid.h"

#include <QRegularExpression>
#include <QSysInfo>
#include <QTest>

namespace {

// The domain the fallback gives on this machine: the host name only when it is fully qualified.
QByteArray FallbackDomain()
{
    const QByteArray host = QSysInfo::machineHostName().toLatin1();
    static const QRegularExpression dotAtom(QStringLiteral("^[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)+$"));
    return dotAtom.match(QString::fromLatin1(host)).hasMatch() ? host : QByteArray("localhost.localdomain");
}

QByteArrayList MessageIdFields(const QByteArray& text)
{
    QByteArrayList fields;
    for (const QByteArray& line : text.split('\n')) {
        if (line.trimmed().isEmpty())
            break;
        if (line.toLower().startsWith("message-id:"))
            fields.append(line.trimmed());
    }
    return fields;
}

} // namespace

class TestQmMsgId : public QObject {
    Q_OBJECT

private slots:
    void domainComesFromTheSender_data()
    {
        QTest::addColumn<QByteArray>("sender");
        QTest::addColumn<QByteArray>("domain");
        QTest::newRow("plain") << QByteArray("jane@example.org") << QByteArray("example.org");
        QTest::newRow("angle brackets") << QByteArray("<jane@mail.example.org>") << QByteArray("mail.example.org");
        QTest::newRow("quoted local part with @") << QByteArray("\"a@b\"@example.net") << QByteArray("example.net");
        QTest::newRow("no address") << QByteArray() << FallbackDomain();
        QTest::newRow("no domain") << QByteArray("jane") << FallbackDomain();
        QTest::newRow("empty domain") << QByteArray("jane@") << FallbackDomain();
        QTest::newRow("blank in domain") << QByteArray("jane@exa mple.org") << FallbackDomain();
        QTest::newRow("bracket in domain") << QByteArray("jane@exa>mple.org") << FallbackDomain();
    }
    void domainComesFromTheSender()
    {
        QFETCH(QByteArray, sender);
        QFETCH(QByteArray, domain);
        const QByteArray id = NewMessageId(sender);
        QVERIFY2(QRegularExpression(QStringLiteral("^<[0-9a-f]{32}@[^<>@ ]+>$")).match(QString::fromLatin1(id)).hasMatch(),
                 id.constData());
        QCOMPARE(id.mid(id.indexOf('@') + 1).chopped(1), domain);
    }

    void idsDoNotRepeat()
    {
        QSet<QByteArray> ids;
        for (int i = 0; i < 1000; ++i)
            ids.insert(NewMessageId("a@example.org"));
        QCOMPARE(ids.size(), 1000);
    }

    void missingIdIsAdded_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("LF")
            << QByteArray("From: Jane <jane@example.org>\nSubject: x\n\nbody\n")
            << QByteArray("From: Jane <jane@example.org>\nSubject: x\n") << QByteArray("\nbody\n");
        QTest::newRow("CR LF")
            << QByteArray("From: jane@example.org\r\nSubject: x\r\n\r\nbody\r\n")
            << QByteArray("From: jane@example.org\r\nSubject: x\r\n") << QByteArray("\r\nbody\r\n");
        QTest::newRow("header only, no final line end")
            << QByteArray("From: jane@example.org\nSubject: x") << QByteArray("From: jane@example.org\nSubject: x\n")
            << QByteArray();
        QTest::newRow("empty field replaced")
            << QByteArray("From: jane@example.org\nMessage-ID:\nSubject: x\n\nbody\n")
            << QByteArray("From: jane@example.org\n") << QByteArray("Subject: x\n\nbody\n");
        QTest::newRow("field name in the body is no field")
            << QByteArray("From: jane@example.org\n\nMessage-ID: <not@header>\n")
            << QByteArray("From: jane@example.org\n") << QByteArray("\nMessage-ID: <not@header>\n");
    }
    void missingIdIsAdded()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const bool crlf = text.contains("\r\n");
        QVERIFY(AddMissingMessageId(text));
        QVERIFY2(text.startsWith(before) && text.endsWith(after), text.constData());
        const QByteArray field = text.mid(before.size(), text.size() - before.size() - after.size());
        QVERIFY2(QRegularExpression(QStringLiteral("^Message-ID: <[0-9a-f]{32}@example\\.org>\\r?\\n$"))
                     .match(QString::fromLatin1(field)).hasMatch(), field.constData());
        QCOMPARE(field.endsWith("\r\n"), crlf);
        QCOMPARE(MessageIdFields(text).size(), 1);
    }

    void existingIdIsKept_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("Message-ID") << QByteArray("From: a@example.org\nMessage-ID: <kept@example.org>\n\nbody\n");
        QTest::newRow("other case") << QByteArray("message-id: <kept@example.org>\r\nFrom: a@example.org\r\n\r\nb\r\n");
        QTest::newRow("folded") << QByteArray("From: a@example.org\nMessage-Id:\n <kept@example.org>\n\nbody\n");
    }
    void existingIdIsKept()
    {
        QFETCH(QByteArray, text);
        const QByteArray original = text;
        QVERIFY(!AddMissingMessageId(text));
        QCOMPARE(text, original);
    }

    void references_data()
    {
        QTest::addColumn<QByteArray>("parent");
        QTest::addColumn<QByteArray>("references");
        QTest::newRow("first message") << QByteArray("Message-ID: <p@x>") << QByteArray("<p@x>");
        QTest::newRow("comment around the id") << QByteArray("Message-ID: (c) <p@x> (c)") << QByteArray("<p@x>");
        QTest::newRow("parent's references first")
            << QByteArray("References: <a@x>\n  <b@x>\nIn-Reply-To: <b@x>\nMessage-ID: <p@x>") << QByteArray("<a@x> <b@x> <p@x>");
        QTest::newRow("one in-reply-to stands in for references")
            << QByteArray("In-Reply-To: <b@x> (from b)\nMessage-ID: <p@x>") << QByteArray("<b@x> <p@x>");
        QTest::newRow("several in-reply-to ids are left out")
            << QByteArray("In-Reply-To: <a@x> <b@x>\nMessage-ID: <p@x>") << QByteArray("<p@x>");
        QTest::newRow("parent without id") << QByteArray("References: <a@x>\nIn-Reply-To: <a@x>") << QByteArray();
    }
    void references()
    {
        QFETCH(QByteArray, parent);
        QFETCH(QByteArray, references);
        QCOMPARE(ReferencesFor(TqmHeaders::FromText(parent)), references);
    }

    void folding_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArrayList>("lines");
        const QByteArray id30 = "<0123456789012345678901234@x>"; // 29 characters
        QTest::newRow("short") << QByteArray("<a@x> <b@x>") << QByteArrayList{"References: <a@x> <b@x>"};
        QTest::newRow("folded at 78")
            << QByteArray(id30 + ' ' + id30 + ' ' + id30 + ' ' + id30)
            << QByteArrayList{"References: " + id30 + ' ' + id30, ' ' + id30 + ' ' + id30};
        QTest::newRow("one overlong id stays whole") << QByteArray(QByteArray(90, 'a'))
                                                      << QByteArrayList{"References: " + QByteArray(90, 'a')};
    }
    void folding()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArrayList, lines);
        const QByteArrayList folded = FoldedField("References", body);
        QCOMPARE(folded, lines);
        // Unfolding gives the body back (RFC 5322, 2.2.3).
        QCOMPARE(TqmHeaders(folded).GetRawFieldBody("References"), body);
    }
};

QTEST_GUILESS_MAIN(TestQmMsgId)
#include "tst_qmmsgid.moc"
