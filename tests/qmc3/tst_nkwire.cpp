#include "nkwire.h"

#include <QTest>

using namespace detail;

class TestNkWire : public QObject {
    Q_OBJECT

private slots:
    void smtpReplies_data();
    void smtpReplies();
    void pop3ReplyCode_data();
    void pop3ReplyCode();
    void statReply_data();
    void statReply();
    void listSizeAndUidl_data();
    void listSizeAndUidl();
    void dotDecoding_data();
    void dotDecoding();
    void dotDecodingSurvivesAnyChunkBoundary_data() { dotDecoding_data(); }
    void dotDecodingSurvivesAnyChunkBoundary();
    void dotEncoding_data();
    void dotEncoding();
    void dotEncodingRoundTrip();
    void logLineText_data();
    void logLineText();
    void pipelineWindows_data();
    void pipelineWindows();
};

void TestNkWire::smtpReplies_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("continues");
    QTest::addColumn<bool>("endsReplyOf250");
    QTest::newRow("last line") << QByteArray("250 OK") << 250 << false << true;
    QTest::newRow("continuation") << QByteArray("250-PIPELINING") << 250 << true << false;
    QTest::newRow("bare code") << QByteArray("250") << 250 << false << true;
    QTest::newRow("other code ends nothing") << QByteArray("251 OK") << 251 << false << false;
    QTest::newRow("too short") << QByteArray("25") << -1 << false << false;
    QTest::newRow("not digits") << QByteArray("2x0 OK") << -1 << false << false;
    QTest::newRow("empty") << QByteArray() << -1 << false << false;
    QTest::newRow("binary") << QByteArray("\x00\xff\x01-", 4) << -1 << false << false;
}

void TestNkWire::smtpReplies()
{
    QFETCH(QByteArray, line);
    QFETCH(int, code);
    QCOMPARE(SmtpReplyCode(line), code);
    QTEST(IsContinuationLine(line), "continues");
    QTEST(EndsMultiLineReply(line, 250), "endsReplyOf250");
}

void TestNkWire::pop3ReplyCode_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("code");
    QTest::newRow("+OK") << QByteArray("+OK ready") << 1;
    QTest::newRow("-ERR") << QByteArray("-ERR no") << -1;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("other") << QByteArray("OK") << 0;
}

void TestNkWire::pop3ReplyCode()
{
    QFETCH(QByteArray, line);
    QTEST(Pop3ReplyCode(line), "code");
}

void TestNkWire::statReply_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<qint64>("size");
    QTest::newRow("plain") << QByteArray("+OK 2 320") << true << qint64(2) << qint64(320);
    QTest::newRow("words after the count") << QByteArray("+OK 2 messages (320 octets)") << true << qint64(2) << qint64(320);
    QTest::newRow("no size") << QByteArray("+OK 7") << true << qint64(7) << qint64(0);
    QTest::newRow("extra blanks") << QByteArray("+OK   3    99  ") << true << qint64(3) << qint64(99);
    QTest::newRow("negative size is no size") << QByteArray("+OK 2 -5") << true << qint64(2) << qint64(0);
    QTest::newRow("size too large") << QByteArray("+OK 1 99999999999999999999999") << true << qint64(1) << qint64(0);
    QTest::newRow("negative count") << QByteArray("+OK -2 320") << false << qint64(-1) << qint64(0);
    QTest::newRow("no count") << QByteArray("+OK") << false << qint64(-1) << qint64(0);
    QTest::newRow("word first") << QByteArray("+OK mailbox 2 320") << false << qint64(-1) << qint64(0);
}

void TestNkWire::statReply()
{
    QFETCH(QByteArray, line);
    qint64 count = -1;
    qint64 size = 0;
    QTEST(ParseStatReply(line, count, size), "ok");
    QTEST(count, "count");
    QFETCH(bool, ok);
    if (ok)
        QTEST(size, "size");
}

