// Encoded header words (DecodeHeader, EncodeHeader) and the charset conversion they decode through.
#include "qmcharset.h"
#include "qmmime.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray U(const char* utf8)
{
    return QByteArray(utf8);
}

// The encoded words of an EncodeHeader result.
QByteArrayList EncodedWords(const QByteArray& header)
{
    QByteArrayList words;
    for (const QByteArray& word : QByteArray(header).replace('\t', ' ').split(' ')) {
        if (word.startsWith("=?"))
            words += word;
    }
    return words;
}

} // namespace

class TestHeaderWords : public QObject {
    Q_OBJECT

private slots:
    void decodeHeader_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("decoded");
        QTest::newRow("plain") << QByteArray("Hello") << QByteArray("Hello");
        QTest::newRow("Q with Latin-1 escapes") << QByteArray("=?iso-8859-1?Q?Gr=FC=DFe?=") << U("Grüße");
        QTest::newRow("blank before plain text is kept")
            << QByteArray("=?iso-8859-1?Q?Gr=FC=DFe?= aus Berlin") << U("Grüße aus Berlin");
        QTest::newRow("blank after plain text is kept")
            << QByteArray("Re: =?iso-8859-1?Q?Gr=FC=DFe?=") << U("Re: Grüße");
        QTest::newRow("B upper case") << QByteArray("=?ISO-8859-1?B?R3L832U=?=") << U("Grüße");
        QTest::newRow("b lower case") << QByteArray("=?iso-8859-1?b?R3L832U=?=") << U("Grüße");
        QTest::newRow("q lower case") << QByteArray("=?utf-8?q?caf=C3=A9?=") << U("café");
        QTest::newRow("B without padding") << QByteArray("=?utf-8?B?4oKsdXJv?=") << U("€uro");
        // RFC 2047, 8: the examples of white space between encoded words.
        QTest::newRow("rfc (a)") << QByteArray("(=?ISO-8859-1?Q?a?=)") << QByteArray("(a)");
        QTest::newRow("rfc (a b)") << QByteArray("(=?ISO-8859-1?Q?a?= b)") << QByteArray("(a b)");
        QTest::newRow("rfc (ab)") << QByteArray("(=?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?=)") << QByteArray("(ab)");
        QTest::newRow("rfc (ab) folded")
            << QByteArray("(=?ISO-8859-1?Q?a?=\r\n    =?ISO-8859-1?Q?b?=)") << QByteArray("(ab)");
        QTest::newRow("rfc (a b) underscore") << QByteArray("(=?ISO-8859-1?Q?a_b?=)") << QByteArray("(a b)");
        QTest::newRow("rfc (a b) two charsets")
            << QByteArray("(=?ISO-8859-1?Q?a?= =?ISO-8859-2?Q?_b?=)") << QByteArray("(a b)");
        QTest::newRow("underscores in plain text stay")
            << QByteArray("snake_case =?utf-8?Q?x_y?=") << QByteArray("snake_case x y");
        QTest::newRow("underscore in a B word stays") << QByteArray("=?utf-8?B?YV9i?=") << QByteArray("a_b");
        QTest::newRow("no closing: kept") << QByteArray("Hello =?utf-8?Q?broken") << QByteArray("Hello =?utf-8?Q?broken");
        QTest::newRow("lone =?: kept") << QByteArray("a =? b") << QByteArray("a =? b");
        QTest::newRow("unknown encoding letter: kept") << QByteArray("=?utf-8?X?abc?=") << QByteArray("=?utf-8?X?abc?=");
        QTest::newRow("broken word before a good one")
            << QByteArray("=?utf-8?Q?abc =?utf-8?Q?d=C3=A9f?=") << U("=?utf-8?Q?abc déf");
        QTest::newRow("unknown charset: bytes unchanged") << QByteArray("=?x-unknown?Q?=E4?=") << QByteArray("\xE4");
        QTest::newRow("raw 8-bit text stays") << QByteArray("Gr\xFC\xDF =?utf-8?Q?x?=") << QByteArray("Gr\xFC\xDF x");
        QTest::newRow("character split across words")
            << QByteArray("=?utf-8?B?4oI=?= =?utf-8?B?rA==?=") << U("€");
        QTest::newRow("RFC 2231 language") << QByteArray("=?utf-8*de?Q?Gr=C3=BC=C3=9Fe?=") << U("Grüße");
        QTest::newRow("ISO-2022-JP") << QByteArray("=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=") << U("日本語");
        QTest::newRow("Shift_JIS") << QByteArray("=?Shift_JIS?B?g2WDWINn?=") << U("テスト");
        QTest::newRow("KOI8-R") << QByteArray("=?koi8-r?Q?=F0=D2=C9=D7=C5=D4?=") << U("Привет");
        QTest::newRow("Windows-1252 euro in iso-8859-1") << QByteArray("=?iso-8859-1?Q?=80?=") << U("€");
        QTest::newRow("words without blank between") << QByteArray("=?utf-8?Q?a?==?utf-8?Q?b?=") << QByteArray("ab");
        QTest::newRow("empty data") << QByteArray("x=?utf-8?Q?" "?=y") << QByteArray("xy");
        QTest::newRow("question mark in the data: no word")
            << QByteArray("=?utf-8?Q?a?b?=") << QByteArray("=?utf-8?Q?a?b?=");
        QTest::newRow("invalid hex after = kept") << QByteArray("=?utf-8?Q?a=ZZ?=") << QByteArray("a=ZZ");
        QTest::newRow("no line breaks smuggled in")
            << QByteArray("=?us-ascii?Q?hi=0D=0ABcc:_x@example.org?=") << QByteArray("hi  Bcc: x@example.org");
        QTest::newRow("leading white space kept") << QByteArray("  =?utf-8?Q?x?=") << QByteArray("  x");
    }
    void decodeHeader()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, decoded);
        QCOMPARE(DecodeHeader(text), decoded);
    }

    void encodeHeader_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("ASCII unchanged") << QByteArray("Hello World") << QByteArray("Hello World");
        QTest::newRow("ASCII with =? unchanged") << QByteArray("a =?b?= c") << QByteArray("a =?b?= c");
        QTest::newRow("ISO-2022-JP") << QByteArray("\x1B$BF|K\\8l\x1B(B")
                                     << QByteArray("=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=");
        QTest::newRow("only the 8-bit words") << U("Grüße aus Berlin") << QByteArray("=?utf-8?Q?Gr=C3=BC=C3=9Fe?= aus Berlin");
        QTest::newRow("address stays readable")
            << U("Jörg Müller <jm@example.org>") << QByteArray("=?utf-8?Q?J=C3=B6rg_M=C3=BCller?= <jm@example.org>");
        QTest::newRow("mostly 8-bit as B") << U("日本語") << QByteArray("=?utf-8?B?5pel5pys6Kqe?=");
        QTest::newRow("Windows-1252 bytes sent as UTF-8") << QByteArray("caf\xE9") << QByteArray("=?utf-8?Q?caf=C3=A9?=");
    }
    void encodeHeader()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, encoded);
        QCOMPARE(EncodeHeader(text), encoded);
    }

    // RFC 2047, 2: an encoded word is at most 75 characters; words are split between characters.
    void encodeLongText()
    {
        const QByteArray texts[] = {
            U("Съешь же ещё этих мягких французских булок, да выпей чаю. Съешь же ещё этих мягких булок."),
            U("Grüße aus dem schönen Köln an alle, die heute Abend noch auf der Straße unterwegs sind und frieren"),
            QByteArray(500, 'a') + U("ä"),
            U("😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀"),
        };
        for (const QByteArray& text : texts) {
            const QByteArray encoded = EncodeHeader(text);
            QVERIFY(EncodedWords(encoded).size() >= 2);
            for (const QByteArray& word : EncodedWords(encoded)) {
                QVERIFY2(word.size() <= 75, word.constData());
                // Every word decodes on its own to valid UTF-8: no character is split.
                QVERIFY2(IsValidUtf8(DecodeHeader(word)), word.constData());
            }
            QCOMPARE(DecodeHeader(encoded), text);
        }
    }

    void roundTrip()
    {
        static const char32_t pool[] = {U'a', U'Z', U' ', U' ', U'_', U'=', U'?', U'<', U'"', U'(', U'\t', U'ä', U'ß',
            U'€', U'日', U'😀', U'Ж'};
        QRandomGenerator random(2047);
        for (int round = 0; round < 3000; ++round) {
            QString text;
            const int length = random.bounded(1, 120);
            for (int i = 0; i < length; ++i) {
                const char32_t c = pool[random.bounded(int(std::size(pool)))];
                text += QString::fromUcs4(&c, 1);
            }
            if (random.bounded(4) == 0)
                text.insert(random.bounded(text.size() + 1), QStringLiteral("=?utf-8?Q?x?="));
            const QByteArray utf8 = text.toUtf8();
            const QByteArray encoded = EncodeHeader(utf8);
            if (utf8.contains("=?") && encoded == utf8)
                continue; // pure ASCII with "=?" goes out unchanged by design
            QCOMPARE(DecodeHeader(encoded), utf8);
            for (const QByteArray& word : EncodedWords(encoded))
                QVERIFY2(word.size() <= 75, encoded.constData());
        }
    }

    void garbage()
    {
        static const char* const tokens[] = {"=?", "?=", "?Q?", "?b?", "utf-8", "iso-2022-jp", "x", "=", "_", " ",
            "\r\n", "\0", "\xFF", "=E4", "?", "*", "//TRANSLIT", "\x1B$B"};
        QRandomGenerator random(4242);
        for (int round = 0; round < 20000; ++round) {
            QByteArray text;
            const int count = random.bounded(0, 25);
            for (int i = 0; i < count; ++i) {
                const char* token = tokens[random.bounded(int(std::size(tokens)))];
                text += *token ? QByteArray(token) : QByteArray(1, '\0');
            }
            const QByteArray exact(text.constData(), text.size());
            DecodeHeader(exact);
            const QByteArray encoded = EncodeHeader(exact);
            if (!exact.startsWith('\x1B') && exact != encoded && IsValidUtf8(exact) && !exact.contains('\r')
                && !exact.contains('\n') && !exact.contains('\0'))
                QCOMPARE(DecodeHeader(encoded), exact);
        }
    }

    void charsetToUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("charset");
        QTest::addColumn<QByteArray>("utf8");
        QTest::addColumn<bool>("known");
        QTest::newRow("utf-8") << U("Grüße") << QByteArray("UTF-8") << U("Grüße") << true;
        QTest::newRow("invalid utf-8") << QByteArray("a\xFF" "b") << QByteArray("utf-8") << U("a\uFFFDb") << true;
        QTest::newRow("us-ascii") << QByteArray("plain") << QByteArray("us-ascii") << QByteArray("plain") << true;
        QTest::newRow("8-bit in us-ascii") << QByteArray("caf\xE9") << QByteArray("us-ascii") << U("café") << true;
        QTest::newRow("latin-1") << QByteArray("Gr\xFC\xDF" "e") << QByteArray("ISO-8859-1") << U("Grüße") << true;
        QTest::newRow("windows-1252 quotes") << QByteArray("\x93x\x94") << QByteArray("windows-1252") << U("“x”") << true;
        QTest::newRow("undefined in windows-1252") << QByteArray("\x81") << QByteArray("cp1252") << U("\u0081") << true;
        QTest::newRow("iso-8859-15") << QByteArray("\xA4") << QByteArray("iso-8859-15") << U("€") << true;
        QTest::newRow("koi8-r") << QByteArray("\xF0\xD2\xC9\xD7\xC5\xD4") << QByteArray("KOI8-R") << U("Привет") << true;
        QTest::newRow("quoted name") << QByteArray("\xA4") << QByteArray("\"iso-8859-15\"") << U("€") << true;
        QTest::newRow("Korean alias") << QByteArray("\xC7\xD1") << QByteArray("ks_c_5601-1987") << U("한") << true;
        QTest::newRow("incomplete Shift_JIS at the end") << QByteArray("a\x83") << QByteArray("shift_jis") << U("a\uFFFD") << true;
        QTest::newRow("ISO-2022-JP") << QByteArray("\x1B$BF|K\\8l\x1B(B") << QByteArray("iso-2022-jp") << U("日本語") << true;
        QTest::newRow("UTF-16 with BOM") << QByteArray("\xFF\xFE" "a\0", 4) << QByteArray("utf-16") << QByteArray("a") << true;
        QTest::newRow("unknown") << QByteArray("\xE4") << QByteArray("x-no-such-charset") << QByteArray("\xE4") << false;
        QTest::newRow("iconv options refused") << QByteArray("\xE4") << QByteArray("latin2//TRANSLIT") << QByteArray("\xE4") << false;
        QTest::newRow("path refused") << QByteArray("\xE4") << QByteArray("../../x") << QByteArray("\xE4") << false;
        QTest::newRow("empty: undeclared") << QByteArray("caf\xE9") << QByteArray() << U("café") << true;
    }
    void charsetToUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, charset);
        QFETCH(QByteArray, utf8);
        QFETCH(bool, known);
        bool ok = !known;
        QCOMPARE(CharsetToUtf8(bytes, charset, &ok), utf8);
        QCOMPARE(ok, known);
    }

    void isValidUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("ASCII") << QByteArray("long enough to take the eight-byte path") << true;
        QTest::newRow("two to four bytes") << U("ä€😀") << true;
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << false;
        QTest::newRow("overlong three bytes") << QByteArray("\xE0\x80\xAF") << false;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
        QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
        QTest::newRow("cut at the end") << QByteArray("abcdefgh\xE2\x82") << false;
        QTest::newRow("Latin-1") << QByteArray("Gr\xFC\xDF" "e") << false;
    }
    void isValidUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(IsValidUtf8(bytes), valid);
        QCOMPARE(valid, QString::fromUtf8(bytes).toUtf8() == bytes);
    }

    void decodeText()
    {
        QCOMPARE(DecodeText(U("Grüße")), QStringLiteral("Grüße"));
        QCOMPARE(DecodeText("Gr\xFC\xDF" "e"), QStringLiteral("Grüße"));
        QCOMPARE(DecodeText("\xF0\xD2\xC9\xD7\xC5\xD4", "koi8-r"), QStringLiteral("Привет"));
        QCOMPARE(DecodeText("Gr\xFC\xDF" "e", "x-unknown"), QStringLiteral("Grüße"));
    }

    // Any bytes in any charset give valid UTF-8 (known charsets) and never crash.
    void charsetGarbage()
    {
        const QByteArray charsets[] = {"utf-8", "us-ascii", "iso-8859-1", "windows-1252", "shift_jis", "euc-jp",
            "iso-2022-jp", "gb18030", "big5", "utf-16", "utf-7", "koi8-r", "ks_c_5601-1987", ""};
        QRandomGenerator random(8859);
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes(random.bounded(0, 200), Qt::Uninitialized);
            for (char& c : bytes)
                c = char(random.bounded(256));
            const QByteArray& charset = charsets[round % std::size(charsets)];
            bool ok = false;
            const QByteArray utf8 = CharsetToUtf8(bytes, charset, &ok);
            QVERIFY2(ok, charset.constData());
            QVERIFY2(IsValidUtf8(utf8), charset.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestHeaderWords)
#include "tst_headerwords.moc"
