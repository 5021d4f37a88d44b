#include "qmmsgcls.h"
#include "qmutils.h"

#include <QTest>

class TestQmUtils : public QObject {
    Q_OBJECT

private slots:
    void cutToCapacity_data();
    void cutToCapacity();
    void splitAddress_data();
    void splitAddress();
    void splitAddressCutsLongParts();
    void contentTypeByExtension_data();
    void contentTypeByExtension();
    void getParameter_data();
    void getParameter();
    void readParameters_data();
    void readParameters();
    void writeParameters_data();
    void writeParameters();
    void getFirstPart_data();
    void getFirstPart();
    void pickString_data();
    void pickString();
    void pickNumber_data();
    void pickNumber();
    void trimQuotes_data();
    void trimQuotes();
    void trimStrings();
    void addBackSlash_data();
    void addBackSlash();
};

void TestQmUtils::cutToCapacity_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("fits") << QByteArray("abc") << 3 << QByteArray("abc");
    QTest::newRow("ascii cut") << QByteArray("abcdef") << 4 << QByteArray("abcd");
    QTest::newRow("zero capacity") << QByteArray("abc") << 0 << QByteArray();
    // "ä" is two bytes: cutting after its first byte would leave broken UTF-8.
    QTest::newRow("inside two-byte char") << QByteArray("ab\xc3\xa4") << 3 << QByteArray("ab");
    QTest::newRow("after two-byte char") << QByteArray("a\xc3\xa4z") << 3 << QByteArray("a\xc3\xa4");
    QTest::newRow("inside four-byte char") << QByteArray("x\xf0\x9f\x98\x80y") << 4 << QByteArray("x");
    QTest::newRow("latin-1 cut by bytes") << QByteArray("ab\xe4\xe4\xe4") << 4 << QByteArray("ab\xe4\xe4");
}

void TestQmUtils::cutToCapacity()
{
    QFETCH(QByteArray, text);
    QFETCH(int, capacity);
    QFETCH(QByteArray, expected);
    QCOMPARE(CutToCapacity(text, capacity), expected);
}

void TestQmUtils::splitAddress_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("name and angle brackets") << QByteArray("Anna Berg <anna@example.org>")
                                             << QByteArray("anna@example.org") << QByteArray("Anna Berg");
    QTest::newRow("quoted name with comma") << QByteArray("\"Berg, Anna\" <anna@example.org>")
                                            << QByteArray("anna@example.org") << QByteArray("Berg, Anna");
    QTest::newRow("brackets only") << QByteArray("<anna@example.org>") << QByteArray("anna@example.org")
                                   << QByteArray();
    QTest::newRow("name after brackets") << QByteArray("<anna@example.org> Anna") << QByteArray("anna@example.org")
                                         << QByteArray("Anna");
    QTest::newRow("comment name") << QByteArray("anna@example.org (Anna Berg)") << QByteArray("anna@example.org")
                                  << QByteArray("Anna Berg");
    QTest::newRow("comment without closing bracket")
        << QByteArray("anna@example.org (Anna Berg") << QByteArray("anna@example.org") << QByteArray("Anna Berg");
    QTest::newRow("open bracket without close") << QByteArray("Anna <anna@example.org")
                                                << QByteArray() << QByteArray("Anna <anna@example.org");
    QTest::newRow("bare mailbox") << QByteArray("anna@example.org") << QByteArray("anna@example.org")
                                  << QByteArray();
    QTest::newRow("bare mailbox with blanks") << QByteArray("  anna@example.org ")
                                              << QByteArray("anna@example.org") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
}

void TestQmUtils::splitAddress()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, name);
    QByteArray gotAddress("stale");
    QByteArray gotName("stale");
    SplitAddress(text, gotAddress, gotName);
    QCOMPARE(gotAddress, address);
    QCOMPARE(gotName, name);

    TqmMailAddress mailAddress;
    PickMailAddress(text, mailAddress);
    QCOMPARE(mailAddress.Address, address);
    QCOMPARE(mailAddress.Name, name);
}