void TestNkWire::listSizeAndUidl_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QByteArray>("uidl");
    QTest::newRow("normal") << QByteArray("+OK 1 1205") << qint64(1205) << QByteArray("1205");
    QTest::newRow("uid") << QByteArray("+OK 2 whqtswO00WBw418f9t5JxYwZ") << qint64(0) << QByteArray("whqtswO00WBw418f9t5JxYwZ");
    QTest::newRow("negative") << QByteArray("+OK 1 -20") << qint64(0) << QByteArray("-20");
    QTest::newRow("absurd") << QByteArray("+OK 1 123456789012345678901234567890") << qint64(0)
                            << QByteArray("123456789012345678901234567890");
    QTest::newRow("missing") << QByteArray("+OK") << qint64(0) << QByteArray();
    QTest::newRow("number only") << QByteArray("+OK 1") << qint64(0) << QByteArray();
}

void TestNkWire::listSizeAndUidl()
{
    QFETCH(QByteArray, line);
    QTEST(ParseListSize(line), "size");
    QTEST(ParseUidl(line), "uidl");
}

void TestNkWire::dotDecoding_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<qsizetype>("rest");
    QTest::newRow("plain") << QByteArray("a\r\nb\r\n.\r\n") << QByteArray("a\r\nb\r\n") << qsizetype(0);
    QTest::newRow("stuffed lines") << QByteArray("..a\r\n...\r\n. \r\n.\r\n") << QByteArray(".a\r\n..\r\n \r\n") << qsizetype(0);
    QTest::newRow("empty message") << QByteArray(".\r\n") << QByteArray() << qsizetype(0);
    QTest::newRow("bare LF") << QByteArray("a\n..b\n.\n") << QByteArray("a\n.b\n") << qsizetype(0);
    QTest::newRow("dot inside a line") << QByteArray("a.\r\n.\r\n") << QByteArray("a.\r\n") << qsizetype(0);
    QTest::newRow("more after the end") << QByteArray("a\r\n.\r\n+OK next\r\n") << QByteArray("a\r\n") << qsizetype(10);
    QTest::newRow("binary") << QByteArray("\x00\xff\r\n.\r\n", 7) << QByteArray("\x00\xff\r\n", 4) << qsizetype(0);
}

void TestNkWire::dotDecoding()
{
    QFETCH(QByteArray, wire);
    QFETCH(QByteArray, message);
    TDotDecoder decoder;
    QByteArray output;
    const qsizetype used = decoder.Feed(wire, output);
    QVERIFY(decoder.Finished());
    QCOMPARE(output, message);
    QTEST(wire.size() - used, "rest");
}

void TestNkWire::dotDecodingSurvivesAnyChunkBoundary()
{
    QFETCH(QByteArray, wire);
    QFETCH(QByteArray, message);
    TDotDecoder decoder;
    QByteArray output;
    QByteArray pending;
    qsizetype pos = 0;
    while (!decoder.Finished() && pos < wire.size()) {
        pending.append(wire.at(pos++));
        pending.remove(0, decoder.Feed(pending, output));
    }
    QVERIFY(decoder.Finished());
    QCOMPARE(output, message);
}

void TestNkWire::dotEncoding_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("plain") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\nb\r\n.\r\n");
    QTest::newRow("dots") << QByteArray(".\r\n..x\r\na.b\r\n") << QByteArray("..\r\n...x\r\na.b\r\n.\r\n");
    QTest::newRow("first line") << QByteArray(".start") << QByteArray("..start\r\n.\r\n");
    QTest::newRow("no final line end") << QByteArray("a\r\nb") << QByteArray("a\r\nb\r\n.\r\n");
    QTest::newRow("empty") << QByteArray() << QByteArray(".\r\n");
}

void TestNkWire::dotEncoding()
{
    QFETCH(QByteArray, message);
    TDotEncoder encoder;
    QByteArray output;
    // Split in the middle so that a line start falls on a chunk boundary.
    encoder.Encode(QByteArrayView(message).first(message.size() / 2), output);
    encoder.Encode(QByteArrayView(message).sliced(message.size() / 2), output);
    output += encoder.Terminator();
    QTEST(output, "wire");
}

