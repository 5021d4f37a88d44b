// Quoted-printable: the paragraph helpers, Encode and Decode over devices, golden files, paragraphs of
// any length, cancelling, chunk boundaries and garbage.
#include "TestData.h"
#include "qmmime.h"
#include "qmpump.h"
#include "OneByteDevice.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

namespace {

// The whole-text forms: the lines each followed by CR LF.
QByteArray JoinedText(const QByteArrayList& lines)
{
    QByteArray text;
    for (const QByteArray& line : lines)
        text += line + "\r\n";
    return text;
}

QByteArray EncodedText(const QByteArray& bytes)
{
    QByteArray text;
    EncodeQuotedPrintableText(bytes, text);
    return text;
}

QByteArrayList Encode(const QByteArray& bytes)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QByteArrayList lines;
    TQuotedPrintable(buffer, lines).Encode();
    return lines;
}

QByteArray Decode(const QByteArrayList& lines)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QByteArrayList input = lines;
    TQuotedPrintable(buffer, input).Decode();
    return data;
}

// What Decode(Encode(bytes)) gives: paragraphs (CR, LF, CR LF and LF CR end one) each ended by CR LF,
// unless the paragraph ends with byte 26.
QByteArray Normalized(const QByteArray& bytes)
{
    QByteArray out, paragraph;
    bool open = false;
    const auto close = [&] {
        out += paragraph;
        if (!paragraph.endsWith('\x1A'))
            out += "\r\n";
        paragraph.clear();
        open = false;
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '\r' || c == '\n') {
            close();
            const char other = c == '\r' ? '\n' : '\r';
            if (i + 1 < bytes.size() && bytes.at(i + 1) == other)
                ++i;
        } else {
            paragraph += c;
            open = true;
        }
    }
    if (open)
        close();
    return out;
}

QByteArray RandomText(QRandomGenerator& random, qsizetype size)
{
    static const char pool[] = "abc XYZ=\t\r\n.F\xE4\xC3\xA9\x1A\x7F";
    QByteArray text(size, Qt::Uninitialized);
    for (char& c : text)
        c = pool[random.bounded(int(sizeof pool) - 1)];
    return text;
}

} // namespace