void TestQmUtils::splitAddressCutsLongParts()
{
    const QByteArray name = QByteArray(254, 'n') + "\xc3\xa9";
    const QByteArray mailbox = QByteArray(300, 'a') + "@example.org";
    QByteArray address;
    QByteArray gotName;
    SplitAddress(name + " <" + mailbox + '>', address, gotName);
    QCOMPARE(address, mailbox.left(255));
    QCOMPARE(gotName, QByteArray(254, 'n'));
}

void TestQmUtils::contentTypeByExtension_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("text") << QStringLiteral("notes.txt") << QByteArray("text/plain");
    QTest::newRow("upper-case extension") << QStringLiteral("NOTES.TXT") << QByteArray("text/plain");
    QTest::newRow("html body form") << QStringLiteral("_htmbody.htm") << QByteArray("text/html");
    QTest::newRow("message") << QStringLiteral("original.eml") << QByteArray("message/rfc822");
    QTest::newRow("with directory") << QStringLiteral("/some/dir/picture.png") << QByteArray("image/png");
    QTest::newRow("unknown extension") << QStringLiteral("data.zzqqxx") << QByteArray("application/octet-stream");
    QTest::newRow("no extension") << QStringLiteral("README") << QByteArray("application/octet-stream");
    QTest::newRow("empty") << QString() << QByteArray("application/octet-stream");
}

void TestQmUtils::contentTypeByExtension()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, expected);
    QCOMPARE(GetContentType(fileName), expected);
}

void TestQmUtils::getParameter_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("quoted") << QByteArray("boundary=") << QByteArray("multipart/mixed; boundary=\"a b;c\"")
                            << QByteArray("a b;c");
    QTest::newRow("plain with semicolon") << QByteArray("charset=")
                                          << QByteArray("text/plain; charset=iso-8859-1; format=flowed")
                                          << QByteArray("iso-8859-1");
    QTest::newRow("case-insensitive name") << QByteArray("boundary=") << QByteArray("multipart/mixed; BOUNDARY=xyz")
                                           << QByteArray("xyz");
    QTest::newRow("last parameter") << QByteArray("name=") << QByteArray("image/png; name=a.png")
                                    << QByteArray("a.png");
    QTest::newRow("unclosed quote") << QByteArray("name=") << QByteArray("x; name=\"a.png") << QByteArray("a.png");
    QTest::newRow("absent") << QByteArray("boundary=") << QByteArray("text/plain") << QByteArray();
    QTest::newRow("no blank after semicolon") << QByteArray("charset=")
                                              << QByteArray("text/plain;charset=windows-1251;format=flowed")
                                              << QByteArray("windows-1251");
    QTest::newRow("name is no part of filename") << QByteArray("name=")
                                                 << QByteArray("attachment; filename=\"a.pdf\"") << QByteArray();
    QTest::newRow("rfc 2231 wins") << QByteArray("name=")
                                   << QByteArray("x/y; name=\"plain\"; name*=utf-8''%C3%A9") << QByteArray("\xC3\xA9");
}