void TestNkWire::dotEncodingRoundTrip()
{
    QByteArray message;
    for (int i = 0; i < 200; ++i)
        message += QByteArray(i % 7, '.') + "line " + QByteArray::number(i) + "\r\n";
    TDotEncoder encoder;
    QByteArray wire;
    encoder.Encode(message, wire);
    wire += encoder.Terminator();
    TDotDecoder decoder;
    QByteArray decoded;
    QCOMPARE(decoder.Feed(wire, decoded), wire.size());
    QCOMPARE(decoded, message);
}

void TestNkWire::logLineText_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("logged");
    QTest::newRow("plain") << QByteArray("+OK ready") << QByteArray("+OK ready");
    QTest::newRow("tab stays") << QByteArray("a\tb") << QByteArray("a\tb");
    QTest::newRow("escape sequence") << QByteArray("+OK \x1b[2J\x1b]0;owned\x07") << QByteArray("+OK \\x1b[2J\\x1b]0;owned\\x07");
    QTest::newRow("nul") << QByteArray("a\0b", 3) << QByteArray("a\\x00b");
    QTest::newRow("line end once") << QByteArray("250 ok\r\n") << QByteArray("250 ok");
    QTest::newRow("cr inside forges no line") << QByteArray("x\rRCPT TO:<a>") << QByteArray("x\\x0dRCPT TO:<a>");
    QTest::newRow("lf inside") << QByteArray("x\ny") << QByteArray("x\\x0ay");
    QTest::newRow("delete") << QByteArray("a\x7f") << QByteArray("a\\x7f");
    QTest::newRow("c1 csi in utf-8") << QByteArray("a\xc2\x9b" "31m") << QByteArray("a\\xc2\\x9b31m");
    QTest::newRow("umlaut stays") << QByteArray("M\xc3\xbcller \xc2\xa0") << QByteArray("M\xc3\xbcller \xc2\xa0");
    QTest::newRow("lone c2 at the end") << QByteArray("a\xc2") << QByteArray("a\xc2");
}

void TestNkWire::logLineText()
{
    QFETCH(QByteArray, line);
    QTEST(LogLineText(line), "logged");
}

// A script of steps: "q" queues a command, "s" sends what the window lets go (the row lists how
// many left per send), "a" reads one reply. Replies come back in the order the commands went out.
void TestNkWire::pipelineWindows_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<QByteArray>("steps");
    QTest::addColumn<QList<int>>("sent");
    QTest::newRow("fewer than the window go at once") << 4 << QByteArray("qqqsaaa") << QList<int>{3};
    QTest::newRow("the window caps a send") << 4 << QByteArray("qqqqqqsaaaasaa") << QList<int>{4, 2};
    QTest::newRow("refilled once half is answered") << 4 << QByteArray("qqqqqqsasasasaaa") << QList<int>{4, 0, 2, 0};
    QTest::newRow("commands queued late follow") << 2 << QByteArray("qsaqqsaa") << QList<int>{1, 2};
    QTest::newRow("a window of one alternates") << 1 << QByteArray("qqsasa") << QList<int>{1, 1};
}

void TestNkWire::pipelineWindows()
{
    QFETCH(int, window);
    QFETCH(QByteArray, steps);
    TCommandPipeline pipeline(window);
    QList<int> sent;
    QByteArrayList order;
    int queued = 0;
    for (const char step : steps) {
        if (step == 'q') {
            pipeline.Queue({"CMD " + QByteArray::number(++queued), queued, 0});
        } else if (step == 's') {
            const QByteArrayList texts = pipeline.TakeSendable();
            QVERIFY(pipeline.Unanswered() <= window);
            sent.append(int(texts.size()));
            order += texts;
        } else {
            QVERIFY(pipeline.Unanswered() > 0);
            const TPipelinedCommand answered = pipeline.TakeAnswered();
            QCOMPARE(answered.Text, "CMD " + QByteArray::number(answered.Index));
            QCOMPARE(order.indexOf(answered.Text), answered.Index - 1);
        }
    }
    QTEST(sent, "sent");
    QVERIFY(pipeline.Finished());
}

QTEST_GUILESS_MAIN(TestNkWire)
#include "tst_nkwire.moc"