class TestQuotedPrintable : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetMessagePump({}); }

    void reformatParagraph_data()
    {
        QTest::addColumn<QByteArray>("paragraph");
        QTest::addColumn<QByteArrayList>("lines");
        const QByteArray x65(65, 'x');
        QTest::newRow("empty") << QByteArray() << QByteArrayList{QByteArray()};
        QTest::newRow("exactly 65 without blanks: no soft break") << x65 << QByteArrayList{x65};
        QTest::newRow("66 without blanks") << x65 + "y" << QByteArrayList{x65 + "=", "y"};
        QTest::newRow("cut at the last blank, which begins the next line")
            << QByteArray(40, 'a') + " " + QByteArray(20, 'b') + " " + QByteArray(20, 'c')
            << QByteArrayList{QByteArray(40, 'a') + " " + QByteArray(20, 'b') + "=", " " + QByteArray(20, 'c')};
        QTest::newRow("a blank first is no place to cut")
            << " " + QByteArray(70, 'z') << QByteArrayList{" " + QByteArray(64, 'z') + "=", QByteArray(6, 'z')};
        // Bytes written as "=XX" count three: the encoded line stays within the width.
        QTest::newRow("8-bit bytes count three") << QByteArray(30, '\xE4')
                                                  << QByteArrayList{QByteArray(21, '\xE4') + "=", QByteArray(9, '\xE4')};
    }
    void reformatParagraph()
    {
        QFETCH(QByteArray, paragraph);
        QFETCH(QByteArrayList, lines);
        QCOMPARE(TQuotedPrintable::ReformatParagraph(paragraph), lines);
    }

    // Widths below three still move on, one byte per line.
    void reformatParagraphNarrow()
    {
        QCOMPARE(TQuotedPrintable::ReformatParagraph("\xE4" "ab\xE4", 1),
            (QByteArrayList{"\xE4=", "a=", "b=", "\xE4"}));
        QCOMPARE(TQuotedPrintable::ReformatParagraph("\xE4" "ab\xE4", 2),
            (QByteArrayList{"\xE4=", "ab=", "\xE4"}));
        QCOMPARE(TQuotedPrintable::ReformatParagraph("abc", 0), (QByteArrayList{"a=", "b=", "c"}));
    }

    void replaceHiChars_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("softBreak");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("plain") << QByteArray("Hello, World!") << false << QByteArray("Hello, World!");
        QTest::newRow("equals sign") << QByteArray("a=b") << false << QByteArray("a=3Db");
        QTest::newRow("tab") << QByteArray("a\tb") << false << QByteArray("a=09b");
        QTest::newRow("8-bit") << QByteArray("\xE4\xFF") << false << QByteArray("=E4=FF");
        QTest::newRow("control bytes") << QByteArray("\x01\x1A\x7F", 3) << false << QByteArray("=01=1A=7F");
        QTest::newRow("NUL") << QByteArray("\0", 1) << false << QByteArray("=00");
        QTest::newRow("soft break stays") << QByteArray("abc=") << true << QByteArray("abc=");
        QTest::newRow("final equals sign of a last line") << QByteArray("abc=") << false << QByteArray("abc=3D");
        QTest::newRow("blank inside") << QByteArray("a b") << false << QByteArray("a b");
        QTest::newRow("blank at the end") << QByteArray("a ") << false << QByteArray("a=20");
        QTest::newRow("blank before a soft break") << QByteArray("a =") << true << QByteArray("a=20=");
        QTest::newRow("From at line start") << QByteArray("From me") << false << QByteArray("=46rom me");
        QTest::newRow("From without blank") << QByteArray("Fromage") << false << QByteArray("Fromage");
        QTest::newRow("From with blank at the end") << QByteArray("From ") << false << QByteArray("=46rom=20");
        QTest::newRow("lower-case from") << QByteArray("from me") << false << QByteArray("from me");
    }
    void replaceHiChars()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, softBreak);
        QFETCH(QByteArray, encoded);
        QCOMPARE(TQuotedPrintable::ReplaceHiChars(line, softBreak), encoded);
    }

    void replaceHex_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("decoded");
        QTest::newRow("upper case") << QByteArray("a=3Db") << QByteArray("a=b");
        QTest::newRow("lower case") << QByteArray("=e4=c3=a9") << QByteArray("\xE4\xC3\xA9");
        QTest::newRow("NUL") << QByteArray("=00") << QByteArray("\0", 1);
        QTest::newRow("not hexadecimal: kept") << QByteArray("a=ZZb") << QByteArray("a=ZZb");
        QTest::newRow("one hex digit then not") << QByteArray("=4G") << QByteArray("=4G");
        QTest::newRow("equals sign last") << QByteArray("abc=") << QByteArray("abc=");
        QTest::newRow("one character after") << QByteArray("abc=4") << QByteArray("abc=4");
        QTest::newRow("equals sign escapes") << QByteArray("==3D") << QByteArray("==");
    }
    void replaceHex()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, decoded);
        QCOMPARE(TQuotedPrintable::ReplaceHex(line), decoded);
    }

    void encode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::newRow("empty stream") << QByteArray() << QByteArrayList{};
        QTest::newRow("no line end") << QByteArray("abc") << QByteArrayList{"abc"};
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QByteArrayList{"a", "b"};
        QTest::newRow("LF CR") << QByteArray("a\n\rb") << QByteArrayList{"a", "b"};
        QTest::newRow("LF LF") << QByteArray("a\n\nb") << QByteArrayList{"a", "", "b"};
        QTest::newRow("CR CR") << QByteArray("a\r\rb") << QByteArrayList{"a", "", "b"};
        QTest::newRow("CR LF CR LF") << QByteArray("\r\n\r\n") << QByteArrayList{"", ""};
        QTest::newRow("one empty paragraph") << QByteArray("\r\n") << QByteArrayList{""};
        QTest::newRow("From line") << QByteArray("Hi\r\nFrom me\r\n") << QByteArrayList{"Hi", "=46rom me"};
    }
    void encode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArrayList, lines);
        QCOMPARE(Encode(bytes), lines);
        OneByteDevice device(bytes);
        QByteArrayList fromDevice;
        TQuotedPrintable(device, fromDevice).Encode();
        QCOMPARE(fromDevice, lines);
        QCOMPARE(EncodedText(bytes), JoinedText(lines));
    }

    void decode_data()
    {
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no lines") << QByteArrayList{} << QByteArray();
        QTest::newRow("one line") << QByteArrayList{"abc"} << QByteArray("abc\r\n");
        QTest::newRow("empty line") << QByteArrayList{""} << QByteArray("\r\n");
        QTest::newRow("soft break") << QByteArrayList{"ab=", "c"} << QByteArray("abc\r\n");
        QTest::newRow("escaped equals sign last") << QByteArrayList{"a=3D"} << QByteArray("a=\r\n");
        QTest::newRow("soft break after an escape") << QByteArrayList{"a=3D=", "b"} << QByteArray("a=b\r\n");
        QTest::newRow("Ctrl-Z ends without line end") << QByteArrayList{"x\x1A", "y"} << QByteArray("x\x1Ay\r\n");
        QTest::newRow("escaped Ctrl-Z") << QByteArrayList{"x=1A"} << QByteArray("x\x1A");
        QTest::newRow("transport padding after soft break") << QByteArrayList{"a= \t", "b"} << QByteArray("ab\r\n");
        QTest::newRow("trailing blank kept") << QByteArrayList{"a "} << QByteArray("a \r\n");
        QTest::newRow("invalid escape kept") << QByteArrayList{"=ZZ"} << QByteArray("=ZZ\r\n");
        QTest::newRow("only a soft break") << QByteArrayList{"=", "x"} << QByteArray("x\r\n");
        QTest::newRow("literal equals then soft break") << QByteArrayList{"==", "x"} << QByteArray("=x\r\n");
        QTest::newRow("lone CR in a line") << QByteArrayList{"a\rb"} << QByteArray("a\rb\r\n");
    }
    void decode()
    {
        QFETCH(QByteArrayList, lines);
        QFETCH(QByteArray, bytes);
        QCOMPARE(Decode(lines), bytes);
        QByteArray decoded;
        DecodeQuotedPrintableText(JoinedText(lines), decoded);
        QCOMPARE(decoded, bytes);
        if (!lines.isEmpty() && !lines.last().isEmpty()) { // the last line without a line end reads the same
            decoded.clear();
            DecodeQuotedPrintableText(JoinedText(lines).chopped(2), decoded);
            QCOMPARE(decoded, bytes);
        }
    }

    void golden_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& name : TestDataCases(QStringLiteral("codec_qp")))
            QTest::newRow(qPrintable(name)) << name;
    }
    // <case> is the raw text, <case>.expected the encoded lines, one per line of the file.
    void golden()
    {
        QFETCH(QString, name);
        const QByteArray input = ReadTestData(QStringLiteral("codec_qp/") + name);
        QByteArrayList expected = ReadTestData(QStringLiteral("codec_qp/") + name + QStringLiteral(".expected")).split('\n');
        expected.removeLast();
        const QByteArrayList lines = Encode(input);
        QCOMPARE(lines, expected);
        QCOMPARE(Decode(lines), Normalized(input));
        QCOMPARE(EncodedText(input), JoinedText(expected));
    }

    // Paragraphs longer than the old 24576-byte buffer (minified HTML, long CSV lines) are handled,
    // with the lines a short paragraph would give.
    void longParagraph()
    {
        QRandomGenerator random(99);
        QByteArray paragraph;
        while (paragraph.size() < 300'000)
            paragraph += "<div class=\"x\">caf\xC3\xA9 " + QByteArray::number(random.generate()) + "</div>";
        const QByteArrayList lines = Encode(paragraph + "\r\n");
        QByteArrayList expected;
        const QByteArrayList pieces = TQuotedPrintable::ReformatParagraph(paragraph);
        for (qsizetype i = 0; i < pieces.size(); ++i)
            expected += TQuotedPrintable::ReplaceHiChars(pieces.at(i), i + 1 < pieces.size());
        QCOMPARE(lines, expected);
        QCOMPARE(Decode(lines), paragraph + "\r\n");
    }

    // RFC 2045, 6.7 (5): no encoded line is longer than 76 characters, whatever the text.
    void linesAtMost76Characters()
    {
        QRandomGenerator random(5);
        for (int round = 0; round < 200; ++round) {
            QByteArray text = RandomText(random, 2000);
            for (const QByteArray& line : Encode(text)) {
                QVERIFY2(line.size() <= 76, line.constData());
                QVERIFY(!line.startsWith("From "));
                QVERIFY(!line.endsWith(' '));
                QVERIFY(!line.endsWith('\t'));
            }
        }
        for (const QByteArray& line : Encode(QByteArray(1000, '\xFF') + "\r\nFrom " + QByteArray(200, ' ')))
            QVERIFY(line.size() <= 76);
    }

    void roundTrip()
    {
        QRandomGenerator random(31);
        for (int round = 0; round < 300; ++round) {
            const QByteArray text = RandomText(random, random.bounded(0, 3000));
            QCOMPARE(Decode(Encode(text)), Normalized(text));
        }
    }

    // CR LF pairs and paragraphs cut by the 64 KiB chunks of the reader.
    void chunkBoundaries()
    {
        for (const qsizetype at : {65535, 65536, 65537}) {
            QByteArray text(200'000, 'k');
            text[at - 1] = '\r';
            text[at] = '\n';
            text[at + 10] = '\n';
            QCOMPARE(Decode(Encode(text)), Normalized(text));
        }
    }

    // The pump runs while encoding; a handler that sets Cancel ends the loop early.
    void cancel()
    {
        QByteArray text;
        for (int i = 0; i < 100'000; ++i)
            text += "paragraph\r\n";
        QByteArray data = text;
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QByteArrayList lines;
        TQuotedPrintable qp(buffer, lines);
        int pumped = 0;
        SetMessagePump([&] {
            ++pumped;
            qp.Cancel = true;
        });
        qp.Encode();
        QCOMPARE(pumped, 1);
        QVERIFY(lines.size() < 100'000);

        QByteArray out;
        QBuffer sink(&out);
        sink.open(QIODevice::WriteOnly);
        QByteArrayList encoded(1000, "line");
        TQuotedPrintable decoder(sink, encoded);
        decoder.Cancel = true;
        decoder.Decode();
        QVERIFY(out.isEmpty());
    }

    void garbage()
    {
        QRandomGenerator random(666);
        for (int round = 0; round < 300; ++round) {
            QByteArray bytes(random.bounded(0, 5000), Qt::Uninitialized);
            for (char& c : bytes)
                c = char(random.bounded(256));
            QCOMPARE(Decode(Encode(bytes)), Normalized(bytes));
            // Hostile encoded lines: any bytes, escapes cut off at the end, lone "=".
            QByteArrayList lines;
            for (int i = 0; i < 20; ++i) {
                QByteArray line(random.bounded(0, 40), '=');
                for (char& c : line)
                    c = "=AF0g \t\r\n\0\xFF"[random.bounded(11)];
                lines += QByteArray(line.constData(), line.size());
            }
            Decode(lines);
        }
        const QByteArray huge(10 * 1024 * 1024, '=');
        QCOMPARE(Decode({huge}), QByteArray(huge.size() - 1, '='));
    }
};

QTEST_GUILESS_MAIN(TestQuotedPrintable)
#include "tst_quotedprintable.moc"