void TestQmUtils::readParameters_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("expected"); // name, value, name, value...
    QTest::newRow("type only") << QByteArray("text/plain") << QByteArrayList{};
    QTest::newRow("plain and quoted") << QByteArray("text/plain; charset=us-ascii; Format=\"flowed\"")
                                      << QByteArrayList{"charset", "us-ascii", "format", "flowed"};
    QTest::newRow("no blanks") << QByteArray("a/b;x=1;y=\"2;3\";z=4") << QByteArrayList{"x", "1", "y", "2;3", "z", "4"};
    QTest::newRow("folded") << QByteArray("multipart/mixed;\t boundary=\"=_b\";\r\n type=text/html")
                            << QByteArrayList{"boundary", "=_b", "type", "text/html"};
    QTest::newRow("escaped quote") << QByteArray("a/b; name=\"say \\\"hi\\\".txt\"")
                                   << QByteArrayList{"name", "say \"hi\".txt"};
    QTest::newRow("windows path backslashes") << QByteArray("a/b; name=\"C:\\dir\\f.txt\"")
                                              << QByteArrayList{"name", "C:\\dir\\f.txt"};
    QTest::newRow("unquoted ends at blank") << QByteArray("a/b; name=my file.txt; x=1")
                                            << QByteArrayList{"name", "my", "x", "1"};
    QTest::newRow("first of two wins") << QByteArray("a/b; x=1; X=2") << QByteArrayList{"x", "1"};
    QTest::newRow("no value") << QByteArray("a/b; junk; x=1;; =2") << QByteArrayList{"x", "1"};
    QTest::newRow("empty value") << QByteArray("a/b; x=\"\"; y=") << QByteArrayList{"x", "", "y", ""};
    QTest::newRow("starts with a parameter") << QByteArray("charset=utf-8") << QByteArrayList{"charset", "utf-8"};
    QTest::newRow("rfc 2231 charset") << QByteArray("attachment; filename*=UTF-8''R%C3%A9sum%C3%A9.pdf")
                                      << QByteArrayList{"filename", "R\xC3\xA9sum\xC3\xA9.pdf"};
    QTest::newRow("rfc 2231 latin-1 with language") << QByteArray("a/b; title*=iso-8859-1'de'Gr%FC%DFe")
                                                    << QByteArrayList{"title", "Gr\xC3\xBC\xC3\x9F" "e"};
    QTest::newRow("continuations mixed") << QByteArray("a/b; name*1*=%C3%A9; name*0*=utf-8''caf; name*2=\" au lait\"")
                                         << QByteArrayList{"name", "caf\xC3\xA9 au lait"};
    QTest::newRow("continuations plain") << QByteArray("a/b; name*0=\"long \"; name*1=name.txt")
                                         << QByteArrayList{"name", "long name.txt"};
    QTest::newRow("gap ends the value") << QByteArray("a/b; name*0=a; name*2=c") << QByteArrayList{"name", "a"};
    QTest::newRow("leading zero is no section") << QByteArray("a/b; name*0=a; name*01=b") << QByteArrayList{"name", "a"};
    QTest::newRow("no charset quotes") << QByteArray("a/b; name*=a%20b") << QByteArrayList{"name", "a b"};
    QTest::newRow("empty charset") << QByteArray("a/b; name*=''a%2") << QByteArrayList{"name", "a%2"};
    QTest::newRow("unknown charset keeps bytes") << QByteArray("a/b; name*=x-none''%FF") << QByteArrayList{"name", "\xFF"};
    QTest::newRow("extended after plain keeps place") << QByteArray("a/b; name=old; x=1; name*=new")
                                                      << QByteArrayList{"name", "new", "x", "1"};
}

void TestQmUtils::readParameters()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, expected);
    QByteArrayList actual;
    for (const TqmParameter& parameter : ReadParameters(text))
        actual << parameter.Name << parameter.Value;
    QCOMPARE(actual, expected);
}

void TestQmUtils::writeParameters_data()
{
    QTest::addColumn<QByteArrayList>("parameters");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("none") << QByteArrayList{} << QByteArray();
    QTest::newRow("quoted") << QByteArrayList{"charset", "koi8-r", "boundary", "=_a \"b\""}
                            << QByteArray("; charset=\"koi8-r\"; boundary=\"=_a \\\"b\\\"\"");
    QTest::newRow("utf-8") << QByteArrayList{"title", "caf\xC3\xA9 50%"} << QByteArray("; title*=utf-8''caf%C3%A9%2050%25");
    QTest::newRow("control character") << QByteArrayList{"x", "a\r\nb"} << QByteArray("; x*=utf-8''a%0D%0Ab");
    // A long value goes out in sections the line can be folded between; no "%XX" is cut.
    QTest::newRow("long value in sections")
        << QByteArrayList{"title", QByteArray(51, 'a') + "\xC3\xA9"}
        << QByteArray("; title*0*=utf-8''" + QByteArray(51, 'a') + "; title*1*=%C3%A9");
}

void TestQmUtils::writeParameters()
{
    QFETCH(QByteArrayList, parameters);
    QFETCH(QByteArray, written);
    TqmParameters list;
    for (qsizetype i = 0; i + 1 < parameters.size(); i += 2)
        list.append({parameters.at(i), parameters.at(i + 1)});
    QCOMPARE(WriteParameters(list), written);
    // What is written reads back as it was.
    QCOMPARE(ReadParameters("a/b" + written), list);
}

void TestQmUtils::getParameter()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(GetParameter(name, text), expected);
}

void TestQmUtils::getFirstPart_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("with parameters") << QByteArray("text/plain; charset=us-ascii") << QByteArray("text/plain");
    QTest::newRow("blank before semicolon") << QByteArray("text/html ;x=y") << QByteArray("text/html");
    QTest::newRow("bare") << QByteArray("image/gif") << QByteArray("image/gif");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestQmUtils::getFirstPart()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(GetFirstPart(text), expected);
}

void TestQmUtils::pickString_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("firstWordOnly");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("first word") << QByteArray("+OK 2 320") << 0 << true << QByteArray("+OK");
    QTest::newRow("second word") << QByteArray("+OK 2 320") << 1 << true << QByteArray("2");
    QTest::newRow("rest") << QByteArray("+OK 2 320") << 1 << false << QByteArray("2 320");
    QTest::newRow("extra blanks") << QByteArray("+OK   2   320") << 2 << true << QByteArray("320");
    QTest::newRow("too few words") << QByteArray("+OK 2") << 2 << true << QByteArray();
}

void TestQmUtils::pickString()
{
    QFETCH(QByteArray, text);
    QFETCH(int, n);
    QFETCH(bool, firstWordOnly);
    QFETCH(QByteArray, expected);
    QCOMPARE(PickString(text, n, firstWordOnly), expected);
}

void TestQmUtils::pickNumber_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("count") << QByteArray("+OK 2 320") << 1 << qint64(2);
    QTest::newRow("size beyond 32 bits") << QByteArray("+OK 1 5000000000") << 2 << qint64(5000000000);
    QTest::newRow("not a number") << QByteArray("+OK two 320") << 1 << qint64(-1);
    QTest::newRow("missing") << QByteArray("+OK") << 1 << qint64(-1);
}

void TestQmUtils::pickNumber()
{
    QFETCH(QByteArray, text);
    QFETCH(int, n);
    QFETCH(qint64, expected);
    QCOMPARE(PickNumber(text, n), expected);
}

void TestQmUtils::trimQuotes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("quoted") << QByteArray(" \"Anna\" ") << QByteArray("Anna");
    QTest::newRow("doubled quotes") << QByteArray("\"\"Anna\"\"") << QByteArray("Anna");
    QTest::newRow("inner quote stays") << QByteArray("\"An\"na\"") << QByteArray("An\"na");
    QTest::newRow("only quotes") << QByteArray("\"\"\"") << QByteArray();
}

void TestQmUtils::trimQuotes()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(TrimQuotes(text), expected);
}

void TestQmUtils::trimStrings()
{
    QByteArrayList lines{"first", "", "second", " ", "\t", ""};
    TrimStrings(lines);
    QCOMPARE(lines, (QByteArrayList{"first", "", "second"}));
    QByteArrayList blank{" ", ""};
    TrimStrings(blank);
    QVERIFY(blank.isEmpty());
}

void TestQmUtils::addBackSlash_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("without") << QStringLiteral("/home/a") << QStringLiteral("/home/a/");
    QTest::newRow("with") << QStringLiteral("/home/a/") << QStringLiteral("/home/a/");
    QTest::newRow("empty") << QString() << QString();
}

void TestQmUtils::addBackSlash()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(AddBackSlash(path), expected);
}

QTEST_GUILESS_MAIN(TestQmUtils)
#include "tst_qmutils.moc"
